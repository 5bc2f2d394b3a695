#include "ContentsHasher.h"

#include "DateSerial.h"
#include "NameCodec.h"
#include "Progress.h"
#include "SnapshotList.h"

#include <QFile>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

// The path of entry i below the root, as the file system takes it; empty for an entry no file
// system can hold, which is then not read.
QByteArray pathOf(const QByteArray &root, const SnapshotList &list, int i) {
    const QByteArray below = NameCodec::pathBytes(list.folder(i), list.name(i));
    return below.isEmpty() ? below : root + (root.endsWith('/') ? "" : "/") + below;
}

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// No waiting on a pipe put there since the scan, no following a link put there, and no access
// time changed where we may keep it (the owner's files, or root's): an audit leaves no trace.
int openQuietly(const QByteArray &path) {
    if (path.isEmpty())
        return -1;
    constexpr int Flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    const int fd = ::open(path.constData(), Flags | O_NOATIME);
    return fd < 0 && errno == EPERM ? ::open(path.constData(), Flags) : fd;
}

// Has the kernel read a file in while the one before it is hashed: one file at a time leaves
// the disk idle while the processor works otherwise.
void readAhead(const QByteArray &path) {
    const int fd = openQuietly(path);
    if (fd < 0)
        return;
    posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
    ::close(fd);
}

enum class Outcome { Hashed, Unreadable, Changing };

// Reads one file whole, and tells the change time the file had then: 0 when the file changed
// within the second it was read, or later, as a second change in that second may leave the
// change time as it was (the file system keeps it coarser than the clock). A file that is not
// the regular file the scan saw (replaced by a pipe or a link since), or that changes while it
// is read, has no digest.
Outcome hashFile(const QByteArray &path, std::vector<unsigned char> &buffer, EVP_MD_CTX *ctx,
                 Digest &digest, std::uint64_t &changeTime) {
    timespec started{};
    clock_gettime(CLOCK_REALTIME, &started);
    const int fd = openQuietly(path);
    if (fd < 0)
        return Outcome::Unreadable;
    const std::unique_ptr<int, void (*)(int *)> closer(new int(fd), [](int *f) {
        ::close(*f);
        delete f;
    });
    struct stat before {};
    if (fstat(fd, &before) != 0 || !S_ISREG(before.st_mode))
        return Outcome::Unreadable;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Outcome::Unreadable;
        }
        EVP_DigestUpdate(ctx, buffer.data(), std::size_t(n));
    }
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx, digest.data(), &length);
    struct stat after {};
    if (fstat(fd, &after) != 0 || !sameFile(before, after))
        return Outcome::Changing;
    changeTime = after.st_ctim.tv_sec < started.tv_sec
                     ? nanosecondsSince1970(after.st_ctim.tv_sec, after.st_ctim.tv_nsec)
                     : 0;
    return Outcome::Hashed;
}

// Whether two modified times are one second, the one read from a file as written (to ten
// decimal places of a day) and the other as scanned.
bool sameSecond(double a, double b) {
    std::int64_t dayA = 0, dayB = 0;
    int secondA = 0, secondB = 0;
    DateSerial::split(a, dayA, secondA);
    DateSerial::split(b, dayB, secondB);
    return dayA == dayB && secondA == secondB;
}

// The digests of a list taken before, found by the volume and inode of their files.
class EarlierDigests {
public:
    explicit EarlierDigests(const SnapshotList *earlier) : m_list(earlier) {
        if (!earlier || !earlier->hasContents() || !earlier->hasDetails())
            return;
        for (int j = 0; j < earlier->size(); ++j) {
            // A change time without a digest is one a scan saw of a file not read since.
            if (earlier->digestChangeTime(j) == 0 || !hasDigest(earlier->digest(j)))
                continue;
            const Details d = earlier->details(j);
            m_files.push_back({d.device, d.inode, j});
        }
        std::sort(m_files.begin(), m_files.end());
    }
    bool isEmpty() const { return m_files.empty(); }

    // Whether entry i of `list`, as its scan saw it, is the file an earlier entry was read
    // from, unchanged since; if so, takes that entry's digest and change time.
    bool find(const SnapshotList &list, int i, Digest &digest, std::uint64_t &changeTime) const {
        const std::uint64_t scanned = list.digestChangeTime(i);
        if (scanned == 0)
            return false;
        const Entry &e = list.entry(i);
        const Details d = list.details(i);
        const File key{d.device, d.inode, 0};
        for (auto it = std::lower_bound(m_files.begin(), m_files.end(), key);
             it != m_files.end() && it->device == key.device && it->inode == key.inode; ++it) {
            const Entry &old = m_list->entry(it->index);
            if (m_list->digestChangeTime(it->index) == scanned && old.size == e.size &&
                sameSecond(old.modified, e.modified) &&
                m_list->details(it->index).nanoseconds == d.nanoseconds) {
                digest = m_list->digest(it->index);
                changeTime = scanned;
                return true;
            }
        }
        return false;
    }

private:
    struct File {
        std::uint64_t device, inode;
        int index;
        auto operator<=>(const File &) const = default;
    };
    const SnapshotList *m_list;
    std::vector<File> m_files;
};

} // namespace

