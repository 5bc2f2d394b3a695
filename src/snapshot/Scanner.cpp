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
    ExcludePatterns::FolderState exclude; // kept only while there are patterns
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
    const bool excluding = !m_exclude.isEmpty();
    // `lowerName` is the folder's name as the patterns match it.
    auto push = [&](std::string_view native, QString path, QStringView lowerName) {
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
        if (excluding && stack.empty())
            frame->exclude = m_exclude.rootState();
        else if (excluding)
            m_exclude.enter(stack.back()->exclude, lowerName, frame->exclude);
        const bool ok = m_reader.read(static_cast<int>(stack.size()), native, frame->batch);
        if (!ok)
            frame->batch.clear();
        stack.push_back(std::move(frame));
        return ok;
    };

    const bool rootRead =
        push(std::string_view(nativeRoot.constData(), static_cast<std::size_t>(nativeRoot.size())),
             QString(), QStringView());
    QString lowerBuffer;
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
        const bool isFolder = item.attr & 16;
        QStringView lowerName;
        // A folder no pattern can reach into costs no look at its names.
        if (excluding && !top.exclude.live.empty()) {
            lowerName = ExcludePatterns::lowered(name, lowerBuffer);
            if (m_exclude.matchesName(top.exclude, lowerName, isFolder))
                continue;
        }
        list.append(name, top.folder, item.attr, item.size, item.modified);
        if (progress)
            progress->count.store(++count, std::memory_order_relaxed);
        if (isFolder && includeSubs && item.enter)
            push(top.batch.nativeName(item), top.path + name.toString() + u'\\', lowerName);
    }
    resort(list);
    return rootRead;
}
