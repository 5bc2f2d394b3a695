#include "compare/Comparison.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ExcludeReference.h"
#include "snapshot/Progress.h"
#include "snapshot/Workspace.h"
#include "support/TestLists.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <map>

using namespace Qt::StringLiterals;

namespace {

// Compares, and gives the number of the first result list that holds entries (3 to 6), 0 when
// all are empty: where the entries went, for tables that name lists by number.
int shownAfter(Workspace &ws, CompareOptions &o) {
    runComparison(ws, o);
    for (std::size_t k = 2; k < Lists::Count; ++k) {
        if (!ws.list(Lists::atIndex(k)).isEmpty())
            return int(k) + 1;
    }
    return 0;
}

const QLocale enGB(QLocale::English, QLocale::UnitedKingdom);
const double T0 = 45000.5;
constexpr double Second = 1.0 / 86400;

struct E {
    QString path; // folder and name
    int attr = 32;
    std::uint64_t size = 1;
    double time = T0;
};

void fill(SnapshotList &list, const std::vector<E> &entries) {
    for (const E &e : entries) {
        // "a\\b\\" is the folder b in a\\.
        const QString path = e.path.endsWith(u'\\') ? e.path.chopped(1) : e.path;
        const qsizetype cut = path.lastIndexOf(u'\\') + 1;
        list.append(path.mid(cut), path.left(cut), e.attr, e.size,
                    (e.attr & 16) ? std::nan("") : e.time);
    }
}

CompareOptions resetOptions() {
    CompareOptions o;
    o.reset(ListId::Original);
    return o;
}

} // namespace

