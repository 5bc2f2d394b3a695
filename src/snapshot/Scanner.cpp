#include "Scanner.h"

#include "DirectoryReader.h"
#include "Progress.h"
#include "SnapshotList.h"
#include "Sorting.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

// A folder the walk goes into, read by whichever thread comes to it first.
struct Folder {
    enum class State { Waiting, Reading, Read };
    std::string path; // below the root, names joined by "/"; empty for the root
    DirectoryReader::Batch batch;
    bool ok = false;
    State state = State::Waiting;
};

// Reads the folders the walk will go into on threads of its own, soonest needed first, while the
// walk takes in what was read before. The walk learns which folders it will go into only as it
// takes in their parents, so it names them then (`schedule`), and waits for each when it comes to
// it (`await`). Reading ahead stops at a bound so that a large tree is not held in memory whole.
class ReadAhead {
public:
    ReadAhead(DirectoryReader &reader, int threads) : m_reader(reader) {
        for (int k = 1; k < threads; ++k)
            m_threads.emplace_back([this] { work(); });
    }
    ~ReadAhead() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

    Folder *make(std::string path) {
        std::unique_ptr<Folder> folder;
        {
            std::lock_guard lock(m_mutex);
            if (!m_spare.empty()) {
                folder = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        if (!folder)
            folder = std::make_unique<Folder>();
        folder->path = std::move(path);
        folder->ok = false;
        folder->state = Folder::State::Waiting;
        return folder.release();
    }

    // Folders the walk will go into, in its order: they come before every folder named earlier,
    // since the walk goes depth first.
    void schedule(const std::vector<Folder *> &folders) {
        if (m_threads.empty() || folders.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_queue.insert(m_queue.begin(), folders.begin(), folders.end());
        }
        m_wake.notify_all();
    }

    // Returns once the folder has been read, reading it on this thread if no other has begun.
    void await(Folder &folder) {
        std::unique_lock lock(m_mutex);
        if (folder.state == Folder::State::Waiting) {
            const auto queued = std::find(m_queue.begin(), m_queue.end(), &folder);
            if (queued != m_queue.end())
                m_queue.erase(queued);
            folder.state = Folder::State::Reading;
            lock.unlock();
            folder.ok = m_reader.read(folder.path, folder.batch);
            return;
        }
        m_awaited = &folder;
        m_done.wait(lock, [&] { return folder.state == Folder::State::Read; });
        m_awaited = nullptr;
        const bool full = m_ahead >= ReadAheadLimit;
        m_ahead -= folder.batch.items.size() + 1;
        if (full && m_ahead < ReadAheadLimit)
            m_wake.notify_all();
    }

    // Takes back a folder the walk is done with. Its allocations serve a later folder unless it
    // was a large one.
    void release(Folder *folder) {
        std::unique_ptr<Folder> owned(folder);
        if (folder->batch.items.capacity() > 4096)
            return;
        std::lock_guard lock(m_mutex);
        if (m_spare.size() < 256)
            m_spare.push_back(std::move(owned));
    }
    // Takes back a folder the walk will not come to after all (it was cancelled). A thread may
    // be reading it still, so it is kept until they stop.
    void drop(Folder *folder) {
        std::lock_guard lock(m_mutex);
        m_dropped.emplace_back(folder);
    }

private:
    static constexpr std::size_t ReadAheadLimit = Scanner::ReadAheadEntries;

    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock,
                        [&] { return m_stop || (!m_queue.empty() && m_ahead < ReadAheadLimit); });
            if (m_stop)
                return;
            Folder *folder = m_queue.front();
            m_queue.pop_front();
            folder->state = Folder::State::Reading;
            lock.unlock();
            folder->ok = m_reader.read(folder->path, folder->batch);
            lock.lock();
            folder->state = Folder::State::Read;
            m_ahead += folder->batch.items.size() + 1;
            if (m_awaited == folder)
                m_done.notify_one();
        }
    }

    DirectoryReader &m_reader;
    std::mutex m_mutex;
    std::condition_variable m_wake; // for the readers: a folder to read, or the end
    std::condition_variable m_done; // for the walk: the folder it waits for is read
    std::deque<Folder *> m_queue;   // folders no thread has begun, soonest needed first
    std::vector<std::unique_ptr<Folder>> m_spare;
    std::vector<std::unique_ptr<Folder>> m_dropped;
    std::size_t m_ahead = 0; // entries read by the threads that the walk has not come to
    Folder *m_awaited = nullptr;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

struct Frame {
    Folder *folder = nullptr;
    std::size_t next = 0;
    std::vector<Folder *> subfolders; // those the walk goes into, in its order
    std::size_t nextSub = 0;
    QString path; // relative, ending in a backslash; empty for the root
    std::uint32_t folderId = 0;
    ExcludePatterns::FolderState exclude; // kept only while there are patterns
};

struct Identity {
    std::uint64_t volume;
    std::uint64_t node;
    bool operator==(const Identity &other) const {
        return volume == other.volume && node == other.node;
    }
};
struct IdentityHash {
    std::size_t operator()(const Identity &id) const {
        return std::hash<std::uint64_t>()(id.node * 0x9E3779B97F4A7C15ull ^ id.volume);
    }
};

