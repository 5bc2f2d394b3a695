#include "ExcludeFile.h"

#include "PosixRead.h"
#include "ReadableFile.h"

#include <QByteArray>

QStringList excludeFileLines(QStringView text) {
    QStringList patterns;
    for (const QStringView line : text.tokenize(u'\n')) {
        const QStringView pattern = line.trimmed();
        if (!pattern.isEmpty() && !pattern.startsWith(u'#'))
            patterns << pattern.toString();
    }
    return patterns;
}

FileError readExcludeFile(const QString &path, QStringList &patterns) {
    ReadableFile file;
    if (FileError error = file.open(path))
        return error;
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = readRetrying(file.fd(), buffer, sizeof buffer);
        if (n < 0)
            return FileError::fromErrno(errno, path);
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) // as an editor on Windows starts UTF-8
        text.remove(0, 1);
    patterns << excludeFileLines(text);
    return {};
}
