#include "compare/ByteScale.h"
#include "compare/ChangeSummary.h"
#include "compare/Comparison.h"
#include "snapshot/Workspace.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

using namespace Qt::StringLiterals;

namespace {

const double T0 = 45000.5;
constexpr double Second = 1.0 / 86400;

struct E {
    QString path; // folder and name; a folder's ends in '\'
    std::uint64_t size = 0;
};

// "a\b\" is the folder b in a\, "a\b" the file b in it.
void fill(SnapshotList &list, const std::vector<E> &entries) {
    for (const E &e : entries) {
        const bool folder = e.path.endsWith(u'\\');
        const QString path = folder ? e.path.chopped(1) : e.path;
        const qsizetype cut = path.lastIndexOf(u'\\') + 1;
        list.append(path.mid(cut), path.left(cut), folder ? 16 : 32, folder ? 0 : e.size,
                    folder ? std::nan("") : T0);
    }
}

void compareAll(Workspace &ws) {
    CompareOptions o;
    o.reset(ListId::Original);
    runComparison(ws, o);
}

// Root children: zeta has the most changed entries, mid the next; big, Apple and apple one
// each (big with the most bytes); Quiet none.
void fillSample(Workspace &ws) {
    fill(ws.list(ListId::Original), {{u"big\\"_s},
                                     {u"big\\old.bin"_s, 1000},
                                     {u"big\\keep.txt"_s, 5},
                                     {u"Apple\\"_s},
                                     {u"Apple\\a.txt"_s, 10},
                                     {u"apple\\"_s},
                                     {u"apple\\x"_s, 1},
                                     {u"zeta\\"_s},
                                     {u"zeta\\z1"_s, 100},
                                     {u"zeta\\z2"_s, 100},
                                     {u"mid\\"_s},
                                     {u"mid\\m"_s, 50},
                                     {u"Quiet\\"_s},
                                     {u"Quiet\\q"_s, 7}});
    fill(ws.list(ListId::Final), {{u"big\\"_s},
                                  {u"big\\keep.txt"_s, 5},
                                  {u"Apple\\"_s},
                                  {u"Apple\\a.txt"_s, 30},
                                  {u"apple\\"_s},
                                  {u"apple\\x"_s, 1},
                                  {u"apple\\y"_s, 4},
                                  {u"zeta\\"_s},
                                  {u"zeta\\z1"_s, 150},
                                  {u"zeta\\z2"_s, 80},
                                  {u"zeta\\z3"_s, 1},
                                  {u"mid\\"_s},
                                  {u"mid\\m"_s, 50},
                                  {u"mid\\deep\\"_s},
                                  {u"mid\\deep\\n"_s, 3},
                                  {u"Quiet\\"_s},
                                  {u"Quiet\\q"_s, 7}});
    compareAll(ws);
}

QStringList namesOf(const ChangeSummary &s, const std::vector<int> &indexes) {
    QStringList out;
    for (const int k : indexes)
        out << s.folders()[static_cast<std::size_t>(k)].name;
    return out;
}

int indexOf(const ChangeSummary &s, const QString &path) {
    for (std::size_t k = 0; k < s.folders().size(); ++k) {
        if (s.path(static_cast<int>(k)) == path)
            return static_cast<int>(k);
    }
    return -1;
}

QStringList tsvLines(const ChangeSummary &s, int maxDepth) {
    QString text;
    QTextStream out(&text);
    s.writeTsv(out, maxDepth);
    out.flush();
    QStringList lines = text.split(u'\n');
    if (lines.value(lines.size() - 1).isEmpty())
        lines.removeLast();
    return lines;
}

// ---- The reference: plain loops over every result entry for every folder. ----

struct Totals {
    qint64 onlyO = 0, onlyF = 0, changed = 0, removed = 0, added = 0, quiet = 0, moved = 0;
    qint64 entries() const { return onlyO + onlyF + changed; }
    qint64 bytes() const { return removed + added; }
    qint64 net() const { return added - removed; }
};

qint64 sizeOf(int attr, std::uint64_t size) {
    return (attr & 16) ? 0 : static_cast<qint64>(size);
}

bool holds(const QString &folderPath, const QString &entryFolder) {
    return folderPath.isEmpty() || entryFolder.startsWith(folderPath);
}

Totals naiveTotals(const Workspace &ws, const QString &path) {
    Totals t;
    const SnapshotList &o = ws.list(ListId::OnlyInOriginal), &f = ws.list(ListId::OnlyInFinal),
                       &c = ws.list(ListId::Changed);
    for (int i = 0; i < o.size(); ++i) {
        if (holds(path, o.folder(i))) {
            ++t.onlyO;
            t.removed += sizeOf(o.entry(i).attr, o.entry(i).size);
        }
        // A move is counted once where it left or arrived, or both.
        if (o.moveRule(i) != MoveRule::None &&
            (holds(path, o.folder(i)) || holds(path, o.movedFolder(i))))
            ++t.moved;
    }
    for (int i = 0; i < f.size(); ++i) {
        if (holds(path, f.folder(i))) {
            ++t.onlyF;
            t.added += sizeOf(f.entry(i).attr, f.entry(i).size);
        }
    }
    for (int i = 0; i < c.size(); ++i) {
        if (holds(path, c.folder(i))) {
            ++t.changed;
            const Entry &e = c.entry(i);
            const OrigValues &o = c.orig(i);
            t.quiet += (o.differ & Differ::Contents) && !e.isFolder() && o.size == e.size &&
                       o.modified == e.modified;
            const qint64 d =
                sizeOf(c.entry(i).attr, c.entry(i).size) - sizeOf(c.orig(i).attr, c.orig(i).size);
            (d > 0 ? t.added : t.removed) += std::abs(d);
        }
    }
    return t;
}

// Every In Folder text of the four lists with every folder above it.
std::set<QString> naivePaths(const Workspace &ws) {
    std::set<QString> paths{QString()};
    for (const ListId n : Lists::FourResults) {
        const SnapshotList &l = ws.list(n);
        for (int i = 0; i < l.size(); ++i) {
            const QString &folder = l.folder(i);
            for (qsizetype k = 0; k < folder.size(); ++k) {
                if (folder[k] == u'\\')
                    paths.insert(folder.left(k + 1));
            }
        }
    }
    return paths;
}

QString naiveParent(const QString &path) {
    return path.left(path.chopped(1).lastIndexOf(u'\\') + 1);
}

QString naiveName(const QString &path) {
    return path.isEmpty() ? QString() : path.chopped(1).section(u'\\', -1);
}

int naiveNameCompare(const QString &a, const QString &b) {
    const QString fa = a.toCaseFolded(), fb = b.toCaseFolded();
    if (fa != fb)
        return fa < fb ? -1 : 1;
    return a < b ? -1 : (a == b ? 0 : 1);
}

struct Reference {
    std::map<QString, Totals> totals;
    std::map<QString, std::vector<QString>> children; // in no particular order

