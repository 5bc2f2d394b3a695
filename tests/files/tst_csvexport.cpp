#include "files/CsvExport.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {
QByteArray exportBytes(const SnapshotList &list, const QLocale &locale,
                       CsvColumns columns = CsvColumns::Specified) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    const FileError err = exportCsv(list, path, EntryFormatter(locale), nullptr, columns);
    if (err)
        return "error " + QByteArray::number(err.code);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The records of a CSV text as a spreadsheet reads them: fields in double quotes, "" for a
// quote inside, any other byte (line breaks too) as it stands; records end in CR LF.
QList<QStringList> csvRecords(const QByteArray &csv) {
    QList<QStringList> records{{}};
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted && c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
            field += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == '\r')) {
            records.last() << QString::fromUtf8(field);
            field.clear();
            if (c == '\r' && i + 1 < csv.size() && csv[++i] == '\n')
                records.append(QStringList());
        } else {
            field += c;
        }
    }
    records.removeLast(); // what follows the last line end
    return records;
}
} // namespace

class TestCsvExport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lines_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("attr");
        QTest::addColumn<qulonglong>("size");
        QTest::addColumn<QDateTime>("modified");
        QTest::addColumn<QByteArray>("line");
        const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
        QTest::newRow("file in a subfolder")
            << gb << QStringLiteral("b.log") << QStringLiteral("Sub\\") << 32 << 56ull
            << QDateTime(QDate(2000, 1, 26), QTime(18, 0))
            << QByteArray("\"b.log\",\"Sub\\\",\"56\",\"26/01/2000 18:00:00\",\"32\"\r\n");
        QTest::newRow("folder") << gb << QStringLiteral("Sub") << QString() << 16 << 0ull
                                << QDateTime()
                                << QByteArray("\"Sub\",\"\",\"<dir>\",\"\",\"16\"\r\n");
        QTest::newRow("midnight") << gb << QStringLiteral("m") << QString() << 33 << 0ull
                                  << QDateTime(QDate(2001, 2, 3), QTime(0, 0))
                                  << QByteArray("\"m\",\"\",\"0\",\"03/02/2001\",\"33\"\r\n");
        QTest::newRow("grouped size")
            << gb << QStringLiteral("big") << QString() << 32 << 1000000ull
            << QDateTime(QDate(2001, 2, 3), QTime(1, 2, 3))
            << QByteArray("\"big\",\"\",\"1,000,000\",\"03/02/2001 01:02:03\",\"32\"\r\n");
        QTest::newRow("quote doubled")
            << gb << QStringLiteral("a \"b\"") << QStringLiteral("q\"\\") << 32 << 1ull
            << QDateTime(QDate(2001, 2, 3), QTime(1, 2, 3))
            << QByteArray("\"a \"\"b\"\"\",\"q\"\"\\\",\"1\",\"03/02/2001 01:02:03\",\"32\"\r\n");
        QTest::newRow("german")
            << QLocale(QLocale::German, QLocale::Germany) << QStringLiteral("ü") << QString() << 32
            << 1234567ull << QDateTime(QDate(2001, 2, 3), QTime(13, 2, 3))
            << QByteArray("\"\xc3\xbc\",\"\",\"1.234.567\",\"03.02.01 13:02:03\",\"32\"\r\n");
    }
    void lines() {
        QFETCH(QLocale, locale);
        QFETCH(QString, name);
        QFETCH(QString, folder);
        QFETCH(int, attr);
        QFETCH(qulonglong, size);
        QFETCH(QDateTime, modified);
        QFETCH(QByteArray, line);
        SnapshotList list;
        const double serial = modified.isValid()
                                  ? DateSerial::fromLocal(modified.date(), modified.time())
                                  : std::nan("");
        list.append(name, folder, attr, size, serial);
        QCOMPARE(exportBytes(list, locale), line);
    }

    // Every date a snapshot file holds, before 1900 too, and several entries at the same second
    // of the day: each field names its own date and time. The serials are made here from the
    // calendar, apart from the program's conversion.
    void everyDate() {
        const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
        const QDate epoch(1899, 12, 30);
        QRandomGenerator rng(5);
        SnapshotList list;
        QByteArray expected;
        for (int k = 0; k < 3000; ++k) {
            const QDate date =
                k % 3 == 0 ? epoch.addDays(rng.bounded(-3, 3))
                           : QDate(rng.bounded(100, 10000), rng.bounded(1, 13), rng.bounded(1, 29));
            // A handful of seconds of the day, so that many entries share one.
            const int secs = (k % 7) * 3607 + (k % 2) * 43200;
            const qint64 days = epoch.daysTo(date);
            const double serial =
                days < 0 ? double(days) - secs / 86400.0 : double(days) + secs / 86400.0;
            list.append(QStringLiteral("f%1").arg(k), u"", 32, 1, serial);
            QString when = gb.toString(date, QStringLiteral("dd/MM/yyyy"));
            if (secs != 0)
                when += u' ' + QTime(0, 0).addSecs(secs).toString(QStringLiteral("HH:mm:ss"));
            expected += "\"f" + QByteArray::number(k) + "\",\"\",\"1\",\"" + when.toUtf8() +
                        "\",\"32\"\r\n";
        }
        const QByteArray got = exportBytes(list, gb);
        const QList<QByteArray> gotLines = got.split('\n'), expectedLines = expected.split('\n');
        QCOMPARE(gotLines.size(), expectedLines.size());
        for (qsizetype k = 0; k < gotLines.size(); ++k)
            QCOMPARE(gotLines[k], expectedLines[k]);
    }

    void usTwelveHourTimes() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        SnapshotList list;
        list.append(u"x", u"", 32, 5, DateSerial::fromLocal(2000, 1, 26, 18, 0, 7));
        const QByteArray line = exportBytes(list, us);
        const QByteArray date = us.toString(QDate(2000, 1, 26), QLocale::ShortFormat).toUtf8();
        QVERIFY2(line.startsWith("\"x\",\"\",\"5\",\"" + date + " 6:00:07"), line.constData());
        QVERIFY2(line.endsWith("PM\",\"32\"\r\n"), line.constData());
    }

    void changedListExportsFiveFields() {
        SnapshotList from, changed;
        from.append(u"a", u"", 32, 10, 40000.5);
        const OrigValues orig{5, 40000.0, 33, 256 | 512 | 1};
        changed.appendCopy(from, 0, &orig);
        QCOMPARE(exportBytes(changed, QLocale(QLocale::English, QLocale::UnitedKingdom)),
                 QByteArray("\"a\",\"\",\"10\",\"06/07/2009 12:00:00\",\"32\"\r\n"));
    }

    // With details, a Changed link that now points elsewhere: its fields as a spreadsheet reads
    // them, the target as it is (a formula neutralised), an entry of the Original with none.
    void detailsAfterTheFiveFields() {
        SnapshotList original, final, changed;
        Details before;
        before.mode = 0120777;
        before.linkTarget = QStringLiteral("/opt/old");
        Details after = before;
        after.linkTarget = QStringLiteral("=cmd|\"x\"");
        original.append(u"l", original.internFolder(u""), 32, 8, 40000.5, before);
        final.append(u"l", final.internFolder(u""), 32, 8, 40000.5, after);
        final.append(u"plain", u"", 32, 1, 40000.5);
        Digest digest{};
        digest[31] = 0xAB;
        final.setDigest(1, digest);
        const OrigValues orig{8, 40000.5, 32, Differ::Link};
        changed.appendChanged(final, 0, orig, original, 0);
        const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
        QCOMPARE(csvRecords(exportBytes(changed, uk, CsvColumns::WithDetails)).value(0).mid(5),
                 (QStringList{QStringLiteral("lrwxrwxrwx"), QStringLiteral("root"),
                              QStringLiteral("root"), QStringLiteral("'=cmd|\"x\""), QString(),
                              QStringLiteral("link → =cmd|\"x\"")}));
        QCOMPARE(csvRecords(exportBytes(final, uk, CsvColumns::WithDetails)).value(1).mid(5),
                 (QStringList{QString(), QString(), QString(), QString(),
                              QString(62, u'0') + QStringLiteral("ab")}));
    }

    void replacesTheWholeFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.csv"));
        SnapshotList two, one;
        two.append(u"a", u"", 32, 1, 40000.0);
        two.append(u"b", u"", 32, 1, 40000.0);
        one.append(u"c", u"", 32, 1, 40000.0);
        const EntryFormatter f(QLocale(QLocale::English, QLocale::UnitedKingdom));
        QVERIFY(exportCsv(two, path, f).ok());
        QVERIFY(exportCsv(one, path, f).ok());
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        QCOMPARE(file.readAll(), QByteArray("\"c\",\"\",\"1\",\"06/07/2009\",\"32\"\r\n"));
    }

    // A cell that a spreadsheet would evaluate starts with "'"; every other one is the text.
    void formulaCells_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("neutralised");
        for (const char *t :
             {"=HYPERLINK(\"http://x/\",\"a, b\")", "@SUM(1;1)", "+1", "-2+3", "\tx", "\rx"})
            QTest::newRow(t) << QString::fromUtf8(t) << true;
        for (const char *t : {"a=b", " =1", "'q", "\n=1", "\"=\"", "x|3D"})
            QTest::newRow(t) << QString::fromUtf8(t) << false;
    }
    void formulaCells() {
        QFETCH(QString, text);
        QFETCH(bool, neutralised);
        const QString cell = (neutralised ? QStringLiteral("'") : QString()) + text;
        SnapshotList list;
        list.append(text, text + u'\\', 32, 1234, 40000.0);
        list.append(u"-1", u"", 16, 0, std::nan("")); // a name; sizes and attributes are numbers
        const QList<QStringList> expected{{cell, cell + u'\\', QStringLiteral("1,234"),
                                           QStringLiteral("06/07/2009"), QStringLiteral("32")},
                                          {QStringLiteral("'-1"), QString(),
                                           QStringLiteral("<dir>"), QString(),
                                           QStringLiteral("16")}};
        QCOMPARE(csvRecords(exportBytes(list, QLocale(QLocale::English, QLocale::UnitedKingdom))),
                 expected);
    }

    void fullDisk() {
        SnapshotList list;
        list.append(u"a", u"", 32, 1, 40000.0);
        QCOMPARE(exportCsv(list, QStringLiteral("/dev/full"), EntryFormatter()).code, 61);
    }
};

QTEST_GUILESS_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
