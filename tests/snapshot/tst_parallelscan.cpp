// The scan reads folders on several threads ahead of its walk. Whatever the number of threads,
// and however long each folder takes to read, the list must be the one a walk on one thread
// makes: the same entries in the same order, the same limit folders with the same folder
// numbers, the same saved file byte for byte. A cancelled scan must keep exactly the entries
// it had taken in when it stopped, and the threads must not run far ahead of the walk.

#include "files/SnapshotFile.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/Progress.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Scan {
    SnapshotList list;
    bool ok = false;
};

void scanWith(DirectoryReader &reader, const QByteArray &root, int threads, Scan &out,
              const QStringList &exclude = {}, bool includeSubs = true,
              Progress *progress = nullptr) {
    Scanner scanner(reader);
    scanner.setReadThreads(threads);
    scanner.setExclusions(ExcludePatterns(exclude));
    out.ok = scanner.readDirectory(root, QString::fromUtf8(root), out.list, includeSubs, progress);
    // What the saved file says besides the entries, fixed so that only the entries can differ.
    out.list.description = u"tree"_s;
    out.list.source = u"here"_s;
    out.list.created = 45000.5;
}

void scanDisk(const QByteArray &root, int threads, Scan &out, const QStringList &exclude = {},
              bool includeSubs = true) {
    auto reader = makeDirectoryReader();
    scanWith(*reader, root, threads, out, exclude, includeSubs);
}

QString entryText(const SnapshotList &list, int i) {
    const Entry &e = list.entry(i);
    return list.folder(i) + u'|' + list.name(i).toString() + u'|' + QString::number(e.attr) + u'|' +
           QString::number(e.size) + u'|' +
           (std::isnan(e.modified) ? u"-"_s : QString::number(e.modified, 'g', 17));
}

QStringList entryTexts(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << entryText(list, i);
    return out;
}

QStringList limitTexts(const SnapshotList &list) {
    QStringList out;
    for (std::size_t k = 0; k < list.limits.size(); ++k)
        out << list.limitText(k);
    return out;
}

QByteArray savedBytes(const SnapshotList &list) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"scan.dir"_s);
    if (!saveSnapshot(list, false, path).ok())
        return "(not saved)";
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(not read back)");
}

// Everything that reaches a saved file or a comparison, the same in both lists.
void compareScans(const Scan &one, const Scan &many) {
    QCOMPARE(many.ok, one.ok);
    QCOMPARE(entryTexts(many.list), entryTexts(one.list));
    QCOMPARE(limitTexts(many.list), limitTexts(one.list));
    QCOMPARE(many.list.limits, one.list.limits);
    QCOMPARE(many.list.folders().size(), one.list.folders().size());
    for (int i = 0; i < one.list.size(); ++i)
        QCOMPARE(many.list.entry(i).folder, one.list.entry(i).folder);
    QCOMPARE(savedBytes(many.list), savedBytes(one.list));
}

// Makes trees on disk by native names, reporting the first failure.
struct Maker {
    QString error;
    bool must(bool ok, const char *what, const QByteArray &path) {
        if (!ok && error.isEmpty())
            error = QString::fromUtf8(what) + u' ' + QString::fromUtf8(path.toPercentEncoding()) +
                    u": "_s + qt_error_string(errno);
        return ok;
    }
    void folder(const QByteArray &path) {
        must(::mkdir(path.constData(), 0755) == 0, "mkdir", path);
    }
    void file(const QByteArray &path, int size, std::int64_t time) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (!must(fd >= 0, "create", path))
            return;
        must(ftruncate(fd, size) == 0, "truncate", path);
        const timespec times[2] = {{time, 0}, {time, 0}};
        must(futimens(fd, times) == 0, "time", path);
        ::close(fd);
    }
};

