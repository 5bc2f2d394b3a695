#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

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
