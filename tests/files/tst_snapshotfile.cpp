#include "files/SnapshotFile.h"
#include "fuzz/ReferenceReader.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/NameCodec.h"
#include "snapshot/RootPackages.h"
#include "snapshot/SnapshotList.h"
#include "sort/ColumnSorts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

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
        for (int c = 0; c < Col::PlainCount; ++c)
            cols << f.text(list, i, c);
        out << cols.join(u'|');
    }
    return out;
}

// Everything a read gives, a line for each fact: the error, the metadata, the folder table in
// number order, the limits, the entries (times by their bits) and the sort state.
QStringList everything(const SnapshotList &list, const FileError &err) {
    const auto bits = [](double d) { return QString::number(std::bit_cast<quint64>(d), 16); };
    QStringList out{QString::number(err.code) + u' ' + err.message(), list.description, list.source,
                    bits(list.created)};
    for (std::uint32_t id = 0; id < list.folders().size(); ++id)
        out << QStringLiteral("folder ") + list.folders().text(id);
    for (std::size_t k = 0; k < list.limits.size(); ++k)
        out << QStringLiteral("limit %1 ").arg(list.limits[k].folder) + list.limitText(k);
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        out << list.name(i).toString() + u'|' + QString::number(e.folder) + u'|' +
                   QString::number(e.attr) + u'|' + QString::number(e.size) + u'|' +
                   bits(e.modified);
    }
    out << QStringLiteral("sorted by %1, order %2").arg(list.sort.key).arg(list.sort.order);
    return out;
}

// A list with folders of 1 to 12 entries (each folder's own entry first), the names taken from
// `names` in turn.
SnapshotList sampleList(int n, const QStringList &names, const QStringList &folders) {
    SnapshotList list;
    list.description = QStringLiteral("Sample");
    list.source = QStringLiteral("/ - /data/*.*");
    list.created = DateSerial::fromLocal(2024, 5, 6, 7, 8, 9);
    for (int k = 0, f = 0; list.size() < n; ++f) {
        const QString folder = folders[f % folders.size()] + QString::number(f) + u'\\';
        list.append(QStringLiteral("sub%1").arg(f), folder, 16, 0, std::nan(""));
        for (int i = 0; i < f % 12 && list.size() < n; ++i, ++k)
            list.append(names[k % names.size()] + QString::number(k), folder, 32,
                        std::uint64_t(k) * 7919, 45000.0 + k / 1440.0);
    }
    return list;
}

QByteArray savedBytes(const SnapshotList &list) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.dir"));
    if (!saveSnapshot(list, false, path).ok())
        return {};
    return read(path);
}

// A header stating `entries` entries, in seven digits, so that its length is the same for any.
QByteArray plainHeader(int entries) {
    return "\"d\",\"s\",0," + QByteArray::number(entries).rightJustified(7, '0') + ",45000\r\n";
}

// Plain entry lines: `count` of them from `line`, which may use %1 for the line's number.
QByteArray lines(const char *line, int count, int from = 0) {
    QByteArray out;
    for (int k = from; k < from + count; ++k)
        out += QByteArray(line).replace("%1", QByteArray::number(k));
    return out;
}

} // namespace

class TestSnapshotFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTheExample() {
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(readSnapshot(write(dir, Example), list).ok());
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
        QVERIFY(readSnapshot(write(dir, Example), list).ok());
        const QString out = dir.filePath(QStringLiteral("out.dir"));
        QVERIFY(saveSnapshot(list, false, out).ok());
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
        QVERIFY(saveSnapshot(list, false, path).ok());
        const QByteArray bytes = read(path);
        QCOMPARE(bytes.count("\r\n"), 5); // one line each, whatever the names hold
        QVERIFY(bytes.endsWith("\r\n"));
        SnapshotList back;
        QVERIFY(readSnapshot(path, back).ok());
        QCOMPARE(back.description, list.description);
        QCOMPARE(back.source, list.source);
        QCOMPARE(back.created, list.created);
        QCOMPARE(rows(back), rows(list));
        QCOMPARE(back.entry(0).size, std::uint64_t(3000000000ULL));
        QVERIFY(!back.hasPackages());