// A random tree of about `entries` entries: folders of up to `width` files and subfolders,
// down to `depth`, made breadth first so that the tree is wide as well as deep.
void makeRandomTree(Maker &m, const QByteArray &root, std::mt19937 &rng, int entries, int width,
                    int depth) {
    m.folder(root);
    std::vector<std::pair<QByteArray, int>> open = {{root, 0}};
    int made = 0;
    for (std::size_t next = 0; next < open.size() && made < entries; ++next) {
        const auto [path, level] = open[next];
        const int n = 2 + static_cast<int>(rng() % static_cast<unsigned>(width));
        for (int k = 0; k < n; ++k, ++made) {
            const QByteArray child = path + "/n" + QByteArray::number(k) +
                                     (rng() % 3 == 0 ? QByteArray(".txt") : QByteArray());
            if (level < depth && (k < 2 || rng() % 3 == 0)) {
                m.folder(child);
                open.push_back({child, level + 1});
            } else {
                m.file(child, static_cast<int>(rng() % 5000),
                       900000000 + static_cast<std::int64_t>(rng() % 400000000));
            }
        }
    }
}

// A file system held in memory whose folders take a while to read, a random while each, so
// that threads finish them in an order of their own. Folders may be listed twice (as a bind
// mount would be) or lie on another volume, and some cannot be read.
class SlowFakeReader : public DirectoryReader {
public:
    struct Child {
        QString name;
        bool folder = false;
        bool otherVolume = false;
        std::uint64_t node = 0; // a folder's identity; shared by a folder listed twice
    };
    QHash<QString, QList<Child>> folders; // "" the root, else "/a/b"
    QSet<QString> locked;
    int maxDelayMicroseconds = 300;
    unsigned seed = 0;

    // Called with the folder's key once it is read, on the thread that read it.
    std::function<void(const QString &, const Batch &)> onRead;

    QStringList asked() {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

    bool readRoot(std::string_view, Batch &batch) override { return readKey(QString(), batch); }
    bool read(std::string_view path, Batch &batch) override {
        return readKey(u'/' + QString::fromUtf8(path.data(), qsizetype(path.size())), batch);
    }

private:
    bool readKey(const QString &key, Batch &batch) {
        batch.clear();
        {
            std::lock_guard lock(m_mutex);
            m_asked << key;
        }
        if (maxDelayMicroseconds > 0) {
            const auto wait = qHash(key, seed) % static_cast<unsigned>(maxDelayMicroseconds);
            std::this_thread::sleep_for(std::chrono::microseconds(wait));
        }
        const bool ok = !locked.contains(key) && folders.contains(key);
        if (ok) {
            for (const Child &child : folders.value(key)) {
                const QByteArray bytes = child.name.toUtf8();
                Item item{};
                item.nameOffset = static_cast<std::uint32_t>(batch.names.size());
                item.nameLength = static_cast<std::uint32_t>(child.name.size());
                item.attr = child.folder ? 16 : 32;
                item.size = child.folder ? 0 : static_cast<std::uint64_t>(child.name.size());
                item.modified = child.folder ? std::nan("") : 40000.0 + child.name.size();
                item.nativeOffset = static_cast<std::uint32_t>(batch.native.size());
                item.nativeLength = static_cast<std::uint32_t>(bytes.size());
                item.enter = child.folder && !child.otherVolume;
                item.volume = child.folder ? 7 : 0;
                item.node = child.folder ? child.node : 0;
                batch.names.append(reinterpret_cast<const char16_t *>(child.name.utf16()),
                                   child.name.size());
                batch.native.append(bytes.constData(), bytes.size());
                batch.items.push_back(item);
            }
        }
        if (onRead)
            onRead(key, batch);
        return ok;
    }

    std::mutex m_mutex;
    QStringList m_asked;
};

// A random tree for the fake reader. A folder with files only may be listed a second time
// elsewhere, with the same identity and contents; which of the two places the walk enters
// depends on the order of the walk alone.
void makeFakeTree(SlowFakeReader &fake, std::mt19937 &rng, int folders) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const QStringList names = {u"a"_s,     u"B.tmp"_s, u"c"_s, u"logs"_s, u"\u00e9t\u00e9"_s,
                               u"x|5Cy"_s, u"z"_s};
    std::uint64_t nextNode = 1;
    QHash<QString, std::uint64_t> nodeOf;
    QStringList open = {QString()};
    QStringList leaves; // folders with files only, which may be listed again
    for (int k = 0; k < open.size(); ++k) {
        QList<SlowFakeReader::Child> children;
        bool hasFolders = false;
        for (const QString &name : names) {
            if (pick(3) == 0)
                continue;
            SlowFakeReader::Child child;
            child.name = name;
            child.folder = open.size() < folders && (k < 3 || pick(2) == 0);
            if (child.folder) {
                const QString key = open[k] + u'/' + name;
                if (!leaves.isEmpty() && pick(5) == 0) {
                    const QString &twin = leaves[pick(static_cast<int>(leaves.size()))];
                    fake.folders[key] = fake.folders.value(twin);
                    child.node = nodeOf.value(twin);
                } else {
                    child.node = nextNode++;
                    nodeOf[key] = child.node;
                    child.otherVolume = pick(12) == 0;
                    if (pick(15) == 0)
                        fake.locked << key;
                    open << key;
                }
                hasFolders = true;
            }
            children << child;
        }
        fake.folders[open[k]] = children;
        if (!hasFolders && !open[k].isEmpty())
            leaves << open[k];
    }
}

