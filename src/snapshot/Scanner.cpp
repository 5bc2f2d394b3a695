#include "Scanner.h"

#include "DirectoryReader.h"
#include "NameCodec.h"
#include "NewSnapshot.h"
#include "Progress.h"
#include "SnapshotList.h"
#include "sort/ColumnSorts.h"
#include "sort/TextKeys.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <vector>

namespace {

Details detailsOf(const DirectoryReader::Item &item, const DirectoryReader::Batch &batch) {
    Details d;
    d.mode = item.mode;
    d.uid = item.uid;
    d.gid = item.gid;
    d.links = item.links;
    d.device = item.volume;
    d.inode = item.node;
    d.rdev = item.rdev;
    d.nanoseconds = item.nanoseconds;
    if (item.targetLength)
        d.linkTarget = QStringView(batch.names.data() + item.targetOffset,
                                   static_cast<qsizetype>(item.targetLength))
                           .toString();
    if (item.capabilityLength)
        d.capability = QByteArray(batch.native.data() + item.capabilityOffset,
                                  static_cast<qsizetype>(item.capabilityLength));
    return d;
}

// Folders by their identity on their volume. One walk lists every folder of a tree, so this is
// a flat table: one probe is one cache line, where a node-based set
// allocates and chases a pointer per folder.
class FolderSet {
public:
    // Returns false when the folder was there already.
    bool insert(std::uint64_t volume, std::uint64_t node) {
        if (2 * (m_used + 1) > m_slots.size())
            grow();
        return place(volume, node);
    }

private:
    struct Slot {
        std::uint64_t volume = 0;
        std::uint64_t node = 0;
        bool used = false;
    };

