#include "Scanner.h"

#include "DirectoryReader.h"
#include "Progress.h"
#include "SnapshotList.h"
#include "Sorting.h"

#include <QDir>
#include <QFile>
#include <memory>
#include <vector>

namespace {
struct Frame {
    DirectoryReader::Batch batch;
    std::size_t next = 0;
    QString path; // relative, ending in a backslash; empty for the root
    std::uint32_t folder = 0;
};

QString statusText(const QString &root, const QString &path) {
    QString relative = path;
    relative.replace(u'\\', QDir::separator());
    return root.endsWith(QDir::separator()) ? root + relative : root + QDir::separator() + relative;
}
} // namespace

bool Scanner::ReadDirectory(const QString &root, SnapshotList &list, bool includeSubs,
                            Progress *progress) {
    return ReadDirectory(QFile::encodeName(root), root, list, includeSubs, progress);
}

bool Scanner::ReadDirectory(const QByteArray &nativeRoot, const QString &root, SnapshotList &list,
                            bool includeSubs, Progress *progress) {
    std::vector<std::unique_ptr<Frame>> stack;
    std::vector<std::unique_ptr<Frame>> spare; // frames kept for their allocations
    auto push = [&](std::string_view native, QString path) {
        std::unique_ptr<Frame> frame;
        if (spare.empty()) {
            frame = std::make_unique<Frame>();
        } else {
            frame = std::move(spare.back());
            spare.pop_back();
        }
        frame->next = 0;
        frame->folder = list.internFolder(path);
        frame->path = std::move(path);
        frame->batch.clear();
        const bool ok = m_reader.read(static_cast<int>(stack.size()), native, frame->batch);
        if (!ok)
            frame->batch.clear();
        stack.push_back(std::move(frame));
        return ok;
    };

    const bool rootRead =
        push(std::string_view(nativeRoot.constData(), static_cast<std::size_t>(nativeRoot.size())),
             QString());
    std::int64_t count = progress ? progress->count.load() : 0;
    while (!stack.empty()) {
        Frame &top = *stack.back();
        if (top.next == top.batch.items.size() || (progress && progress->cancelled())) {
            list.addLimit(top.path);
            if (progress && progress->wantsText())
                progress->setText(statusText(root, top.path));
            spare.push_back(std::move(stack.back()));
            stack.pop_back();
            continue;
        }
        const DirectoryReader::Item &item = top.batch.items[top.next++];
        const QStringView name(top.batch.names.data() + item.nameOffset,
                               static_cast<qsizetype>(item.nameLength));
        list.append(name, top.folder, item.attr, item.size, item.modified);
        if (progress)
            progress->count.store(++count, std::memory_order_relaxed);
        if ((item.attr & 16) && includeSubs && item.enter)
            push(top.batch.nativeName(item), top.path + name.toString() + u'\\');
    }
    resort(list);
    return rootRead;
}
