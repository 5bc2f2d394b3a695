// Moves and renames: random snapshot pairs against a plain pairing written apart (every pair
// tried in turn), and a tree on disk with files moved, a folder renamed, a file moved and
// grown, a case-only rename and a hard link.

#include "compare/ChangeSummary.h"
#include "compare/Comparison.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Scanner.h"
#include "snapshot/Workspace.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// ---- the plain pairing ----

QString pathOf(const SnapshotList &list, int i) {
    return list.folder(i) + list.name(i).toString();
}

bool sameBy(MoveRule rule, const SnapshotList &o, int i, const SnapshotList &f, int j) {
    const Entry &a = o.entry(i), &b = f.entry(j);
    const bool files = !a.isFolder() && !b.isFolder();
    switch (rule) {
    case MoveRule::Inode: {
        std::uint64_t d1, n1, d2, n2;
        return o.identity(i, d1, n1) && f.identity(j, d2, n2) && n1 != 0 && d1 == d2 && n1 == n2 &&
               a.isFolder() == b.isFolder() && (a.isFolder() || a.size == b.size);
    }
    case MoveRule::Contents:
        return files && a.size > 0 && a.size == b.size && hasDigest(o.digest(i)) &&
               o.digest(i) == f.digest(j);
    case MoveRule::NameSizeTime:
        return files && a.hasTime() && b.hasTime() && a.size == b.size &&
               a.modified == b.modified && o.name(i) == f.name(j);
    default:
        return false;
    }
}

struct Reference {
    std::vector<int> ofO, ofF;
    std::vector<MoveRule> rule;
    std::vector<int> owner;
    std::vector<int> along;
};

Reference pairPlainly(const SnapshotList &o, const SnapshotList &f) {
    Reference r{std::vector<int>(o.size(), -1), std::vector<int>(f.size(), -1),
                std::vector<MoveRule>(f.size()), std::vector<int>(f.size(), -1),
                std::vector<int>(f.size(), 0)};
    auto pair = [&](int i, int j, MoveRule how) {
        r.ofO[i] = j;
        r.ofF[j] = i;
        r.rule[j] = how;
    };
    for (MoveRule how : {MoveRule::Inode, MoveRule::Contents, MoveRule::NameSizeTime}) {
        for (int j = 0; j < f.size(); ++j) {
            for (int i = 0; i < o.size() && r.ofF[j] < 0; ++i) {
                if (r.ofO[i] < 0 && sameBy(how, o, i, f, j))
                    pair(i, j, how);
            }
        }
    }
    std::vector<int> folders;
    for (int i = 0; i < o.size(); ++i) {
        if (o.entry(i).isFolder() && r.ofO[i] < 0)
            folders.push_back(i);
    }
    std::stable_sort(folders.begin(), folders.end(), [&](int a, int b) {
        return pathOf(o, a).count(u'\\') > pathOf(o, b).count(u'\\');
    });
    for (int d : folders) {
        const QString path = pathOf(o, d) + u'\\';
        int entries = 0, moved = 0;
        QSet<QString> went;
        for (int i = 0; i < o.size(); ++i) {
            if (o.folder(i) != path)
                continue;
            ++entries;
            if (r.ofO[i] >= 0) {
                ++moved;
                went.insert(f.folder(r.ofO[i]));
            }
        }
        if (moved == 0 || went.size() != 1 || 2 * moved < entries)
            continue;
        for (int j = 0; j < f.size(); ++j) {
            if (f.entry(j).isFolder() && r.ofF[j] < 0 && pathOf(f, j) + u'\\' == *went.begin()) {
                pair(d, j, MoveRule::Entries);
                break;
            }
        }
    }
    // An entry goes with the folder that held it when that folder moved to the one that holds
    // it now, under the same name; the outermost such folder takes it.
    std::vector<int> parent(f.size(), -1);
    for (int j = 0; j < f.size(); ++j) {
        const int i = r.ofF[j];
        for (int k = 0; i >= 0 && k < f.size(); ++k) {
            const int d = r.ofF[k];
            if (d >= 0 && f.entry(k).isFolder() && o.name(i) == f.name(j) &&
                pathOf(o, d) + u'\\' == o.folder(i) && pathOf(f, k) + u'\\' == f.folder(j))
                parent[j] = k;
        }
    }
    for (int j = 0; j < f.size(); ++j) {
        for (int k = parent[j]; k >= 0; k = parent[k])
            r.owner[j] = k;
        if (r.owner[j] >= 0)
            ++r.along[r.owner[j]];
    }
    return r;
}

// ---- random snapshot pairs ----

struct Item {
    QString folder, name;
    bool isFolder = false;
    std::uint64_t size = 0, inode = 0;
    double modified = 0;
    int digest = -1; // -1: none
};

