#include "WriteTarget.h"

#include <QList>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

constexpr int MaxLinks = 40; // as many as the kernel follows in one path
constexpr ino_t ProcRoot = 1;

FileError refused(const char *why) {
    return FileError::fromCode(FileError::PermissionDenied, QString::fromLatin1(why));
}

// The kernel's rule for what lies in a folder that everybody may write and that has the sticky
// bit (fs.protected_symlinks, protected_regular and protected_fifos): only what belongs to the
// writer or to the folder's owner is trusted there.
bool trusted(const struct stat &folder, const struct stat &entry) {
    if (entry.st_uid == ::geteuid())
        return true;
    if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH))
        return true;
    return entry.st_uid == folder.st_uid;
}

bool onProcFs(int fd) {
    struct statfs fs {};
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

bool isOwnDescriptorFolder(int folder) {
    struct stat here {
    }, own{};
    return ::fstat(folder, &here) == 0 && ::stat("/proc/self/fd", &own) == 0 &&
           here.st_dev == own.st_dev && here.st_ino == own.st_ino;
}

// A copy of the descriptor a name in /proc/self/fd stands for, when it is open for writing.
int copyOfDescriptor(const QByteArray &name) {
    bool ok = false;
    const int fd = name.toInt(&ok);
    const int flags = ok ? ::fcntl(fd, F_GETFL) : -1;
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;
        return -1;
    }
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

// The names of `path` go on the stack `rest`, the first on top.
void push(QList<QByteArray> &rest, const QByteArray &path) {
    const QList<QByteArray> names = path.split('/');
    for (auto it = names.crbegin(); it != names.crend(); ++it) {
        if (!it->isEmpty() && *it != ".")
            rest.append(*it);
    }
}

} // namespace

WriteTarget::~WriteTarget() {
    setFolder(-1);
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

int WriteTarget::takeFolder() {
    const int fd = m_folder;
    m_folder = -1;
    return fd;
}

int WriteTarget::takeDescriptor() {
    const int fd = m_descriptor;
    m_descriptor = -1;
    return fd;
}

void WriteTarget::setFolder(int fd) {
    if (m_folder >= 0)
        ::close(m_folder);
    m_folder = fd;
}

FileError WriteTarget::find(const QByteArray &path, const QString &shown) {
    if (path.endsWith('/'))
        return FileError::fromErrno(EISDIR, shown);
    setFolder(::open(path.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    QList<QByteArray> rest;
    push(rest, path);
    int links = 0;
    while (m_folder >= 0 && !rest.isEmpty()) {
        const QByteArray name = rest.takeLast();
        const bool last = rest.isEmpty();
        if (name == "..") {
            if (last)
                break;
            setFolder(::openat(m_folder, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            continue;
        }
        const int fd = ::openat(m_folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && last) {
            m_name = name;
            return {};
        }
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            const int err = errno;
            if (fd >= 0)
                ::close(fd);
            return FileError::fromErrno(err, shown);
        }
        if (S_ISLNK(st.st_mode)) {
            const FileError err = ++links > MaxLinks ? FileError::fromErrno(ELOOP, shown)
                                                     : followLink(fd, st, name, rest, shown);
            ::close(fd);
            if (err || m_descriptor >= 0)
                return err;
        } else if (last) {
            ::close(fd);
            // Its owner chose its permissions, which the new file would take over, or reads
            // at the other end of a pipe.
            struct stat folder {};
            if (!S_ISDIR(st.st_mode) && ::fstat(m_folder, &folder) == 0 && !trusted(folder, st))
                return refused("File of another user in a shared folder; not replaced");
            m_name = name;
            m_exists = true;
            m_status = st;
            return {};
        } else if (!S_ISDIR(st.st_mode)) {
            ::close(fd);
            return FileError::fromErrno(ENOTDIR, shown);
        } else {
            setFolder(fd);
        }
    }
    return FileError::fromErrno(m_folder < 0 ? errno : EISDIR, shown);
}

FileError WriteTarget::followLink(int link, const struct stat &linkStatus, const QByteArray &name,
                                  QList<QByteArray> &rest, const QString &shown) {
    m_throughLink = true;
    struct stat folder {};
    if (::fstat(m_folder, &folder) != 0)
        return FileError::fromErrno(errno, shown);
    if (!trusted(folder, linkStatus))
        return refused("Symbolic link of another user in a shared folder; not followed");
    // The links of a process's files lead to what it holds open, which no path need name (a
    // pipe, a file removed since). Only this process's own descriptors are written, as they
    // are: /dev/stdout is standard output, whatever it is.
    if (onProcFs(m_folder) && folder.st_ino != ProcRoot) {
        if (!rest.isEmpty() || !isOwnDescriptorFolder(m_folder))
            return refused("Symbolic link in /proc to what a process holds; not followed");
        m_descriptor = copyOfDescriptor(name);
        return m_descriptor < 0 ? FileError::fromErrno(errno, shown) : FileError{};
    }
    char text[PATH_MAX];
    const ssize_t n = ::readlinkat(link, "", text, sizeof text);
    if (n <= 0 || n == ssize_t(sizeof text))
        return FileError::fromErrno(n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG, shown);
    const QByteArray target(text, n);
    if (rest.isEmpty() && target.endsWith('/'))
        return FileError::fromErrno(EISDIR, shown);
    if (target.startsWith('/'))
        setFolder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    push(rest, target);
    return {};
}