    bool place(std::uint64_t volume, std::uint64_t node) {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t k = static_cast<std::size_t>(
                            (node ^ volume * 0xC2B2AE3D27D4EB4Full) * 0x9E3779B97F4A7C15ull >> 20) &
                        mask;
        for (;; k = (k + 1) & mask) {
            Slot &slot = m_slots[k];
            if (!slot.used) {
                slot = {volume, node, true};
                ++m_used;
                return true;
            }
            if (slot.volume == volume && slot.node == node)
                return false;
        }
    }

    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(64, m_slots.size() * 2));
        old.swap(m_slots);
        m_used = 0;
        for (const Slot &slot : old) {
            if (slot.used)
                place(slot.volume, slot.node);
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

// A folder the walk may go into, read by whichever thread comes to it first.
struct Folder {
    enum class State { Waiting, Reading, Read };
    std::string path;                   // below the root, names joined by "/"; empty for the root
    std::uint32_t item = 0;             // its entry in its parent's batch
    std::uint64_t volume = 0, node = 0; // what it is on its volume, as its entry says
    DirectoryReader::Batch batch;
    ExcludePatterns::FolderState exclude; // kept only while there are patterns
    // Its subfolders that no pattern leaves out and that its reader lets the walk go into, in
    // the order they are listed. Whether the walk does (a folder listed twice is entered once)
    // is decided in the order of the walk, when it comes to this folder.
    std::vector<Folder *> subs;
    bool ok = false;
    bool dropped = false; // the walk does not go into it after all
    bool counted = false; // its entries count as read ahead
    // Reading it ahead ran out of memory: the walk meets that when it comes to the folder.
    bool outOfMemory = false;
    State state = State::Waiting;
};

// Reads folders on threads of its own ahead of the walk, which takes in what was read in its
// own order. A folder is read before the walk decides to go into it: as soon as its parent is
// read, its subfolders are there to read, so the threads follow the tree depth first as the
// walk will, and a thread is not kept waiting for the walk to come to a parent. A folder the
// walk then does not go into (one listed before) is dropped with what was read below it; one
// that a pattern leaves out is never read. Reading ahead stops at a bound, so that a large tree
// is not held in memory whole.
class ReadAhead {
public:
    ReadAhead(DirectoryReader &reader, const ExcludePatterns &exclude, bool includeSubs,
              int threads)
        : m_reader(reader), m_exclude(exclude), m_excluding(!exclude.isEmpty()),
          m_includeSubs(includeSubs) {
        // Threads that cannot be had leave the reading to those there are, or to the walk.
        try {
            for (int k = 0; threads > 1 && k < threads; ++k)
                m_threads.emplace_back([this] { work(); });
        } catch (const std::system_error &) {
        }
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

    // Reads the root on this thread; the threads go on from there.
    Folder *readRoot(std::string_view native) {
        auto root = std::make_unique<Folder>();
        if (m_excluding)
            root->exclude = m_exclude.rootState();
        root->state = Folder::State::Reading;
        root->ok = m_reader.readRoot(native, root->batch);
        finishRead(*root, false);
        return root.release();
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
            finishRead(folder, false);
            return;
        }
        m_awaited = &folder;
        m_done.wait(lock, [&] { return folder.state == Folder::State::Read; });
        m_awaited = nullptr;
        uncount(folder);
        if (folder.outOfMemory)
            throw std::bad_alloc();
    }

    // Takes back a folder the walk has taken in and is done with.
    void release(Folder *folder) { delete folder; }

    // Takes back a folder the walk will not go into, with everything read ahead below it. A
    // thread may be reading it still, so it is kept until they stop.
    void drop(Folder *folder) {
        std::lock_guard lock(m_mutex);
        dropLocked(folder);
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
            if (folder->dropped || folder->state != Folder::State::Waiting)
                continue;
            folder->state = Folder::State::Reading;
            lock.unlock();
            try {
                folder->ok = m_reader.read(folder->path, folder->batch);
                findSubs(*folder);
            } catch (const std::bad_alloc &) {
                folder->ok = false;
                folder->outOfMemory = true;
            }
            lock.lock();
            try {
                published(*folder, true);
            } catch (const std::bad_alloc &) {
                folder->outOfMemory = true; // read, and the walk is told
                m_done.notify_all();
            }
        }
    }

    void finishRead(Folder &folder, bool ahead) {
        findSubs(folder);
        std::lock_guard lock(m_mutex);
        published(folder, ahead);
    }

    // The subfolders the walk may go into. Patterns are matched here, so that a folder they
    // leave out is never read.
    void findSubs(Folder &folder) {
        if (!m_includeSubs || !folder.ok)
            return;
        const DirectoryReader::Batch &batch = folder.batch;
        const bool patterns = m_excluding && !folder.exclude.live.empty();
        QString buffer;
        for (std::size_t i = 0; i < batch.items.size(); ++i) {
            const DirectoryReader::Item &item = batch.items[i];
            if (!(item.attr & 16) || !item.enter)
                continue;
            QStringView lowerName;
            if (patterns) {
                const QStringView name(batch.names.data() + item.nameOffset,
                                       static_cast<qsizetype>(item.nameLength));
                lowerName = TextKeys::lowered(name, buffer);
                if (m_exclude.matchesName(folder.exclude, lowerName, true))
                    continue;
            }
            auto sub = std::make_unique<Folder>();
            const std::string_view native = batch.nativeName(item);
            sub->path.reserve(folder.path.size() + native.size() + 1);
            sub->path.append(folder.path);
            if (!folder.path.empty())
                sub->path += '/';
            sub->path.append(native);
            sub->item = static_cast<std::uint32_t>(i);
            sub->volume = item.volume;
            sub->node = item.node;
            if (m_excluding)
                m_exclude.enter(folder.exclude, lowerName, sub->exclude);
            folder.subs.push_back(sub.release());
        }
    }

    // With the lock held: the folder is read; its subfolders are there to read, before every
    // folder named earlier, since they come first in the walk.
    void published(Folder &folder, bool ahead) {
        folder.state = Folder::State::Read;
        if (folder.dropped) {
            for (Folder *sub : folder.subs)
                dropLocked(sub);
            folder.batch = {};
            return;
        }
        if (ahead) {
            folder.counted = true;
            m_ahead += folder.batch.items.size() + 1;
        }
        if (!m_threads.empty() && !folder.subs.empty()) {
            // A folder met before while reading ahead (a bind mount, a loop back up the tree) is
            // not read ahead again: a loop would go on until the bound. Where the walk does go
            // into it, it reads it when it comes to it.
            std::size_t queued = 0;
            for (Folder *sub : folder.subs) {
                if ((!sub->volume && !sub->node) || m_readAhead.insert(sub->volume, sub->node))
                    m_queue.insert(m_queue.begin() + static_cast<std::ptrdiff_t>(queued++), sub);
            }
            m_wake.notify_all();
        }
        if (m_awaited == &folder)
            m_done.notify_one();
    }

    void uncount(Folder &folder) {
        if (!folder.counted)
            return;
        folder.counted = false;
        const bool full = m_ahead >= ReadAheadLimit;
        m_ahead -= folder.batch.items.size() + 1;
        if (full && m_ahead < ReadAheadLimit)
            m_wake.notify_all();
    }

    // Without recursion: what was read ahead below a folder may be as deep as the tree.
    void dropLocked(Folder *top) {
        std::vector<Folder *> pending = {top};
        while (!pending.empty()) {
            Folder *folder = pending.back();
            pending.pop_back();
            folder->dropped = true;
            m_dropped.emplace_back(folder);
            // One being read is let go of when its thread is done with it; one waiting stays
            // in the queue until a thread skips it.
            if (folder->state != Folder::State::Read)
                continue;
            uncount(*folder);
            pending.insert(pending.end(), folder->subs.begin(), folder->subs.end());
            folder->batch = {};
        }
    }

    DirectoryReader &m_reader;
    const ExcludePatterns &m_exclude;
    const bool m_excluding;
    const bool m_includeSubs;
    std::mutex m_mutex;
    std::condition_variable m_wake; // for the readers: a folder to read, or the end
    std::condition_variable m_done; // for the walk: the folder it waits for is read
    std::deque<Folder *> m_queue;   // folders to read, about the order the walk needs them in
    std::vector<std::unique_ptr<Folder>> m_dropped;
    FolderSet m_readAhead;   // the folders named for reading ahead
    std::size_t m_ahead = 0; // entries read by the threads that the walk has not taken in
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
};

} // namespace