// The limit folders of a walk cancelled after `taken` entries of the list `full` (which holds
// every folder it reads as a limit): those it finished, then those still open, deepest first.
QStringList limitsCutAfter(const SnapshotList &full, int taken) {
    const QStringList fullLimits = limitTexts(full);
    const QSet<QString> read(fullLimits.begin(), fullLimits.end());
    QStringList open = {QString()};
    QStringList out;
    for (int i = 0; i < taken; ++i) {
        while (open.size() > 1 && open.last() != full.folder(i))
            out << open.takeLast();
        const QString path = full.folder(i) + full.name(i).toString() + u'\\';
        if (full.entry(i).isFolder() && read.contains(path))
            open << path;
    }
    while (!open.isEmpty())
        out << open.takeLast();
    return out;
}

} // namespace

class TestParallelScan : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    bool m_ownMounts = false;

private Q_SLOTS:
    // Qt cannot remove names that are not UTF-8.
    void cleanupTestCase() { QProcess::execute(u"rm"_s, {u"-rf"_s, m_dir.path()}); }

    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // Bind mounts made in a mount namespace of this process's own vanish with it. Only a
        // process with one thread may have one, so this comes before any scan.
        m_ownMounts = unshare(CLONE_NEWNS) == 0 &&
                      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }

    // Random trees on disk, scanned whole, without subfolders and with patterns.
    void treeOnDisk_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("threads");
        QTest::addColumn<bool>("includeSubs");
        QTest::addColumn<QStringList>("exclude");
        for (int seed = 1; seed <= 4; ++seed) {
            for (int threads : {2, 3, 8})
                QTest::addRow("seed %d, %d threads", seed, threads)
                    << seed << threads << true << QStringList();
        }
        QTest::newRow("no subfolders") << 5 << 4 << false << QStringList();
        QTest::newRow("patterns") << 6 << 4 << true
                                  << QStringList{u"n4.txt"_s, u"n1/"_s, u"**/n0/n2/"_s};
    }
    void treeOnDisk() {
        QFETCH(int, seed);
        QFETCH(int, threads);
        QFETCH(bool, includeSubs);
        QFETCH(QStringList, exclude);
        std::mt19937 rng(static_cast<unsigned>(seed));
        const QByteArray root = QFile::encodeName(m_dir.filePath(u"random%1"_s.arg(seed)));
        Maker m;
        if (!QFileInfo::exists(QFile::decodeName(root)))
            makeRandomTree(m, root, rng, 2000, 12, 7);
        QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
        Scan one, many;
        scanDisk(root, 1, one, exclude, includeSubs);
        scanDisk(root, threads, many, exclude, includeSubs);
        QVERIFY2(one.list.size() > (includeSubs ? 500 : 5),
                 qPrintable(QString::number(one.list.size())));
        compareScans(one, many);
    }

    // Names that are not UTF-8, hold a backslash, a line break, an emoji or a dotted capital I,
    // a tree 60 folders deep, a link to itself, a folder bound into two places and one bound
    // into its own subtree, and (where permissions stop this process) a folder it cannot read.
    void hostileTree() {
        const QByteArray root = QFile::encodeName(m_dir.filePath(u"hostile"_s));
        const QList<QByteArray> names = {"caf\xE9",
                                         "\xFF\xFE",
                                         "back\\slash",
                                         "new\nline",
                                         "\xF0\x9F\x98\x80",
                                         "\xC4\xB0stanbul",
                                         "i\xCC\x87",
                                         "x|41",
                                         "A",
                                         "a",
                                         "\xC3("};
        Maker m;
        m.folder(root);
        for (const QByteArray &name : names) {
            m.folder(root + '/' + name);
            for (const QByteArray &inner : names)
                m.file(root + '/' + name + '/' + inner, inner.size(), 1000000000 + inner.size());
            m.folder(root + '/' + name + "/sub");
            m.file(root + '/' + name + "/sub/" + name, 1, 1200000000);
        }
        // Deep: each level named after one of the hostile names in turn.
        QByteArray deep = root + "/deep";
        m.folder(deep);
        for (int level = 0; level < 60; ++level) {
            deep += '/' + names[level % names.size()];
            m.folder(deep);
            m.file(deep + "/f", level, 1100000000 + level);
        }
        m.must(symlink(".", (root + "/self").constData()) == 0, "symlink", root + "/self");
        m.folder(root + "/locked");
        m.file(root + "/locked/secret", 1, 1000000000);
        QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
        QVERIFY(chmod((root + "/locked").constData(), 0) == 0);
        const bool lockedHolds = ::access((root + "/locked").constData(), R_OK) != 0;
        if (!lockedHolds)
            qInfo("permissions do not stop this user (root): the unreadable folder is read");

        int binds = 0;
        if (m_ownMounts) {
            m.folder(root + "/bound");
            m.folder(root + "/loop");
            m.folder(root + "/loop/inner");
            m.file(root + "/loop/inner/x", 3, 1000000000);
            QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
            // "bound" shows the folder named "A" a second time; "loop/inner" shows "loop"
            // inside itself.
            for (const auto &[from, to] : {std::pair{root + "/A", root + "/bound"},
                                           std::pair{root + "/loop", root + "/loop/inner"}}) {
                if (::mount(from.constData(), to.constData(), nullptr, MS_BIND, nullptr) == 0)
                    ++binds;
            }
        }
        if (binds < 2)
            qInfo("bind mounts are not permitted here: the folders listed twice are left out");

        Scan one;
        scanDisk(root, 1, one);
        const QStringList texts = entryTexts(one.list);
        for (int threads : {2, 5}) {
            Scan many;
            scanDisk(root, threads, many);
            compareScans(one, many);
        }
        if (binds > 0) {
            ::umount2((root + "/loop/inner").constData(), MNT_DETACH);
            ::umount2((root + "/bound").constData(), MNT_DETACH);
        }
        chmod((root + "/locked").constData(), 0755);

        // What the walk did, once: the deepest folder was reached, the locked one is a limit
        // with no entries when it holds, each folder listed twice was entered once.
        QCOMPARE(one.list.limits.size() > 60, true);
        QVERIFY(std::any_of(texts.begin(), texts.end(), [](const QString &t) {
            return t.count(u'\\') == 61 && t.contains(u"|f|"_s);
        }));
        QVERIFY(limitTexts(one.list).contains(u"locked\\"_s));
        const bool secretListed = std::any_of(texts.begin(), texts.end(), [](const QString &t) {
            return t.startsWith(u"locked\\|secret|"_s);
        });
        QCOMPARE(secretListed, !lockedHolds);
        if (binds == 2) {
            // Whichever of "A" and "bound" comes first in the walk holds the contents.
            const int inA =
                static_cast<int>(std::count_if(texts.begin(), texts.end(), [](const QString &t) {
                    return t.startsWith(u"A\\"_s);
                }));
            const int inBound =
                static_cast<int>(std::count_if(texts.begin(), texts.end(), [](const QString &t) {
                    return t.startsWith(u"bound\\"_s);
                }));
            QCOMPARE(inA + inBound, static_cast<int>(names.size()) + 2);
            QVERIFY(inA == 0 || inBound == 0);
            // The bound "loop" shows itself again inside: listed, not entered.
            QVERIFY(texts.contains(u"loop\\|inner|16|0|-"_s));
            QVERIFY(!std::any_of(texts.begin(), texts.end(), [](const QString &t) {
                return t.startsWith(u"loop\\inner\\"_s);
            }));
            QVERIFY(!limitTexts(one.list).contains(u"loop\\inner\\"_s));
        }
    }

    // Folders that take random times to read, listed twice, on other volumes, unreadable,
    // left out by patterns: many threads must give the list of one, and read the same folders.
    void slowReader_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("threads");
        QTest::addColumn<QStringList>("exclude");
        for (int seed = 1; seed <= 12; ++seed) {
            const QStringList exclude =
                seed % 3 == 0 ? QStringList{u"*.tmp"_s, u"**/c/"_s, u"logs/"_s} : QStringList();
            QTest::addRow("seed %d", seed) << seed << 2 + seed % 4 << exclude;
        }
    }
    void slowReader() {
        QFETCH(int, seed);
        QFETCH(int, threads);
        QFETCH(QStringList, exclude);
        std::mt19937 rng(static_cast<unsigned>(seed));
        SlowFakeReader fake;
        makeFakeTree(fake, rng, 120);
        fake.seed = static_cast<unsigned>(seed);
        fake.maxDelayMicroseconds = 0;
        Scan one;
        scanWith(fake, "root", 1, one, exclude);
        const QStringList readByOne = fake.asked();
        QVERIFY2(fake.folders.size() > 20 && one.list.size() > 10,
                 qPrintable(QString::number(one.list.size())));

        SlowFakeReader slow;
        slow.folders = fake.folders;
        slow.locked = fake.locked;
        slow.seed = static_cast<unsigned>(seed);
        Scan many;
        scanWith(slow, "root", threads, many, exclude);
        compareScans(one, many);
        // Reading ahead reads every folder the walk goes into, once, and besides them only
        // folders listed twice, at the place the walk does not go into: never one that a
        // pattern leaves out or that lies on another volume.
        const QStringList limits = limitTexts(one.list);
        QSet<QString> mayRead(readByOne.begin(), readByOne.end());
        for (int i = 0; i < one.list.size(); ++i) {
            const QString path = one.list.folder(i) + one.list.name(i).toString() + u'\\';
            const QString key = u'/' + QString(path).chopped(1).replace(u'\\', u'/');
            const qsizetype slash = key.lastIndexOf(u'/');
            const QString parentKey = key.left(slash);
            const QString name = key.mid(slash + 1);
            bool twin = false; // listed, to be entered as far as the reader knows
            for (const SlowFakeReader::Child &c : fake.folders.value(parentKey))
                twin = twin || (c.name == name && c.folder && !c.otherVolume);
            if (one.list.entry(i).isFolder() && !limits.contains(path) && twin)
                mayRead.insert(key);
        }
        const QStringList readByMany = slow.asked();
        for (const QString &key : readByOne)
            QCOMPARE(readByMany.count(key), 1);
        for (const QString &key : readByMany)
            QVERIFY2(mayRead.contains(key), qPrintable(key));
    }

    // Cancelled while some folder is read, on whichever thread: the list holds the entries the
    // walk had taken in, a beginning of the whole list, and the limits of a walk cut there.
    void cancelMidScan_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("threads");
        for (int seed = 1; seed <= 16; ++seed)
            QTest::addRow("seed %d", seed) << seed << (seed % 2 ? 1 : 3);
    }
    void cancelMidScan() {
        QFETCH(int, seed);
        QFETCH(int, threads);
        std::mt19937 rng(static_cast<unsigned>(seed) + 100);
        SlowFakeReader fake;
        makeFakeTree(fake, rng, 80);
        fake.maxDelayMicroseconds = 0;
        Scan full;
        scanWith(fake, "root", 1, full);
        const QStringList read = fake.asked();
        QVERIFY(read.size() > 3);

        SlowFakeReader slow;
        slow.folders = fake.folders;
        slow.locked = fake.locked;
        slow.seed = static_cast<unsigned>(seed);
        slow.maxDelayMicroseconds = 200;
        const QString stopAt = read[1 + static_cast<int>(rng() % unsigned(read.size() - 1))];
        Progress progress;
        slow.onRead = [&](const QString &key, const DirectoryReader::Batch &) {
            if (key == stopAt)
                progress.cancel();
        };
        Scan cut;
        scanWith(slow, "root", threads, cut, {}, true, &progress);
        QVERIFY(cut.ok);
        const int taken = cut.list.size();
        QCOMPARE(progress.count.load(), std::int64_t(taken));
        QVERIFY(taken <= full.list.size());
        QCOMPARE(entryTexts(cut.list), entryTexts(full.list).mid(0, taken));
        QCOMPARE(limitTexts(cut.list), limitsCutAfter(full.list, taken));
    }

    // A folder bound below itself shows the same folder again at every level. Reading ahead
    // must not follow it down (the walk does not go in), and the walk takes it in once.
    void loopIsNotReadAhead() {
        SlowFakeReader fake;
        fake.maxDelayMicroseconds = 0;
        fake.folders[QString()] = {{u"a"_s, true, false, 1}, {u"b"_s, true, false, 2}};
        const QList<SlowFakeReader::Child> inA = {{u"loop"_s, true, false, 1},
                                                  {u"f.txt"_s, false, false, 0}};
        QString key = u"/a"_s;
        for (int level = 0; level < 200; ++level, key += u"/loop"_s)
            fake.folders[key] = inA;
        fake.folders[u"/b"_s] = {{u"g.txt"_s, false, false, 0}};
        // The walk's own thread reads "/a" slowly, so that the others have time to go on.
        fake.onRead = [](const QString &read, const DirectoryReader::Batch &) {
            if (read == u"/a"_s)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        };
        Scan s;
        scanWith(fake, "root", 4, s);
        QCOMPARE(entryTexts(s.list).size(), 5); // a, its loop and file, b and its file
        QCOMPARE(limitTexts(s.list), (QStringList{u"a\\"_s, u"b\\"_s, QString()}));
        QStringList read = fake.asked();
        read.sort();
        QCOMPARE(read, (QStringList{QString(), u"/a"_s, u"/b"_s}));
    }

    // The threads stop reading ahead at a bound while the walk waits for one slow folder.
    void readAheadIsBounded() {
        SlowFakeReader fake;
        const int folders = 600, files = 200;
        QList<SlowFakeReader::Child> top;
        for (int k = 0; k < folders; ++k) {
            const QString name = u"d%1"_s.arg(k);
            top << SlowFakeReader::Child{name, true, false, std::uint64_t(k + 1)};
            QList<SlowFakeReader::Child> inner;
            for (int f = 0; f < files; ++f)
                inner << SlowFakeReader::Child{u"f%1"_s.arg(f), false, false, 0};
            fake.folders[u'/' + name] = inner;
        }
        fake.folders[QString()] = top;
        fake.maxDelayMicroseconds = 0;
        Progress progress;
        std::atomic<std::int64_t> readEntries{0};
        std::atomic<std::int64_t> maxLead{0};
        fake.onRead = [&](const QString &key, const DirectoryReader::Batch &batch) {
            if (key == u"/d0"_s)
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const std::int64_t lead =
                (readEntries += std::int64_t(batch.items.size())) - progress.count.load();
            std::int64_t seen = maxLead.load();
            while (lead > seen && !maxLead.compare_exchange_weak(seen, lead)) {
            }
        };
        Scan s;
        scanWith(fake, "root", 4, s, {}, true, &progress);
        QCOMPARE(s.list.size(), folders * (files + 1));
        // Beyond the bound: the root's own entries, and a folder each thread was reading.
        const std::int64_t slack = folders + 4 * (files + 1);
        qInfo("read ahead of the walk at most: %lld entries", static_cast<long long>(maxLead));
        QVERIFY(maxLead.load() <= std::int64_t(Scanner::ReadAheadEntries) + slack);
        QVERIFY(maxLead.load() >= std::int64_t(Scanner::ReadAheadEntries) / 2);
    }
};

QTEST_GUILESS_MAIN(TestParallelScan)
#include "tst_parallelscan.moc"
