// The filter box's rule: which entries a text keeps, checked on names that fold in unusual ways
// and against a plain reference over random lists.
#include "snapshot/ListFilter.h"
#include "snapshot/SnapshotList.h"

#include <QTest>
#include <random>

namespace {

// Whether the reference keeps an entry: Qt's own folding of whole strings.
bool referenceKeeps(const SnapshotList &list, int i, const QString &text) {
    QString needle = text;
    needle.replace(u'/', u'\\');
    needle = needle.toCaseFolded();
    if (needle.startsWith(u'\\')) // a null QString starts with no text, not even an empty one
        return needle.size() == 1 || list.folder(i).toCaseFolded().startsWith(needle.mid(1));
    return list.name(i).toString().toCaseFolded().contains(needle) ||
           list.folder(i).toCaseFolded().contains(needle);
}

std::vector<int> reference(const SnapshotList &list, const QString &text) {
    std::vector<int> kept;
    for (int i = 0; i < list.size(); ++i) {
        if (referenceKeeps(list, i, text))
            kept.push_back(i);
    }
    return kept;
}

QStringList keptNames(const SnapshotList &list, const std::vector<int> &rows) {
    QStringList names;
    for (int i : rows)
        names << list.folder(i) + list.name(i).toString();
    return names;
}

// Pieces that fold: case twins in several scripts, accents, a letter beyond the BMP that has a
// lower case (Deseret), an emoji, the separators and the escape form of names.
const QStringList Pieces = {u"a"_qs, u"A"_qs, u"é"_qs, u"É"_qs,   u"e"_qs,  u"ß"_qs, u"ẞ"_qs,
                            u"σ"_qs, u"Σ"_qs, u"ς"_qs, u"İ"_qs,   u"i"_qs,  u"ı"_qs, u"I"_qs,
                            u"𐐀"_qs, u"𐐨"_qs, u"😀"_qs, u"|5C"_qs, u"\\"_qs, u"."_qs, u"Straße"_qs,
                            u"x"_qs, u"Z"_qs, u"z"_qs, u"@["_qs,  u"`{"_qs};

QString randomText(std::mt19937 &rng, int maxPieces) {
    QString text;
    const int n = static_cast<int>(rng() % static_cast<unsigned>(maxPieces + 1));
    for (int k = 0; k < n; ++k)
        text += Pieces[static_cast<int>(rng() % static_cast<unsigned>(Pieces.size()))];
    return text;
}

void randomList(SnapshotList &list, std::mt19937 &rng, int n) {
    QStringList folders = {QString()};
    for (int k = 0; k < 6; ++k)
        folders << folders[static_cast<int>(rng() % folders.size())] + randomText(rng, 3) + u'\\';
    for (int i = 0; i < n; ++i) {
        const QString &folder = folders[static_cast<int>(rng() % folders.size())];
        list.append(randomText(rng, 4), folder, 32, 1, 40000.0);
    }
}

} // namespace

