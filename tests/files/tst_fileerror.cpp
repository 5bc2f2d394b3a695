#include "files/FileError.h"

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

class TestFileError : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messages_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("7") << 7 << QStringLiteral("Out of memory");
        QTest::newRow("52") << 52 << QStringLiteral("Bad file name/number");
        QTest::newRow("53") << 53 << QStringLiteral("File not found");
        QTest::newRow("54") << 54 << QStringLiteral("Bad file mode");
        QTest::newRow("55") << 55 << QStringLiteral("File already open");
        QTest::newRow("57") << 57 << QStringLiteral("Disk I/O error");
        QTest::newRow("61") << 61 << QStringLiteral("Out of disk space");
        QTest::newRow("62") << 62 << QStringLiteral("Not a valid Vistrel file");
        QTest::newRow("64") << 64 << QStringLiteral("Bad file name");
        QTest::newRow("68") << 68 << QStringLiteral("Device unavailable");
        QTest::newRow("71") << 71 << QStringLiteral("Drive not ready");
        QTest::newRow("76") << 76 << QStringLiteral("Path not found");
        QTest::newRow("380") << 380 << QStringLiteral("Not a valid Vistrel file");
    }
    void messages() {
        QFETCH(int, code);
        QFETCH(QString, message);
        QCOMPARE(FileError::fromCode(code, QStringLiteral("ignored")).message(), message);
    }

    void otherCodesCarryTheirDescription() {
        const FileError err = FileError::fromCode(70, QStringLiteral("Permission denied"));
        QCOMPARE(err.message(), QStringLiteral("Permission denied"));
        QVERIFY(fileErrorMessage(70).isEmpty());
    }

    void fromErrno_data() {
        QTest::addColumn<int>("err");
        QTest::addColumn<int>("code");
        QTest::newRow("no space") << ENOSPC << 61;
        QTest::newRow("quota") << EDQUOT << 61;
        QTest::newRow("i/o") << EIO << 57;
        QTest::newRow("name too long") << ENAMETOOLONG << 64;
        QTest::newRow("not a folder on the way") << ENOTDIR << 76;
        QTest::newRow("no device") << ENXIO << 68;
        QTest::newRow("no medium") << ENOMEDIUM << 71;
        QTest::newRow("busy") << ETXTBSY << 55;
        QTest::newRow("no memory") << ENOMEM << 7;
    }
    void fromErrno() {
        QFETCH(int, err);
        QFETCH(int, code);
        QCOMPARE(FileError::fromErrno(err).code, code);
    }

    void missingFileOrFolder() {
        QTemporaryDir dir;
        QCOMPARE(FileError::fromErrno(ENOENT, dir.filePath(QStringLiteral("x.dir"))).code, 53);
        QCOMPARE(FileError::fromErrno(ENOENT, dir.filePath(QStringLiteral("no/x.dir"))).code, 76);
    }

    void permissionKeepsThePlatformText() {
        const FileError err = FileError::fromErrno(EACCES);
        QVERIFY(fileErrorMessage(err.code).isEmpty());
        QCOMPARE(err.message(), QString::fromLocal8Bit(strerror(EACCES)));
    }
};

QTEST_GUILESS_MAIN(TestFileError)
#include "tst_fileerror.moc"
