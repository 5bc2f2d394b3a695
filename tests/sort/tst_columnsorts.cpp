#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"
#include "sort/ColumnSorts.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace {

QStringList names(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.folder(i) + list.name(i).toString();
    return out;
}

void addFiles(SnapshotList &list, const QStringList &paths) {
    for (const QString &p : paths) {
        const qsizetype cut = p.lastIndexOf(u'\\') + 1;
        list.append(p.mid(cut), p.left(cut), 32, 1, 40000.0);
    }
}

} // namespace

class TestColumnSorts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void toggleRule() {
        SnapshotList list;
        addFiles(list, {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("c")});
        QVERIFY(!list.sort.sorted());
        sortList(list, Col::Name, -1);
        QCOMPARE(list.sort.order, 0);
        QCOMPARE(names(list),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
        sortList(list, Col::Name, -1);
        QCOMPARE(list.sort.order, 1);
        QCOMPARE(names(list),
                 (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}));
        sortList(list, Col::SizeKey, -1);
        QCOMPARE(list.sort.key, int(Col::SizeKey));
        QCOMPARE(list.sort.order, 0);
        sortList(list, Col::Name, -1);
        QCOMPARE(list.sort.order, 0);
    }

    void alreadySortedIsLeftAlone() {
        SnapshotList list;
        addFiles(list, {QStringLiteral("b"), QStringLiteral("a")});
        sortList(list, Col::Name, 0);
        // Appending without a re-sort leaves the list out of order; the shortcut must not be
        // taken then, so appending re-sorts.
        addFiles(list, {QStringLiteral("0")});
        resort(list);
        QCOMPARE(names(list).first(), QStringLiteral("0"));
        sortList(list, Col::Name, 0);
        QCOMPARE(names(list),
                 (QStringList{QStringLiteral("0"), QStringLiteral("a"), QStringLiteral("b")}));
    }

    void textOrder_data() {
        QTest::addColumn<QStringList>("input");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("case ignored")
            << QStringList{QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("C")}
            << QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("C")};
        // Digits are characters like any other: no numeric mode.
        QTest::newRow("digits as characters")
            << QStringList{QStringLiteral("file10"), QStringLiteral("File2"),
                           QStringLiteral("file1")}
            << QStringList{QStringLiteral("file1"), QStringLiteral("file10"),
                           QStringLiteral("File2")};
        QTest::newRow("leading zeros")
            << QStringList{QStringLiteral("x010"), QStringLiteral("x9"), QStringLiteral("x0011")}
            << QStringList{QStringLiteral("x0011"), QStringLiteral("x010"), QStringLiteral("x9")};
        // Texts that differ only in letter case or leading zeros are never equal.
        QTest::newRow("exact text decides")
            << QStringList{QStringLiteral("Readme"), QStringLiteral("readme"),
                           QStringLiteral("README")}
            << QStringList{QStringLiteral("README"), QStringLiteral("Readme"),
                           QStringLiteral("readme")};
        QTest::newRow("twins after the others")
            << QStringList{QStringLiteral("v1"), QStringLiteral("v01"), QStringLiteral("V1")}
            << QStringList{QStringLiteral("v01"), QStringLiteral("V1"), QStringLiteral("v1")};
        QTest::newRow("case beyond the BMP") // Deseret capital and small letters
            << QStringList{QStringLiteral("\U00010428b"), QStringLiteral("\U00010400a"),
                           QStringLiteral("\U00010428a")}
            << QStringList{QStringLiteral("\U00010400a"), QStringLiteral("\U00010428a"),
                           QStringLiteral("\U00010428b")};
        QTest::newRow("Greek and Cyrillic case")
            << QStringList{QStringLiteral("\u03C3b"), QStringLiteral("\u03A3a"),
                           QStringLiteral("\u0416"), QStringLiteral("\u0436")}
            << QStringList{QStringLiteral("\u03A3a"), QStringLiteral("\u03C3b"),
                           QStringLiteral("\u0416"), QStringLiteral("\u0436")};
        QTest::newRow("prefix first")
            << QStringList{QStringLiteral("ab"), QStringLiteral("a"), QStringLiteral("a1")}
            << QStringList{QStringLiteral("a"), QStringLiteral("a1"), QStringLiteral("ab")};
        QTest::newRow("accents fold")
            << QStringList{QStringLiteral("Éa"), QStringLiteral("éb"), QStringLiteral("e")}
            << QStringList{QStringLiteral("e"), QStringLiteral("Éa"), QStringLiteral("éb")};
    }
    void textOrder() {
        QFETCH(QStringList, input);
        QFETCH(QStringList, sorted);
        SnapshotList list;
        addFiles(list, input);
        sortList(list, Col::Name, 0);
        QCOMPARE(names(list), sorted);
    }

    void sizeByValueFoldersFirst() {
        SnapshotList list;
        list.append(u"huge", u"", 32, 1000000000000ull, 1.0); // 13 digits
        list.append(u"big", u"", 32, 999999999999ull, 1.0);
        list.append(u"dir", u"", 16, 0, std::nan(""));
        list.append(u"zero", u"", 32, 0, 1.0);
        sortList(list, headerSortKey(ListId::Original, Col::Size), -1);
        QCOMPARE(names(list), (QStringList{QStringLiteral("dir"), QStringLiteral("zero"),
                                           QStringLiteral("big"), QStringLiteral("huge")}));
        sortList(list, headerSortKey(ListId::Original, Col::Size), -1);
        QCOMPARE(names(list), (QStringList{QStringLiteral("huge"), QStringLiteral("big"),
                                           QStringLiteral("zero"), QStringLiteral("dir")}));
    }

    void modifiedByValue() {
        SnapshotList list;
        list.append(u"y2000", u"", 32, 1, DateSerial::fromLocal(2000, 1, 1, 0, 0, 0));
        list.append(u"y1920", u"", 32, 1, DateSerial::fromLocal(1920, 1, 1, 0, 0, 0));
        list.append(u"y1850", u"", 32, 1, DateSerial::fromLocal(1850, 6, 1, 12, 0, 0));
        list.append(u"y1850b", u"", 32, 1, DateSerial::fromLocal(1850, 6, 1, 13, 0, 0));
        list.append(u"dir", u"", 16, 0, std::nan(""));
        sortList(list, Col::DateKey, 0);
        QCOMPARE(names(list), (QStringList{QStringLiteral("dir"), QStringLiteral("y1850"),
                                           QStringLiteral("y1850b"), QStringLiteral("y1920"),
                                           QStringLiteral("y2000")}));
    }

    void attributesAsText() {
        SnapshotList list;
        for (int bits : {4, 32, 2, 16, 33})
            list.append(QString::number(bits), u"", bits, 0, 1.0);
        sortList(list, Col::AttrBits, 0);
        QCOMPARE(names(list),
                 (QStringList{QStringLiteral("16"), QStringLiteral("2"), QStringLiteral("32"),
                              QStringLiteral("33"), QStringLiteral("4")}));
    }

    void folderSort() {
        SnapshotList list;
        addFiles(list, {QStringLiteral("b\\x"), QStringLiteral("a10\\y"), QStringLiteral("x"),
                        QStringLiteral("A2\\z"), QStringLiteral("b\\w")});
        sortList(list, Col::InFolder, 0);
        QCOMPARE(names(list), (QStringList{QStringLiteral("x"), QStringLiteral("a10\\y"),
                                           QStringLiteral("A2\\z"), QStringLiteral("b\\x"),
                                           QStringLiteral("b\\w")}));
        sortList(list, Col::InFolder, 1);
        QCOMPARE(names(list), (QStringList{QStringLiteral("b\\x"), QStringLiteral("b\\w"),
                                           QStringLiteral("A2\\z"), QStringLiteral("a10\\y"),
                                           QStringLiteral("x")}));
    }

    // Folders whose texts the text order holds equal still keep their entries apart, so a
    // report sorted by folder names each folder once.
    void folderTwinsStayApart() {
        const QStringList folders = {QStringLiteral("Data\\"), QStringLiteral("data\\"),
                                     QStringLiteral("v01\\"), QStringLiteral("v1\\"),
                                     QStringLiteral("V1\\")};
        SnapshotList list;
        for (int k = 0; k < 40; ++k)
            list.append(QStringLiteral("f%1").arg(k), folders[k % folders.size()], 32, 1, 1.0);
        for (int order : {0, 1}) {
            sortList(list, Col::InFolder, order);
            QStringList seen;
            for (int i = 0; i < list.size(); ++i) {
                if (seen.isEmpty() || seen.last() != list.folder(i)) {
                    QVERIFY2(!seen.contains(list.folder(i)), qPrintable(list.folder(i)));
                    seen << list.folder(i);
                }
            }
            QStringList expected = {QStringLiteral("Data\\"), QStringLiteral("data\\"),
                                    QStringLiteral("v01\\"), QStringLiteral("V1\\"),
                                    QStringLiteral("v1\\")};
            if (order == 1)
                std::reverse(expected.begin(), expected.end());
            QCOMPARE(seen, expected);
        }
    }

    // The match-key order is the ordinal order of the lower-cased joined key, with equal keys
    // ordered by their exact texts; checked against a plain sort of the joined texts.
    void matchKeyOrder_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<bool>("descending");
        for (int seed = 1; seed <= 15; ++seed)
            QTest::addRow("seed %d%s", seed, seed % 3 ? "" : " descending")
                << seed << (seed % 3 == 0);
    }
    void matchKeyOrder() {
        QFETCH(int, seed);
        QFETCH(bool, descending);
        QRandomGenerator rng(static_cast<quint32>(seed));
        const QStringList parts = {QStringLiteral("a"),  QStringLiteral("A"),  QStringLiteral("b"),
                                   QStringLiteral("a!"), QStringLiteral("a~"), QStringLiteral("ä"),
                                   QStringLiteral("Z"),  QStringLiteral("_"),  QStringLiteral("1"),
                                   QStringLiteral("İ"),  QStringLiteral("]")};
        SnapshotList list;
        const int n = 200 + seed * 50;
        for (int k = 0; k < n; ++k) {
            QString folder;
            const int depth = rng.bounded(4);
            for (int d = 0; d < depth; ++d)
                folder += parts[rng.bounded(parts.size())] + u'\\';
            if (seed % 5 == 0 && !folder.isEmpty() && rng.bounded(3) == 0)
                folder.chop(1); // an In Folder that does not end in a backslash
            QString name = parts[rng.bounded(parts.size())] + parts[rng.bounded(parts.size())];
            if (seed % 4 == 0 && rng.bounded(10) == 0)
                name += u'\\' + parts[rng.bounded(parts.size())]; // names that hold a backslash
            list.append(name, folder, 32, static_cast<std::uint64_t>(k), 1.0);
        }
        struct Row {
            QString key, folder, name;
            int index;
        };
        std::vector<Row> rows;
        for (int i = 0; i < list.size(); ++i)
            rows.push_back({(list.folder(i) + list.name(i).toString()).toLower(), list.folder(i),
                            list.name(i).toString(), static_cast<int>(list.entry(i).size)});
        std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
            auto t = [](const Row &r) {
                return std::make_tuple(r.key, r.folder + r.name, r.folder);
            };
            return descending ? t(b) < t(a) : t(a) < t(b);
        });
        sortList(list, Col::MatchKey, descending ? 1 : 0);
        for (int i = 0; i < list.size(); ++i)
            QCOMPARE(static_cast<int>(list.entry(i).size), rows[static_cast<std::size_t>(i)].index);
    }

    void changedListKeepsItsOrigValues() {
        SnapshotList from, changed;
        from.append(u"b", u"", 32, 2, 1.0);
        from.append(u"a", u"", 32, 1, 1.0);
        const OrigValues ob{20, 1.0, 32, 256}, oa{10, 1.0, 32, 256};
        changed.appendCopy(from, 0, &ob);
        changed.appendCopy(from, 1, &oa);
        sortList(changed, Col::Name, 0);
        QCOMPARE(changed.name(0), u"a");
        QCOMPARE(changed.orig(0).size, std::uint64_t(10));
        QCOMPARE(changed.orig(1).size, std::uint64_t(20));
    }

    // A name can be empty (a file read from elsewhere may hold one), also the very first.
    void emptyNamesTakeTheirPlace() {
        SnapshotList list;
        list.append(u"", u"", 32, 0, 1.0);
        list.append(u"B", u"", 32, 1, 1.0);
        list.append(u"", u"a\\", 32, 2, 1.0);
        list.append(u"a", u"", 32, 3, 1.0);
        sortList(list, Col::MatchKey, 0);
        std::vector<std::uint64_t> order;
        for (int i = 0; i < list.size(); ++i)
            order.push_back(list.entry(i).size);
        QCOMPARE(order, (std::vector<std::uint64_t>{0, 3, 2, 1}));
    }

    void largeListSortsAreConsistent() {
        // Above the size at which the sort splits its work over two threads.
        SnapshotList list;
        QRandomGenerator rng(7);
        for (int k = 0; k < 120000; ++k)
            list.append(QStringLiteral("n%1").arg(rng.bounded(50000)),
                        QStringLiteral("f%1\\").arg(k % 97), 32, rng.bounded(1000), 1.0);
        for (int key : {int(Col::Name), int(Col::SizeKey), int(Col::MatchKey)}) {
            for (int order : {0, 1}) {
                sortList(list, key, order);
                const EntryFormatter f;
                for (int i = 1; i < list.size(); ++i) {
                    int c = 0;
                    if (key == Col::Name) // "n" and digits: as text
                        c = list.name(i - 1).compare(list.name(i));
                    else if (key == Col::SizeKey)
                        c = list.entry(i - 1).size < list.entry(i).size
                                ? -1
                                : list.entry(i - 1).size > list.entry(i).size;
                    else
                        c = f.text(list, i - 1, Col::MatchKey)
                                .compare(f.text(list, i, Col::MatchKey));
                    QVERIFY2(order == 0 ? c <= 0 : c >= 0, qPrintable(QString::number(i)));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestColumnSorts)
#include "tst_columnsorts.moc"
