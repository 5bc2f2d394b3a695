#include "DateSerial.h"
#include "DirectoryReader.h"
#include "MountTable.h"
#include "NameCodec.h"

#include <algorithm>
#include <cmath>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
    ~PosixDirectoryReader() override { closeFrom(0); }

    bool read(int depth, std::string_view native, Batch &batch) override {
        batch.clear();
        closeFrom(depth);
        m_levels.resize(static_cast<std::size_t>(depth) + 1);
        Level &level = m_levels[static_cast<std::size_t>(depth)];
        level.name.assign(native);
        const int fd = openLevel(depth);
        if (fd < 0)
            return false;
        if (depth == 0) {
            struct stat st;
            if (fstat(fd, &st) != 0) {
                ::close(fd);
                return false;
            }
            m_rootDevice = st.st_dev;
            m_entered.clear();
            m_entered.insert({st.st_dev, st.st_ino});
        }
        DIR *dir = fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return false;
        }
        level.dir = dir;
        ++m_open;
        readEntries(dir, batch);
        limitOpenHandles(depth);
        return true;
    }

private:
    struct Level {
        std::string name;
        DIR *dir = nullptr;
    };

    // Ancestors beyond this many keep no open handle; they are opened again by name when
    // the walk comes back to them, so a deep tree cannot run out of file descriptors.
    static constexpr int MaxOpen = 64;

    int openLevel(int depth) {
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        if (depth == 0)
            return ::open(m_levels[0].name.c_str(), flags);
        if (m_levels[depth - 1].dir) {
            const int parent = dirfd(m_levels[depth - 1].dir);
            return ::openat(parent, m_levels[depth].name.c_str(), flags | O_NOFOLLOW);
        }
        // Walk down from the deepest ancestor still open.
        int from = depth - 1;
        while (from > 0 && !m_levels[from].dir)
            --from;
        int fd = m_levels[from].dir ? ::dup(dirfd(m_levels[from].dir))
                                    : ::open(m_levels[0].name.c_str(), flags);
        for (int k = from + 1; fd >= 0 && k <= depth; ++k) {
            const int next = ::openat(fd, m_levels[k].name.c_str(), flags | O_NOFOLLOW);
            ::close(fd);
            fd = next;
        }
        return fd;
    }

    void limitOpenHandles(int depth) {
        for (int k = 1; m_open > MaxOpen && k < depth - 1; ++k) {
            if (m_levels[k].dir) {
                closedir(m_levels[k].dir);
                m_levels[k].dir = nullptr;
                --m_open;
            }
        }
    }

    void closeFrom(int depth) {
        for (std::size_t k = static_cast<std::size_t>(depth); k < m_levels.size(); ++k) {
            if (m_levels[k].dir) {
                closedir(m_levels[k].dir);
                m_levels[k].dir = nullptr;
                --m_open;
            }
        }
    }

    // Whether the walk goes into a folder it lists. A folder mounted below itself, or twice, is
    // entered once: a walk must end.
    bool mayEnter(const struct stat &st) {
        if (st.st_dev != m_rootDevice &&
            (!m_otherVolumes || std::find(m_kernelDevices.begin(), m_kernelDevices.end(),
                                          std::uint64_t(st.st_dev)) != m_kernelDevices.end()))
            return false;
        return m_entered.insert({st.st_dev, st.st_ino}).second;
    }

    void readEntries(DIR *dir, Batch &batch) {
        const int fd = dirfd(dir);
        while (dirent *d = readdir(dir)) {
            const char *name = d->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            struct stat st;
            // Looking at a mount point must not mount what an automounter keeps there.
            if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0)
                continue; // gone since the folder was listed
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
            item.enter = S_ISDIR(st.st_mode) && mayEnter(st);
            if (!S_ISDIR(st.st_mode)) {
                double serial;
                if (DateSerial::fromUnixTime(st.st_mtim.tv_sec, serial))
                    item.modified = serial;
            }
            batch.items.push_back(item);
        }
    }

    bool m_otherVolumes;
    std::vector<std::uint64_t> m_kernelDevices;
    dev_t m_rootDevice = 0;
    std::set<std::pair<dev_t, ino_t>> m_entered; // the folders the walk goes into
    std::vector<Level> m_levels;
    int m_open = 0;
};

} // namespace

std::unique_ptr<DirectoryReader> makeDirectoryReader(bool otherVolumes) {
    return std::make_unique<PosixDirectoryReader>(otherVolumes);
}
