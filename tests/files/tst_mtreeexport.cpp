// The mtree export checked by mtree itself: a tree of odd names passes as it was taken, and each
// detail changed alone is the one mismatch mtree names.

#include "files/MtreeExport.h"
#include "snapshot/ContentsHasher.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"
#include "support/TestFiles.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

struct Run {
    int status = -1;
    QByteArray output;
};

Run run(const QString &folder, const QString &command) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

// Names mtree reads specially: patterns, escapes, comments, spaces, line breaks, other scripts.
const char MakeTree[] = "mkdir -p tree/sub && cd tree && printf hello > 'sub/[x] *' && "
                        "head -c 300000 /dev/urandom > $'caf\\xe9' && "
                        "printf a > $'line\\nbreak' && printf b > 'back\\slash?' && "
                        "printf c > 'ελληνικά 😀' && ln -s 'sub/[x] *' 'link #1' && mkfifo pipe";

} // namespace

class TestMtreeExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("mtree")).isEmpty())
            QSKIP("mtree (Debian's mtree-netbsd) is not installed");
    }

    void mtreeFindsExactlyTheChange_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("named");
        QTest::addColumn<int>("mismatches");
        static const char RepointLink[] = "ln -sfn elsewhere 'link #1'";
        QTest::newRow("nothing") << QString() << QByteArray() << 0;
        QTest::newRow("contents, size and time kept")
            << QStringLiteral("printf jello > n && touch -r 'sub/[x] *' n && "
                              "cat n > 'sub/[x] *' && touch -r n 'sub/[x] *' && rm n")
            << QByteArray("sha256") << 1;
        QTest::newRow("setuid") << QStringLiteral("chmod u+s 'sub/[x] *'")
                                << QByteArray("permissions") << 1;
        QTest::newRow("owner") << QStringLiteral("chown -h 1 $'caf\\xe9'") << QByteArray("user")
                               << 1;
        QTest::newRow("group") << QStringLiteral("chgrp 2 $'caf\\xe9'") << QByteArray("gid") << 1;
        QTest::newRow("link re-pointed")
            << QString::fromUtf8(RepointLink) << QByteArray("link ref") << 1;
        // Its time and digest change with it.
        QTest::newRow("grown") << QStringLiteral("printf more >> $'line\\nbreak'")
                               << QByteArray("size") << 3;
    }
    void mtreeFindsExactlyTheChange() {
        QFETCH(QString, change);
        QFETCH(QByteArray, named);
        QFETCH(int, mismatches);
        if (geteuid() != 0 && (named == "user" || named == "gid"))
            QSKIP("giving a file away takes root");
        ByteTreeDir dir;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        QCOMPARE(run(dir.path(), QString::fromUtf8(MakeTree)).status, 0);
        SnapshotList list;
        const auto reader = makeDirectoryReader();
        QVERIFY(Scanner(*reader).readDirectory(tree, list, true));
        ContentsHasher hasher;
        hasher.hash(QFile::encodeName(tree), list, 2);
        const QString written = dir.filePath(QStringLiteral("tree.mtree"));
        QVERIFY(exportMtree(list, written).ok());

        if (!change.isEmpty())
            QCOMPARE(run(tree, change).status, 0);
        const Run check = run(dir.path(), QStringLiteral("mtree -f tree.mtree -p tree"));
        if (named.isEmpty()) {
            QCOMPARE(check.output, QByteArray());
            QCOMPARE(check.status, 0);
        } else {
            QVERIFY2(check.output.contains(named + " ("), check.output.constData());
            QCOMPARE(check.output.count(" ("), mismatches);
            QCOMPARE(check.status, 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestMtreeExport)
#include "tst_mtreeexport.moc"