int ContentsHasher::threadsFor(const QByteArray &nativeRoot) {
    struct stat st {};
    if (::stat(nativeRoot.constData(), &st) != 0)
        return 1;
    // The queue of the disk the root lies on; a partition's is its disk's.
    const QByteArray device = QByteArray("/sys/dev/block/") + QByteArray::number(major(st.st_dev)) +
                              ':' + QByteArray::number(minor(st.st_dev));
    for (const char *queue : {"/queue/rotational", "/../queue/rotational"}) {
        QFile flag(QFile::decodeName(device + queue));
        if (flag.open(QIODevice::ReadOnly))
            return flag.read(1) == "1" ? 1 : int(std::max(1u, std::thread::hardware_concurrency()));
    }
    // No block device (tmpfs, overlay, a network file system): memory or not ours to spare.
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

void ContentsHasher::hash(const QByteArray &nativeRoot, SnapshotList &list, int threads,
                          Progress *progress, int first) {
    m_unreadable.clear();
    m_reused = 0;
    const EarlierDigests earlier(m_earlier);
    std::vector<std::pair<std::uint64_t, int>> byInode;
    for (int i = first; i < list.size(); ++i) {
        const Details d = list.details(i);
        if (S_ISREG(d.mode))
            byInode.emplace_back(d.inode, i);
    }
    // One at a time, the files go in the order they lie on the disk, as near as the inode
    // numbers tell it.
    if (threads <= 1)
        std::sort(byInode.begin(), byInode.end());
    std::vector<int> files;
    files.reserve(byInode.size());
    for (const auto &[inode, i] : byInode)
        files.push_back(i);
    byInode = {};
    if (progress)
        progress->total = static_cast<std::int64_t>(files.size());

    std::vector<Digest> digests(files.size());
    std::vector<std::uint64_t> changeTimes(files.size());
    std::vector<char> failed(files.size());
    std::atomic<std::size_t> next{0};
    std::atomic<std::int64_t> reused{0};
    std::atomic<std::int64_t> done{0};
    // Memory running out on any thread stops them all and is thrown again from here.
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto hashFiles = [&] {
        std::vector<unsigned char> buffer(256 << 10);
        const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX *)> ctx(EVP_MD_CTX_new(),
                                                                      EVP_MD_CTX_free);
        if (!ctx)
            throw std::bad_alloc();
        for (std::size_t k; (k = next.fetch_add(1)) < files.size();) {
            if (progress && progress->cancelled())
                return;
            // The list is only read meanwhile, which any number of threads may do.
            if (!earlier.isEmpty() && earlier.find(list, files[k], digests[k], changeTimes[k])) {
                reused.fetch_add(1, std::memory_order_relaxed);
            } else {
                if (threads <= 1 && k + 1 < files.size())
                    readAhead(pathOf(nativeRoot, list, files[k + 1]));
                const QByteArray path = pathOf(nativeRoot, list, files[k]);
                Outcome outcome = hashFile(path, buffer, ctx.get(), digests[k], changeTimes[k]);
                if (outcome == Outcome::Changing) // once more: a write may have just ended
                    outcome = hashFile(path, buffer, ctx.get(), digests[k], changeTimes[k]);
                if (outcome != Outcome::Hashed) {
                    digests[k] = {};
                    failed[k] = 1;
                }
            }
            if (progress)
                progress->count.store(++done, std::memory_order_relaxed);
        }
    };
    auto work = [&] {
        try {
            hashFiles();
        } catch (...) {
            const std::lock_guard lock(failureMutex);
            failure = std::current_exception();
            next = files.size();
        }
    };
    {
        std::vector<std::jthread> pool;
        for (int t = 1; t < threads; ++t) {
            try {
                pool.emplace_back(work);
            } catch (const std::system_error &) {
                break; // no more threads to be had: fewer do the work
            }
        }
        work();
    }
    if (failure)
        std::rethrow_exception(failure);
    m_reused = reused;
    for (std::size_t k = 0; k < files.size(); ++k) {
        list.setDigest(files[k], digests[k], changeTimes[k]);
        if (failed[k])
            m_unreadable << list.folder(files[k]) + list.name(files[k]).toString();
    }
}
