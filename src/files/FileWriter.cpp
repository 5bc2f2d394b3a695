#include "FileWriter.h"
#include "PendingFiles.h"
#include "WriteTarget.h"
#include "snapshot/NameCodec.h"

#include <QRandomGenerator>
#include <cerrno>
#include <csignal>
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

// The signals that end the program wait while several files change their names, so that it
// never ends between the first and the last.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &m_old);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    sigset_t m_old;
};

} // namespace

FileWriter::~FileWriter() {
    discard();
}

FileError FileWriter::open(const QString &path, Access access) {
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
    if (access == Access::OwnerOnly)
        return createTemporary(0600, true);
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
    m_swapped = Swapped::No;
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

FileError FileWriter::replaceAll(const std::vector<FileWriter *> &writers, FileWriter **failed) {
    for (FileWriter *writer : writers) {
        if (!writer->m_finished) {
            if (failed)
                *failed = writer;
            return FileError::fromCode(FileError::BadFileNameOrNumber);
        }
    }
    const SignalsHeld held;
    for (std::size_t k = 0; k < writers.size(); ++k) {
        if (FileError err = writers[k]->swapIn()) {
            if (failed)
                *failed = writers[k];
            while (k > 0)
                writers[--k]->swapBack();
            return err;
        }
    }
    for (FileWriter *writer : writers)
        writer->dropEarlier();
    return {};
}

FileError FileWriter::swapIn() {
    m_finished = false;
    if (m_direct)
        return {};
    const char *temp = m_temp.constData();
    const char *name = m_name.constData();
    struct stat st {};
    if (::fstatat(m_folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (::renameat(m_folder, temp, m_folder, name) != 0)
            return FileError::fromErrno(errno, m_path);
        m_swapped = Swapped::Created;
        return {};
    }
    if (::renameat2(m_folder, temp, m_folder, name, RENAME_EXCHANGE) == 0) {
        m_swapped = Swapped::Exchanged;
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return FileError::fromErrno(errno, m_path);
    // A file system that cannot exchange two names (NFS, FAT): the earlier file steps aside
    // first, for the moment between the two renames.
    do
        m_aside = besideName(m_name);
    while (::fstatat(m_folder, m_aside.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0);
    if (::renameat(m_folder, name, m_folder, m_aside.constData()) != 0) {
        m_aside.clear();
        return FileError::fromErrno(errno, m_path);
    }
    if (::renameat(m_folder, temp, m_folder, name) != 0) {
        const int err = errno;
        ::renameat(m_folder, m_aside.constData(), m_folder, name);
        m_aside.clear();
        return FileError::fromErrno(err, m_path);
    }
    m_swapped = Swapped::MovedAside;
    return {};
}

void FileWriter::swapBack() {
    const char *temp = m_temp.constData();
    const char *name = m_name.constData();
    switch (m_swapped) {
    case Swapped::Exchanged:
        ::renameat2(m_folder, temp, m_folder, name, RENAME_EXCHANGE);
        break;
    case Swapped::MovedAside:
        ::renameat(m_folder, m_aside.constData(), m_folder, name);
        m_aside.clear();
        break;
    case Swapped::Created:
        ::renameat(m_folder, name, m_folder, temp);
        break;
    case Swapped::No:
        break;
    }
    m_swapped = Swapped::No;
}

void FileWriter::dropEarlier() {
    if (m_swapped == Swapped::Exchanged)
        ::unlinkat(m_folder, m_temp.constData(), 0);
    if (m_swapped == Swapped::MovedAside)
        ::unlinkat(m_folder, m_aside.constData(), 0);
    m_aside.clear();
    if (m_swapped != Swapped::No) {
        forgetTemporary();
        syncFolder();
    }
    m_swapped = Swapped::No;
}
