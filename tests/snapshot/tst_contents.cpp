// The digests a scan with contents records, checked against sha256sum over the same tree:
// names of every kind, files of many blocks, empty files, and entries that are no files.

#include "NameBytes.h"
#include "files/ChecksumExport.h"
#include "snapshot/ContentsHasher.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"

#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

QByteArray run(const QString &folder, const QString &command) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray("failed");
}

// Scans a folder into the list, after what it holds already.
bool scanInto(const QString &folder, SnapshotList &list) {
    auto reader = makeDirectoryReader();
    return Scanner(*reader).readDirectory(folder, list, true);
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
        QTemporaryDir dir;
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
        QTemporaryDir dir;
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
        QTemporaryDir dir;
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
};

QTEST_GUILESS_MAIN(TestContents)
#include "tst_contents.moc"