QString statusText(const QString &root, const QString &path) {
    QString relative = path;
    relative.replace(u'\\', QDir::separator());
    return root.endsWith(QDir::separator()) ? root + relative : root + QDir::separator() + relative;
}

} // namespace

int Scanner::defaultReadThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool Scanner::ReadDirectory(const QString &root, SnapshotList &list, bool includeSubs,
                            Progress *progress) {
    return ReadDirectory(QFile::encodeName(root), root, list, includeSubs, progress);
}

bool Scanner::ReadDirectory(const QByteArray &nativeRoot, const QString &root, SnapshotList &list,
                            bool includeSubs, Progress *progress) {
    std::vector<std::unique_ptr<Frame>> stack;
    std::vector<std::unique_ptr<Frame>> spare; // frames kept for their allocations
    const bool excluding = !m_exclude.isEmpty();
    ReadAhead reader(m_reader, includeSubs ? m_threads : 1);
    // The folders listed so far that the walk may go into: one listed again (a bind mount, a
    // loop) is entered only where it is listed first. The walk decides this as it takes in each
    // folder, in its own order, so it does not depend on which thread read what first.
    std::unordered_set<Identity, IdentityHash> listed;
    QString decideBuffer;

    // Takes in a folder that has been read: decides which of its subfolders the walk goes into
    // and lets the threads read them.
    auto takeIn = [&](Frame &frame) {
        DirectoryReader::Batch &batch = frame.folder->batch;
        if (!frame.folder->ok)
            batch.clear();
        frame.subfolders.clear();
        frame.nextSub = 0;
        const bool patterns = excluding && !frame.exclude.live.empty();
        for (DirectoryReader::Item &item : batch.items) {
            if (!(item.attr & 16))
                continue;
            if (item.enter && (item.volume || item.node))
                item.enter = listed.insert({item.volume, item.node}).second;
            if (!item.enter || !includeSubs)
                continue;
            if (patterns) {
                const QStringView name(batch.names.data() + item.nameOffset,
                                       static_cast<qsizetype>(item.nameLength));
                // Its entry is left out along with it, so `enter` is never looked at.
                if (m_exclude.matchesName(frame.exclude,
                                          ExcludePatterns::lowered(name, decideBuffer), true))
                    continue;
            }
            const std::string_view native = batch.nativeName(item);
            std::string path;
            path.reserve(frame.folder->path.size() + native.size() + 1);
            path.append(frame.folder->path);
            if (!path.empty())
                path += '/';
            path.append(native);
            frame.subfolders.push_back(reader.make(std::move(path)));
        }
        if (!(progress && progress->cancelled()))
            reader.schedule(frame.subfolders);
    };

    // `lowerName` is the folder's name as the patterns match it.
    auto push = [&](Folder *folder, QString path, QStringView lowerName) {
        std::unique_ptr<Frame> frame;
        if (spare.empty()) {
            frame = std::make_unique<Frame>();
        } else {
            frame = std::move(spare.back());
            spare.pop_back();
        }
        frame->folder = folder;
        frame->next = 0;
        frame->folderId = list.internFolder(path);
        frame->path = std::move(path);
        if (excluding && stack.empty())
            frame->exclude = m_exclude.rootState();
        else if (excluding)
            m_exclude.enter(stack.back()->exclude, lowerName, frame->exclude);
        if (!stack.empty())
            reader.await(*folder);
        takeIn(*frame);
        stack.push_back(std::move(frame));
    };

    Folder *rootFolder = reader.make(std::string());
    rootFolder->ok = m_reader.readRoot(
        std::string_view(nativeRoot.constData(), static_cast<std::size_t>(nativeRoot.size())),
        rootFolder->batch);
    const bool rootRead = rootFolder->ok;
    push(rootFolder, QString(), QStringView());
    QString lowerBuffer;
    std::int64_t count = progress ? progress->count.load() : 0;
    while (!stack.empty()) {
        Frame &top = *stack.back();
        const DirectoryReader::Batch &batch = top.folder->batch;
        if (top.next == batch.items.size() || (progress && progress->cancelled())) {
            list.addLimit(top.path);
            if (progress && progress->wantsText())
                progress->setText(statusText(root, top.path));
            reader.release(top.folder);
            for (std::size_t k = top.nextSub; k < top.subfolders.size(); ++k)
                reader.drop(top.subfolders[k]);
            spare.push_back(std::move(stack.back()));
            stack.pop_back();
            continue;
        }
        const DirectoryReader::Item &item = batch.items[top.next++];
        const QStringView name(batch.names.data() + item.nameOffset,
                               static_cast<qsizetype>(item.nameLength));
        const bool isFolder = item.attr & 16;
        QStringView lowerName;
        // A folder no pattern can reach into costs no look at its names.
        if (excluding && !top.exclude.live.empty()) {
            lowerName = ExcludePatterns::lowered(name, lowerBuffer);
            if (m_exclude.matchesName(top.exclude, lowerName, isFolder))
                continue;
        }
        list.append(name, top.folderId, item.attr, item.size, item.modified);
        if (progress)
            progress->count.store(++count, std::memory_order_relaxed);
        if (isFolder && includeSubs && item.enter)
            push(top.subfolders[top.nextSub++], top.path + name.toString() + u'\\', lowerName);
    }
    resort(list);
    return rootRead;
}
