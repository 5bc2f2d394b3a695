// The digests a scan with contents records, checked against sha256sum over the same tree:
// names of every kind, files of many blocks, empty files, and entries that are no files.

#include "NameBytes.h"
#include "files/ChecksumExport.h"
#include "files/SnapshotFile.h"
#include "snapshot/ContentsHasher.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

namespace {

QByteArray run(const QString &folder, const QString &command) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray("failed");
}

// Scans a folder into the list, after what it holds already.
bool scanInto(const QString &folder, SnapshotList &list, bool keepChangeTimes = false) {
    auto reader = makeDirectoryReader();
    Scanner scanner(*reader);
    scanner.setKeepChangeTimes(keepChangeTimes);
    return scanner.readDirectory(folder, list, true);
}

// Scans and reads the contents, taking what it can from `earlier`.
std::int64_t scanWithContents(const QString &folder, SnapshotList &list,
                              const SnapshotList *earlier) {
    if (!scanInto(folder, list, true))
        return -1;
    ContentsHasher hasher;
    hasher.reuseFrom(earlier);
    hasher.hash(QFile::encodeName(folder), list, 2);
    return hasher.reused();
}

std::int64_t secondsNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

// Writes `bytes` over the file, keeping its size and modified time, as `touch -r` would.
void rewriteKeepingTime(const QByteArray &path, const QByteArray &bytes) {
    struct stat st {};
    QCOMPARE(::stat(path.constData(), &st), 0);
    QFile file(QFile::decodeName(path));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    file.close();
    const timespec times[2] = {st.st_atim, st.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, path.constData(), times, 0), 0);
}

} // namespace

