#include "FileError.h"

#include "snapshot/NameCodec.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {
// Asked by the path's bytes: Qt's file information would turn a byte that is not UTF-8 into
// another character and find no folder there.
bool parentIsFolder(const QString &path) {
    const QByteArray bytes = NameCodec::pathToBytes(path);
    const qsizetype slash = bytes.lastIndexOf('/');
    const QByteArray parent =
        slash < 0 ? QByteArray(".") : bytes.left(std::max<qsizetype>(slash, 1));
    struct stat st;
    return ::stat(parent.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

QString fileErrorMessage(int code) {
    switch (code) {
    case FileError::OutOfMemory:
        return QStringLiteral("Out of memory");
    case FileError::BadFileNameOrNumber:
        return QStringLiteral("Bad file name/number");
    case FileError::FileNotFound:
        return QStringLiteral("File not found");
    case FileError::BadFileMode:
        return QStringLiteral("Bad file mode");
    case FileError::FileAlreadyOpen:
        return QStringLiteral("File already open");
    case FileError::DeviceIO:
        return QStringLiteral("Disk I/O error");
    case FileError::DiskFull:
        return QStringLiteral("Out of disk space");
    case FileError::InputPastEnd:
    case FileError::WrongEntryCount:
    case FileError::InvalidValue:
        return QStringLiteral("Not a valid Vistrel file");
    case FileError::BadFileName:
        return QStringLiteral("Bad file name");
    case FileError::DeviceUnavailable:
        return QStringLiteral("Device unavailable");
    case FileError::DriveNotReady:
        return QStringLiteral("Drive not ready");
    case FileError::PathNotFound:
        return QStringLiteral("Path not found");
    default:
        return {};
    }
}

QString FileError::message() const {
    const QString fixed = fileErrorMessage(code);
    if (code == WrongEntryCount)
        return fixed + QStringLiteral(": ") + description;
    return fixed.isEmpty() ? description : fixed;
}

FileError FileError::fromCode(int code, const QString &description) {
    return FileError{code, description};
}

FileError FileError::wrongEntryCount(std::int64_t stated, std::int64_t held) {
    return {WrongEntryCount, QStringLiteral("the header's entry count is %1, but the file holds %2")
                                 .arg(stated)
                                 .arg(held)};
}

FileError FileError::fromErrno(int err, const QString &path) {
    const QString text = QString::fromLocal8Bit(std::strerror(err));
    switch (err) {
    case 0:
        return {};
    case ENOENT: {
        // A missing folder on the way is "Path not found"; a missing last component is
        // "File not found".
        if (!path.isEmpty() && !parentIsFolder(path))
            return {PathNotFound, text};
        return {FileNotFound, text};
    }
    case ENOTDIR:
        return {PathNotFound, text};
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return {DiskFull, text};
    case EIO:
        return {DeviceIO, text};
    case ENOMEM:
        return {OutOfMemory, text};
    case ENAMETOOLONG:
    case EILSEQ:
        return {BadFileName, text};
    case ENXIO:
    case ENODEV:
        return {DeviceUnavailable, text};
#ifdef ENOMEDIUM
    case ENOMEDIUM:
        return {DriveNotReady, text};
#endif
    case ETXTBSY:
    case EBUSY:
        return {FileAlreadyOpen, text};
    case EACCES:
    case EPERM:
    case EROFS:
        return {PermissionDenied, text};
    case EISDIR:
        return {PathFileAccess, text};
    case EBADF:
        return {BadFileNameOrNumber, text};
    default:
        return {1000 + err, text};
    }
}
