#include "ReadableFile.h"

#include "PosixRead.h"
#include "snapshot/NameCodec.h"

#include <cerrno>
#include <sys/stat.h>

ReadableFile::~ReadableFile() {
    close();
}

FileError ReadableFile::open(const QString &path) {
    close();
    const QByteArray name = NameCodec::pathToBytes(path);
    const int fd = openWithoutWaiting(name.constData(), O_RDONLY);
    if (fd < 0)
        return FileError::fromErrno(errno, path);
    struct stat st {};
    int err = ::fstat(fd, &st) != 0 ? errno : 0;
    if (!err && S_ISDIR(st.st_mode))
        err = EISDIR;
    if (err) {
        ::close(fd);
        return FileError::fromErrno(err, path);
    }
    m_fd = fd;
    m_size = S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
    return {};
}

void ReadableFile::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}
