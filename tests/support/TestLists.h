#pragma once

#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"

#include <QStringList>
#include <cmath>
#include <cstdint>
#include <initializer_list>

// Lists made up for tests, and their entries as texts to compare.

// Each entry as its folder and name joined, in the list's order.
inline QStringList paths(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.folder(i) + list.name(i).toString();
    return out;
}

// Each entry with every value it holds: folder|name|attributes|size|time.
inline QStringList entryTexts(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        out << QStringLiteral("%1|%2|%3|%4|%5")
                   .arg(list.folder(i), list.name(i).toString())
                   .arg(e.attr)
                   .arg(e.size)
                   .arg(e.hasTime() ? QString::number(e.modified, 'f', 6) : QString());
    }
    return out;
}

// An entry to put in a list; a folder (attributes 16) takes no size or time.
struct TestEntry {
    const char *folder;
    const char *name;
    std::int32_t attr = 32;
    std::uint64_t size = 0;
    double modified = 45000.0;
};
inline void fill(SnapshotList &list, std::initializer_list<TestEntry> entries) {
    list.clearEntries();
    list.addLimit(u"");
    for (const TestEntry &e : entries) {
        const bool folder = e.attr & 16;
        list.append(QString::fromUtf8(e.name), QString::fromUtf8(e.folder), e.attr,
                    folder ? 0 : e.size, folder ? std::nan("") : e.modified);
        if (folder)
            list.addLimit(QString::fromUtf8(e.folder) + QString::fromUtf8(e.name) + u'\\');
    }
}

// A snapshot of `files` files in folders of a hundred, with its description, source and time.
inline SnapshotList sampleList(int files) {
    SnapshotList list;
    list.description = QStringLiteral("sample");
    list.source = QStringLiteral("/ - /data/*.*");
    list.created = DateSerial::fromLocal(2024, 5, 6, 7, 8, 9);
    for (int k = 0; k < files; ++k) {
        const QString folder = QStringLiteral("folder%1\\").arg(k / 100);
        if (k % 100 == 0)
            list.append(QStringLiteral("folder%1").arg(k / 100), u"", 16, 0, std::nan(""));
        list.append(QStringLiteral("file%1.txt").arg(k), folder, 32, std::uint64_t(k) * 7,
                    DateSerial::fromLocal(2020, 1, 1 + k % 28, k % 24, k % 60, k % 60));
    }
    return list;
}

// Entries of a made-up tree: names in an order that differs by name, size, time and attributes.
inline void fillList(SnapshotList &list, int n, int seed = 0) {
    const std::uint32_t root = list.internFolder(u"");
    const std::uint32_t sub = list.internFolder(u"Sub\\");
    for (int i = 0; i < n; ++i) {
        const int k = (i * 7 + seed) % (n > 0 ? n : 1);
        const bool folder = k % 10 == 3;
        const QString name = QStringLiteral("entry%1.%2")
                                 .arg(k, 4, 10, QLatin1Char('0'))
                                 .arg(folder ? QStringLiteral("d") : QStringLiteral("txt"));
        list.append(name, k % 2 ? sub : root, folder ? 16 : (k % 3 ? 32 : 33),
                    folder ? 0 : static_cast<std::uint64_t>((k * 7919) % 100000),
                    folder ? std::nan("") : 40000.0 + (k * 37) % 1000 + 0.25);
    }
}
