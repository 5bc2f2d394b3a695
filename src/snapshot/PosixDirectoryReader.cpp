#include "DateSerial.h"
#include "Details.h"
#include "DirectoryReader.h"
#include "MountTable.h"
#include "NameCodec.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#ifdef __linux__
#include <linux/openat2.h>
#endif
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// Maps POSIX file properties onto the attribute word of the snapshot format.
std::int32_t attributesOf(const struct stat &st, const char *name) {
    std::int32_t attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= 16;
    else if (S_ISREG(st.st_mode))
        attr |= 32;
    else if (S_ISLNK(st.st_mode))
        attr |= 1024;
    else
        attr |= 4; // devices, FIFOs and sockets
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))
        attr |= 1;
    if (name[0] == '.')
        attr |= 2;
    return attr;
}

class PosixDirectoryReader final : public DirectoryReader {
public:
    explicit PosixDirectoryReader(bool otherVolumes) : m_otherVolumes(otherVolumes) {
        if (otherVolumes)
            m_kernelDevices = MountTable::kernelDevices();
    }
    ~PosixDirectoryReader() override {
        if (m_root >= 0)
            ::close(m_root);
    }

    bool readRoot(std::string_view native, Batch &batch) override {
        batch.clear();
        if (m_root >= 0)
            ::close(m_root);
        m_root = ::open(std::string(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st;
        if (m_root < 0 || fstat(m_root, &st) != 0)
            return false;
        m_rootDevice = st.st_dev;
        m_rootNode = st.st_ino;
        return readFolder(::dup(m_root), batch);
    }

    bool read(std::string_view path, Batch &batch) override {
        batch.clear();
        return readFolder(openBelowRoot(path), batch);
    }

private:
    static constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW;

    // Lists the folder straight from the kernel's records into the batch: a DIR stream would
    // cost a buffer allocated and freed for every folder.
    bool readFolder(int fd, Batch &batch) const {
        if (fd < 0)
            return false;
        alignas(dirent64) char buffer[32768];
        ssize_t got;
        while ((got = getdents64(fd, buffer, sizeof buffer)) > 0) {
            for (ssize_t at = 0; at < got;) {
                const auto *d = reinterpret_cast<const dirent64 *>(buffer + at);
                at += d->d_reclen;
                addEntry(fd, d->d_name, batch);
            }
        }
        ::close(fd);
        // A folder the disk fails to list to its end counts as one that could not be read.
        return got == 0;
    }

    // Opens a folder by its path below the root without following a symbolic link on the way:
    // a folder swapped for a link while the walk runs must not lead it out of the tree. A path
    // too long for one call is opened a stretch at a time.
    int openBelowRoot(std::string_view path) const {
        char part[PATH_MAX];
        int fd = m_root;
        while (fd >= 0 && !path.empty()) {
            std::size_t length = path.size();
            if (length >= sizeof part) {
                length = path.rfind('/', sizeof part - 1);
                if (length == std::string_view::npos || length == 0) {
                    errno = ENAMETOOLONG;
                    length = 0;
                }
            }
            int next = -1;
            if (length > 0) {
                path.copy(part, length);
                part[length] = 0;
                next = openNoLinks(fd, part);
            }
            if (fd != m_root)
                ::close(fd);
            fd = next;
            path.remove_prefix(std::min(path.size(), length + 1));
        }
        return fd == m_root ? ::dup(m_root) : fd;
    }

    int openNoLinks(int at, char *path) const {
#ifdef SYS_openat2
        if (m_openat2.load(std::memory_order_relaxed)) {
            open_how how{};
            how.flags = FolderFlags;
            how.resolve = RESOLVE_NO_SYMLINKS;
            const long fd = ::syscall(SYS_openat2, at, path, &how, sizeof how);
            if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
                return static_cast<int>(fd);
            // A kernel (or a sandbox) without it: one name at a time, each refusing a link.
            if (errno == ENOSYS)
                m_openat2.store(false, std::memory_order_relaxed);
        }
#endif
        int fd = at;
        for (char *name = path; fd >= 0 && name;) {
            char *slash = std::strchr(name, '/');
            if (slash)
                *slash = 0;
            const int next = ::openat(fd, name, FolderFlags);
            if (fd != at)
                ::close(fd);
            fd = next;
            name = slash ? slash + 1 : nullptr;
        }
        return fd;
    }

    // Whether the walk may go into a folder it lists: the rest (a folder listed twice) is the
    // scanner's to decide, in the order of its walk.
    bool mayEnter(const struct stat &st) const {
        if (st.st_dev != m_rootDevice &&
            (!m_otherVolumes || std::find(m_kernelDevices.begin(), m_kernelDevices.end(),
                                          std::uint64_t(st.st_dev)) != m_kernelDevices.end()))
            return false;
        return st.st_dev != m_rootDevice || st.st_ino != m_rootNode;
    }

    void addEntry(int fd, const char *name, Batch &batch) const {
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            return;
        struct stat st;
        // Looking at a mount point must not mount what an automounter keeps there.
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0)
            return; // gone since the folder was listed
        const std::string_view native(name);
        Item item{};
        item.nameOffset = static_cast<std::uint32_t>(batch.names.size());
        NameCodec::appendText(batch.names, native);
        item.nameLength = static_cast<std::uint32_t>(batch.names.size()) - item.nameOffset;
        item.nativeOffset = static_cast<std::uint32_t>(batch.native.size());
        item.nativeLength = static_cast<std::uint32_t>(native.size());
        batch.native.append(native);
        item.attr = attributesOf(st, name);
        item.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
        item.modified = std::nan("");
        item.volume = st.st_dev;
        item.node = st.st_ino;
        item.changed = nanosecondsSince1970(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
        item.mode = st.st_mode;
        item.uid = st.st_uid;
        item.gid = st.st_gid;
        item.links = static_cast<std::uint32_t>(st.st_nlink);
        item.rdev = (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? st.st_rdev : 0;
        if (S_ISDIR(st.st_mode)) {
            item.enter = mayEnter(st);
        } else {
            item.enter = false;
            double serial;
            if (DateSerial::fromUnixTime(st.st_mtim.tv_sec, serial)) {
                item.modified = serial;
                item.nanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
            }
        }
        if (S_ISLNK(st.st_mode))
            addLinkTarget(fd, name, st, item, batch);
        // A capability counts only when the file is run, so only files that may be run are
        // asked for one: the rest would cost a call each and tell nothing.
        if (S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)))
            addCapability(fd, name, item, batch);
        batch.items.push_back(item);
    }

    static void addLinkTarget(int fd, const char *name, const struct stat &st, Item &item,
                              Batch &batch) {
        std::string target(st.st_size > 0 ? std::size_t(st.st_size) : std::size_t(256), '\0');
        for (;;) {
            const ssize_t n = readlinkat(fd, name, target.data(), target.size());
            if (n < 0)
                return; // gone, or replaced since it was looked at
            if (std::size_t(n) < target.size() || target.size() >= 1 << 20) {
                target.resize(std::size_t(n));
                break;
            }
            target.resize(2 * target.size()); // it grew since it was looked at
        }
        item.targetOffset = static_cast<std::uint32_t>(batch.names.size());
        NameCodec::appendText(batch.names, target);
        item.targetLength = static_cast<std::uint32_t>(batch.names.size()) - item.targetOffset;
    }

    static void addCapability(int fd, const char *name, Item &item, Batch &batch) {
        // No call asks a file's attributes by folder and name, so the folder is named through
        // its descriptor.
        char path[64 + NAME_MAX];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d/%s", fd, name);
        char value[256];
        const ssize_t n = lgetxattr(path, "security.capability", value, sizeof value);
        if (n <= 0)
            return;
        item.capabilityOffset = static_cast<std::uint32_t>(batch.native.size());
        item.capabilityLength = static_cast<std::uint32_t>(n);
        batch.native.append(value, std::size_t(n));
    }

    bool m_otherVolumes;
    std::vector<std::uint64_t> m_kernelDevices;
    int m_root = -1; // the root of the walk, open while it runs
    dev_t m_rootDevice = 0;
    ino_t m_rootNode = 0;
    mutable std::atomic<bool> m_openat2{true};
};

} // namespace

std::unique_ptr<DirectoryReader> makeDirectoryReader(bool otherVolumes) {
    return std::make_unique<PosixDirectoryReader>(otherVolumes);
}
