#include "snapshot/DateSerial.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ExcludeReference.h"
#include "snapshot/MountTable.h"
#include "snapshot/Progress.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"
#include "support/TestFiles.h"
#include "support/TestLists.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray local(const QString &path) {
    return QFile::encodeName(path);
}

void setTime(const QString &path, std::int64_t seconds, long nanos = 0) {
    const timespec times[2] = {{seconds, nanos}, {seconds, nanos}};
    QCOMPARE(utimensat(AT_FDCWD, local(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

struct Scanned {
    SnapshotList list;
    bool ok = false;
};

void scan(const QString &root, Scanned &out, bool subs = true, Progress *progress = nullptr) {
    auto reader = makeDirectoryReader();
    Scanner scanner(*reader);
    out.ok = scanner.readDirectory(root, out.list, subs, progress);
}

int find(const SnapshotList &list, const QString &folder, const QString &name) {
    for (int i = 0; i < list.size(); ++i) {
        if (list.folder(i) == folder && list.name(i) == name)
            return i;
    }
    return -1;
}

QStringList limits(const SnapshotList &list) {
    QStringList out;
    for (std::size_t k = 0; k < list.limits.size(); ++k)
        out << list.limitText(k);
    return out;
}

// A file system of folders held in memory, some of which cannot be read.
class FakeReader : public DirectoryReader {
public:
    QHash<QString, QStringList> folders; // path -> child names; a trailing "/" marks a folder
    QSet<QString> locked;
    QStringList asked; // every folder read, in turn
    Progress *cancelAfterRoot = nullptr;

    bool readRoot(std::string_view, Batch &batch) override { return readKey(QString(), batch); }
    bool read(std::string_view native, Batch &batch) override {
        return readKey(u'/' + QString::fromUtf8(native.data(), qsizetype(native.size())), batch);
    }

private:
    std::mutex m_mutex;

    bool readKey(const QString &key, Batch &batch) {
        batch.clear();
        {
            std::lock_guard lock(m_mutex);
            asked << key;
        }
        if (cancelAfterRoot && !key.isEmpty())
            cancelAfterRoot->cancel();
        if (locked.contains(key) || !folders.contains(key))
            return false;
        for (const QString &child : folders.value(key)) {
            const bool dir = child.endsWith(u'/');
            const QString n = dir ? child.chopped(1) : child;
            const QByteArray bytes = n.toUtf8();
            Item item{static_cast<std::uint32_t>(batch.names.size()),
                      static_cast<std::uint32_t>(n.size()),
                      dir ? 16 : 32,
                      dir ? 0u : 10u,
                      dir ? std::nan("") : 40000.0,
                      static_cast<std::uint32_t>(batch.native.size()),
                      static_cast<std::uint32_t>(bytes.size())};
            batch.names.append(reinterpret_cast<const char16_t *>(n.utf16()), n.size());
            batch.native.append(bytes.constData(), bytes.size());
            batch.items.push_back(item);
        }
        return true;
    }
};

// This platform's reader, noting the path of each folder below the root it is asked to read.
class RecordingReader : public DirectoryReader {
public:
    std::unique_ptr<DirectoryReader> real = makeDirectoryReader();
    QStringList asked;

    bool readRoot(std::string_view native, Batch &batch) override {
        return real->readRoot(native, batch);
    }
    bool read(std::string_view path, Batch &batch) override {
        {
            std::lock_guard lock(m_mutex);
            asked << QString::fromUtf8(path.data(), qsizetype(path.size()));
        }
        return real->read(path, batch);
    }

private:
    std::mutex m_mutex;
};

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// What a scan of a fake tree should give: the entries the reference keeps, each folder's
// entries after it, and the folders read (those kept) in the order of the walk.
void expectedScan(const FakeReader &fake, const ExcludeReference &reference, const QString &key,
                  const QString &folder, QStringList &entries, QStringList &read) {
    read << key;
    for (const QString &child : fake.folders.value(key)) {
        const bool dir = child.endsWith(u'/');
        const QString name = dir ? child.chopped(1) : child;
        if (reference.leavesOut(folder, name, dir))
            continue;
        entries << folder + name;
        if (dir)
            expectedScan(fake, reference, key + u'/' + name, folder + name + u'\\', entries, read);
    }
}

} // namespace

class TestScanner : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void orderAndLimits() {
        ByteTreeDir dir;
        const QString root = dir.filePath(QStringLiteral("Data"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/A/B")));
        writeFile(root + QStringLiteral("/A/B/f.txt"), "hello");
        Scanned s;
        scan(root, s);
        QVERIFY(s.ok);
        QCOMPARE(s.list.size(), 3);
        QCOMPARE(s.list.name(0), u"A");
        QCOMPARE(s.list.folder(0), QString());
        QCOMPARE(s.list.name(1), u"B");
        QCOMPARE(s.list.folder(1), QStringLiteral("A\\"));
        QCOMPARE(s.list.name(2), u"f.txt");
        QCOMPARE(s.list.folder(2), QStringLiteral("A\\B\\"));
        QCOMPARE(limits(s.list),
                 (QStringList{QStringLiteral("A\\B\\"), QStringLiteral("A\\"), QString()}));
    }

    void eachFolderBeforeItsContents() {
        // Siblings keep the order the file system gives; a folder's contents follow it at once.
        FakeReader fake;
        fake.folders[QString()] = {QStringLiteral("x/"), QStringLiteral("a.txt"),
                                   QStringLiteral("y/")};
        fake.folders[QStringLiteral("/x")] = {QStringLiteral("in-x.txt"), QStringLiteral("z/")};
        fake.folders[QStringLiteral("/x/z")] = {QStringLiteral("in-z.txt")};
        fake.folders[QStringLiteral("/y")] = {QStringLiteral("in-y.txt")};
        SnapshotList list;
        Scanner scanner(fake);
        QVERIFY(scanner.readDirectory(QStringLiteral("root"), list, true));
        QStringList order;
        for (int i = 0; i < list.size(); ++i)
            order << list.folder(i) + list.name(i).toString();
        QCOMPARE(order, (QStringList{QStringLiteral("x"), QStringLiteral("x\\in-x.txt"),
                                     QStringLiteral("x\\z"), QStringLiteral("x\\z\\in-z.txt"),
                                     QStringLiteral("a.txt"), QStringLiteral("y"),
                                     QStringLiteral("y\\in-y.txt")}));
        QCOMPARE(limits(list), (QStringList{QStringLiteral("x\\z\\"), QStringLiteral("x\\"),
                                            QStringLiteral("y\\"), QString()}));
    }

    void withoutSubfolders() {
        ByteTreeDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("A/B"))));
        writeFile(dir.filePath(QStringLiteral("top.txt")));
        Scanned s;
        scan(dir.path(), s, false);
        QCOMPARE(s.list.size(), 2);
        QVERIFY(find(s.list, QString(), QStringLiteral("A")) >= 0);
        QVERIFY(find(s.list, QString(), QStringLiteral("top.txt")) >= 0);
        QCOMPARE(limits(s.list), QStringList{QString()});
    }

    void missingRoot() {
        ByteTreeDir dir;
        Scanned s;
        scan(dir.filePath(QStringLiteral("nothing-here")), s);
        QVERIFY(!s.ok);
        QCOMPARE(s.list.size(), 0);
        QCOMPARE(limits(s.list), QStringList{QString()});
    }

    void unreadableFolderKeepsItsEntry() {
        FakeReader fake;
        fake.folders[QString()] = {QStringLiteral("locked/"), QStringLiteral("open/")};
        fake.folders[QStringLiteral("/locked")] = {QStringLiteral("secret.txt")};
        fake.folders[QStringLiteral("/open")] = {QStringLiteral("f.txt")};
        fake.locked << QStringLiteral("/locked");
        SnapshotList list;
        Scanner scanner(fake);
        QVERIFY(scanner.readDirectory(QStringLiteral("root"), list, true));
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.name(0), u"locked");
        QCOMPARE(list.name(1), u"open");
        QCOMPARE(limits(list),
                 (QStringList{QStringLiteral("locked\\"), QStringLiteral("open\\"), QString()}));
    }

    void unreadableFolderOnDisk() {
        if (geteuid() == 0)
            QSKIP("permissions do not stop the superuser");
        ByteTreeDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("locked"))));
        writeFile(dir.filePath(QStringLiteral("locked/x")));
        QCOMPARE(chmod(local(dir.filePath(QStringLiteral("locked"))).constData(), 0), 0);
        Scanned s;
        scan(dir.path(), s);
        chmod(local(dir.filePath(QStringLiteral("locked"))).constData(), 0755);
        QCOMPARE(s.list.size(), 1);
        QCOMPARE(limits(s.list).size(), 2);
    }

    void attributes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("attr");
        QTest::newRow("plain file") << QStringLiteral("plain.txt") << 32;
        QTest::newRow("read-only file") << QStringLiteral("ro.txt") << 33;
        QTest::newRow("hidden file") << QStringLiteral(".settings") << 34;
        QTest::newRow("hidden folder") << QStringLiteral(".cache") << 18;
        QTest::newRow("folder") << QStringLiteral("dir") << 16;
        QTest::newRow("read-only folder") << QStringLiteral("rodir") << 17;
        QTest::newRow("symbolic link") << QStringLiteral("link") << 1024;
        QTest::newRow("dangling link") << QStringLiteral("dangling") << 1024;
        QTest::newRow("link loop") << QStringLiteral("loop1") << 1024;
        QTest::newRow("fifo") << QStringLiteral("pipe") << 4;
        QTest::newRow("hidden link") << QStringLiteral(".hlink") << (1024 | 2);
    }
    void attributes() {
        QFETCH(QString, name);
        QFETCH(int, attr);
        ByteTreeDir dir;
        const auto p = [&](const char *n) { return local(dir.filePath(QLatin1String(n))); };
        writeFile(dir.filePath(QStringLiteral("plain.txt")), "12345");
        writeFile(dir.filePath(QStringLiteral("ro.txt")));
        chmod(p("ro.txt").constData(), 0444);
        writeFile(dir.filePath(QStringLiteral(".settings")));
        QDir(dir.path()).mkdir(QStringLiteral(".cache"));
        QDir(dir.path()).mkdir(QStringLiteral("dir"));
        QDir(dir.path()).mkdir(QStringLiteral("rodir"));
        chmod(p("rodir").constData(), 0555);
        QCOMPARE(symlink("plain.txt", p("link").constData()), 0);
        QCOMPARE(symlink("nowhere", p("dangling").constData()), 0);
        QCOMPARE(symlink("loop2", p("loop1").constData()), 0);
        QCOMPARE(symlink("loop1", p("loop2").constData()), 0);
        QCOMPARE(symlink("dir", p(".hlink").constData()), 0);
        QCOMPARE(mkfifo(p("pipe").constData(), 0644), 0);
        Scanned s;
        scan(dir.path(), s);
        chmod(p("rodir").constData(), 0755);
        const int i = find(s.list, QString(), name);
        QVERIFY(i >= 0);
        QCOMPARE(s.list.entry(i).attr, attr);
        // Links are recorded, never followed: nothing appears below the link to a folder.
        QCOMPARE(find(s.list, QStringLiteral(".hlink\\"), QString()), -1);
        if (name == u"link")
            QCOMPARE(s.list.entry(i).size, std::uint64_t(9)); // the length of "plain.txt"
    }

    void timesAndSizes() {
        ByteTreeDir dir;
        const QString file = dir.filePath(QStringLiteral("f.bin"));
        writeFile(file, QByteArray(1234, 'x'));
        // 2000-01-27 13:01:30.999 UTC: London is on UTC in winter; milliseconds are dropped.
        setTime(file, 948978090, 999999999);
        const QString sparse = dir.filePath(QStringLiteral("sparse.bin"));
        {
            const int fd = ::open(local(sparse).constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(ftruncate(fd, 5000000000LL), 0);
            ::close(fd);
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        Scanned s;
        scan(dir.path(), s);
        const EntryFormatter f(QLocale(QLocale::English, QLocale::UnitedKingdom));
        const int i = find(s.list, QString(), QStringLiteral("f.bin"));
        QCOMPARE(f.text(s.list, i, Col::Size), QStringLiteral("1,234"));
        QCOMPARE(f.text(s.list, i, Col::DateKey), QStringLiteral("36552.5427083333"));
        QCOMPARE(f.text(s.list, i, Col::Modified), QStringLiteral("27/01/2000  13:01"));
        const int j = find(s.list, QString(), QStringLiteral("sparse.bin"));
        QCOMPARE(s.list.entry(j).size, std::uint64_t(5000000000ULL));
        QCOMPARE(f.text(s.list, j, Col::SizeKey), QStringLiteral("005000000000"));
        const int k = find(s.list, QString(), QStringLiteral("sub"));
        QCOMPARE(f.text(s.list, k, Col::Size), QStringLiteral("<dir>"));
        QVERIFY(f.text(s.list, k, Col::DateKey).isEmpty());
    }

    // Every name a POSIX folder can hold gets a text of its own; the folders among them are
    // entered by their bytes, so their contents are there too.
    void unusualNames_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("accents") << QByteArray("Gr\xC3\xBC\xC3\x9F"
                                               "e")
                                 << QStringLiteral("Grüße");
        QTest::newRow("CJK") << QByteArray("\xE6\x97\xA5\xE6\x9C\xAC") << QStringLiteral("日本");
        QTest::newRow("emoji") << QByteArray("\xF0\x9F\x98\x80") << QStringLiteral("😀");
        QTest::newRow("dotted I") << QByteArray("\xC4\xB0stanbul") << QStringLiteral("İstanbul");
        QTest::newRow("combining") << QByteArray("e\xCC\x81") << QStringLiteral("e\u0301");
        QTest::newRow("quote") << QByteArray("quo\"te") << QStringLiteral("quo\"te");
        QTest::newRow("line break") << QByteArray("new\nline") << QStringLiteral("new|0Aline");
        QTest::newRow("tab") << QByteArray("tab\there") << QStringLiteral("tab|09here");
        QTest::newRow("delete") << QByteArray("del\x7F") << QStringLiteral("del|7F");
        QTest::newRow("pipe") << QByteArray("pi|pe") << QStringLiteral("pi|7Cpe");
        QTest::newRow("escape-like") << QByteArray("x|41") << QStringLiteral("x|7C41");
        QTest::newRow("backslash") << QByteArray("back\\slash") << QStringLiteral("back|5Cslash");
        QTest::newRow("Latin-1") << QByteArray("caf\xE9") << QStringLiteral("caf|E9");
        QTest::newRow("Latin-1 twin") << QByteArray("caf\xC9") << QStringLiteral("caf|C9");
        QTest::newRow("cut sequence") << QByteArray("\xC3(") << QStringLiteral("|C3(");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QStringLiteral("|C0|AF");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QStringLiteral("|ED|A0|80");
        QTest::newRow("past Unicode")
            << QByteArray("\xF4\x90\x80\x80") << QStringLiteral("|F4|90|80|80");
        QTest::newRow("C1 control") << QByteArray("\xC2\x85") << QStringLiteral("\u0085");
    }
    void unusualNames() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        ByteTreeDir dir;
        const QByteArray folder = local(dir.path()) + '/' + bytes;
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        const QByteArray file = folder + '/' + bytes;
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        Scanned s;
        scan(dir.path(), s);
        QCOMPARE(s.list.size(), 2);
        QVERIFY(find(s.list, QString(), text) >= 0);
        QVERIFY(find(s.list, text + u'\\', text) >= 0);
        QCOMPARE(limits(s.list), (QStringList{text + u'\\', QString()}));
        // Qt names files by text, which cannot name every one of these: they go by their bytes.
        QCOMPARE(::unlink(file.constData()), 0);
        QCOMPARE(::rmdir(folder.constData()), 0);
    }

    // Which mounted file systems a walk across volumes still keeps out of.
    void kernelMounts() {
        const char table[] = "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                             "23 27 0:22 / /sys rw,relatime shared:2 - sysfs sysfs rw\n"
                             "24 27 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw\n"
                             "25 24 0:23 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"
                             "27 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
                             "30 27 0:25 / /run rw - tmpfs tmpfs rw\n"
                             "31 30 0:26 / /run/user/1000 rw shared:5 master:3 - tmpfs tmpfs rw\n"
                             "32 27 0:27 / /tmp rw - tmpfs tmpfs rw\n"
                             "33 27 0:28 / /mnt/run\\040disk rw - tmpfs tmpfs rw\n"
                             "34 27 0:29 / /running rw - tmpfs tmpfs rw\n"
                             "35 27 8:17 / /home rw master:1 - ext4 /dev/sdb1 rw\n"
                             "36 22 0:30 / /proc/sys/fs/binfmt_misc rw - autofs systemd-1 rw\n"
                             "37 27 259:2 / /run/media/usb rw - vfat /dev/sdc1 rw\n"
                             "a line that is not a mount\n"
                             "38 27 0:31 / /boot/efi rw - - efivarfs\n";
        std::vector<std::uint64_t> devices = MountTable::kernelDevices(table);
        std::sort(devices.begin(), devices.end());
        std::vector<std::uint64_t> expected;
        for (const auto &[major, minor] : std::vector<std::pair<unsigned, unsigned>>{
                 {0, 21}, {0, 22}, {0, 6}, {0, 25}, {0, 26}, {0, 30}})
            expected.push_back(makedev(major, minor));
        std::sort(expected.begin(), expected.end());
        QCOMPARE(devices, expected);
    }

    // The scan agrees with an independent listing of the same tree.
    void matchesDirectoryIterator() {
        ByteTreeDir dir;
        for (int a = 0; a < 5; ++a) {
            for (int b = 0; b < 4; ++b) {
                const QString folder = dir.filePath(QStringLiteral("a%1/b%2").arg(a).arg(b));
                QVERIFY(QDir().mkpath(folder));
                for (int f = 0; f < 3; ++f)
                    writeFile(folder + QStringLiteral("/.f%1").arg(f), QByteArray(f * 7, 'x'));
            }
        }
        Scanned s;
        scan(dir.path(), s);
        QSet<QString> expected;
        QDirIterator it(dir.path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QString rel = QDir(dir.path()).relativeFilePath(it.next());
            expected.insert(rel.replace(u'/', u'\\') + u'|' +
                            QString::number(it.fileInfo().isDir() ? 0 : it.fileInfo().size()));
        }
        QSet<QString> got;
        for (int i = 0; i < s.list.size(); ++i)
            got.insert(s.list.folder(i) + s.list.name(i).toString() + u'|' +
                       QString::number(s.list.entry(i).size));
        QCOMPARE(got, expected);
    }

    // A tree far deeper than the call stack or the open-file limit would allow to recurse.
    void deepTree() {
        ByteTreeDir dir;
        constexpr int depth = 3000;
        int fd = ::open(local(dir.path()).constData(), O_RDONLY | O_DIRECTORY);
        for (int k = 0; k < depth; ++k) {
            QCOMPARE(mkdirat(fd, "d", 0755), 0);
            const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
            QVERIFY(fd >= 0);
        }
        QCOMPARE(openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0644) >= 0, true);
        ::close(fd);
        rlimit old{};
        getrlimit(RLIMIT_NOFILE, &old);
        rlimit low = old;
        low.rlim_cur = 200;
        setrlimit(RLIMIT_NOFILE, &low);
        Scanned s;
        scan(dir.path(), s);
        setrlimit(RLIMIT_NOFILE, &old);
        QCOMPARE(s.list.size(), depth + 1);
        QCOMPARE(s.list.name(depth), u"leaf.txt");
        QCOMPARE(s.list.folder(depth).count(u'\\'), depth);
        QCOMPARE(static_cast<int>(s.list.limits.size()), depth + 1);
        QCOMPARE(s.list.limitText(depth), QString());
        // Remove the tree without recursion limits of our own.
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir.path()});
    }

    // A folder left out is neither listed nor read, so it is no limit either.
    void exclusionsLeaveFoldersUnread() {
        FakeReader fake;
        fake.folders[QString()] = {u"Cache/"_s, u"a.tmp"_s, u"keep.txt"_s, u"src/"_s};
        fake.folders[u"/Cache"_s] = {u"big.bin"_s};
        fake.folders[u"/src"_s] = {u"obj/"_s, u"main.c"_s, u"old.TMP"_s, u"cache/"_s};
        fake.folders[u"/src/obj"_s] = {u"main.o"_s};
        fake.folders[u"/src/cache"_s] = {u"x"_s};
        SnapshotList list;
        Scanner scanner(fake);
        scanner.setExclusions(ExcludePatterns({u"\\cache\\"_s, u"*.tmp"_s, u"src/obj/"_s}));
        QVERIFY(scanner.readDirectory(u"root"_s, list, true));
        QCOMPARE(paths(list), (QStringList{u"keep.txt"_s, u"src"_s, u"src\\main.c"_s,
                                           u"src\\cache"_s, u"src\\cache\\x"_s}));
        QCOMPARE(sorted(fake.asked), (QStringList{QString(), u"/src"_s, u"/src/cache"_s}));
        QCOMPARE(limits(list), (QStringList{u"src\\cache\\"_s, u"src\\"_s, QString()}));
    }

    // The same on a real tree, through this platform's reader.
    void exclusionsOnDisk() {
        ByteTreeDir dir;
        for (const char *folder : {"cache/sub", "src/__pycache__", "src/deep/Logs"})
            QVERIFY(QDir(dir.path()).mkpath(QLatin1String(folder)));
        for (const char *file : {"keep.txt", "build.log", "cache/x.bin", "src/main.c",
                                 "src/__pycache__/m.pyc", "src/deep/Logs/a.txt", "src/deep/logs.c"})
            writeFile(dir.filePath(QLatin1String(file)));
        RecordingReader reader;
        Scanner scanner(reader);
        scanner.setExclusions(
            ExcludePatterns({u"cache/"_s, u"*.log"_s, u"__pycache__/"_s, u"**/logs/"_s}));
        SnapshotList list;
        QVERIFY(scanner.readDirectory(dir.path(), list, true));
        QStringList got = paths(list);
        got.sort();
        QCOMPARE(got, (QStringList{u"keep.txt"_s, u"src"_s, u"src\\deep"_s, u"src\\deep\\logs.c"_s,
                                   u"src\\main.c"_s}));
        reader.asked.sort();
        QCOMPARE(reader.asked, (QStringList{u"src"_s, u"src/deep"_s}));
        QCOMPARE(list.limits.size(), std::size_t(3));
    }

    // Random trees and patterns: what is listed and what is read, against the reference. With
    // one thread the folders are read in the order of the walk; with more, in any order, but
    // none that is left out.
    void exclusionsAgainstReference_data() {
        QTest::addColumn<int>("seed");
        QTest::addColumn<int>("threads");
        for (int threads : {1, 3}) {
            for (int seed = 1; seed <= 30; ++seed)
                QTest::addRow("seed %d, %d threads", seed, threads) << seed << threads;
        }
    }
    void exclusionsAgainstReference() {
        QFETCH(int, seed);
        QFETCH(int, threads);
        std::mt19937 rng(static_cast<unsigned>(seed));
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        const QStringList names = {u"a"_s,     u"A"_s,      u"b.tmp"_s,  u"B.TMP"_s,
                                   u"x|5Cy"_s, u"\u00e9"_s, u"\u00c9"_s, u"logs"_s};
        FakeReader fake;
        QStringList open = {QString()};
        for (int k = 0; k < open.size() && k < 40; ++k) {
            QStringList &children = fake.folders[open[k]];
            for (const QString &name : names) {
                if (pick(3))
                    continue;
                const bool dir = open[k].count(u'/') < 4 && pick(2);
                children << (dir ? name + u'/' : name);
                if (dir)
                    open << open[k] + u'/' + name;
            }
        }
        const QStringList pool = {u"*.tmp"_s, u"a/"_s,     u"**/b*/"_s,    u"a/**"_s,  u"/\u00c9"_s,
                                  u"x|5c*"_s, u"*/a"_s,    u"a/**/logs"_s, u"logs/"_s, u"**"_s,
                                  u"a/*/*"_s, u"*.TMP/"_s, u"\u00e9/a/"_s};
        QStringList patterns;
        for (int k = pick(3) + 1; k > 0; --k)
            patterns << pool[pick(pool.size())];
        QStringList entries, read;
        expectedScan(fake, ExcludeReference(patterns), QString(), QString(), entries, read);
        SnapshotList list;
        Scanner scanner(fake);
        scanner.setExclusions(ExcludePatterns(patterns));
        scanner.setReadThreads(threads);
        QVERIFY(scanner.readDirectory(u"root"_s, list, true));
        QCOMPARE(paths(list), entries);
        QCOMPARE(threads == 1 ? fake.asked : sorted(fake.asked),
                 threads == 1 ? read : sorted(read));
        QCOMPARE(list.limits.size(), std::size_t(read.size()));
    }

    void progressAndCancel() {
        FakeReader fake;
        fake.folders[QString()] = {QStringLiteral("a/"), QStringLiteral("b/"),
                                   QStringLiteral("c.txt")};
        fake.folders[QStringLiteral("/a")] = {QStringLiteral("1"), QStringLiteral("2")};
        fake.folders[QStringLiteral("/b")] = {QStringLiteral("3")};
        Progress progress;
        fake.cancelAfterRoot = &progress;
        SnapshotList list;
        Scanner scanner(fake);
        // Only a walk that reads each folder itself reads "a" exactly when it comes to it.
        scanner.setReadThreads(1);
        QVERIFY(scanner.readDirectory(QStringLiteral("root"), list, true, &progress));
        // Cancelled while "a" was read: what was read stays, every open folder is a limit.
        QCOMPARE(list.size(), 1);
        QCOMPARE(limits(list), (QStringList{QStringLiteral("a\\"), QString()}));
        QCOMPARE(progress.count.load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestScanner)
#include "tst_scanner.moc"