void fillFrom(SnapshotList &list, const std::vector<Item> &items, bool details) {
    list.clearEntries();
    list.addLimit(u"");
    for (const Item &it : items) {
        Details d;
        d.mode = it.isFolder ? 040755 : 0100644;
        d.device = 7;
        d.inode = it.inode;
        d.links = 1;
        const double time = it.isFolder ? std::nan("") : it.modified;
        if (details)
            list.append(it.name, list.internFolder(it.folder), it.isFolder ? 16 : 32,
                        it.isFolder ? 0 : it.size, time, d);
        else
            list.append(it.name, it.folder, it.isFolder ? 16 : 32, it.isFolder ? 0 : it.size, time);
        if (it.digest >= 0) {
            Digest digest{};
            digest[0] = std::uint8_t(it.digest + 1);
            list.setDigest(list.size() - 1, digest);
        }
    }
}

std::vector<Item> randomTree(QRandomGenerator &rng, std::uint64_t &inode) {
    const QStringList names = {u"a.txt"_s, u"b.txt"_s, u"İstanbul.txt"_s, u"x\\y"_s, u"😀"_s};
    const double times[] = {45000.5, 45001.25, -0.0, 0.0};
    std::vector<Item> items;
    QStringList folders = {QString()};
    for (int k = 0; k < 6; ++k) {
        const QString parent = folders[rng.bounded(folders.size())];
        const QString name = u"d%1"_s.arg(k);
        items.push_back({parent, name, true, 0, ++inode, 0, -1});
        folders << parent + name + u'\\';
    }
    for (int k = 0; k < 40; ++k) {
        const QString folder = folders[rng.bounded(folders.size())];
        const QString name = rng.bounded(3) ? u"f%1"_s.arg(k) : names[rng.bounded(names.size())];
        items.push_back({folder, name, false, std::uint64_t(rng.bounded(3)) * 5, ++inode,
                         times[rng.bounded(4)], rng.bounded(3) ? int(rng.bounded(4)) : -1});
    }
    return items;
}

// Moves, renames (of files and of whole folders), growth, removal and new entries that may
// look like removed ones.
std::vector<Item> changed(std::vector<Item> items, QRandomGenerator &rng, std::uint64_t &inode) {
    const Item folder = items[rng.bounded(6)];
    const QString from = folder.folder + folder.name + u'\\';
    const QString newName = u"renamed"_s + QString::number(rng.bounded(2));
    const QString to = folder.folder + newName + u'\\';
    std::vector<Item> out;
    for (Item it : items) {
        if (it.folder.startsWith(from))
            it.folder = to + it.folder.mid(from.size());
        else if (it.isFolder && it.folder + it.name + u'\\' == from)
            it.name = newName;
        const quint32 roll = rng.bounded(100);
        if (roll < 8)
            continue;
        if (roll < 20)
            it.folder = items[rng.bounded(6)].folder;
        else if (roll < 26)
            it.name += u"2"_s;
        else if (roll < 30)
            it.size += 1;
        if (roll >= 30 && roll < 36) {
            Item twin = it; // a new entry like an existing one, maybe reusing its inode
            twin.folder = items[rng.bounded(6)].folder;
            twin.inode = rng.bounded(2) ? it.inode : ++inode;
            out.push_back(twin);
        }
        out.push_back(it);
    }
    return out;
}

QStringList movesOf(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << pathOf(list, i) + u" | "_s + list.movedPath(i) + u" | "_s +
                   QString::number(int(list.moveRule(i))) + u" | "_s +
                   QString::number(list.movedAlong(i));
    return out;
}

QStringList expectedMoves(const SnapshotList &o, const SnapshotList &f, const Reference &r,
                          bool originalSide) {
    QStringList out;
    const SnapshotList &own = originalSide ? o : f;
    for (int k = 0; k < own.size(); ++k) {
        const int other = originalSide ? r.ofO[k] : r.ofF[k];
        const int j = originalSide ? other : k;
        QString moved;
        if (other >= 0)
            moved = originalSide ? pathOf(f, other) : pathOf(o, other);
        out << pathOf(own, k) + u" | "_s + moved + u" | "_s +
                   QString::number(other >= 0 ? int(r.rule[j]) : 0) + u" | 0"_s;
    }
    return out;
}

// ---- a tree on disk ----

bool sh(const QString &folder, const QString &command) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(u"bash"_s, {u"-c"_s, command});
    return p.waitForFinished() && p.exitCode() == 0 && p.exitStatus() == QProcess::NormalExit;
}

void scan(const QString &root, SnapshotList &list) {
    auto reader = makeDirectoryReader();
    Scanner scanner(*reader);
    QVERIFY(scanner.readDirectory(root, list, true));
}