class TestContents : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void digestsAsSha256sumGivesThem_data() {
        QTest::addColumn<int>("threads");
        QTest::newRow("one file at a time") << 1;
        QTest::newRow("four at once") << 4;
    }
    void digestsAsSha256sumGivesThem() {
        QFETCH(int, threads);
        ByteTreeDir dir;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        QCOMPARE(
            run(dir.path(),
                QStringLiteral(
                    "mkdir -p tree/$'caf\\xe9' tree/'back\\slash' && cd tree && "
                    "head -c 3000000 /dev/urandom > big && : > empty && "
                    "printf 'a\\n' > $'caf\\xe9/line\\nbreak' && printf b > 'back\\slash/x' && "
                    "printf c > 'ελληνικά 😀' && ln -s big link && mkfifo pipe")),
            QByteArray());
        SnapshotList list;
        QVERIFY(scanInto(tree, list));
        ContentsHasher hasher;
        hasher.hash(QFile::encodeName(tree), list, threads);
        QVERIFY(hasher.unreadable().isEmpty());

        // sha256sum -z leaves names unescaped, each line ended by a NUL.
        const QByteArray sums = run(tree, QStringLiteral("find . -type f -print0 | "
                                                         "xargs -0 sha256sum -z"));
        QHash<QByteArray, QString> expected;
        for (const QByteArray &line : sums.split('\0')) {
            if (!line.isEmpty())
                expected.insert(line.mid(66 + 2), QString::fromLatin1(line.left(64)));
        }
        QCOMPARE(expected.size(), 5);
        int digests = 0;
        for (int i = 0; i < list.size(); ++i) {
            QByteArray path;
            for (const QStringView part :
                 QStringView(list.folder(i)).split(u'\\', Qt::SkipEmptyParts))
                path += nameBytes(part) + '/';
            path += nameBytes(list.name(i));
            QCOMPARE(digestText(list.digest(i)), expected.value(path));
            digests += hasDigest(list.digest(i));
        }
        QCOMPARE(digests, 5);

        // Exported for sha256sum, which then checks every file, odd names and all.
        const QString sums256 = dir.filePath(QStringLiteral("tree.sha256"));
        QVERIFY(exportSha256sum(list, sums256).ok());
        QCOMPARE(run(tree, QStringLiteral("sha256sum -c --quiet ../tree.sha256 && "
                                          "sha256sum -c ../tree.sha256 | grep -c ': OK$'")),
                 QByteArray("5\n"));
    }

    // A snapshot appended to another: only the entries of the folder just read are read, by
    // their paths there, not those of the folder before, whose paths lie elsewhere.
    void appendedEntriesOnly() {
        ByteTreeDir dir;
        QCOMPARE(run(dir.path(), QStringLiteral("mkdir a b && printf 1 > a/f && printf 2 > b/f")),
                 QByteArray());
        SnapshotList list;
        QVERIFY(scanInto(dir.filePath(QStringLiteral("a")), list));
        const int first = list.size();
        QVERIFY(scanInto(dir.filePath(QStringLiteral("b")), list));
        ContentsHasher hasher;
        hasher.hash(QFile::encodeName(dir.filePath(QStringLiteral("b"))), list, 1, nullptr, first);
        QCOMPARE(list.size(), 2);
        QVERIFY(!hasDigest(list.digest(0)));
        QCOMPARE(digestText(list.digest(1)).toLatin1(),
                 run(dir.path(), QStringLiteral("sha256sum < b/f | cut -c1-64")).trimmed());
    }

    // A file that cannot be opened has no digest and is named; the rest are read.
    void unreadableFileIsNamed() {
        ByteTreeDir dir;
        QCOMPARE(run(dir.path(), QStringLiteral("printf a > gone && printf b > kept")),
                 QByteArray());
        SnapshotList list;
        QVERIFY(scanInto(dir.path(), list));
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("gone"))));
        ContentsHasher hasher;
        hasher.hash(QFile::encodeName(dir.path()), list, 1);
        QCOMPARE(hasher.unreadable(), QStringList{QStringLiteral("gone")});
        for (int i = 0; i < list.size(); ++i)
            QCOMPARE(hasDigest(list.digest(i)), list.name(i) == u"kept");
    }

    // Random files edited at random, read again taking the digests of the first reading
    // (kept through a snapshot file): every digest is what a full reading gives, and the
    // files left alone were not read again.
    void reuseMatchesAFullReading() {
        ByteTreeDir dir;
        QRandomGenerator random(25);
        const int count = 60;
        auto pathOf = [&](int k) {
            return QFile::encodeName(dir.filePath(QStringLiteral("d%1/f%2").arg(k % 4).arg(k)));
        };
        auto someBytes = [&](int size) {
            QByteArray bytes(size, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            return bytes;
        };
        for (int d = 0; d < 4; ++d)
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("d%1").arg(d)));
        for (int k = 0; k < count; ++k) {
            QFile file(QFile::decodeName(pathOf(k)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(someBytes(1 + random.bounded(3000)));
        }
        // A digest read in the second its file changed is not kept: the first reading waits.
        const std::int64_t written = secondsNow();
        while (secondsNow() == written)
            QThread::msleep(20);
        // A scan whose files were never read (cancelled before) has change times but no digests
        // to give.
        SnapshotList notRead, first;
        QVERIFY(scanInto(dir.path(), notRead, true));
        QCOMPARE(scanWithContents(dir.path(), first, &notRead), 0);
        const QString saved = dir.filePath(QStringLiteral("first.dir"));
        QVERIFY(saveSnapshot(first, false, saved).ok());
        SnapshotList earlier;
        QVERIFY(readSnapshot(saved, earlier).ok());

        int untouched = 0;
        for (int k = 0; k < count; ++k) {
            const QByteArray path = pathOf(k);
            struct stat st {};
            QCOMPARE(::stat(path.constData(), &st), 0);
            switch (random.bounded(6)) {
            case 0: // contents changed, size and time kept
                rewriteKeepingTime(path, someBytes(int(st.st_size)));
                break;
            case 1:
                QCOMPARE(::chmod(path.constData(), 0600), 0);
                break;
            case 2: // moved to another folder: the same file still
                QCOMPARE(::rename(path.constData(), path + ".moved"), 0);
                break;
            case 3: // another file of the same size and time in its place
                QCOMPARE(::unlink(path.constData()), 0);
                QVERIFY(QFile(QFile::decodeName(path)).open(QIODevice::WriteOnly));
                rewriteKeepingTime(path, someBytes(int(st.st_size)));
                break;
            default:
                ++untouched;
            }
        }
        if (QTest::currentTestFailed())
            return;
        const std::int64_t started = secondsNow();
        SnapshotList reused, full;
        const std::int64_t kept = scanWithContents(dir.path(), reused, &earlier);
        QCOMPARE(scanWithContents(dir.path(), full, nullptr), 0);
        QVERIFY(kept >= untouched);
        QVERIFY(kept < count);
        QCOMPARE(reused.size(), full.size());
        for (int i = 0; i < full.size(); ++i) {
            QCOMPARE(reused.name(i), full.name(i));
            QCOMPARE(digestText(reused.digest(i)), digestText(full.digest(i)));
            // What was read changed in the second it was read, or later: no later scan takes it.
            const std::uint64_t changed = full.digestChangeTime(i);
            QVERIFY(changed == 0 || std::int64_t(changed / 1'000'000'000u) < started);
        }
    }
};

QTEST_GUILESS_MAIN(TestContents)
#include "tst_contents.moc"