int Scanner::defaultReadThreads() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool Scanner::readDirectory(const QString &root, SnapshotList &list, bool includeSubs,
                            Progress *progress) {
    return readDirectory(NameCodec::pathToBytes(root), root, list, includeSubs, progress);
}

bool Scanner::readDirectory(const QByteArray &nativeRoot, const QString &root, SnapshotList &list,
                            bool includeSubs, Progress *progress) {
    std::vector<std::unique_ptr<Frame>> stack;
    std::vector<std::unique_ptr<Frame>> spare; // frames kept for their allocations
    const bool excluding = !m_exclude.isEmpty();
    ReadAhead reader(m_reader, m_exclude, includeSubs, includeSubs ? m_threads : 1);
    // The folders listed so far that the walk may go into: one listed again (a bind mount, a
    // loop) is entered only where it is listed first. The walk decides this as it takes in each
    // folder, in its own order, so it does not depend on which thread read what first.
    FolderSet listed;

    // Takes in a folder that has been read: decides which of its subfolders the walk goes into.
    auto takeIn = [&](Frame &frame) {
        Folder &folder = *frame.folder;
        if (!folder.ok) {
            folder.batch.clear();
            list.unreadable << list.folders().text(frame.folderId);
        }
        frame.subfolders.clear();
        frame.nextSub = 0;
        const bool cancelled = progress && progress->cancelled();
        std::size_t sub = 0;
        for (std::size_t i = 0; i < folder.batch.items.size(); ++i) {
            DirectoryReader::Item &item = folder.batch.items[i];
            if (!(item.attr & 16))
                continue;
            if (item.enter && (item.volume || item.node))
                item.enter = listed.insert(item.volume, item.node);
            // A folder with no reading ahead is one left out (its entry with it) or not to be
            // entered at all.
            Folder *ahead = nullptr;
            if (sub < folder.subs.size() && folder.subs[sub]->item == i)
                ahead = folder.subs[sub++];
            if (!ahead) {
                item.enter = false;
            } else if (item.enter && !cancelled) {
                frame.subfolders.push_back(ahead);
            } else {
                item.enter = false;
                reader.drop(ahead);
            }
        }
    };

    auto push = [&](Folder *folder, QString path) {
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
        if (!stack.empty())
            reader.await(*folder);
        takeIn(*frame);
        stack.push_back(std::move(frame));
    };

    Folder *rootFolder = reader.readRoot(
        std::string_view(nativeRoot.constData(), static_cast<std::size_t>(nativeRoot.size())));
    const bool rootRead = rootFolder->ok;
    push(rootFolder, QString());
    QString lowerBuffer;
    std::int64_t count = progress ? progress->count.load() : 0;
    while (!stack.empty()) {
        Frame &top = *stack.back();
        const Folder &folder = *top.folder;
        if (top.next == folder.batch.items.size() || (progress && progress->cancelled())) {
            // The folder's number is known since the walk went in: no look-up of its text.
            list.addLimit(top.folderId);
            if (progress && progress->wantsText())
                progress->setText(NewSnapshot::pathBelow(root, top.path));
            for (std::size_t k = top.nextSub; k < top.subfolders.size(); ++k)
                reader.drop(top.subfolders[k]);
            reader.release(top.folder);
            spare.push_back(std::move(stack.back()));
            stack.pop_back();
            continue;
        }
        const DirectoryReader::Item &item = folder.batch.items[top.next++];
        const QStringView name(folder.batch.names.data() + item.nameOffset,
                               static_cast<qsizetype>(item.nameLength));
        const bool isFolder = item.attr & 16;
        // A folder no pattern can reach into costs no look at its names.
        if (excluding && !folder.exclude.live.empty() &&
            m_exclude.matchesName(folder.exclude, TextKeys::lowered(name, lowerBuffer), isFolder))
            continue;
        if (item.mode)
            list.append(name, top.folderId, item.attr, item.size, item.modified,
                        detailsOf(item, folder.batch));
        else
            list.append(name, top.folderId, item.attr, item.size, item.modified);
        if (m_keepChangeTimes && S_ISREG(item.mode))
            list.setChangeTime(list.size() - 1, item.changed);
        if (progress)
            progress->count.store(++count, std::memory_order_relaxed);
        if (isFolder && item.enter)
            push(top.subfolders[top.nextSub++], top.path + name.toString() + u'\\');
    }
    resort(list);
    return rootRead;
}