    explicit Reference(const Workspace &ws) {
        for (const QString &p : naivePaths(ws)) {
            totals[p] = naiveTotals(ws, p);
            if (!p.isEmpty())
                children[naiveParent(p)].push_back(p);
        }
    }
    qint64 value(const QString &p, int column) const {
        const Totals &t = totals.at(p);
        const qint64 values[] = {0,       t.onlyO, t.onlyF, t.changed, t.removed,
                                 t.added, t.net(), t.quiet, t.moved};
        return values[column];
    }
    // column < 0: the opening order.
    bool before(const QString &a, const QString &b, int column, bool descending) const {
        const int byName = naiveNameCompare(naiveName(a), naiveName(b));
        if (column == ChangeSummary::Folder)
            return descending ? byName > 0 : byName < 0;
        if (column < 0) {
            const Totals &x = totals.at(a), &y = totals.at(b);
            if (x.entries() != y.entries())
                return x.entries() > y.entries();
            if (x.bytes() != y.bytes())
                return x.bytes() > y.bytes();
            return byName < 0;
        }
        const qint64 x = value(a, column), y = value(b, column);
        if (x != y)
            return descending ? x > y : x < y;
        return byName < 0;
    }
    std::vector<QString> sortedChildren(const QString &p, int column, bool descending) const {
        const auto it = children.find(p);
        std::vector<QString> out = it == children.end() ? std::vector<QString>() : it->second;
        std::sort(out.begin(), out.end(), [&](const QString &a, const QString &b) {
            return before(a, b, column, descending);
        });
        return out;
    }
    void preorder(const QString &p, int column, bool descending, int maxDepth,
                  QStringList &out) const {
        if (maxDepth >= 0 && p.count(u'\\') > maxDepth)
            return;
        out << p;
        for (const QString &c : sortedChildren(p, column, descending))
            preorder(c, column, descending, maxDepth, out);
    }
};

QString tsvField(const QString &path) {
    return path.isEmpty() ? u"\\"_s : path;
}

QString describe(const FolderChange &f, const QString &path) {
    return u"%1: %2 %3 %4 -%5 +%6"_s.arg(tsvField(path))
        .arg(f.onlyOriginal)
        .arg(f.onlyFinal)
        .arg(f.changed)
        .arg(f.bytesRemoved)
        .arg(f.bytesAdded);
}

QString describe(const QString &path, const Totals &t) {
    return u"%1: %2 %3 %4 -%5 +%6"_s.arg(tsvField(path))
        .arg(t.onlyO)
        .arg(t.onlyF)
        .arg(t.changed)
        .arg(t.removed)
        .arg(t.added);
}

// The folders, their place in the tree and their totals. Returns what differs, or nothing.
QString checkFolders(const ChangeSummary &s, const Reference &ref) {
    const auto &folders = s.folders();
    if (folders.empty() || !s.path(0).isEmpty() || folders[0].parent != -1)
        return u"no root first"_s;
    std::set<QString> got;
    for (std::size_t k = 0; k < folders.size(); ++k) {
        const FolderChange &f = folders[k];
        const QString path = s.path(static_cast<int>(k));
        if (!got.insert(path).second)
            return u"twice: "_s + path;
        const auto it = ref.totals.find(path);
        if (it == ref.totals.end())
            return u"not a folder of the lists: "_s + path;
        if (describe(f, path) != describe(path, it->second))
            return u"got "_s + describe(f, path) + u", expected "_s + describe(path, it->second);
        if (f.name != naiveName(path) || f.depth != path.count(u'\\'))
            return u"name or depth of "_s + path;
        if (f.parent >= 0 && s.path(f.parent) != naiveParent(path))
            return u"parent of "_s + path;
    }
    if (got.size() != ref.totals.size())
        return u"%1 folders, expected %2"_s.arg(got.size()).arg(ref.totals.size());
    return {};
}

// Every folder's children in the order the reference gives them.
QString checkOrder(const ChangeSummary &s, const Reference &ref, int column, bool descending) {
    for (std::size_t k = 0; k < s.folders().size(); ++k) {
        std::vector<QString> got;
        for (const int c : s.folders()[k].children)
            got.push_back(s.path(c));
        const QString path = s.path(static_cast<int>(k));
        if (got != ref.sortedChildren(path, column, descending))
            return u"order of the children of "_s + tsvField(path);
    }
    return {};
}

QString checkTopChildren(const ChangeSummary &s, const Reference &ref, int n) {
    for (std::size_t k = 0; k < s.folders().size(); ++k) {
        std::vector<QString> expected =
            ref.sortedChildren(s.path(static_cast<int>(k)), ChangeSummary::Folder, false);
        std::stable_sort(expected.begin(), expected.end(), [&](const QString &a, const QString &b) {
            return ref.totals.at(a).bytes() > ref.totals.at(b).bytes();
        });
        if (expected.size() > static_cast<std::size_t>(n))
            expected.resize(static_cast<std::size_t>(n));
        std::vector<QString> got;
        for (const int c : s.topChildren(static_cast<int>(k), n))
            got.push_back(s.path(c));
        if (got != expected)
            return u"largest children of "_s + tsvField(s.path(static_cast<int>(k)));
    }
    return {};
}

QString checkTsv(const ChangeSummary &s, const Reference &ref, int column, bool descending,
                 int maxDepth) {
    QStringList expected;
    ref.preorder(QString(), column, descending, maxDepth, expected);
    const QStringList lines = tsvLines(s, maxDepth);
    if (lines.size() != expected.size() + 1)
        return u"%1 TSV lines for %2 folders"_s.arg(lines.size()).arg(expected.size());
    for (qsizetype k = 0; k < expected.size(); ++k) {
        const Totals &t = ref.totals.at(expected[k]);
        const QString line = QStringList{tsvField(expected[k]),      QString::number(t.onlyO),
                                         QString::number(t.onlyF),   QString::number(t.changed),
                                         QString::number(t.removed), QString::number(t.added),
                                         QString::number(t.net()),   QString::number(t.quiet),
                                         QString::number(t.moved)}
                                 .join(u'\t');
        if (lines[k + 1] != line)
            return u"TSV line "_s + lines[k + 1] + u", expected "_s + line;
    }
    return {};
}

// ---- Random snapshot pairs: small trees with case twins, moves, size and kind changes. ----

// A folder forty levels down, none of whose ancestors holds an entry.
QString deepFolder() {
    QString path = u"x\\"_s;
    for (int level = 1; level < 40; ++level)
        path += u"L%1\\"_s.arg(level);
    return path;
}

// Letter case decides between twins only: "Z" sorts after "a" and "b" before "C".
const QStringList RandomFolders = {QString(),      u"a\\"_s,      u"A\\"_s,      u"Z\\"_s,
                                   u"a\\b\\"_s,    u"a\\B\\"_s,   u"a\\C\\"_s,   u"a\\b\\c\\"_s,
                                   u"x\\y\\z\\"_s, u"\u00e9\\"_s, u"\u00c9\\"_s, deepFolder()};
const QStringList RandomNames = {u"f"_s, u"F"_s, u"g.txt"_s, u"b"_s, u"c"_s, u"\u00e9"_s};

struct Item {
    QString folder, name;
    int attr = 32;
    std::uint64_t size = 0;
    double time = T0;
    std::uint8_t contents = 0; // a digest standing for the file's contents; 0: none
};

Item randomItem(QRandomGenerator &rng) {
    Item it{RandomFolders[rng.bounded(RandomFolders.size())],
            RandomNames[rng.bounded(RandomNames.size())]};
    it.attr = rng.bounded(5) == 0 ? 16 : 32;
    it.size = rng.bounded(4) == 0 ? rng.generate64() % (1ull << 40) : rng.bounded(1000);
    it.time = T0 + rng.bounded(3) * 10 * Second;
    if (it.attr == 32)
        it.contents = std::uint8_t(rng.bounded(3));
    return it;
}

void append(SnapshotList &list, const Item &it) {
    const bool folder = it.attr & 16;
    list.append(it.name, it.folder, it.attr, it.size, folder ? std::nan("") : it.time);
    Digest digest{};
    digest[0] = it.contents;
    list.setDigest(list.size() - 1, digest);
}

// The Final's version of an Original entry, or nothing when it was removed.
std::optional<Item> evolve(QRandomGenerator &rng, Item it) {
    switch (rng.bounded(10)) {
    case 0:
        return std::nullopt;
    case 1:
        it.folder = RandomFolders[rng.bounded(RandomFolders.size())];
        break;
    case 2:
        it.size = rng.bounded(1000);
        break;
    case 3:
        it.attr ^= 16 | 32;
        break;
    case 4:
        it.name = it.name.toUpper();
        break;
    case 5: // other contents, size and time kept, or the first contents read
        it.contents = std::uint8_t(it.contents % 2 + 1);
        break;
    default:
        break;
    }
    return it;
}

void randomPair(QRandomGenerator &rng, Workspace &ws) {
    const int n = static_cast<int>(rng.bounded(40));
    for (int k = 0; k < n; ++k) {
        const Item it = randomItem(rng);
        append(ws.list(ListId::Original), it);
        if (const auto later = evolve(rng, it))
            append(ws.list(ListId::Final), *later);
    }
    for (int k = static_cast<int>(rng.bounded(8)); k > 0; --k)
        append(ws.list(ListId::Final), randomItem(rng));
}

CompareOptions randomOptions(QRandomGenerator &rng) {
    CompareOptions o;
    o.reset(ListId::Original);
    o.ignoreSize = rng.bounded(4) == 0;
    if (rng.bounded(5) == 0)
        o.limitOriginal = RandomFolders[rng.bounded(RandomFolders.size())];
    if (rng.bounded(5) == 0)
        o.limitFinal = RandomFolders[rng.bounded(RandomFolders.size())];
    return o;
}

QString checkRandomPair(quint32 seed) {
    QRandomGenerator rng(seed);
    Workspace ws;
    randomPair(rng, ws);
    CompareOptions options = randomOptions(rng);
    runComparison(ws, options);
    ChangeSummary s = ChangeSummary::build(ws);
    const Reference ref(ws);
    const int column = static_cast<int>(rng.bounded(ChangeSummary::ColumnCount));
    const bool descending = rng.bounded(2);
    const int maxDepth = static_cast<int>(rng.bounded(5)) - 1;
    QString error = checkFolders(s, ref);
    if (error.isEmpty())
        error = checkOrder(s, ref, -1, false);
    if (error.isEmpty())
        error = checkTopChildren(s, ref, 1 + static_cast<int>(rng.bounded(4)));
    if (error.isEmpty()) {
        s.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        error = checkOrder(s, ref, column, descending);
    }
    if (error.isEmpty())
        error = checkTsv(s, ref, column, descending, maxDepth);
    return error.isEmpty() ? error : u"seed %1: "_s.arg(seed) + error;
}

} // namespace

