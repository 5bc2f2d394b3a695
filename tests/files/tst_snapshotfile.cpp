#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/Sorting.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Example = "\"Before install\",\"c: - C:\\Data\\*.*\",0,3,36552.5427083333\r\n"
                           "\"a.txt\",\"\",32,1234,36550.4166666667\r\n"
                           "\"Sub\",\" \",16,0,0\r\n"
                           "\"b.log\",\"Sub\\\",32,56,36551.75\r\n";

const QLocale enGB(QLocale::English, QLocale::UnitedKingdom);

QString write(const QTemporaryDir &dir, const QByteArray &bytes, const char *name = "t.dir") {
    const QString path = dir.filePath(QLatin1String(name));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray read(const QString &path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QStringList rows(const SnapshotList &list) {
    const EntryFormatter f(enGB);
    QStringList out;
    for (int i = 0; i < list.size(); ++i) {
        QStringList cols;
        for (int c = 0; c < Col::Count; ++c)
            cols << f.text(list, i, c);
        out << cols.join(u'|');
    }
    return out;
}

} // namespace

class TestSnapshotFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTheExample() {
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(ReadSnapshot(write(dir, Example), list).ok());
        QCOMPARE(list.description, QStringLiteral("Before install"));
        QCOMPARE(list.source, QStringLiteral("c: - C:\\Data\\*.*"));
        const DateSerial::LocalTime created = DateSerial::toLocal(list.created);
        QCOMPARE(QDateTime(created.date, created.time),
                 QDateTime(QDate(2000, 1, 27), QTime(13, 1, 30)));
        QCOMPARE(
            rows(list),
            (QStringList{
                QStringLiteral(
                    "a.txt||a.txt|1,234|000000001234||25/01/2000  10:00|36550.4166666667||Arc|32|"),
                QStringLiteral("Sub||sub|<dir>||||||Dir|16|"),
                QStringLiteral("b.log|Sub\\|sub\\b.log|56|000000000056||26/01/2000  "
                               "18:00|36551.75||Arc|32|")}));
        QCOMPARE(list.limits.size(), std::size_t(2));
        QCOMPARE(list.limitText(0), QString());
        QCOMPARE(list.limitText(1), QStringLiteral("Sub\\"));
        QVERIFY(!list.unsaved);
    }

    void writesTheExample() {
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(ReadSnapshot(write(dir, Example), list).ok());
        const QString out = dir.filePath(QStringLiteral("out.dir"));
        QVERIFY(SaveSnapshot(list, false, out).ok());
        QCOMPARE(read(out), Example);
    }

    void roundTrip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain") << QStringLiteral("a.txt") << QString();
        QTest::newRow("quote") << QStringLiteral("say \"hi\".txt") << QStringLiteral("q\"\\");
        QTest::newRow("line feed") << QStringLiteral("two\nlines") << QStringLiteral("x\r\ny\\");
        QTest::newRow("tab and bell") << QStringLiteral("a\tb\x07") << QString();
        QTest::newRow("pipe") << QStringLiteral("a|b|41") << QStringLiteral("|0A\\");
        QTest::newRow("comma") << QStringLiteral("a, b") << QStringLiteral("c,d\\");
        QTest::newRow("non-ascii") << QStringLiteral("Grüße €.txt") << QStringLiteral("日本\\");
        QTest::newRow("single space") << QStringLiteral(" ") << QStringLiteral(" \\");
        QTest::newRow("byte-order mark") << QStringLiteral("\uFEFFx") << QStringLiteral("\uFEFF\\");
        QTest::newRow("empty name") << QString() << QStringLiteral("e\\");
    }
    void roundTrip() {
        QFETCH(QString, name);
        QFETCH(QString, folder);
        QTemporaryDir dir;
        SnapshotList list;
        list.description = QStringLiteral("Desc, with \"quotes\", commas and | pipes");
        list.source = QStringLiteral("/ - /data/*.*");
        list.created = DateSerial::fromLocal(2021, 3, 4, 5, 6, 7);
        list.append(name, folder, 32, 3000000000ULL,
                    DateSerial::fromLocal(1999, 12, 31, 23, 59, 59));
        list.append(name + QStringLiteral("2"), folder, 33, 0,
                    DateSerial::fromLocal(1850, 1, 1, 12, 0, 0));
        list.append(QStringLiteral("sub"), folder, 16, 0, std::nan(""));
        list.append(QStringLiteral("z"), QString(), 0, 7, 0.0);
        const QString path = dir.filePath(QStringLiteral("r.dir"));
        QVERIFY(SaveSnapshot(list, false, path).ok());
        const QByteArray bytes = read(path);
        QCOMPARE(bytes.count("\r\n"), 5); // one line each, whatever the names hold
        QVERIFY(bytes.endsWith("\r\n"));
        SnapshotList back;
        QVERIFY(ReadSnapshot(path, back).ok());
        QCOMPARE(back.description, list.description);
        QCOMPARE(back.source, list.source);
        QCOMPARE(back.created, list.created);
        QCOMPARE(rows(back), rows(list));
        QCOMPARE(back.entry(0).size, std::uint64_t(3000000000ULL));
    }

    // Escapes are read only in a file whose reserved header field says it holds them (1, as we
    // write it); in any other file "|" and two hex digits are text like any other.
    void escapesOnlyWhereMarked_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain file")
            << QByteArray("\"Before|2Ainstall\",\"s\",0,1,45000\r\n\"x|41\",\"\",32,1,45000\r\n")
            << QStringLiteral("Before|2Ainstall") << QStringLiteral("x|41");
        QTest::newRow("another reserved value")
            << QByteArray("\"Before|2Ainstall\",\"s\",7,1,45000\r\n\"x|41\",\"\",32,1,45000\r\n")
            << QStringLiteral("Before|2Ainstall") << QStringLiteral("x|41");
        QTest::newRow("marked file")
            << QByteArray(
                   "\"Before|7C2Ainstall\",\"s\",1,1,45000\r\n\"x|0A|41\",\"\",32,1,45000\r\n")
            << QStringLiteral("Before|2Ainstall") << QStringLiteral("x\nA");
    }
    void escapesOnlyWhereMarked() {
        QFETCH(QByteArray, file);
        QFETCH(QString, description);
        QFETCH(QString, name);
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(ReadSnapshot(write(dir, file), list).ok());
        QCOMPARE(list.description, description);
        QCOMPARE(list.name(0), name);
        // Written again, the file holds escapes and says so; read back, nothing has changed.
        const QString path = dir.filePath(QStringLiteral("again.dir"));
        QVERIFY(SaveSnapshot(list, false, path).ok());
        const QByteArray escaped =
            QString(description).replace(QStringLiteral("|"), QStringLiteral("|7C")).toUtf8();
        QVERIFY(read(path).startsWith("\"" + escaped + "\",\"s\",1,1,"));
        SnapshotList back;
        QVERIFY(ReadSnapshot(path, back).ok());
        QCOMPARE(back.description, description);
        QCOMPARE(back.name(0), name);
    }

    // A list that needs no escape is written in the plain format, reserved field 0.
    void plainListsStayPlain() {
        QTemporaryDir dir;
        SnapshotList list;
        list.description = QStringLiteral("Before install");
        list.append(u"Grüße.txt", u"Sub\\", 32, 1, 45000.0);
        const QString path = dir.filePath(QStringLiteral("plain.dir"));
        QVERIFY(SaveSnapshot(list, false, path).ok());
        QVERIFY(read(path).startsWith("\"Before install\",\"\",0,1,"));
        list.append(u"pi|pe", u"Sub\\", 32, 1, 45000.0);
        QVERIFY(SaveSnapshot(list, false, path).ok());
        QVERIFY(read(path).startsWith("\"Before install\",\"\",1,2,"));
        QVERIFY(read(path).contains("\"pi|7Cpe\""));
    }

    void folderCompression() {
        QTemporaryDir dir;
        SnapshotList list;
        list.append(u"a", u"", 32, 1, 1.0);
        list.append(u"b", u"", 32, 1, 1.0);
        list.append(u"c", u"S\\", 32, 1, 1.0);
        list.append(u"d", u"S\\", 32, 1, 1.0);
        list.append(u"e", u"", 32, 1, 1.0);
        const QString path = dir.filePath(QStringLiteral("c.dir"));
        QVERIFY(SaveSnapshot(list, false, path).ok());
        const QList<QByteArray> lines = read(path).split('\n');
        QCOMPARE(lines[1], QByteArray("\"a\",\"\",32,1,1\r"));
        QCOMPARE(lines[2], QByteArray("\"b\",\" \",32,1,1\r"));
        QCOMPARE(lines[3], QByteArray("\"c\",\"S\\\",32,1,1\r"));
        QCOMPARE(lines[4], QByteArray("\"d\",\" \",32,1,1\r"));
        QCOMPARE(lines[5], QByteArray("\"e\",\"\",32,1,1\r"));
    }

    // A folder whose text is one space must not be taken for "the previous entry's folder".
    void folderOfOneSpace() {
        QTemporaryDir dir;
        SnapshotList list;
        list.append(u"a", u"x\\", 32, 1, 1.0);
        list.append(u"b", u" ", 32, 1, 1.0);
        list.append(u"c", u" ", 32, 1, 1.0);
        const QString path = dir.filePath(QStringLiteral("space.dir"));
        QVERIFY(SaveSnapshot(list, false, path).ok());
        SnapshotList back;
        QVERIFY(ReadSnapshot(path, back).ok());
        QCOMPARE(back.size(), 3);
        QCOMPARE(back.folder(0), u"x\\");
        QCOMPARE(back.folder(1), u" ");
        QCOMPARE(back.folder(2), u" ");
    }

    // The entry count of the header must not make a small file take much memory.
    void headerCountIsOnlyAHint() {
        QTemporaryDir dir;
        SnapshotList list;
        const QString path =
            write(dir, "\"d\",\"s\",0,16000000,45000\r\n\"a\",\"\",32,1,45000\r\n");
        QVERIFY(ReadSnapshot(path, list).ok());
        QCOMPARE(list.size(), 1);
        QVERIFY(list.memoryBytes() < 4u << 20);
    }

    // Times of the calendar's first day lie below its serial (the fraction counts forward).
    void firstDayOfTheCalendar() {
        QTemporaryDir dir;
        SnapshotList list;
        const double noon = DateSerial::fromLocal(100, 1, 1, 12, 0, 0);
        list.append(u"old", u"", 32, 1, noon);
        list.created = DateSerial::fromLocal(100, 1, 1, 23, 59, 59);
        const QString path = dir.filePath(QStringLiteral("old.dir"));
        QVERIFY(SaveSnapshot(list, false, path).ok());
        SnapshotList back;
        QCOMPARE(ReadSnapshot(path, back).code, 0);
        QCOMPARE(back.entry(0).modified, noon);
        QCOMPARE(back.created, list.created);
        QVERIFY(!DateSerial::isValid(DateSerial::fromLocal(99, 12, 31, 23, 59, 59)));
    }

    void savedInListOrder() {
        QTemporaryDir dir;
        SnapshotList list;
        for (int k = 0; k < 5; ++k)
            list.append(QStringLiteral("f%1").arg(k), u"", 32, std::uint64_t(k * 10), 1.0);
        SortList(list, Col::SizeKey, 1);
        const QString path = dir.filePath(QStringLiteral("s.dir"));
        QVERIFY(SaveSnapshot(list, false, path).ok());
        SnapshotList back;
        QVERIFY(ReadSnapshot(path, back).ok());
        QCOMPARE(back.name(0), u"f4");
        QCOMPARE(back.name(4), u"f0");
    }

    void resultListsSaveTheMomentOfSaving() {
        QTemporaryDir dir;
        SnapshotList list;
        list.created = 100.0;
        const QString path = dir.filePath(QStringLiteral("r.dir"));
        QVERIFY(SaveSnapshot(list, true, path).ok());
        SnapshotList back;
        QVERIFY(ReadSnapshot(path, back).ok());
        QVERIFY(std::fabs(back.created - DateSerial::now()) < 10.0 / 86400);
        QVERIFY(SaveSnapshot(list, false, path).ok());
        QVERIFY(ReadSnapshot(path, back).ok());
        QCOMPARE(back.created, 100.0);
    }

    void headerOnly() {
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(ReadSnapshot(write(dir, "\"Empty\",\"src\",0,0,45000\r\n"), list).ok());
        QCOMPARE(list.size(), 0);
        QCOMPARE(list.description, QStringLiteral("Empty"));
    }

    // The first line alone, as the whole read takes it; damaged entries after it do not count.
    void headerAlone_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("source");
        QTest::addColumn<double>("created");
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("code");
        QTest::newRow("the example")
            << Example << QStringLiteral("Before install") << QStringLiteral("c: - C:\\Data\\*.*")
            << 36552.5427083333 << 3 << 0;
        QTest::newRow("escapes")
            << QByteArray("\"a|0Ab|22\",\"s|7C\",1,1,45000.5\r\n\"x\",\"\",32,1,1\r\n")
            << QStringLiteral("a\nb\"") << QStringLiteral("s|") << 45000.5 << 1 << 0;
        QTest::newRow("Windows code page")
            << QByteArray("\"Caf\xe9\",\"\x80\",0,1,45000\r\n\"\xe9\",\"\",32,1,45000\r\n")
            << QStringLiteral("Café") << QStringLiteral("€") << 45000.0 << 1 << 0;
        QTest::newRow("count above the entries")
            << QByteArray("\"d\",\"s\",0,10,45000\r\n\"a\",\"\",32,1,45000\r\n")
            << QStringLiteral("d") << QStringLiteral("s") << 45000.0 << 10 << 0;
        QTest::newRow("damaged entries")
            << QByteArray("\"d\",\"s\",0,2,45000\r\n\"a\",\"\",32,x,45000\r\n\"b\",\"\",32")
            << QStringLiteral("d") << QStringLiteral("s") << 45000.0 << 2 << 0;
        QTest::newRow("created not a number")
            << QByteArray("\"d\",\"s\",0,1,x\r\n") << QString() << QString() << 0.0 << 0 << 380;
        QTest::newRow("ends inside the header")
            << QByteArray("\"d\",\"s\",0") << QString() << QString() << 0.0 << 0 << 62;
    }
    void headerAlone() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, description);
        QFETCH(QString, source);
        QFETCH(double, created);
        QFETCH(int, entries);
        QFETCH(int, code);
        QTemporaryDir dir;
        SnapshotHeader header;
        header.description = QStringLiteral("left from before");
        QCOMPARE(ReadSnapshotHeader(write(dir, bytes), header).code, code);
        QCOMPARE(header.description, description);
        QCOMPARE(header.source, source);
        QCOMPARE(header.created, created);
        QCOMPARE(header.entries, entries);
    }

    void lenientLayout() {
        // Line feeds alone, blank lines and spaces around values are read as well.
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(ReadSnapshot(write(dir, "\"D\", \"S\" ,0,2,45000\n\n\"a\",\"\", 32 "
                                        ",5,45000.5\n\"b\",\" \",32,6,45000\n"),
                             list)
                    .ok());
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.entry(0).size, std::uint64_t(5));
        QCOMPARE(list.source, QStringLiteral("S"));
    }

    void windowsCodePage() {
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(
            ReadSnapshot(
                write(dir,
                      "\"Caf\xe9\",\"s\",0,1,45000\r\n\"\x80 \xe9t\xe9.txt\",\"\",32,1,45000\r\n"),
                list)
                .ok());
        QCOMPARE(list.description, QStringLiteral("Café"));
        QCOMPARE(list.name(0), QStringLiteral("€ été.txt"));
    }

    void errors_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::newRow("empty file") << QByteArray() << 62;
        QTest::newRow("ends inside the header") << QByteArray("\"d\",\"s\",0") << 62;
        QTest::newRow("ends inside an entry")
            << QByteArray("\"d\",\"s\",0,2,45000\r\n\"a\",\"\",32,1,45000\r\n\"b\",\"\",32") << 62;
        QTest::newRow("unterminated quote")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n\"a,\"\",32,1,1\r\n") << 62;
        QTest::newRow("attributes not a number")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n\"a\",\"\",abc,1,45000\r\n") << 380;
        QTest::newRow("attributes out of range")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n\"a\",\"\",4294967296,1,45000\r\n") << 380;
        QTest::newRow("negative size")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n\"a\",\"\",32,-1,45000\r\n") << 380;
        QTest::newRow("size past 64 bits")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n\"a\",\"\",32,18446744073709551616,45000\r\n")
            << 380;
        QTest::newRow("time not a number")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n\"a\",\"\",32,1,soon\r\n") << 380;
        QTest::newRow("time out of range")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n\"a\",\"\",32,1,1e300\r\n") << 380;
        QTest::newRow("created not a number") << QByteArray("\"d\",\"s\",0,1,x\r\n") << 380;
        QByteArray binary;
        for (int k = 0; k < 4096; ++k)
            binary.append(static_cast<char>((k * 7919) & 0xff));
        QTest::newRow("binary") << binary << -1;
    }
    void errors() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QTemporaryDir dir;
        SnapshotList list;
        const FileError err = ReadSnapshot(write(dir, bytes), list);
        QVERIFY(!err.ok());
        if (code > 0)
            QCOMPARE(err.code, code);
        QCOMPARE(err.message(), QStringLiteral("Not a valid Vistrel file"));
        QCOMPARE(list.size(), 0); // nothing that looks like a complete list
    }

    void openErrors() {
        QTemporaryDir dir;
        SnapshotList list;
        FileError err = ReadSnapshot(dir.filePath(QStringLiteral("missing.dir")), list);
        QCOMPARE(err.code, 53);
        QCOMPARE(err.message(), QStringLiteral("File not found"));
        err = ReadSnapshot(dir.filePath(QStringLiteral("no/such/folder.dir")), list);
        QCOMPARE(err.code, 76);
        QCOMPARE(err.message(), QStringLiteral("Path not found"));
        err = ReadSnapshot(dir.path(), list);
        QVERIFY(!err.ok());
        QVERIFY(!err.message().isEmpty());
    }

    // A named pipe with nobody writing reads as an empty file, and with nobody reading cannot
    // be written; neither waits.
    void namedPipes() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe.dir"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        SnapshotList list;
        QCOMPARE(ReadSnapshot(fifo, list).code, 62);
        QCOMPARE(SaveSnapshot(list, false, fifo).code, 68);
    }

    void saveToFullDisk() {
        SnapshotList list;
        list.append(u"a", u"", 32, 1, 1.0);
        const FileError err = SaveSnapshot(list, false, QStringLiteral("/dev/full"));
        QCOMPARE(err.code, 61);
        QCOMPARE(err.message(), QStringLiteral("Out of disk space"));
    }

    // A save that fails part way leaves the file it was to replace as it was.
    void failedSaveKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = write(dir, Example, "keep.dir");
        SnapshotList big;
        for (int k = 0; k < 200000; ++k)
            big.append(QStringLiteral("file%1.txt").arg(k), u"folder\\", 32, 1, 1.0);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64 * 1024;
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const FileError err = SaveSnapshot(big, false, path);
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(err.code, 61);
        QCOMPARE(read(path), Example);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.dir")});
    }

    void saveIntoMissingFolder() {
        QTemporaryDir dir;
        SnapshotList list;
        const FileError err = SaveSnapshot(list, false, dir.filePath(QStringLiteral("no/x.dir")));
        QCOMPARE(err.code, 76);
    }

    void saveKeepsPermissionsAndLinks() {
        QTemporaryDir dir;
        const QString target = write(dir, Example, "target.dir");
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        const QString link = dir.filePath(QStringLiteral("link.dir"));
        QVERIFY(QFile::link(target, link));
        SnapshotList list;
        list.description = QStringLiteral("new");
        QVERIFY(SaveSnapshot(list, false, link).ok());
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(read(target).startsWith("\"new\""));
        QCOMPARE(QFile::permissions(target) & QFileDevice::Permissions(0x7077),
                 QFile::ReadOwner | QFile::WriteOwner);
    }
};

QTEST_GUILESS_MAIN(TestSnapshotFile)
#include "tst_snapshotfile.moc"
