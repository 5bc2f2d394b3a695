#include "DateSerial.h"
#include "DirectoryReader.h"

#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

void appendName(std::vector<char16_t> &names, const char *name, std::size_t length) {
    bool ascii = true;
    for (std::size_t i = 0; i < length; ++i)
        ascii = ascii && static_cast<unsigned char>(name[i]) < 0x80;
    if (ascii) {
        for (std::size_t i = 0; i < length; ++i)
            names.push_back(static_cast<char16_t>(name[i]));
        return;
    }
    const QString text = QFile::decodeName(QByteArray(name, static_cast<qsizetype>(length)));
    names.insert(names.end(), text.utf16(), text.utf16() + text.size());
}

class PosixDirectoryReader final : public DirectoryReader {
public:
    ~PosixDirectoryReader() override { closeFrom(0); }

    bool read(int depth, const QString &nameOrRoot, Batch &batch) override {
        batch.clear();
        closeFrom(depth);
        m_levels.resize(static_cast<std::size_t>(depth) + 1);
        Level &level = m_levels[static_cast<std::size_t>(depth)];
        level.name = QFile::encodeName(nameOrRoot);
        const int fd = openLevel(depth);
        if (fd < 0)
            return false;
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
        QByteArray name;
        DIR *dir = nullptr;
    };

    // Ancestors beyond this many keep no open handle; they are opened again by name when
    // the walk comes back to them, so a deep tree cannot run out of file descriptors.
    static constexpr int MaxOpen = 64;

    int openLevel(int depth) {
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        if (depth == 0)
            return ::open(m_levels[0].name.constData(), flags);
        if (m_levels[depth - 1].dir) {
            const int parent = dirfd(m_levels[depth - 1].dir);
            return ::openat(parent, m_levels[depth].name.constData(), flags | O_NOFOLLOW);
        }
        // Walk down from the deepest ancestor still open.
        int from = depth - 1;
        while (from > 0 && !m_levels[from].dir)
            --from;
        int fd = m_levels[from].dir ? ::dup(dirfd(m_levels[from].dir))
                                    : ::open(m_levels[0].name.constData(), flags);
        for (int k = from + 1; fd >= 0 && k <= depth; ++k) {
            const int next = ::openat(fd, m_levels[k].name.constData(), flags | O_NOFOLLOW);
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

    static void readEntries(DIR *dir, Batch &batch) {
        const int fd = dirfd(dir);
        while (dirent *d = readdir(dir)) {
            const char *name = d->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            struct stat st;
            if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone since the folder was listed
            Item item{};
            item.nameOffset = static_cast<std::uint32_t>(batch.names.size());
            appendName(batch.names, name, std::strlen(name));
            item.nameLength = static_cast<std::uint32_t>(batch.names.size()) - item.nameOffset;
            item.attr = attributesOf(st, name);
            item.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
            item.modified = std::nan("");
            if (!S_ISDIR(st.st_mode)) {
                double serial;
                if (DateSerial::fromUnixTime(st.st_mtim.tv_sec, serial))
                    item.modified = serial;
            }
            batch.items.push_back(item);
        }
    }

    std::vector<Level> m_levels;
    int m_open = 0;
};

} // namespace

std::unique_ptr<DirectoryReader> makeDirectoryReader() {
    return std::make_unique<PosixDirectoryReader>();
}