class TestListFilter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keeps_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected"); // folder + name of every entry kept
        QTest::newRow("case twins") << u"readme"_qs
                                    << QStringList{u"README.txt"_qs, u"Readme.TXT"_qs,
                                                   u"readme.txt"_qs, u"docs\\readme.md"_qs};
        QTest::newRow("upper case typed")
            << u"README.T"_qs << QStringList{u"README.txt"_qs, u"Readme.TXT"_qs, u"readme.txt"_qs};
        QTest::newRow("accent, either case")
            << u"CAFÉ"_qs << QStringList{u"café.txt"_qs, u"CAFÉ.TXT"_qs};
        QTest::newRow("accent is not its base letter") << u"cafe"_qs << QStringList{u"cafe.txt"_qs};
        QTest::newRow("final sigma folds to sigma")
            << u"ΟΔΟΣ"_qs << QStringList{u"οδος.txt"_qs, u"ΟΔΟΣ.txt"_qs};
        QTest::newRow("beyond the BMP") << u"𐐨"_qs << QStringList{u"𐐀𐐁.txt"_qs};
        QTest::newRow("folder") << u"docs"_qs
                                << QStringList{u"docs\\readme.md"_qs, u"docs\\deep\\a.txt"_qs,
                                               u"docs"_qs, u"old\\docs\\b.txt"_qs};
        QTest::newRow("folder from the root")
            << u"\\docs\\"_qs << QStringList{u"docs\\readme.md"_qs, u"docs\\deep\\a.txt"_qs};
        QTest::newRow("folder from the root, typed with slashes")
            << u"/old/"_qs << QStringList{u"old\\docs\\b.txt"_qs};
        QTest::newRow("path with backslash")
            << u"docs\\deep"_qs << QStringList{u"docs\\deep\\a.txt"_qs};
        QTest::newRow("path with slash")
            << u"DOCS/deep/"_qs << QStringList{u"docs\\deep\\a.txt"_qs};
        QTest::newRow("escaped byte") << u"|e9"_qs << QStringList{u"caf|E9.txt"_qs};
        QTest::newRow("nothing matches") << u"zzz"_qs << QStringList{};
    }
    void keeps() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        SnapshotList list;
        for (const QString &path :
             {u"README.txt"_qs, u"Readme.TXT"_qs, u"readme.txt"_qs, u"docs\\readme.md"_qs,
              u"docs\\deep\\a.txt"_qs, u"docs"_qs, u"old\\docs\\b.txt"_qs, u"café.txt"_qs,
              u"CAFÉ.TXT"_qs, u"cafe.txt"_qs, u"οδος.txt"_qs, u"ΟΔΟΣ.txt"_qs, u"𐐀𐐁.txt"_qs,
              u"caf|E9.txt"_qs}) {
            const qsizetype cut = path.lastIndexOf(u'\\') + 1;
            list.append(path.mid(cut), path.left(cut), 32, 1, 40000.0);
        }
        const ListFilter filter(text);
        QCOMPARE(keptNames(list, filter.apply(list)), expected);
        for (int i = 0; i < list.size(); ++i)
            QCOMPARE(filter.keeps(list, i),
                     expected.contains(list.folder(i) + list.name(i).toString()));
    }

    void emptyTextKeepsEverything() {
        SnapshotList list;
        list.append(u"a"_qs, u""_qs, 32, 1, 40000.0);
        list.append(u"b"_qs, u"x\\"_qs, 32, 1, 40000.0);
        QCOMPARE(ListFilter(u"").apply(list), (std::vector<int>{0, 1}));
        QVERIFY(ListFilter(u"").isEmpty());
    }

    // Random lists and texts against the reference, whole and narrowed from a shorter text, on a
    // list small enough for one thread and on one that is shared between two.
    void againstReference_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("rounds");
        QTest::newRow("small lists") << 300 << 300;
        QTest::newRow("list for two threads") << 250'000 << 3;
    }
    void againstReference() {
        QFETCH(int, entries);
        QFETCH(int, rounds);
        for (int round = 0; round < rounds; ++round) {
            const unsigned seed = 7919u * static_cast<unsigned>(round + entries);
            std::mt19937 rng(seed);
            SnapshotList list;
            randomList(list, rng, entries);
            const QString shorter = randomText(rng, 1);
            QString longer = randomText(rng, 1) + shorter + randomText(rng, 1);
            // A text from the root narrows one from the root that it starts with.
            if (shorter.startsWith(u'\\'))
                longer = shorter + randomText(rng, 1);
            const ListFilter first(shorter), second(longer);
            const std::vector<int> firstKept = first.apply(list);
            QVERIFY2(firstKept == reference(list, shorter),
                     qPrintable(u"seed %1, text %2"_qs.arg(seed).arg(shorter)));
            QVERIFY(second.narrows(first));
            const std::vector<int> expected = reference(list, longer);
            QVERIFY2(second.apply(list) == expected, qPrintable(u"seed %1"_qs.arg(seed)));
            QVERIFY2(second.apply(list, &firstKept) == expected,
                     qPrintable(u"seed %1"_qs.arg(seed)));
        }
    }
};

QTEST_GUILESS_MAIN(TestListFilter)
#include "tst_listfilter.moc"
