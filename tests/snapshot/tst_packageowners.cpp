#include "compare/Comparison.h"
#include "snapshot/DateSerial.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/NameBytes.h"
#include "snapshot/NameCodec.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/PackageDatabase.h"
#include "snapshot/RootPackages.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/Workspace.h"
#include "sort/ColumnSorts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <sys/stat.h>
#include <utime.h>

using namespace Qt::StringLiterals;

namespace {

const QList<QByteArray> Vocabulary = {
    "/",          "/bin",           "/bin/a",      "/usr",     "/usr/bin",      "/usr/bin/a",
    "/usr/bin/c", "/lib",           "/lib/x.so",   "/usr/lib", "/usr/lib/x.so", "/etc",
    "/etc/conf",  "/usr/share/doc", "/usr/sbin/s", "/bin2/a",  "/usr/bin2/a"};

QByteArray pick(QRandomGenerator &rng, QList<QByteArray> &from, bool take = false) {
    const auto k = qsizetype(rng.bounded(quint32(from.size())));
    return take ? from.takeAt(k) : from[k];
}

// Lists that share paths at random (some cut short before their last line feed), diversions
// of distinct files, local or by a package named without its architecture, and links, one to
// no folder and one out of the system.
FakeSystem randomSystem(QRandomGenerator &rng) {
    FakeSystem s;
    s.folders = {"usr/bin", "usr/lib", "etc"};
    s.links = {{"bin", "usr/bin"}, {"lib", "/usr/lib"}, {"sbin", "usr/sbin"}, {"up", "../etc"}};
    QList<QByteArray> vocabulary = Vocabulary;
    for (const char *p : {"p0", "p1", "libm:amd64", "libm:i386", "libm"}) {
        QByteArray text;
        for (int n = int(rng.bounded(8)); n > 0; --n) {
            const QByteArray path = pick(rng, vocabulary);
            text += (path == "/" ? "/." : path + (rng.bounded(5) ? "" : "/")) + '\n';
        }
        s.lists[p] = rng.bounded(3) ? text : text.chopped(text.isEmpty() ? 0 : 1);
    }
    QList<QByteArray> files = {"/bin/a", "/usr/bin/a", "/usr/bin/c", "/lib/x.so", "/etc/conf"};
    QList<QByteArray> by = {":", "p0", "libm"};
    for (int n = int(rng.bounded(3)); n > 0; --n) {
        const QByteArray from = pick(rng, files, true);
        s.diversions += from + '\n' + from + ".distrib\n" + pick(rng, by) + '\n';
    }
    return s;
}

// What dpkg -S says: lines "a, b: /path", and notes on diversions, which name no owner.
QHash<QByteArray, QSet<QString>> dpkgSays(const QList<QByteArray> &paths) {
    QStringList args{QStringLiteral("-S")};
    for (const QByteArray &p : paths)
        args << QString::fromUtf8(p);
    QProcess query;
    query.start(QStringLiteral("dpkg-query"), args);
    query.waitForFinished(60000);
    QHash<QByteArray, QSet<QString>> says;
    for (const QByteArray &line : query.readAllStandardOutput().split('\n')) {
        const qsizetype cut = line.indexOf(": /");
        if (cut > 0 && !line.startsWith("diversion by "))
            for (const QByteArray &p : line.left(cut).split(','))
                says[line.mid(cut + 2)].insert(QString::fromLatin1(p.trimmed()));
    }
    return says;
}

QSet<QString> ownersOf(const PackageOwners &o, const QByteArray &path) {
    const QStringList names = o.packages(o.find(path));
    return QSet<QString>(names.begin(), names.end());
}

} // namespace