        // The owners go with the entries, whatever their texts hold, and a file that has them
        // keeps them where no package database knows its root.
        auto owners = std::make_shared<OwnerTexts>();
        const std::vector<std::uint32_t> sets = {owners->intern(u"p"_s + name), OwnerTexts::Unowned,
                                                 owners->intern(u"p"_s + folder),
                                                 owners->intern(u"p"_s + name)};
        list.setPackages(owners, sets);
        QVERIFY(saveSnapshot(list, false, path).ok());
        QCOMPARE(read(path).count("\r\n"), 5);
        SnapshotList owned;
        QVERIFY(readSnapshot(path, owned).ok());
        QCOMPARE(rows(owned), rows(list));
        QVERIFY(RootPackages::attach(owned).isEmpty());
        QVERIFY(owned.hasPackages());
        for (int i = 0; i < list.size(); ++i)
            QCOMPARE(owned.packageText(i), list.packageText(i));
        QVERIFY(saveSnapshot(list, false, path, nullptr, DetailsInFile::LeaveOut).ok());
        SnapshotList plain;
        QVERIFY(readSnapshot(path, plain).ok());
        QVERIFY(!plain.hasPackages());
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
            << QByteArray("\"Before|2Ainstall\",\"s\",9,1,45000\r\n\"x|41\",\"\",32,1,45000\r\n")
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
        QVERIFY(readSnapshot(write(dir, file), list).ok());
        QCOMPARE(list.description, description);
        QCOMPARE(list.name(0), name);
        // Written again, the file holds escapes and says so; read back, nothing has changed.
        const QString path = dir.filePath(QStringLiteral("again.dir"));
        QVERIFY(saveSnapshot(list, false, path).ok());
        const QByteArray escaped =
            QString(description).replace(QStringLiteral("|"), QStringLiteral("|7C")).toUtf8();
        QVERIFY(read(path).startsWith("\"" + escaped + "\",\"s\",1,1,"));
        SnapshotList back;
        QVERIFY(readSnapshot(path, back).ok());
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
        QVERIFY(saveSnapshot(list, false, path).ok());
        QVERIFY(read(path).startsWith("\"Before install\",\"\",0,1,"));
        list.append(u"pi|pe", u"Sub\\", 32, 1, 45000.0);
        QVERIFY(saveSnapshot(list, false, path).ok());
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
        QVERIFY(saveSnapshot(list, false, path).ok());
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
        QVERIFY(saveSnapshot(list, false, path).ok());
        SnapshotList back;
        QVERIFY(readSnapshot(path, back).ok());
        QCOMPARE(back.size(), 3);
        QCOMPARE(back.folder(0), u"x\\");
        QCOMPARE(back.folder(1), u" ");
        QCOMPARE(back.folder(2), u" ");
    }

    // The header's entry count is the number of entry lines: any other tells a file cut short
    // at a line end or lengthened, and the message names both numbers. A huge count in a small
    // file costs no memory either way.
    void entryCount_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QByteArray two = "\"a\",\"\",32,1,45000\r\n\"b\",\" \",16,0,0\r\n";
        QTest::newRow("true count") << "\"d\",\"s\",0,2,45000\r\n" + two << 0 << QString();
        QTest::newRow("no entries") << QByteArray("\"d\",\"s\",0,0,45000\r\n") << 0 << QString();
        QTest::newRow("cut at a line end")
            << "\"d\",\"s\",0,3,45000\r\n" + two << 63
            << QStringLiteral(
                   "Not a valid Vistrel file: the header's entry count is 3, but the file holds 2");
        QTest::newRow("lines added")
            << "\"d\",\"s\",0,1,45000\r\n" + two << 63
            << QStringLiteral(
                   "Not a valid Vistrel file: the header's entry count is 1, but the file holds 2");
        QTest::newRow("far above") << "\"d\",\"s\",0,16000000,45000\r\n" + two << 63
                                   << QStringLiteral("Not a valid Vistrel file: the header's entry "
                                                     "count is 16000000, but the file holds 2");
        QTest::newRow("negative") << QByteArray("\"d\",\"s\",0,-1,45000\r\n") << 63
                                  << QStringLiteral("Not a valid Vistrel file: the header's entry "
                                                    "count is -1, but the file holds 0");
        QTest::newRow("not a number") << "\"d\",\"s\",0,x,45000\r\n" + two << 380
                                      << QStringLiteral("Not a valid Vistrel file");
    }
    void entryCount() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(QString, message);
        QTemporaryDir dir;
        SnapshotList list;
        const FileError err = readSnapshot(write(dir, bytes), list);
        QCOMPARE(err.code, code);
        QCOMPARE(err.message(), message);
        QCOMPARE(list.size(), code ? 0 : int(bytes.count('\n')) - 1);
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
        QVERIFY(saveSnapshot(list, false, path).ok());
        SnapshotList back;
        QCOMPARE(readSnapshot(path, back).code, 0);
        QCOMPARE(back.entry(0).modified, noon);
        QCOMPARE(back.created, list.created);
        QVERIFY(!DateSerial::isValid(DateSerial::fromLocal(99, 12, 31, 23, 59, 59)));
    }

    // Times are written as printf's "%.15G" writes them, whatever the value: the serials of
    // every day in the calendar with random times, values that lie halfway between two texts,
    // and values that round up to one more digit before the point.
    void timesAsPrintfWritesThem_data() {
        QTest::addColumn<QList<double>>("times");
        std::mt19937_64 rng(7);
        const double first = DateSerial::fromLocal(100, 1, 1, 0, 0, 0);
        const double last = DateSerial::fromLocal(9999, 12, 31, 23, 59, 59);
        QList<double> random, halfway, carries;
        std::uniform_real_distribution<double> any(first, last);
        for (int k = 0; k < 100000; ++k) {
            random << any(rng);
            random << std::floor(any(rng)) + double(rng() % 86400) / 86400;
        }
        // k / 2^n has few binary digits, so its exact decimal text often ends in a 5 just past
        // the fifteenth digit.
        for (int n = 1; n <= 40; ++n) {
            for (int k = 0; k < 200; ++k)
                halfway << std::ldexp(double(rng() % (std::uint64_t(2000000) << n)), -n) *
                               (k % 2 ? 1 : -1);
        }
        for (double p = 1; p <= 1e7; p *= 10) {
            double v = p;
            for (int k = 0; k < 1000; ++k, v = std::nextafter(v, 0.0))
                carries << v << -v;
        }
        QTest::newRow("random") << random;
        QTest::newRow("halfway") << halfway;
        QTest::newRow("carries") << carries;
    }
    void timesAsPrintfWritesThem() {
        QFETCH(QList<double>, times);
        SnapshotList list;
        for (double t : times) {
            if (DateSerial::isValid(t))
                list.append(u"f", u"", 32, 1, t);
        }
        QVERIFY(list.size() > times.size() / 2);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.dir"));
        QVERIFY(saveSnapshot(list, false, path).ok());
        const QList<QByteArray> lines = read(path).split('\n');
        QCOMPARE(lines.size(), list.size() + 2);
        for (int i = 0; i < list.size(); ++i) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%.15G", list.entry(i).modified);
            const QByteArray line = lines[i + 1];
            const QByteArray written = line.mid(line.lastIndexOf(',') + 1).chopped(1);
            if (written != expected)
                QFAIL(qPrintable(QStringLiteral("%1 written as %2, not %3")
                                     .arg(list.entry(i).modified, 0, 'g', 17)
                                     .arg(QLatin1String(written), QLatin1String(expected))));
        }
    }

    void savedInListOrder() {
        QTemporaryDir dir;
        SnapshotList list;
        for (int k = 0; k < 5; ++k)
            list.append(QStringLiteral("f%1").arg(k), u"", 32, std::uint64_t(k * 10), 1.0);
        sortList(list, Col::SizeKey, 1);
        const QString path = dir.filePath(QStringLiteral("s.dir"));
        QVERIFY(saveSnapshot(list, false, path).ok());
        SnapshotList back;
        QVERIFY(readSnapshot(path, back).ok());
        QCOMPARE(back.name(0), u"f4");
        QCOMPARE(back.name(4), u"f0");
    }

    void resultListsSaveTheMomentOfSaving() {
        QTemporaryDir dir;
        SnapshotList list;
        list.created = 100.0;
        const QString path = dir.filePath(QStringLiteral("r.dir"));
        QVERIFY(saveSnapshot(list, true, path).ok());
        SnapshotList back;
        QVERIFY(readSnapshot(path, back).ok());
        QVERIFY(std::fabs(back.created - DateSerial::now()) < 10.0 / 86400);
        QVERIFY(saveSnapshot(list, false, path).ok());
        QVERIFY(readSnapshot(path, back).ok());
        QCOMPARE(back.created, 100.0);
    }

    void headerOnly() {
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(readSnapshot(write(dir, "\"Empty\",\"src\",0,0,45000\r\n"), list).ok());
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
        QTest::newRow("count not a number")
            << QByteArray("\"d\",\"s\",0,x,45000\r\n") << QString() << QString() << 0.0 << 0 << 380;
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
        QCOMPARE(readSnapshotHeader(write(dir, bytes), header).code, code);
        QCOMPARE(header.description, description);
        QCOMPARE(header.source, source);
        QCOMPARE(header.created, created);
        QCOMPARE(header.entries, entries);
    }

    void lenientLayout() {
        // Line feeds alone, blank lines and spaces around values are read as well.
        QTemporaryDir dir;
        SnapshotList list;
        QVERIFY(readSnapshot(write(dir, "\"D\", \"S\" ,0,2,45000\n\n\"a\",\"\", 32 "
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
            readSnapshot(
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
        const FileError err = readSnapshot(write(dir, bytes), list);
        QVERIFY(!err.ok());
        if (code > 0)
            QCOMPARE(err.code, code);
        QCOMPARE(err.message(), QStringLiteral("Not a valid Vistrel file"));
        QCOMPARE(list.size(), 0); // nothing that looks like a complete list
    }

    // The reader parses fields in place, in blocks of the file, and parses a record again when
    // it runs past a block. On saved lists with hostile names, files of other writers and damaged
    // files it gives what the plain field-by-field reader gives: the same entries, folder
    // numbers, limits and metadata, or the same error.
    void readsAsTheFieldByFieldReader_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected"); // the rows of the list saved, if one was
        const QStringList plainNames{QStringLiteral("setup.exe"), QStringLiteral("readme.txt"),
                                     QStringLiteral("core.dll")};
        const QStringList plainFolders{QStringLiteral("Program Files\\Vendor\\"),
                                       QStringLiteral("Windows\\System32\\")};
        const SnapshotList plain = sampleList(3000, plainNames, plainFolders);
        QTest::newRow("saved list") << savedBytes(plain) << rows(plain);

        const QString longName = QString(400000, QChar(u'語')) + QStringLiteral("😀");
        const QStringList hostileNames{QStringLiteral("back\\slash"),
                                       QStringLiteral("two\nlines"),
                                       QStringLiteral("cr\r\nlf"),
                                       QStringLiteral("say \"hi\""),
                                       QStringLiteral("pipe|41"),
                                       QStringLiteral("a, b"),
                                       QStringLiteral("😀 smile"),
                                       QStringLiteral("İstanbul"),
                                       NameCodec::fromBytes("caf\xe9 \xff\x01"),
                                       QStringLiteral(" ")};
        const QStringList hostileFolders{QString(5000, u'x') + QStringLiteral("\\deep\\"),
                                         QStringLiteral("home\\user\\.cache\\名前\\İ\\"),
                                         NameCodec::fromBytes("old\xa0"
                                                              "code\\page"),
                                         QStringLiteral("line\nbreak\\")};
        SnapshotList hostile = sampleList(2000, hostileNames, hostileFolders);
        hostile.append(longName, u"long\\", 32, 1, 45000.0);
        hostile.append(u"in a folder of one space", u" ", 32, 1, 45000.0);
        hostile.append(u"again", u" ", 32, 2, 45000.0);
        hostile.append(u"after", u"x\\", 32, 3, 45000.0);
        QTest::newRow("hostile names") << savedBytes(hostile) << rows(hostile);

        // Files of other writers, which the reader takes as they come.
        QTest::newRow("line breaks inside quotes")
            << plainHeader(400) + lines("\"a\r\nb%1\",\"F%1\\\r\n\",32,1,45000\r\n", 400)
            << QStringList();
        QTest::newRow("records spanning lines")
            << plainHeader(800) +
                   lines("\"a%1\",\"F\\\"\r\n32\r\n1,45000\n\"b%1\",\" \",32,1,45000\n", 400)
            << QStringList();
        QTest::newRow("two records on a line")
            << plainHeader(800) +
                   lines("\"a%1\",\"F%1\\\",32,1,45000,\"b\",\" \",32,2,45000\n", 400)
            << QStringList();
        QTest::newRow("blank lines and spaces")
            << plainHeader(400) + lines("\r\n  \"a%1\" , \"F%1\\\" ,32 , 1,45000 \r\n\n\t\n", 400)
            << QStringList();
        QTest::newRow("one folder throughout")
            << plainHeader(2001) + "\"a\",\"F\\\",32,1,45000\r\n" +
                   lines("\"a%1\",\" \",32,1,45000\r\n", 2000)
            << QStringList();

        // Damaged files: the first fault in file order decides.
        const QByteArray good = lines("\"a%1\",\"F%1\\\",32,1,45000\r\n", 300);
        const QByteArray more = lines("\"b%1\",\"G%1\\\",32,1,45000\r\n", 300);
        const QByteArray badValue = "\"x\",\"\",32,abc,45000\r\n";
        const QByteArray badTime = "\"x\",\"\",32,1,1e300\r\n";
        const QByteArray notUtf8 = "\"caf\xe9\",\"\",32,1,45000\r\n";
        QTest::newRow("bad value late")
            << plainHeader(601) + good + more + badValue << QStringList();
        QTest::newRow("bad value early, bad time late")
            << plainHeader(602) + badValue + good + more + badTime << QStringList();
        QTest::newRow("bad values in the middle and late")
            << plainHeader(602) + good + badTime + more + badValue << QStringList();
        QTest::newRow("cut inside a record")
            << plainHeader(601) + good + more + "\"x\",\"\",32" << QStringList();
        QTest::newRow("unterminated quote late")
            << plainHeader(601) + good + more + "\"x,\"\",32,1,1\r\n"
            << QStringList();
        QTest::newRow("unterminated quote early")
            << plainHeader(601) + "\"x,\"\",32,1,1\r\n" + good + more << QStringList();
        QTest::newRow("Windows code page late")
            << plainHeader(601) + good + more + notUtf8 << QStringList();
        QTest::newRow("Windows code page, then a bad value")
            << plainHeader(602) + good + notUtf8 + more + badValue << QStringList();
        QTest::newRow("a bad value, then Windows code page")
            << plainHeader(602) + good + badValue + more + notUtf8 << QStringList();
        QTest::newRow("count far below the entries")
            << QByteArray("\"d\",\"s\",0,1,45000\r\n") + good + more << QStringList();
    }
    void readsAsTheFieldByFieldReader() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QVERIFY(!bytes.isEmpty());
        QTemporaryDir dir;
        const QString path = write(dir, bytes);
        SnapshotList list, model;
        const FileError err = readSnapshot(path, list);
        const FileError modelErr = ReadSnapshotFieldByField(path, model);
        if (!expected.isEmpty()) {
            QVERIFY(err.ok());
            QCOMPARE(rows(list), expected);
        }
        const QStringList got = everything(list, err), want = everything(model, modelErr);
        for (qsizetype k = 0; k < std::min(got.size(), want.size()); ++k)
            QCOMPARE(got[k], want[k]);
        QCOMPARE(got.size(), want.size());
    }

    // The file is read in blocks of a mebibyte; a record that runs past the end of a block is
    // parsed again from its start once the next block is in. Each record here is placed to
    // begin at every place from 40 bytes before a block's end to the end itself, so the end
    // falls inside each of its parts in turn.
    void recordsAcrossBlockEnds_data() {
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("line ends CR LF") << QByteArray("\"name.txt\",\"Dir\\\",32,12,45000.5\r\n");
        QTest::newRow("line feed alone") << QByteArray("\"name.txt\",\" \",32,12,45000.5\n");
        QTest::newRow("spaces and blank lines")
            << QByteArray("  \"a, b\" ,\t\"Dir\\\" , 32 , 12 , 45000.5 \r\n\r\n  \n");
        QTest::newRow("text after a closing quote")
            << QByteArray("\"name\"junk,\"Dir\\\"x,32,12,45000.5\r\n");
        QTest::newRow("a folder entry") << QByteArray("\"Sub\",\"Dir\\\",16,0,0\r\n");
        QTest::newRow("a bad value") << QByteArray("\"name\",\"\",32,1x2,45000\r\n");
        QTest::newRow("not UTF-8") << QByteArray("\"caf\xe9\",\"\xe9\\\",32,1,45000\r\n");
        QTest::newRow("cut at the end") << QByteArray("\"name\",\"\",32,1");
        QTest::newRow("last line without a line end") << QByteArray("\"name\",\"\",32,1,45000");
        QTest::newRow("last line ends with CR") << QByteArray("\"name\",\"\",32,1,45000\r");
    }
    void recordsAcrossBlockEnds() {
        QFETCH(QByteArray, record);
        constexpr qsizetype Block = 1 << 20;
        const QByteArray line =
            "\"filler-" + QByteArray(1000, 'n') + ".dat\",\" \",32,4096,45000.25\r\n";
        QTemporaryDir dir;
        for (qsizetype before = 0; before <= 40; ++before) {
            // Lines of the same length up to near the place, then one of the length that leaves
            // the record starting exactly there.
            QByteArray bytes = plainHeader(0) + "\"first\",\"Dir\\\",32,1,45000\r\n";
            int entries = 3; // the first, the pad and the record
            const qsizetype at = Block - before;
            for (; bytes.size() + line.size() + 1200 < at; ++entries)
                bytes += line;
            const QByteArray start = "\"pad", end = "\",\" \",32,1,45000\r\n";
            bytes += start + QByteArray(at - bytes.size() - start.size() - end.size(), 'x') + end;
            QCOMPARE(bytes.size(), at);
            bytes += record;
            if (record.endsWith('\n')) {
                bytes += line;
                ++entries;
            }
            bytes.replace(0, plainHeader(0).size(), plainHeader(entries));
            const QString path = write(dir, bytes);
            SnapshotList list, model;
            const FileError err = readSnapshot(path, list);
            const FileError modelErr = ReadSnapshotFieldByField(path, model);
            QCOMPARE(err.code, modelErr.code);
            QCOMPARE(everything(list, err), everything(model, modelErr));
        }
    }

    void openErrors() {
        QTemporaryDir dir;
        SnapshotList list;
        FileError err = readSnapshot(dir.filePath(QStringLiteral("missing.dir")), list);
        QCOMPARE(err.code, 53);
        QCOMPARE(err.message(), QStringLiteral("File not found"));
        err = readSnapshot(dir.filePath(QStringLiteral("no/such/folder.dir")), list);
        QCOMPARE(err.code, 76);
        QCOMPARE(err.message(), QStringLiteral("Path not found"));
        err = readSnapshot(dir.path(), list);
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
        QCOMPARE(readSnapshot(fifo, list).code, 62);
        QCOMPARE(saveSnapshot(list, false, fifo).code, 68);
    }

    void saveToFullDisk() {
        SnapshotList list;
        list.append(u"a", u"", 32, 1, 1.0);
        const FileError err = saveSnapshot(list, false, QStringLiteral("/dev/full"));
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
        const FileError err = saveSnapshot(big, false, path);
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(err.code, 61);
        QCOMPARE(read(path), Example);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.dir")});
    }

    void saveIntoMissingFolder() {
        QTemporaryDir dir;
        SnapshotList list;
        const FileError err = saveSnapshot(list, false, dir.filePath(QStringLiteral("no/x.dir")));
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
        QVERIFY(saveSnapshot(list, false, link).ok());
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(read(target).startsWith("\"new\""));
        QCOMPARE(QFile::permissions(target) & QFileDevice::Permissions(0x7077),
                 QFile::ReadOwner | QFile::WriteOwner);
    }
};

QTEST_GUILESS_MAIN(TestSnapshotFile)
#include "tst_snapshotfile.moc"