class TestChangeSummary : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Random pairs compared and summed up, against the plain loops of the reference.
    void againstReference_data() {
        QTest::addColumn<int>("first");
        for (int first = 1; first <= 300; first += 25)
            QTest::addRow("seeds %d-%d", first, first + 24) << first;
    }
    void againstReference() {
        QFETCH(int, first);
        for (int seed = first; seed < first + 25; ++seed) {
            const QString error = checkRandomPair(static_cast<quint32>(seed));
            QVERIFY2(error.isEmpty(), qPrintable(error));
        }
    }

    // Sizes in units: three significant digits, a rounding that carries into the next unit,
    // the locale's decimal point, and the largest number there is.
    void readableSizes_data() {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::newRow("one") << quint64(1) << u"1 byte"_s << u"1 byte"_s;
        QTest::newRow("below a kilobyte") << quint64(999) << u"999 bytes"_s << u"999 bytes"_s;
        QTest::newRow("a kilobyte") << quint64(1000) << u"1.00 KB"_s << u"1,00 KB"_s;
        QTest::newRow("66 KB") << quint64(66'049) << u"66.0 KB"_s << u"66,0 KB"_s;
        QTest::newRow("rounds up a unit") << quint64(999'950) << u"1.00 MB"_s << u"1,00 MB"_s;
        QTest::newRow("46 MB") << quint64(46'195'367) << u"46.2 MB"_s << u"46,2 MB"_s;
        QTest::newRow("hundreds") << quint64(512'400'000'000) << u"512 GB"_s << u"512 GB"_s;
        QTest::newRow("largest") << ~quint64(0) << u"18.4 EB"_s << u"18,4 EB"_s;
    }
    void readableSizes() {
        QFETCH(quint64, bytes);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QCOMPARE(ByteScale::readable(bytes, QLocale(QLocale::English)), english);
        QCOMPARE(ByteScale::readable(bytes, QLocale(QLocale::German)), german);
    }

    // Every amount shows beside a far larger one, larger amounts longer, and the marks stand
    // where their amounts end.
    void barScale() {
        const std::uint64_t largest = 46'195'367;
        double before = 0;
        for (const std::uint64_t bytes :
             {std::uint64_t(1), std::uint64_t(48'000), std::uint64_t(66'000), largest}) {
            const double at = ByteScale::fraction(bytes, largest);
            QVERIFY2(at > before && at <= 1, qPrintable(QString::number(bytes)));
            before = at;
        }
        QVERIFY(ByteScale::fraction(66'000, largest) > 0.5);
        QCOMPARE(ByteScale::fraction(0, largest), 0.0);
        QCOMPARE(ByteScale::fraction(largest, largest), 1.0);
        QCOMPARE(ByteScale::fraction(5, 0), 0.0);
        const std::vector<ByteScale::Tick> ticks = ByteScale::ticks(largest);
        QCOMPARE(ticks.size(), std::size_t(2));
        QCOMPARE(ticks[1].label, u"1 MB"_s);
        QCOMPARE(ticks[1].at, ByteScale::fraction(1'000'000, largest));
        QCOMPARE(ByteScale::ticks(~std::uint64_t(0)).size(), std::size_t(6));
    }

    void emptyListsStillHaveARoot() {
        Workspace ws;
        compareAll(ws);
        const ChangeSummary s = ChangeSummary::build(ws);
        QCOMPARE(s.folders().size(), std::size_t(1));
        QCOMPARE(tsvLines(s, -1),
                 QStringList({u"Folder\tOnly in Original\tOnly in Final\tChanged\tBytes "
                              u"Removed\tBytes Added\tNet Change\tContents Only\tMoved"_s,
                              u"\\\t0\t0\t0\t0\t0\t0\t0\t0"_s}));
    }

    // The root's subfolders after a sort by each column.
    void sortColumns_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("order");
        const auto row = [](const char *name, int column, bool descending, const char *order) {
            QTest::newRow(name) << column << descending << QString::fromUtf8(order).split(u' ');
        };
        row("opening order", -1, false, "zeta mid big Apple apple Quiet");
        row("folder", ChangeSummary::Folder, false, "Apple apple big mid Quiet zeta");
        row("folder descending", ChangeSummary::Folder, true, "zeta Quiet mid big apple Apple");
        row("only in original, ties by name", ChangeSummary::OnlyInOriginal, false,
            "Apple apple mid Quiet zeta big");
        row("only in original descending", ChangeSummary::OnlyInOriginal, true,
            "big Apple apple mid Quiet zeta");
        row("only in final descending", ChangeSummary::OnlyInFinal, true,
            "mid apple zeta Apple big Quiet");
        row("changed", ChangeSummary::Changed, false, "apple big mid Quiet Apple zeta");
        row("bytes removed descending", ChangeSummary::BytesRemoved, true,
            "big zeta Apple apple mid Quiet");
        row("bytes added", ChangeSummary::BytesAdded, false, "big Quiet mid apple Apple zeta");
        row("net change", ChangeSummary::NetChange, false, "big Quiet mid apple Apple zeta");
        row("net change descending", ChangeSummary::NetChange, true,
            "zeta Apple apple mid Quiet big");
    }
    void sortColumns() {
        QFETCH(int, column);
        QFETCH(bool, descending);
        QFETCH(QStringList, order);
        Workspace ws;
        fillSample(ws);
        ChangeSummary s = ChangeSummary::build(ws);
        s.sort(ChangeSummary::Folder, Qt::DescendingOrder); // any other order first
        if (column < 0)
            s.sortByChange();
        else
            s.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCOMPARE(namesOf(s, s.folders()[0].children), order);
    }

    void topChildren_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("n");
        QTest::addColumn<QStringList>("largest");
        QTest::newRow("three") << QString() << 3 << QStringList{u"big"_s, u"zeta"_s, u"Apple"_s};
        QTest::newRow("more than there are")
            << QString() << 10
            << QStringList{u"big"_s, u"zeta"_s, u"Apple"_s, u"apple"_s, u"mid"_s, u"Quiet"_s};
        QTest::newRow("none asked") << QString() << 0 << QStringList{};
        QTest::newRow("below the root") << u"mid\\"_s << 5 << QStringList{u"deep"_s};
        QTest::newRow("no subfolders") << u"Quiet\\"_s << 5 << QStringList{};
    }
    void topChildren() {
        QFETCH(QString, folder);
        QFETCH(int, n);
        QFETCH(QStringList, largest);
        Workspace ws;
        fillSample(ws);
        const ChangeSummary s = ChangeSummary::build(ws);
        const int k = indexOf(s, folder);
        QVERIFY(k >= 0);
        QCOMPARE(namesOf(s, s.topChildren(k, n)), largest);
    }

    // Which folders the TSV holds at each depth, in the opening order.
    void tsvDepth_data() {
        QTest::addColumn<int>("maxDepth");
        QTest::addColumn<QStringList>("folders");
        const QStringList top = {u"\\"_s,      u"zeta\\"_s,  u"mid\\"_s,  u"big\\"_s,
                                 u"Apple\\"_s, u"apple\\"_s, u"Quiet\\"_s};
        QTest::newRow("root only") << 0 << QStringList{u"\\"_s};
        QTest::newRow("one level") << 1 << top;
        QStringList all = top;
        all.insert(3, u"mid\\deep\\"_s);
        QTest::newRow("two levels") << 2 << all;
        QTest::newRow("all") << -1 << all;
    }
    void tsvDepth() {
        QFETCH(int, maxDepth);
        QFETCH(QStringList, folders);
        Workspace ws;
        fillSample(ws);
        const QStringList lines = tsvLines(ChangeSummary::build(ws), maxDepth);
        QStringList got;
        for (const QString &line : lines.mid(1))
            got << line.section(u'\t', 0, 0);
        QCOMPARE(got, folders);
        // Removed: old.bin and zeta's shrink; added: Apple's and zeta's growth and three files.
        QCOMPARE(lines.value(1), u"\\\t1\t4\t3\t1020\t78\t-942\t0\t0"_s);
    }

    // Byte totals of 2^63 and more, as sizes read from a file can be: exact up to 2^64 - 1,
    // which a total beyond it stays at; never negative, never wrapped round.
    void largeTotals_data() {
        QTest::addColumn<QStringList>("original"); // files as "path size"
        QTest::addColumn<QStringList>("final");
        QTest::addColumn<QString>("root"); // removed, added and net of the root's line
        QTest::newRow("three of 2^62 removed")
            << QStringList{u"a 4611686018427387904"_s, u"b 4611686018427387904"_s,
                           u"c 4611686018427387904"_s}
            << QStringList{} << u"13835058055282163712\t0\t-13835058055282163712"_s;
        QTest::newRow("2^63 - 1 removed and added")
            << QStringList{u"a 9223372036854775807"_s} << QStringList{u"b 9223372036854775807"_s}
            << u"9223372036854775807\t9223372036854775807\t0"_s;
        QTest::newRow("grown by 2^63")
            << QStringList{u"a 0"_s} << QStringList{u"a 9223372036854775808"_s}
            << u"0\t9223372036854775808\t9223372036854775808"_s;
        QTest::newRow("beyond 64 bits")
            << QStringList{u"d\\a 18446744073709551615"_s, u"d\\b 2"_s} << QStringList{u"c 1"_s}
            << u"18446744073709551615\t1\t-18446744073709551614"_s;
    }
    void largeTotals() {
        QFETCH(QStringList, original);
        QFETCH(QStringList, final);
        QFETCH(QString, root);
        const auto files = [](const QStringList &given) {
            std::vector<E> out;
            for (const QString &file : given)
                out.push_back({file.section(u' ', 0, 0), file.section(u' ', 1).toULongLong()});
            return out;
        };
        Workspace ws;
        fill(ws.list(ListId::Original), files(original));
        fill(ws.list(ListId::Final), files(final));
        compareAll(ws);
        const QStringList lines = tsvLines(ChangeSummary::build(ws), 0);
        QCOMPARE(lines.value(1).section(u'\t', 4, 6), root);
    }

    // Tabs and line breaks in a folder's name keep each folder on one line of one field.
    void tsvEscapes_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("field");
        QTest::newRow("tab") << u"a\tb\\"_s << u"a|09b\\"_s;
        QTest::newRow("line feed") << u"a\nb\\"_s << u"a|0Ab\\"_s;
        QTest::newRow("carriage return") << u"\r\\"_s << u"|0D\\"_s;
        QTest::newRow("deeper, both") << u"x\t\\y\r\n\\"_s << u"x|09\\y|0D|0A\\"_s;
        QTest::newRow("an escaped name as it is") << u"p|7Cq\\"_s << u"p|7Cq\\"_s;
    }
    void tsvEscapes() {
        QFETCH(QString, folder);
        QFETCH(QString, field);
        Workspace ws;
        ws.list(ListId::OnlyInFinal).append(u"new.txt", folder, 32, 5, T0);
        const QStringList lines = tsvLines(ChangeSummary::build(ws), -1);
        QCOMPARE(lines.last(), field + u"\t0\t1\t0\t0\t5\t5\t0\t0"_s);
        QCOMPARE(lines.size(), 2 + field.count(u'\\'));
    }
};

QTEST_GUILESS_MAIN(TestChangeSummary)
#include "tst_changesummary.moc"
