#include "FileWriter.h"
#include "PendingFiles.h"
#include "WriteTarget.h"
#include "snapshot/NameCodec.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray besideName(const QByteArray &target) {
    static constexpr char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = target + ".vistrel-";
    for (int k = 0; k < 6; ++k)
        name += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)];
    return name;
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
    WriteTarget target;
    if (FileError err = target.find(NameCodec::pathToBytes(path), path))
        return err;
    if (target.descriptor() >= 0) {
        m_fd = target.takeDescriptor();
        m_direct = true;
        return {};
    }
    m_folder = target.takeFolder();
    m_name = target.name();
    const bool exists = target.exists();
    const mode_t mode = target.status().st_mode;
    if (exists && S_ISDIR(mode))
        return FileError::fromErrno(EISDIR, path);
    if (exists && !S_ISREG(mode)) {
        if (target.throughLink())
            return FileError::fromCode(
                FileError::PermissionDenied,
                QStringLiteral("Symbolic link to a device, pipe or socket; nothing written"));
        if (FileError err = openDirect())
            return err;
        if (m_direct)
            return {};
    }
    // The target must be writable (or creatable) for the save to be allowed at all.
    if (exists && ::faccessat(m_folder, m_name.constData(), W_OK, 0) != 0)
        return FileError::fromErrno(errno, path);
    // The kernel applies the umask to a new file itself: reading the mask by setting it would
    // change it for every thread of the process meanwhile.
    return exists ? createTemporary(mode & 0777, true) : createTemporary(0666, false);
}

// A device or pipe named as it is. Opened without waiting: a named pipe with nobody at its
// other end would block the program for good.
FileError FileWriter::openDirect() {
    const int fd =
        ::openat(m_folder, m_name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int err = errno;
        if (fd >= 0)
            ::close(fd);
        return FileError::fromErrno(err, m_path);
    }
    if (S_ISREG(st.st_mode)) {
        ::close(fd); // a file has taken its place since: replaced as any file
        return {};
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_direct = true;
    return {};
}

FileError FileWriter::createTemporary(mode_t mode, bool setMode) {
    // Named to the signal handler before it is made: a signal between the two steps would
    // otherwise leave it. Nobody else makes a file of such a name.
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp = besideName(m_name);
        m_pending = PendingFiles::add(m_folder, m_temp);
        m_fd = ::openat(m_folder, m_temp.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (m_fd >= 0)
            break;
        const int err = errno;
        forgetTemporary();
        if (err != EEXIST)
            return FileError::fromErrno(err, m_path);
    }
    if (m_fd < 0)
        return FileError::fromErrno(EEXIST, m_path);
    if (setMode)
        ::fchmod(m_fd, mode);
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
    if (::renameat(m_folder, m_temp.constData(), m_folder, m_name.constData()) != 0)
        return FileError::fromErrno(errno, m_path);
    forgetTemporary();
    syncFolder();
    return {};
}

void FileWriter::discard() {
    m_finished = false;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlinkat(m_folder, m_temp.constData(), 0);
        forgetTemporary();
    }
    if (m_folder >= 0) {
        ::close(m_folder);
        m_folder = -1;
    }
    m_direct = false;
    m_buffer.clear();
}

void FileWriter::forgetTemporary() {
    PendingFiles::remove(m_pending);
    m_pending = -1;
    m_temp.clear();
}

// The new name lasts through a power cut only once the folder is on the disk too. The file is
// in place either way, so a failure here is no failure of the save.
void FileWriter::syncFolder() const {
    const int fd = ::openat(m_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
