#include "FileWriter.h"
#include "PosixRead.h"
#include "snapshot/NameCodec.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Creates a new file beside the target, named after it. The kernel applies the umask itself:
// reading the mask by setting it would change it for every thread of the process meanwhile,
// and two saves at once could leave it at 0 for good.
int createTemporary(const QByteArray &target, QByteArray &name) {
    static constexpr char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".vistrel-";
        for (int k = 0; k < 6; ++k)
            name += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)];
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The new name lasts through a power cut only once the folder is on the disk too. The file is
// in place either way, so a failure here is no failure of the save.
void syncFolderOf(const QByteArray &path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : path.left(slash > 0 ? slash : 1);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

FileWriter::~FileWriter() {
    discard();
}

FileError FileWriter::open(const QString &path) {
    discard();
    m_path = path;
    if (path.isEmpty())
        return FileError::fromCode(FileError::BadFileName);
    m_target = NameCodec::pathToBytes(path);
    // Replace what a symbolic link points at, not the link.
    struct stat st {};
    if (lstat(m_target.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char *resolved = realpath(m_target.constData(), nullptr);
        if (resolved) {
            m_target = resolved;
            std::free(resolved);
        }
    }
    const bool exists = stat(m_target.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return FileError::fromErrno(EISDIR, path);
    m_direct = exists && !S_ISREG(st.st_mode);
    if (m_direct) {
        m_fd = openWithoutWaiting(m_target.constData(), O_WRONLY | O_TRUNC);
        return m_fd < 0 ? FileError::fromErrno(errno, path) : FileError{};
    }
    // The target must be writable (or creatable) for the save to be allowed at all.
    if (exists && access(m_target.constData(), W_OK) != 0)
        return FileError::fromErrno(errno, path);
    m_fd = createTemporary(m_target, m_temp);
    if (m_fd < 0) {
        const int err = errno;
        m_temp.clear();
        return FileError::fromErrno(err, path);
    }
    if (exists)
        fchmod(m_fd, st.st_mode & 07777);
    return {};
}

FileError FileWriter::flush() {
    const char *p = m_buffer.data();
    std::size_t left = m_buffer.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FileError::fromErrno(errno, m_path);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    m_buffer.clear();
    return {};
}

FileError FileWriter::commit() {
    if (FileError err = finish())
        return err;
    return replace();
}

FileError FileWriter::finish() {
    if (m_fd < 0)
        return FileError::fromCode(FileError::BadFileNameOrNumber);
    if (FileError err = flush())
        return err;
    if (!m_direct && fdatasync(m_fd) != 0)
        return FileError::fromErrno(errno, m_path);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        return FileError::fromErrno(errno, m_path);
    m_finished = true;
    return {};
}

FileError FileWriter::replace() {
    if (!m_finished)
        return FileError::fromCode(FileError::BadFileNameOrNumber);
    m_finished = false;
    if (m_direct)
        return {};
    if (::rename(m_temp.constData(), m_target.constData()) != 0)
        return FileError::fromErrno(errno, m_path);
    m_temp.clear();
    syncFolderOf(m_target);
    return {};
}

void FileWriter::discard() {
    m_finished = false;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlink(m_temp.constData());
        m_temp.clear();
    }
    m_buffer.clear();
}