// The same entries without details, as a DOS listing or a Windows scan gives them.
void withoutDetails(SnapshotList &list) {
    SnapshotList plain;
    plain.addLimit(u"");
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        plain.append(list.name(i), list.folder(i), e.attr, e.size, e.modified);
    }
    list.clearEntries();
    for (int i = 0; i < plain.size(); ++i)
        list.appendCopy(plain, i);
    list.addLimit(u"");
}

} // namespace

class TestMoveFinder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void againstPlainPairing_data() {
        QTest::addColumn<bool>("details");
        QTest::newRow("inodes and digests") << true;
        QTest::newRow("sizes, times and names only") << false;
    }
    void againstPlainPairing() {
        QFETCH(bool, details);
        for (quint32 seed = 1; seed <= 400; ++seed) {
            QRandomGenerator rng(seed);
            std::uint64_t inode = 0;
            const std::vector<Item> before = randomTree(rng, inode);
            Workspace ws;
            fillFrom(ws.list(ListId::Original), before, details);
            fillFrom(ws.list(ListId::Final), changed(before, rng, inode), details);
            CompareOptions options;
            options.reset(ListId::Original);
            runComparison(ws, options);
            const SnapshotList &o = ws.list(ListId::OnlyInOriginal);
            const SnapshotList &f = ws.list(ListId::OnlyInFinal);
            const Reference r = pairPlainly(o, f);
            QCOMPARE(movesOf(o), expectedMoves(o, f, r, true));
            QStringList fromFinal = expectedMoves(o, f, r, false), rows;
            for (int j = 0; j < f.size(); ++j) {
                if (r.ofF[j] >= 0 && r.owner[j] < 0)
                    rows << pathOf(f, j) + u" | "_s + pathOf(o, r.ofF[j]) + u" | "_s +
                                QString::number(int(r.rule[j])) + u" | "_s +
                                QString::number(r.along[j]);
            }
            QCOMPARE(movesOf(f), fromFinal);
            QCOMPARE(movesOf(ws.list(ListId::Moved)), rows);
            // Each pair counts once at the root of the summary.
            const auto pairs =
                std::count_if(r.ofO.begin(), r.ofO.end(), [](int j) { return j >= 0; });
            QCOMPARE(ChangeSummary::build(ws).folders()[0].moved, qint64(pairs));
        }
    }

    void treeOnDisk_data() {
        QTest::addColumn<bool>("details");
        QTest::newRow("as scanned") << true;
        QTest::newRow("without inodes") << false;
    }
    void treeOnDisk() {
        QFETCH(bool, details);
        QTemporaryDir dir;
        const QString root = dir.path();
        QVERIFY(sh(root, u"mkdir -p old/deep sub && for k in $(seq 50); do echo $k > "
                         "old/deep/f$k; done && echo a > old/a.txt && echo m > sub/m.txt && "
                         "echo g > g.txt && echo c > case.txt && echo h > h1"_s));
        Workspace ws;
        scan(root, ws.list(ListId::Original));
        QVERIFY(sh(root, u"mv old new && mv sub/m.txt m.txt && mv g.txt sub/g.txt && "
                         "echo more >> sub/g.txt && mv case.txt CASE.txt && ln h1 h2 && rm h1"_s));
        scan(root, ws.list(ListId::Final));
        if (!details) {
            withoutDetails(ws.list(ListId::Original));
            withoutDetails(ws.list(ListId::Final));
        }
        CompareOptions options;
        options.reset(ListId::Original);
        runComparison(ws, options);
        const SnapshotList &moved = ws.list(ListId::Moved);
        const EntryFormatter format(QLocale::c());
        QStringList rows;
        for (int i = 0; i < moved.size(); ++i)
            rows << pathOf(moved, i) + u" from "_s + moved.movedPath(i) + u": "_s +
                        format.text(moved, i, Col::HowMatched);
        rows.sort();
        const QStringList expected =
            details
                ? QStringList{u"h2 from h1: same inode"_s, u"m.txt from sub\\m.txt: same inode"_s,
                              u"new from old: same inode, with 52 entries"_s}
                : QStringList{u"m.txt from sub\\m.txt: same name, size and time"_s,
                              u"new from old: by the entries it holds, with 52 entries"_s};
        QCOMPARE(rows, expected);
        // A file moved and grown is no move, and a case-only rename pairs as the same entry.
        for (const ListId n : {ListId::OnlyInOriginal, ListId::OnlyInFinal}) {
            const SnapshotList &only = ws.list(n);
            for (int i = 0; i < only.size(); ++i) {
                const QString path = pathOf(only, i);
                QVERIFY2(!path.contains(u"case.txt"_s, Qt::CaseInsensitive), qPrintable(path));
                if (path.endsWith(u"g.txt"_s))
                    QCOMPARE(only.moveRule(i), MoveRule::None);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestMoveFinder)
#include "tst_movefinder.moc"
