#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <ftw.h>

// Files written and read back by tests.

inline void writeFile(const QString &path, const QByteArray &bytes = QByteArray("x")) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray readAll(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "(unreadable)";
    return file.readAll();
}

// A temporary folder for trees with names that are not UTF-8, which QTemporaryDir cannot
// remove: it is removed by the bytes of its names.
class ByteTreeDir : public QTemporaryDir {
public:
    ByteTreeDir() { setAutoRemove(false); }
    ~ByteTreeDir() {
        nftw(
            QFile::encodeName(path()).constData(),
            [](const char *name, const struct stat *, int, struct FTW *) { return ::remove(name); },
            16, FTW_DEPTH | FTW_PHYS);
    }
};