class TestPackageOwners : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every path of many made-up systems, by every name it may be looked up by.
    void matchesTheReference() {
        QRandomGenerator rng(20261209);
        for (int round = 0; round < 100; ++round) {
            const FakeSystem s = randomSystem(rng);
            QTemporaryDir dir;
            const QByteArray root = QFile::encodeName(dir.path());
            s.write(root);
            PackageOwners owners;
            QVERIFY2(owners.load(root + "/var/lib/dpkg", root), qPrintable(owners.problem()));
            QList<QByteArray> paths =
                Vocabulary + QList<QByteArray>{"/none", "/usr/bi", "/up/conf"};
            for (const auto &d : s.diversionList())
                paths << d.to;
            for (const QByteArray &path : paths)
                QCOMPARE(owners.text(owners.find(path)), s.owners(root, path));
        }
    }

    // A crafted database is read as far as it names paths and packages, without hanging or a
    // stray byte in an owner's name, or refused as a whole past its bounds.
    void hostileDatabases_data() {
        QTest::addColumn<QByteArray>("kind");
        for (const char *kind :
             {"long line", "garbage", "bad names", "fifo", "device link", "odd diversions",
              "too large", "too many lines", "too many files", "no database"})
            QTest::newRow(kind) << QByteArray(kind);
    }
    void hostileDatabases() {
        QFETCH(QByteArray, kind);
        FakeSystem s;
        s.lists["good"] = "/etc\n/etc/conf\n";
        s.lists["long"] = "/etc\n/" + QByteArray(kind == "long line" ? 5000 : 0, 'x') + "\n/e/l\n";
        if (kind == "garbage") {
            QByteArray junk(100000, '\0');
            for (char &c : junk)
                c = char(QRandomGenerator::global()->bounded(256));
            s.lists["junk"] = junk + "\n/etc/conf";
        }
        if (kind == "bad names")
            s.lists = {{"evil\x1b[2J", "/etc/conf\n"}, {"a:b:c", "/etc\n"}, {"", "/etc\n"}};
        if (kind == "odd diversions") // a bad package, a folder diverted, a group cut short
            s.diversions = "/etc/conf\n/etc/conf.d\nbad\x07name\n/etc\n/etc2\ngood\n/etc/x\n";
        PackageOwners::Limits limits;
        limits.totalBytes = kind == "too large" ? 10 : limits.totalBytes;
        limits.lines = kind == "too many lines" ? 1 : limits.lines;
        limits.files = kind == "too many files" ? 1 : limits.files;
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        s.write(root);
        const QByteArray info = root + "/var/lib/dpkg/info/";
        QVERIFY(kind != "fifo" || ::mkfifo((info + "fifo.list").constData(), 0600) == 0);
        QVERIFY(kind != "device link" ||
                ::symlink("/dev/zero", (info + "z.list").constData()) == 0);
        PackageOwners owners;
        const bool loads = !kind.startsWith("too") && kind != "no database";
        QCOMPARE(owners.load(root + (loads ? "/var/lib/dpkg" : "/var/lib/dpkg/x"), root, limits),
                 loads);
        QCOMPARE(owners.problem().isEmpty(), loads);
        for (const char *path : {"/etc", "/etc/conf", "/etc/conf.d", "/etc2", "/e/l"})
            QCOMPARE(owners.text(owners.find(path)),
                     loads ? s.owners(root, path) : OwnerTexts::unownedText());
        for (PackageOwners::SetId set = 0; set < owners.setCount(); ++set)
            for (const QString &name : owners.packages(set))
                QVERIFY2(FakeSystem::validName(name.toLatin1()), qPrintable(name));
        QCOMPARE(owners.stats().skippedFiles > 0,
                 kind == "fifo" || kind == "device link" || kind == "bad names");
    }

    // Every entry of snapshots of a system's root and of a folder in it, hostile names among
    // them, against its path made by hand.
    void entriesOfSnapshots_data() {
        QTest::addColumn<QByteArray>("below");
        QTest::newRow("the system's root") << QByteArray();
        QTest::newRow("a folder in it") << QByteArray("/usr");
    }
    void entriesOfSnapshots() {
        QFETCH(QByteArray, below);
        const QList<QByteArray> names = {"a",         "b\\c", "caf\xe9", "esc\x1b[2J",
                                         "new\nline", "|7C",  ".."};
        FakeSystem s;
        s.folders = {"usr/bin", "usr/lib"};
        s.links = {{"bin", "usr/bin"}};
        s.lists["docs"] = "/usr/lib\n/usr/lib/a\n";
        for (const QByteArray &n : names)
            s.lists["tools"] += "/usr/lib/" + n + "\n/bin/" + n + '\n';
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        s.write(root);
        SnapshotList list;
        list.source = NewSnapshot::sourceText(u"/"_s, QFile::decodeName(root + below));
        for (const QString &folder : {u""_s, u"usr\\"_s, u"bin\\"_s, u"usr\\bin\\"_s,
                                      u"usr\\lib\\"_s, u"lib\\"_s, u"..\\"_s})
            for (const QByteArray &n : names)
                list.append(NameCodec::fromBytes(std::string_view(n.data(), std::size_t(n.size()))),
                            folder, 32, 1, 45000.0);
        RootPackages packages;
        QVERIFY2(packages.open(list), qPrintable(packages.problem()));
        QCOMPARE(packages.location().systemRoot, root);
        QCOMPARE(packages.location().prefix, below);
        const std::vector<PackageOwners::SetId> all = packages.findAll(list);
        int owned = 0;
        for (int i = 0; i < list.size(); ++i) {
            QByteArray path = below + '/';
            for (const QString &part : list.folder(i).split(u'\\', Qt::SkipEmptyParts))
                path += nameBytes(part) + '/';
            path += nameBytes(list.name(i));
            const bool real = !path.contains("/.."); // no name a file system holds
            const QString expected = real ? s.owners(root, path) : OwnerTexts::unownedText();
            QCOMPARE(packages.text(all[std::size_t(i)]), expected);
            QCOMPARE(packages.find(list, i), all[std::size_t(i)]);
            owned += expected != OwnerTexts::unownedText();
        }
        QVERIFY(owned >= 10);
    }

    // The owners a list holds follow its entries through sorts, a comparison with its moves
    // and the result lists' own sorts: each entry's against a lookup where it ends up, in the
    // database of the side it came from.
    void ownersFollowTheEntries() {
        QRandomGenerator rng(2612);
        const int keys[] = {Col::Name, Col::InFolder, Col::SizeKey, Col::DateKey, Col::Package};
        for (int round = 0; round < 40; ++round) {
            QTemporaryDir dir;
            const QByteArray root = QFile::encodeName(dir.path());
            randomSystem(rng).write(root);
            Workspace ws;
            RootPackages sides[2];
            for (int k = 0; k < 2; ++k) {
                SnapshotList &list = ws.list(Lists::Snapshots[k]);
                list.source = NewSnapshot::sourceText(u"/"_s, QFile::decodeName(root));
                for (const QByteArray &path : Vocabulary) {
                    const qsizetype cut = path.lastIndexOf('/') + 1;
                    if (path != "/" && rng.bounded(4))
                        list.append(QString::fromLatin1(path.mid(cut)),
                                    QString::fromLatin1(path.mid(1, cut - 1)).replace(u'/', u'\\'),
                                    32, rng.bounded(3), 45000.0 + rng.bounded(2));
                }
                QVERIFY(sides[k].open(list));
                sides[k].giveOwners(list);
                sortList(list, keys[rng.bounded(5)], int(rng.bounded(2)));
            }
            CompareOptions options;
            options.reset(ListId::Original);
            runComparison(ws, options);
            for (const ListId n : Lists::All) {
                SnapshotList &list = ws.list(n);
                sortList(list, keys[rng.bounded(5)], int(rng.bounded(2)));
                // The Unchanged entries are the Original's.
                const int k =
                    n == ListId::Original || n == ListId::OnlyInOriginal || n == ListId::Unchanged
                        ? 0
                        : 1;
                const RootPackages &side = sides[k];
                QVERIFY(list.isEmpty() ||
                        list.packages() == ws.list(Lists::Snapshots[k]).packages());
                for (int i = 0; i < list.size(); ++i)
                    QCOMPARE(list.packageText(i), side.text(side.find(list, i)));
            }
            // Entries of two databases in one list: it has no owners rather than wrong ones.
            SnapshotList mixed;
            mixed.appendCopy(ws.list(ListId::Original), 0);
            mixed.appendCopy(ws.list(ListId::Final), 0);
            QVERIFY(!mixed.hasPackages());
        }
    }

    // A snapshot gets the owners only while its entries are the files at its root; a snapshot
    // without inodes can tell a tree made anew only by the sizes and times.
    void onlySnapshotsOfThisSystem_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("inodes");
        QTest::addColumn<bool>("owned");
        QTest::newRow("as scanned") << "" << true << true;
        QTest::newRow("as scanned, no inodes") << "" << false << true;
        QTest::newRow("most files gone") << "gone" << true << true;
        QTest::newRow("made anew") << "anew" << true << false;
        QTest::newRow("made anew, other times, no inodes") << "anew" << false << false;
        QTest::newRow("made anew alike, no inodes") << "alike" << false << true;
    }
    void onlySnapshotsOfThisSystem() {
        QFETCH(QString, change);
        QFETCH(bool, inodes);
        QFETCH(bool, owned);
        QTemporaryDir dir;
        const QString root = dir.path();
        FakeSystem s;
        s.folders = {"data"};
        for (int k = 0; k < 40; ++k)
            s.lists["p"] += "/data/f" + QByteArray::number(k) + '\n';
        s.write(QFile::encodeName(root));
        for (int k = 0; k < 40; ++k)
            writeFile(root + u"/data/f"_s + QString::number(k), QByteArray(k, 'x'));
        auto reader = makeDirectoryReader();
        Scanner scanner(*reader);
        SnapshotList scanned;
        QVERIFY(scanner.readDirectory(QFile::encodeName(root), root, scanned, true));
        SnapshotList list;
        list.source = NewSnapshot::sourceText(u"/"_s, root);
        for (int i = 0; i < scanned.size(); ++i) {
            const Entry &e = scanned.entry(i);
            if (inodes)
                list.appendCopy(scanned, i);
            else
                list.append(scanned.name(i), scanned.folder(i), e.attr, e.size, e.modified);
        }
        if (change == u"gone") {
            for (int k = 0; k < 30; ++k)
                QVERIFY(QFile::remove(root + u"/data/f"_s + QString::number(k)));
        } else if (!change.isEmpty()) {
            // The old files stay (elsewhere), so the new ones cannot reuse their inodes.
            QVERIFY(QDir(root).rename(u"data"_s, u"../old-"_s + QFileInfo(root).fileName()));
            QVERIFY(QDir(root).mkdir(u"data"_s));
            for (int i = 0; i < list.size(); ++i) {
                if (list.folder(i) != u"data\\")
                    continue;
                const QString path = root + u"/data/"_s + list.name(i).toString();
                writeFile(path, QByteArray(qsizetype(list.entry(i).size), 'y'));
                std::int64_t seconds = 0;
                QVERIFY(DateSerial::toUnixTime(list.entry(i).modified, seconds));
                const utimbuf times{0, time_t(seconds - (change == u"anew" ? 7200 : 0))};
                QCOMPARE(::utime(QFile::encodeName(path).constData(), &times), 0);
            }
        }
        const QString problem = RootPackages::attach(list);
        QCOMPARE(list.hasPackages(), owned);
        QCOMPARE(problem.isEmpty(), owned);
        if (owned)
            QCOMPARE(EntryFormatter().text(list, list.size() - 1, Col::Package),
                     list.folder(list.size() - 1) == u"data\\" ? u"p"_s : u"(none)"_s);
        if (!change.isEmpty() && change != u"gone")
            QDir(root + u"/../old-"_s + QFileInfo(root).fileName()).removeRecursively();
    }

    // This machine's database against dpkg -S, like with like. dpkg -S looks names up as the
    // lists give them, and names every package that lists a diverted name: so a sample of the
    // names listed and not diverted is compared with a load without aliases; each one below a
    // top-level link, by its target's name, with what dpkg says of both names; and each
    // diverted name with what dpkg says of it, split between the diverting package and others.
    void agreesWithDpkg() {
        if (QStandardPaths::findExecutable(u"dpkg-query"_s).isEmpty() ||
            !QFileInfo(u"/var/lib/dpkg/info"_s).isDir())
            QSKIP("no dpkg here");
        PackageOwners plain, aliased;
        QVERIFY(plain.load("/var/lib/dpkg", QByteArray()) && aliased.load("/var/lib/dpkg", "/"));
        QFile divFile(u"/var/lib/dpkg/diversions"_s);
        const QList<QByteArray> div =
            divFile.open(QIODevice::ReadOnly) ? divFile.readAll().split('\n') : QList<QByteArray>();
        QList<std::pair<QByteArray, QByteArray>> links;
        for (const QByteArray name : {"bin", "sbin", "lib", "lib32", "lib64"})
            if (const QFileInfo link(QString::fromLatin1('/' + name)); link.isSymLink())
                links.push_back({'/' + name, QFile::encodeName(link.canonicalFilePath())});
        QSet<QByteArray> listed;
        for (const QFileInfo &f :
             QDir(u"/var/lib/dpkg/info"_s).entryInfoList({u"*.list"_s}, QDir::Files)) {
            QFile file(f.filePath());
            if (file.open(QIODevice::ReadOnly))
                for (const QByteArray &line : file.readAll().split('\n'))
                    listed.insert(line);
        }
        QList<QByteArray> pool, belowLinks;
        for (const QByteArray &p : listed) // glob characters make dpkg -S match, not look up
            if (p.startsWith('/') && p != "/." && !div.contains(p) &&
                !std::any_of(p.begin(), p.end(), [](char c) { return strchr("*?[\\", c); }) &&
                QString::fromUtf8(p).toUtf8() == p)
                (std::any_of(links.begin(), links.end(),
                             [&](const auto &l) { return p.startsWith(l.first + '/'); })
                     ? belowLinks
                     : pool)
                    << p;
        std::sort(pool.begin(), pool.end());
        std::sort(belowLinks.begin(), belowLinks.end());
        QRandomGenerator rng(42);
        QList<QByteArray> sample;
        for (int k = 0; k < 200 && !pool.isEmpty(); ++k)
            sample << pick(rng, pool, true);
        for (int k = 0; k < 50 && !belowLinks.isEmpty(); ++k)
            sample << pick(rng, belowLinks, true);
        for (int k = 0; k < 20; ++k)
            sample << "/usr/bin/no-such-command-" + QByteArray::number(k);
        QList<QByteArray> asked = sample;
        for (qsizetype k = 0; k + 2 < div.size(); k += 3)
            asked << div[k] << div[k + 1];
        for (const QByteArray &p : sample)
            for (const auto &[link, target] : links)
                if (p.startsWith(link + '/'))
                    asked << target + p.mid(link.size());
        const QHash<QByteArray, QSet<QString>> says = dpkgSays(asked);
        QVERIFY(says.size() > 200);
        for (const QByteArray &p : sample) {
            QCOMPARE(ownersOf(plain, p), says.value(p));
            for (const auto &[link, target] : links)
                if (p.startsWith(link + '/'))
                    QCOMPARE(ownersOf(aliased, target + p.mid(link.size())),
                             says.value(p) + says.value(target + p.mid(link.size())));
        }
        for (qsizetype k = 0; k + 2 < div.size(); k += 3) {
            QSet<QString> mine, others;
            for (const QString &p : says.value(div[k]))
                (FakeSystem::sameOrArch(p.toLatin1(), div[k + 2]) ? mine : others).insert(p);
            if (mine.isEmpty() && div[k + 2] != ":")
                mine.insert(QString::fromLatin1(div[k + 2]));
            QCOMPARE(ownersOf(plain, div[k]), mine);
            QCOMPARE(ownersOf(plain, div[k + 1]), says.value(div[k + 1]) + others);
        }
    }
};

QTEST_GUILESS_MAIN(TestPackageOwners)
#include "tst_packageowners.moc"