class TestComparison : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noExtraPath_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("result");
        QTest::newRow("deeper original")
            << QStringLiteral("a\\b\\") << QStringLiteral("b\\") << QStringLiteral("a\\");
        QTest::newRow("shallower")
            << QStringLiteral("b\\") << QStringLiteral("a\\b\\") << QString();
        QTest::newRow("empty first") << QString() << QStringLiteral("sub\\") << QString();
        QTest::newRow("empty second")
            << QStringLiteral("sub\\") << QString() << QStringLiteral("sub\\");
        QTest::newRow("siblings") << QStringLiteral("a\\c\\") << QStringLiteral("b\\c\\")
                                  << QStringLiteral("a");
        QTest::newRow("case") << QStringLiteral("Sub\\") << QStringLiteral("sub\\")
                              << QStringLiteral("s");
    }
    void noExtraPath() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, result);
        QCOMPARE(::noExtraPath(a, b), result);
    }

    void leadingNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("zero") << QStringLiteral("0") << 0.0;
        QTest::newRow("blanks") << QStringLiteral("  15") << 15.0;
        QTest::newRow("fraction") << QStringLiteral("2.5 min") << 2.5;
        QTest::newRow("sign") << QStringLiteral("-5") << -5.0;
        QTest::newRow("letters") << QStringLiteral("abc") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("point only") << QStringLiteral(".5") << 0.5;
    }
    void leadingNumbers() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(leadingNumber(text), value);
    }

    // A tolerance given once (a command line) must be a number of minutes and nothing else.
    void validTolerances_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        for (const char *text : {"0", "15", "2.5", ".5", "5.", "100000"})
            QTest::newRow(text) << QString::fromLatin1(text) << true;
        for (const char *text : {"", "-1", "-0", "+5", " 5", "5 ", "abc", "nan", "inf", "5min",
                                 "1e3", "1.2.3", ".", "0x10", "1,5"})
            QTest::newRow(text) << QString::fromLatin1(text) << false;
        QTest::newRow("beyond a float") << QString(40, u'9') << false;
    }
    void validTolerances() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isValidTolerance(text), valid);
    }

    void masks() {
        CompareOptions o = resetOptions();
        QCOMPARE(countedProperties(o), std::int16_t(799));
        o.ignoreAttr = {};
        QCOMPARE(countedProperties(o), std::int16_t(831));
        o.ignoreSize = o.ignoreStamp = true;
        o.ignoreAttr = {true, true, true, true, true, true};
        QCOMPARE(countedProperties(o), std::int16_t(0));
    }

    void optionsReset() {
        CompareOptions o;
        o.limitOriginal = QStringLiteral("a\\");
        o.limitFinal = QStringLiteral("b\\");
        o.ignoreSize = o.ignoreStamp = o.compared = true;
        o.tolerance = QStringLiteral("5");
        o.reset(ListId::Original);
        QVERIFY(o.limitOriginal.isEmpty());
        QCOMPARE(o.limitFinal, QStringLiteral("b\\"));
        QVERIFY(!o.ignoreSize && !o.ignoreStamp && !o.compared);
        QCOMPARE(o.tolerance, QStringLiteral("5"));
        QCOMPARE(o.ignoreAttr, (std::array<bool, 6>{false, false, false, false, false, true}));
    }

    // Exclusion patterns are a standing choice: a snapshot replaced keeps them.
    void resetKeepsExclusions() {
        CompareOptions o;
        o.exclude = QStringList{u"*.tmp"_s, u"cache\\"_s};
        o.reset(ListId::Original);
        o.reset(ListId::Final);
        QCOMPARE(o.exclude, (QStringList{u"*.tmp"_s, u"cache\\"_s}));
    }

    // What the patterns leave out of either snapshot is gone from every result list.
    void exclusions_data() {
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QStringList>("onlyO");
        QTest::addColumn<QStringList>("onlyF");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QStringList>("unchanged");
        QTest::newRow("none") << QStringList{} << QStringList{u"cache\\a.bin"_s, u"src\\old.tmp"_s}
                              << QStringList{u"build\\out.o"_s, u"cache\\b.bin"_s,
                                             u"src\\new.tmp"_s}
                              << QStringList{u"build"_s, u"src\\main.c"_s}
                              << QStringList{u"cache"_s, u"keep.txt"_s, u"src"_s};
        QTest::newRow("a folder, both sides")
            << QStringList{u"cache/"_s} << QStringList{u"src\\old.tmp"_s}
            << QStringList{u"build\\out.o"_s, u"src\\new.tmp"_s}
            << QStringList{u"build"_s, u"src\\main.c"_s} << QStringList{u"keep.txt"_s, u"src"_s};
        QTest::newRow("names at any depth")
            << QStringList{u"*.TMP"_s} << QStringList{u"cache\\a.bin"_s}
            << QStringList{u"build\\out.o"_s, u"cache\\b.bin"_s}
            << QStringList{u"build"_s, u"src\\main.c"_s}
            << QStringList{u"cache"_s, u"keep.txt"_s, u"src"_s};
        // The Final's folder build goes, the Original's file build stays: now only there.
        QTest::newRow("folders only, one side")
            << QStringList{u"build\\"_s}
            << QStringList{u"build"_s, u"cache\\a.bin"_s, u"src\\old.tmp"_s}
            << QStringList{u"cache\\b.bin"_s, u"src\\new.tmp"_s} << QStringList{u"src\\main.c"_s}
            << QStringList{u"cache"_s, u"keep.txt"_s, u"src"_s};
        QTest::newRow("a changed and an unchanged file")
            << QStringList{u"src\\main.c"_s, u"keep.txt"_s}
            << QStringList{u"cache\\a.bin"_s, u"src\\old.tmp"_s}
            << QStringList{u"build\\out.o"_s, u"cache\\b.bin"_s, u"src\\new.tmp"_s}
            << QStringList{u"build"_s} << QStringList{u"cache"_s, u"src"_s};
        QTest::newRow("everything") << QStringList{u"**"_s} << QStringList{} << QStringList{}
                                    << QStringList{} << QStringList{};
    }
    void exclusions() {
        QFETCH(QStringList, patterns);
        QFETCH(QStringList, onlyO);
        QFETCH(QStringList, onlyF);
        QFETCH(QStringList, changed);
        QFETCH(QStringList, unchanged);
        Workspace ws;
        fill(ws.list(ListId::Original), {{u"cache\\"_s, 16},
                                         {u"cache\\a.bin"_s},
                                         {u"src\\"_s, 16},
                                         {u"src\\main.c"_s},
                                         {u"src\\old.tmp"_s},
                                         {u"build"_s},
                                         {u"keep.txt"_s}});
        fill(ws.list(ListId::Final), {{u"cache\\"_s, 16},
                                      {u"cache\\b.bin"_s},
                                      {u"src\\"_s, 16},
                                      {u"src\\main.c"_s, 32, 2},
                                      {u"src\\new.tmp"_s},
                                      {u"build\\"_s, 16},
                                      {u"build\\out.o"_s},
                                      {u"keep.txt"_s}});
        CompareOptions o = resetOptions();
        o.exclude = patterns;
        runComparison(ws, o);
        auto sorted = [](QStringList l) {
            l.sort();
            return l;
        };
        QCOMPARE(sorted(paths(ws.list(ListId::OnlyInOriginal))), onlyO);
        QCOMPARE(sorted(paths(ws.list(ListId::OnlyInFinal))), onlyF);
        QCOMPARE(sorted(paths(ws.list(ListId::Changed))), changed);
        QCOMPARE(sorted(paths(ws.list(ListId::Unchanged))), unchanged);
    }

    // Among names that differ only in case, a folder left out by a folders-only pattern leaves
    // its file twin to pair with the Final's file, wherever it lies in the run of twins.
    void exclusionsAmongCaseTwins_data() {
        QTest::addColumn<QStringList>("original");
        QTest::addColumn<QStringList>("final");
        QTest::addColumn<QString>("unchanged");
        QTest::newRow("folder after the file")
            << QStringList{u"DATA"_s, u"data\\"_s} << QStringList{u"data"_s} << u"DATA"_s;
        QTest::newRow("folder left over at the end")
            << QStringList{u"Data"_s, u"data\\"_s} << QStringList{u"DATA"_s} << u"Data"_s;
        QTest::newRow("left over in the Final")
            << QStringList{u"DATA"_s} << QStringList{u"Data"_s, u"data\\"_s} << u"DATA"_s;
    }
    void exclusionsAmongCaseTwins() {
        QFETCH(QStringList, original);
        QFETCH(QStringList, final);
        QFETCH(QString, unchanged);
        Workspace ws;
        for (int side = 1; side <= 2; ++side) {
            std::vector<E> entries;
            for (const QString &path : side == 1 ? original : final)
                entries.push_back({path, path.endsWith(u'\\') ? 16 : 32});
            fill(ws.list(Lists::atIndex(std::size_t(side - 1))), entries);
        }
        CompareOptions o = resetOptions();
        o.exclude = QStringList{u"data/"_s};
        QCOMPARE(shownAfter(ws, o), 6);
        QCOMPARE(paths(ws.list(ListId::Unchanged)), QStringList{unchanged});
        QCOMPARE(ws.list(ListId::OnlyInOriginal).size() + ws.list(ListId::OnlyInFinal).size() +
                     ws.list(ListId::Changed).size(),
                 0);
    }

    // Random snapshot pairs, patterns and limits: the results are those of the same comparison
    // without patterns of copies that never held what the reference leaves out.
    void exclusionsAsIfNeitherHadThem_data() {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 100; ++seed)
            QTest::addRow("seed %d", seed) << seed;
    }
    void exclusionsAsIfNeitherHadThem() {
        QFETCH(int, seed);
        QRandomGenerator rng(static_cast<quint32>(seed));
        // Folders that share the start of their texts, and some well below the others.
        const QStringList folders = {
            QString(),    u"a\\"_s,       u"A\\b\\"_s,    u"a\\b\\"_s,
            u"a\\bc\\"_s, u"b\\"_s,       u"c\\a\\b\\"_s, u"c\\a\\b\\d\\e\\"_s,
            u"x\\"_s,     u"x\\y\\z\\"_s, u"A\\x\\"_s};
        const QStringList names = {u"x"_s,  u"X"_s, u"y.txt"_s, u"b"_s,
                                   u"a!"_s, u"a"_s, u"\u00e9"_s};
        const QStringList pool = {u"*.TXT"_s, u"b/"_s,      u"a/b"_s, u"**/x"_s,
                                  u"a/**"_s,  u"c/**/b/"_s, u"x/"_s,  u"\u00c9"_s,
                                  u"*!"_s,    u"/b"_s,      u"c/"_s,  u"a/b*"_s};
        QStringList patterns;
        for (int k = rng.bounded(3) + 1; k > 0; --k)
            patterns << pool[rng.bounded(pool.size())];
        const ExcludeReference reference(patterns);
        Workspace ws, kept;
        for (int side = 1; side <= 2; ++side) {
            const int n = rng.bounded(60);
            for (int k = 0; k < n; ++k) {
                const int attr = rng.bounded(4) == 0 ? 16 : static_cast<int>(rng.bounded(64)) & ~16;
                const QString &name = names[rng.bounded(names.size())];
                const QString &folder = folders[rng.bounded(folders.size())];
                const std::uint64_t size = rng.bounded(3);
                const double time = T0 + rng.bounded(20) * Second;
                ws.list(Lists::atIndex(std::size_t(side - 1)))
                    .append(name, folder, attr, size, time);
                if (!reference.leavesOut(folder, name, attr & 16))
                    kept.list(Lists::atIndex(std::size_t(side - 1)))
                        .append(name, folder, attr, size, time);
            }
        }
        CompareOptions o = resetOptions();
        o.limitOriginal = rng.bounded(2) ? QString() : folders[rng.bounded(folders.size())];
        o.limitFinal = rng.bounded(2) ? QString() : folders[rng.bounded(folders.size())];
        runComparison(kept, o);
        o.exclude = patterns;
        runComparison(ws, o);
        auto rows = [](const SnapshotList &l) {
            QStringList out;
            for (int i = 0; i < l.size(); ++i)
                out << u"%1%2|%3|%4|%5"_s.arg(l.folder(i), l.name(i))
                           .arg(l.entry(i).attr)
                           .arg(l.entry(i).size)
                           .arg(l.hasOrig() ? l.orig(i).differ : 0);
            out.sort();
            return out;
        };
        for (int n = 3; n <= 6; ++n)
            QCOMPARE(rows(ws.list(Lists::atIndex(std::size_t(n - 1)))),
                     rows(kept.list(Lists::atIndex(std::size_t(n - 1)))));
    }

    // One file, changed in the Final in the given ways: which list it lands in.
    void classify_data() {
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<double>("shift"); // seconds
        QTest::addColumn<int>("finalAttr");
        QTest::addColumn<qulonglong>("finalSize");
        QTest::addColumn<bool>("ignoreSize");
        QTest::addColumn<int>("list");
        QTest::newRow("identical") << QStringLiteral("0") << 0.0 << 32 << 1ull << false << 6;
        QTest::newRow("6 s at tolerance 0")
            << QStringLiteral("0") << 6.0 << 32 << 1ull << false << 6;
        QTest::newRow("7 s at tolerance 0")
            << QStringLiteral("0") << 7.0 << 32 << 1ull << false << 5;
        QTest::newRow("66 s at tolerance 1")
            << QStringLiteral("1") << 66.0 << 32 << 1ull << false << 6;
        QTest::newRow("67 s at tolerance 1")
            << QStringLiteral("1") << 67.0 << 32 << 1ull << false << 5;
        QTest::newRow("60.1 min at tolerance 60")
            << QStringLiteral("60") << 3606.0 << 32 << 1ull << false << 6;
        QTest::newRow("earlier by 66 s")
            << QStringLiteral("1") << -66.0 << 32 << 1ull << false << 6;
        QTest::newRow("abc is 0") << QStringLiteral("abc") << 6.0 << 32 << 1ull << false << 6;
        QTest::newRow("negative tolerance")
            << QStringLiteral("-5") << 0.0 << 32 << 1ull << false << 5;
        QTest::newRow("archive ignored") << QStringLiteral("0") << 0.0 << 0 << 1ull << false << 6;
        QTest::newRow("read-only counts") << QStringLiteral("0") << 0.0 << 33 << 1ull << false << 5;
        QTest::newRow("bits above 5")
            << QStringLiteral("0") << 0.0 << (32 | 128 | 2048) << 1ull << false << 6;
        QTest::newRow("size") << QStringLiteral("0") << 0.0 << 32 << 2ull << false << 5;
        QTest::newRow("size ignored") << QStringLiteral("0") << 0.0 << 32 << 2ull << true << 6;
    }
    void classify() {
        QFETCH(QString, tolerance);
        QFETCH(double, shift);
        QFETCH(int, finalAttr);
        QFETCH(qulonglong, finalSize);
        QFETCH(bool, ignoreSize);
        QFETCH(int, list);
        Workspace ws;
        fill(ws.list(ListId::Original), {{QStringLiteral("f.txt"), 32, 1, T0}});
        fill(ws.list(ListId::Final),
             {{QStringLiteral("f.txt"), finalAttr, finalSize, T0 + shift * Second}});
        CompareOptions o = resetOptions();
        o.tolerance = tolerance;
        o.ignoreSize = ignoreSize;
        QCOMPARE(shownAfter(ws, o), list);
        QCOMPARE(ws.list(Lists::atIndex(std::size_t(list - 1))).size(), 1);
        for (int n = 3; n <= 6; ++n)
            QCOMPARE(ws.list(Lists::atIndex(std::size_t(n - 1))).size(), n == list ? 1 : 0);
    }

    void origColumns_data() {
        QTest::addColumn<int>("finalAttr");
        QTest::addColumn<qulonglong>("finalSize");
        QTest::addColumn<bool>("ignoreSize");
        QTest::addColumn<QString>("origSize");
        QTest::addColumn<QString>("origModified");
        QTest::addColumn<QString>("origAttr");
        QTest::newRow("archive only counted") << 0 << 1000ull << false << QStringLiteral("(same)")
                                              << QStringLiteral("(same)") << QStringLiteral("Arc");
        QTest::newRow("ignored size still shown")
            << 33 << 2000ull << true << QStringLiteral("1,000") << QStringLiteral("(same)")
            << QStringLiteral("Arc");
    }
    void origColumns() {
        QFETCH(int, finalAttr);
        QFETCH(qulonglong, finalSize);
        QFETCH(bool, ignoreSize);
        QFETCH(QString, origSize);
        QFETCH(QString, origModified);
        QFETCH(QString, origAttr);
        Workspace ws;
        fill(ws.list(ListId::Original), {{QStringLiteral("f.txt"), 32, 1000, T0}});
        fill(ws.list(ListId::Final), {{QStringLiteral("f.txt"), finalAttr, finalSize, T0}});
        CompareOptions o = resetOptions();
        o.ignoreAttr = {};
        o.ignoreSize = ignoreSize;
        QCOMPARE(shownAfter(ws, o), 5);
        const EntryFormatter f(enGB);
        const SnapshotList &changed = ws.list(ListId::Changed);
        QCOMPARE(f.text(changed, 0, Col::OrigSize), origSize);
        QCOMPARE(f.text(changed, 0, Col::OrigModified), origModified);
        QCOMPARE(f.text(changed, 0, Col::OrigAttr), origAttr);
        QCOMPARE(changed.entry(0).attr, finalAttr); // the entry itself is the Final's
    }

    void foldersAndFiles_data() {
        QTest::addColumn<int>("originalAttr");
        QTest::addColumn<int>("finalAttr");
        QTest::addColumn<int>("list");
        QTest::newRow("folder in both") << 16 << 16 << 6;
        QTest::newRow("folder attributes differ") << 16 << (16 | 2 | 1) << 6;
        QTest::newRow("folder replaced by a file") << 16 << 32 << 5;
        QTest::newRow("file replaced by a folder") << 32 << 16 << 5;
    }
    void foldersAndFiles() {
        QFETCH(int, originalAttr);
        QFETCH(int, finalAttr);
        QFETCH(int, list);
        Workspace ws;
        fill(ws.list(ListId::Original), {{QStringLiteral("x"), originalAttr, 0, T0}});
        fill(ws.list(ListId::Final), {{QStringLiteral("x"), finalAttr, 0, T0}});
        CompareOptions o = resetOptions();
        o.ignoreAttr = {};
        QCOMPARE(shownAfter(ws, o), list);
        if (list == 5) {
            const EntryFormatter f(enGB);
            QCOMPARE(f.text(ws.list(ListId::Changed), 0, Col::OrigSize),
                     (originalAttr & 16) ? QStringLiteral("<dir>") : QStringLiteral("0"));
        }
    }

    void caseOnlyDifferencesPair() {
        Workspace ws;
        fill(ws.list(ListId::Original), {{QStringLiteral("Docs\\ReadMe.TXT")}});
        fill(ws.list(ListId::Final), {{QStringLiteral("docs\\readme.txt")}});
        CompareOptions o = resetOptions();
        QCOMPARE(shownAfter(ws, o), 6);
    }

    void limits_data() {
        QTest::addColumn<QString>("limitO");
        QTest::addColumn<QString>("limitF");
        QTest::addColumn<QStringList>("onlyO");
        QTest::addColumn<QStringList>("onlyF");
        QTest::addColumn<QStringList>("unchanged");
        QTest::newRow("none") << QString() << QString()
                              << QStringList{QStringLiteral("a\\b\\x.txt"),
                                             QStringLiteral("a\\c\\y.txt"),
                                             QStringLiteral("top.txt")}
                              << QStringList{QStringLiteral("b\\x.txt"), QStringLiteral("b\\y.txt"),
                                             QStringLiteral("top2.txt")}
                              << QStringList{QStringLiteral("a"), QStringLiteral("a\\b")};
        QTest::newRow("a\\b\\ against b\\")
            << QStringLiteral("a\\b\\") << QStringLiteral("b\\") << QStringList{}
            << QStringList{QStringLiteral("b\\y.txt")}
            << QStringList{QStringLiteral("a\\b\\x.txt")};
        QTest::newRow("siblings never pair")
            << QStringLiteral("a\\b\\") << QStringLiteral("c\\b\\")
            << QStringList{QStringLiteral("a\\b\\x.txt")} << QStringList{} << QStringList{};
        // The Final's keys get the Original's limit in front: b\\x.txt pairs with a\\b\\x.txt.
        QTest::newRow("limit excludes its own folder")
            << QStringLiteral("a\\") << QString()
            << QStringList{QStringLiteral("a\\b"), QStringLiteral("a\\c\\y.txt")}
            << QStringList{QStringLiteral("a"), QStringLiteral("a\\b"), QStringLiteral("b\\y.txt"),
                           QStringLiteral("top2.txt")}
            << QStringList{QStringLiteral("a\\b\\x.txt")};
    }
    void limits() {
        QFETCH(QString, limitO);
        QFETCH(QString, limitF);
        QFETCH(QStringList, onlyO);
        QFETCH(QStringList, onlyF);
        QFETCH(QStringList, unchanged);
        Workspace ws;
        fill(ws.list(ListId::Original), {{QStringLiteral("a\\"), 16},
                                         {QStringLiteral("a\\b\\"), 16},
                                         {QStringLiteral("a\\b\\x.txt")},
                                         {QStringLiteral("a\\c\\y.txt")},
                                         {QStringLiteral("top.txt")}});
        fill(ws.list(ListId::Final), {{QStringLiteral("a\\"), 16},
                                      {QStringLiteral("a\\b\\"), 16},
                                      {QStringLiteral("b\\x.txt")},
                                      {QStringLiteral("b\\y.txt")},
                                      {QStringLiteral("top2.txt")}});
        CompareOptions o = resetOptions();
        o.limitOriginal = limitO;
        o.limitFinal = limitF;
        runComparison(ws, o);
        QCOMPARE(paths(ws.list(ListId::OnlyInOriginal)), onlyO);
        QCOMPARE(paths(ws.list(ListId::OnlyInFinal)), onlyF);
        QCOMPARE(paths(ws.list(ListId::Unchanged)), unchanged);
    }

    void tabChoiceAndMetadata() {
        Workspace ws;
        CompareOptions o = resetOptions();
        QCOMPARE(shownAfter(ws, o), 0); // "No differences were found"
        QVERIFY(o.compared);
        QCOMPARE(ws.list(ListId::Changed).source, QStringLiteral("Changed"));
        QVERIFY(std::fabs(ws.list(ListId::OnlyInOriginal).created - DateSerial::now()) <
                10 * Second);
        fill(ws.list(ListId::Final), {{QStringLiteral("new.txt")}});
        QCOMPARE(shownAfter(ws, o), 4);
        fill(ws.list(ListId::Original), {{QStringLiteral("new.txt")}});
        QCOMPARE(shownAfter(ws, o), 6);
        // Both snapshot lists are left sorted by match key.
        QCOMPARE(ws.list(ListId::Original).sort.key, int(Col::MatchKey));
        QCOMPARE(ws.list(ListId::Final).sort.order, 0);
    }

    // Names that differ only in letter case (which a POSIX folder holds side by side) pair with
    // the same exact name first; a name whose case alone changed still pairs.
    void caseTwins_data() {
        QTest::addColumn<QStringList>("original");
        QTest::addColumn<QStringList>("final");
        QTest::addColumn<QStringList>("onlyOriginal");
        QTest::addColumn<QStringList>("onlyFinal");
        QTest::addColumn<QStringList>("unchanged");
        const QString a = QStringLiteral("A.txt"), b = QStringLiteral("a.txt");
        QTest::newRow("twin removed") << QStringList{a, b} << QStringList{b} << QStringList{a}
                                      << QStringList{} << QStringList{b};
        QTest::newRow("twin added") << QStringList{b} << QStringList{a, b} << QStringList{}
                                    << QStringList{a} << QStringList{b};
        QTest::newRow("twins kept") << QStringList{b, a} << QStringList{a, b} << QStringList{}
                                    << QStringList{} << QStringList{a, b};
        QTest::newRow("case changed")
            << QStringList{a} << QStringList{b} << QStringList{} << QStringList{} << QStringList{a};
        const QString upper = QStringLiteral("inc\\xt_CONNMARK.h"),
                      lower = QStringLiteral("inc\\xt_connmark.h");
        QTest::newRow("header twin installed")
            << QStringList{lower} << QStringList{upper, lower} << QStringList{}
            << QStringList{upper} << QStringList{lower};
        const QString dotted = QStringLiteral("\u0130stanbul.txt"); // capital I with dot
        QTest::newRow("dotted I") << QStringList{dotted, QStringLiteral("istanbul.txt")}
                                  << QStringList{QStringLiteral("i\u0307stanbul.txt"),
                                                 QStringLiteral("istanbul.txt")}
                                  << QStringList{} << QStringList{}
                                  << QStringList{dotted, QStringLiteral("istanbul.txt")};
        QTest::newRow("folder twins")
            << QStringList{QStringLiteral("Data\\x"), QStringLiteral("data\\x")}
            << QStringList{QStringLiteral("data\\x")} << QStringList{QStringLiteral("Data\\x")}
            << QStringList{} << QStringList{QStringLiteral("data\\x")};
        QTest::newRow("twins beyond ASCII")
            << QStringList{QStringLiteral("\u00C4"), QStringLiteral("\u00E4"),
                           QStringLiteral("\u03A3")}
            << QStringList{QStringLiteral("\u00E4"), QStringLiteral("\u03C3")}
            << QStringList{QStringLiteral("\u00C4")} << QStringList{}
            << QStringList{QStringLiteral("\u00E4"), QStringLiteral("\u03A3")};
    }
    void caseTwins() {
        QFETCH(QStringList, original);
        QFETCH(QStringList, final);
        QFETCH(QStringList, onlyOriginal);
        QFETCH(QStringList, onlyFinal);
        QFETCH(QStringList, unchanged);
        Workspace ws;
        std::vector<E> o, f;
        for (const QString &p : original)
            o.push_back({p});
        for (const QString &p : final)
            f.push_back({p});
        fill(ws.list(ListId::Original), o);
        fill(ws.list(ListId::Final), f);
        CompareOptions options = resetOptions();
        runComparison(ws, options);
        auto sorted = [](QStringList l) {
            l.sort();
            return l;
        };
        QCOMPARE(sorted(paths(ws.list(ListId::OnlyInOriginal))), sorted(onlyOriginal));
        QCOMPARE(sorted(paths(ws.list(ListId::OnlyInFinal))), sorted(onlyFinal));
        QCOMPARE(paths(ws.list(ListId::Changed)), QStringList());
        QCOMPARE(sorted(paths(ws.list(ListId::Unchanged))), sorted(unchanged));
    }

    // Near the tolerance the key texts (15 significant digits) decide, not the serials they
    // round: late in the calendar the two part at the ninth decimal.
    void timesAsTheKeysHoldThem_data() {
        QTest::addColumn<double>("original");
        QTest::addColumn<double>("final");
        QTest::addColumn<int>("list");
        QTest::newRow("texts differ more") << 2958465.7521885936 << 2958465.7522580354 << 5;
        QTest::newRow("texts differ less") << 2958465.753820178 << 2958465.753889625 << 6;
        QTest::newRow("far apart") << 45000.5 << 45000.6 << 5;
        QTest::newRow("same second") << 45000.5 << 45000.5 + 1e-9 << 6;
    }
    void timesAsTheKeysHoldThem() {
        QFETCH(double, original);
        QFETCH(double, final);
        QFETCH(int, list);
        Workspace ws;
        ws.list(ListId::Original).append(u"f", u"", 32, 1, original);
        ws.list(ListId::Final).append(u"f", u"", 32, 1, final);
        CompareOptions o = resetOptions();
        QCOMPARE(shownAfter(ws, o), list);
    }

    // A limit that is an empty text (not a missing one) holds the whole snapshot.
    void emptyLimitTextHoldsEverything() {
        Workspace ws;
        fill(ws.list(ListId::Original), {{QStringLiteral("top")}, {QStringLiteral("sub\\x")}});
        fill(ws.list(ListId::Final), {{QStringLiteral("top")}, {QStringLiteral("sub\\x")}});
        CompareOptions o = resetOptions();
        o.limitOriginal = QStringLiteral("");
        o.limitFinal = QStringLiteral("");
        QCOMPARE(shownAfter(ws, o), 6);
        QCOMPARE(ws.list(ListId::Unchanged).size(), 2);
    }

    // The progress counts both lists' entries as the walk passes them.
    void progressCountsBothLists() {
        Workspace ws;
        std::vector<E> o, f;
        for (int k = 0; k < 3000; ++k) {
            o.push_back({QStringLiteral("d%1\\f%2").arg(k % 7).arg(k)});
            if (k % 3)
                f.push_back({QStringLiteral("d%1\\f%2").arg(k % 7).arg(k)});
        }
        fill(ws.list(ListId::Original), o);
        fill(ws.list(ListId::Final), f);
        CompareOptions options = resetOptions();
        Progress progress;
        runComparison(ws, options, &progress);
        QCOMPARE(progress.total.load(), std::int64_t(5000));
        QCOMPARE(progress.count.load(), std::int64_t(5000));
    }

    void resultDescriptions() {
        Workspace ws;
        ws.list(ListId::Original).description = QStringLiteral("/win");
        ws.list(ListId::Final).description = QStringLiteral("/copy");
        CompareOptions o = resetOptions();
        setResultDescriptions(ws, o);
        QCOMPARE(ws.list(ListId::OnlyInOriginal).description,
                 QStringLiteral("In /win but not in /copy"));
        QCOMPARE(ws.list(ListId::OnlyInFinal).description,
                 QStringLiteral("In /copy but not in /win"));
        QCOMPARE(ws.list(ListId::Changed).description,
                 QStringLiteral("Changed between /win and /copy"));
        QCOMPARE(ws.list(ListId::Unchanged).description,
                 QStringLiteral("Identical in both /win and /copy"));
    }

    // A limit joins its snapshot's description with the description's own separator, never
    // mixing the two.
    void limitInTheDescription_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("side");
        QTest::newRow("POSIX root folder")
            << u"/tmp/x"_s << u"sub\\deeper\\"_s << u"/tmp/x/sub/deeper/"_s;
        QTest::newRow("POSIX file system root") << u"/"_s << u"sub\\"_s << u"/sub/"_s;
        QTest::newRow("Windows folder")
            << u"C:\\Data"_s << u"SYSTEM\\"_s << u"C:\\Data\\SYSTEM\\"_s;
        QTest::newRow("Windows drive") << u"C:"_s << u"SYSTEM\\"_s << u"C:\\SYSTEM\\"_s;
        QTest::newRow("Windows drive root") << u"d:\\"_s << u"a\\"_s << u"d:\\a\\"_s;
        QTest::newRow("plain words")
            << u"Before install"_s << u"sub\\"_s << u"Before install/sub/"_s;
        QTest::newRow("no limit") << u"C:\\Data"_s << QString() << u"C:\\Data"_s;
    }
    void limitInTheDescription() {
        QFETCH(QString, description);
        QFETCH(QString, limit);
        QFETCH(QString, side);
        Workspace ws;
        ws.list(ListId::Original).description = description;
        ws.list(ListId::Final).description = QStringLiteral("/copy");
        CompareOptions o = resetOptions();
        o.limitOriginal = limit;
        setResultDescriptions(ws, o);
        QCOMPARE(ws.list(ListId::OnlyInOriginal).description,
                 u"In "_s + side + u" but not in /copy"_s);
        QCOMPARE(ws.list(ListId::Unchanged).description,
                 u"Identical in both "_s + side + u" and /copy"_s);
    }

    // Random snapshot pairs and options, against a plain implementation built on a map.
    void againstReference_data() {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 25; ++seed)
            QTest::addRow("seed %d", seed) << seed;
    }
    void againstReference() {
        QFETCH(int, seed);
        QRandomGenerator rng(static_cast<quint32>(seed));
        const QStringList folders = {QString(),
                                     QStringLiteral("a\\"),
                                     QStringLiteral("A\\b\\"),
                                     QStringLiteral("a\\b\\"),
                                     QStringLiteral("b\\"),
                                     QStringLiteral("c\\a\\b\\")};
        const QStringList names = {QStringLiteral("x"),     QStringLiteral("X"),
                                   QStringLiteral("y.txt"), QStringLiteral("b"),
                                   QStringLiteral("a!"),    QStringLiteral("é")};
        Workspace ws;
        for (int side = 1; side <= 2; ++side) {
            const int n = rng.bounded(60);
            for (int k = 0; k < n; ++k) {
                const int attr = rng.bounded(8) == 0 ? 16 : static_cast<int>(rng.bounded(64)) & ~16;
                ws.list(Lists::atIndex(std::size_t(side - 1)))
                    .append(names[rng.bounded(names.size())], folders[rng.bounded(folders.size())],
                            attr, rng.bounded(3), T0 + rng.bounded(200) * Second);
            }
        }
        CompareOptions o;
        for (bool &b : o.ignoreAttr)
            b = rng.bounded(2);
        o.ignoreSize = rng.bounded(2);
        o.ignoreStamp = rng.bounded(2);
        o.tolerance = QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("-1"),
                                  QStringLiteral("x")}[rng.bounded(4)];
        o.limitOriginal = rng.bounded(2) ? QString() : folders[rng.bounded(folders.size())];
        o.limitFinal = rng.bounded(2) ? QString() : folders[rng.bounded(folders.size())];

        // The reference: entries grouped by key in a map.
        const EntryFormatter f(enGB);
        using Key = std::tuple<QString, QString, QString>;
        auto entries = [&](int side, const QString &extra) {
            std::multimap<Key, int> m;
            const SnapshotList &l = ws.list(Lists::atIndex(std::size_t(side - 1)));
            for (int i = 0; i < l.size(); ++i)
                m.emplace(
                    Key{extra + f.text(l, i, Col::MatchKey), l.folder(i), l.name(i).toString()}, i);
            return std::vector<std::pair<Key, int>>(m.begin(), m.end());
        };
        const auto eo = entries(1, ::noExtraPath(o.limitFinal, o.limitOriginal));
        const auto ef = entries(2, ::noExtraPath(o.limitOriginal, o.limitFinal));
        const float tol = toleranceDays(o.tolerance);
        const int mask = countedProperties(o);
        QStringList expected[7];
        auto row = [&](int side, int i) {
            const SnapshotList &l = ws.list(Lists::atIndex(std::size_t(side - 1)));
            return l.folder(i) + l.name(i).toString() + u'|' + QString::number(l.entry(i).attr);
        };
        const SnapshotList &lo = ws.list(ListId::Original), &lf = ws.list(ListId::Final);
        auto classify = [&](int io, int jf) {
            const Entry &a = lo.entry(io), &b = lf.entry(jf);
            int differ = 0;
            if (f.text(lo, io, Col::SizeKey) != f.text(lf, jf, Col::SizeKey))
                differ |= 256;
            const double ta = a.isFolder() ? 0 : a.modified, tb = b.isFolder() ? 0 : b.modified;
            if (static_cast<float>(std::fabs(ta - tb)) > tol)
                differ |= 512;
            differ |= (a.attr ^ b.attr) & 63;
            if ((a.attr & 16) && (b.attr & 16)) {
                if (lo.folder(io).startsWith(o.limitOriginal))
                    expected[6] << row(1, io);
            } else if (differ & mask) {
                if (lf.folder(jf).startsWith(o.limitFinal))
                    expected[5] << row(2, jf);
            } else if (lo.folder(io).startsWith(o.limitOriginal)) {
                expected[6] << row(1, io);
            }
        };
        auto onlyIn = [&](int side, int k) {
            const SnapshotList &l = ws.list(Lists::atIndex(std::size_t(side - 1)));
            if (l.folder(k).startsWith(side == 1 ? o.limitOriginal : o.limitFinal))
                expected[side + 2] << row(side, k);
        };
        // Entries with the same key pair first with the same exact path, then in order.
        const QString extraO = ::noExtraPath(o.limitFinal, o.limitOriginal);
        const QString extraF = ::noExtraPath(o.limitOriginal, o.limitFinal);
        auto exact = [&](int side, int k) {
            const SnapshotList &l = ws.list(Lists::atIndex(std::size_t(side - 1)));
            return (side == 1 ? extraO : extraF) + l.folder(k) + l.name(k).toString();
        };
        std::map<QString, std::pair<std::vector<int>, std::vector<int>>> byKey;
        for (const auto &[key, k] : eo)
            byKey[std::get<0>(key)].first.push_back(k);
        for (const auto &[key, k] : ef)
            byKey[std::get<0>(key)].second.push_back(k);
        for (auto &[key, sides] : byKey) {
            std::vector<int> leftO, leftF = sides.second;
            for (const int io : sides.first) {
                const auto same = std::find_if(leftF.begin(), leftF.end(), [&](int jf) {
                    return exact(2, jf) == exact(1, io);
                });
                if (same == leftF.end()) {
                    leftO.push_back(io);
                } else {
                    classify(io, *same);
                    leftF.erase(same);
                }
            }
            const std::size_t both = std::min(leftO.size(), leftF.size());
            for (std::size_t k = 0; k < both; ++k)
                classify(leftO[k], leftF[k]);
            for (std::size_t k = both; k < leftO.size(); ++k)
                onlyIn(1, leftO[k]);
            for (std::size_t k = both; k < leftF.size(); ++k)
                onlyIn(2, leftF[k]);
        }
        runComparison(ws, o);
        for (int n = 3; n <= 6; ++n) {
            QStringList got;
            for (int k = 0; k < ws.list(Lists::atIndex(std::size_t(n - 1))).size(); ++k)
                got << row(n, k);
            got.sort();
            expected[n].sort();
            QCOMPARE(got, expected[n]);
        }
    }
};

QTEST_GUILESS_MAIN(TestComparison)
#include "tst_comparison.moc"
