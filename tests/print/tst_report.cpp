#include "print/ReportLines.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Progress.h"
#include "snapshot/SnapshotList.h"

#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QLocale British(QLocale::English, QLocale::UnitedKingdom);
const QLocale American(QLocale::English, QLocale::UnitedStates);

// Entries written as "In Folder|Name|attributes|size|yyyy-MM-dd HH:mm"; a folder has the
// attribute bit 16 and no size or time.
SnapshotList makeList(const QString &description, const QStringList &items) {
    SnapshotList list;
    list.description = description;
    for (const QString &item : items) {
        const QStringList f = item.split(u'|');
        const int attr = f[2].toInt();
        double modified = std::nan("");
        if (!(attr & 16) && !f[4].isEmpty()) {
            const QDateTime t = QDateTime::fromString(f[4], u"yyyy-MM-dd HH:mm"_s);
            modified = DateSerial::fromLocal(t.date(), t.time());
        }
        list.append(f[1], f[0], attr, f[3].toULongLong(), modified);
    }
    return list;
}

QString spaces(int n) {
    return QString(n, u' ');
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lines_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("attributes");
        QTest::addColumn<QStringList>("lines");

        const QString file = u"|FILE.TXT|32|1234|1996-08-24 11:11"_s;
        const QString zero = u"|ZERO|0|0|1996-08-24 23:05"_s;
        const QString system = u"|IO.SYS|39|40774|1994-05-31 06:22"_s;
        const QString fileLine = u"24/08/1996  11:11"_s + spaces(12) + u"1,234  FILE.TXT"_s;
        const QString zeroLine = u"24/08/1996  23:05"_s + spaces(16) + u"0  ZERO"_s;
        const QString systemLine = u"31/05/1994  06:22"_s + spaces(11) + u"40,774  IO.SYS"_s;

        QTest::newRow("empty list")
            << British << QStringList() << false << QStringList{u"C:\\Data"_s};
        QTest::newRow("top level only") << British << QStringList{file, zero, u"|SUB|16||"_s}
                                        << false << QStringList{u"C:\\Data"_s, fileLine, zeroLine};
        QTest::newRow("without attributes")
            << British << QStringList{file, zero, system} << false
            << QStringList{u"C:\\Data"_s, fileLine, zeroLine, systemLine};
        QTest::newRow("with attributes")
            << British << QStringList{file, zero, system} << true
            << QStringList{u"C:\\Data"_s, fileLine + u" (Arc)"_s, zeroLine,
                           systemLine + u" (Sys,Hid,R/O,Arc)"_s};
        QTest::newRow("attributes above the known bits")
            << British << QStringList{u"|LINK|1024|5|1996-08-24 11:11"_s} << true
            << QStringList{u"C:\\Data"_s, u"24/08/1996  11:11"_s + spaces(16) + u"5  LINK ()"_s};
        QTest::newRow("only folders")
            << British
            << QStringList{u"|A|16||"_s, u"A\\|B|16||"_s, u"A\\|C|16||"_s, u"A\\B\\|D|16||"_s}
            << false << QStringList{u"C:\\Data"_s, QString(), u"A\\"_s, QString(), u"A\\B\\"_s};
        QTest::newRow("all in subfolders")
            << British << QStringList{u"X\\"_s + file, u"X\\"_s + zero, u"Y\\Z\\"_s + system}
            << false << QStringList{u"C:\\Data"_s, QString(), u"X\\"_s,    fileLine,
                                    zeroLine,      QString(), u"Y\\Z\\"_s, systemLine};
        QTest::newRow("folder with only subfolders")
            << British << QStringList{u"|A|16||"_s, u"A\\|B|16||"_s, u"A\\B\\"_s + file} << false
            << QStringList{u"C:\\Data"_s, QString(), u"A\\"_s, QString(), u"A\\B\\"_s, fileLine};
        QTest::newRow("folder coming back")
            << British << QStringList{u"X\\"_s + file, u"Y\\"_s + zero, u"X\\"_s + file} << false
            << QStringList{u"C:\\Data"_s, QString(), u"X\\"_s,  fileLine, QString(),
                           u"Y\\"_s,      zeroLine,  QString(), u"X\\"_s, fileLine};
        QTest::newRow("back to the top level")
            << British << QStringList{u"X\\"_s + file, zero} << false
            << QStringList{u"C:\\Data"_s, QString(), u"X\\"_s, fileLine, zeroLine};
        QTest::newRow("US formats")
            << American << QStringList{file, u"|BIG|0|5000000000|2001-02-03 14:05"_s} << false
            << QStringList{u"C:\\Data"_s,
                           u"8/24/96  11:11 AM"_s + spaces(12) + u"1,234  FILE.TXT"_s,
                           u"2/3/01  2:05 PM"_s + spaces(4) + u"5,000,000,000  BIG"_s};
        // A size wider than the field is shown whole, and pushes the name along.
        QTest::newRow("size longer than the field")
            << British << QStringList{u"|HUGE|0|123456789012345678|1996-08-24 11:11"_s} << false
            << QStringList{u"C:\\Data"_s, u"24/08/1996  11:11  123,456,789,012,345,678  HUGE"_s};
        // Names and folders from a file can hold anything; a terminal or printer gets no
        // control character.
        QTest::newRow("control characters")
            << British
            << QStringList{u"t\x1b]0;x\x07\\|e\x1b[2J|32|1|1996-08-24 11:11"_s,
                           u"t\x1b]0;x\x07\\|c\u009b1m\x7f|32|1|1996-08-24 11:11"_s}
            << false
            << QStringList{u"C:\\Data"_s, QString(), u"t|1B]0;x|07\\"_s,
                           u"24/08/1996  11:11"_s + spaces(16) + u"1  e|1B[2J"_s,
                           u"24/08/1996  11:11"_s + spaces(16) + u"1  c|9B1m|7F"_s};
        QTest::newRow("no time") << British << QStringList{u"|ODD|0|7|"_s} << false
                                 << QStringList{u"C:\\Data"_s, u"  "_s + spaces(14) + u"7  ODD"_s};
    }

    void lines() {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, items);
        QFETCH(bool, attributes);
        QFETCH(QStringList, lines);

        const SnapshotList list = makeList(u"C:\\Data"_s, items);
        const EntryFormatter format(locale);
        QCOMPARE(reportLines(list, attributes, format), lines);

        QStringList streamed;
        Progress progress;
        writeReport(
            list, attributes, format, [&streamed](const QString &line) { streamed << line; },
            &progress);
        QCOMPARE(streamed, lines);
        QCOMPARE(progress.total.load(), list.size());
    }

    void progressAtHeadings() {
        const SnapshotList list =
            makeList(u"T"_s, {u"|A|0|1|2000-01-01 00:00"_s, u"|B|0|1|2000-01-01 00:00"_s,
                              u"X\\|C|0|1|2000-01-01 00:00"_s, u"X\\|D|0|1|2000-01-01 00:00"_s});
        const auto fileLine = [](QStringView name) {
            return u"01/01/2000  00:00"_s + spaces(16) + u"1  "_s + name.toString();
        };
        const QString lineA = fileLine(u"A"), lineB = fileLine(u"B"), lineC = fileLine(u"C"),
                      lineD = fileLine(u"D");
        Progress progress;
        QStringList seen;
        writeReport(
            list, false, EntryFormatter(British),
            [&](const QString &line) { seen << u"%1:%2"_s.arg(progress.count.load()).arg(line); },
            &progress);
        // The count moves on at each new folder, once its heading is out.
        QCOMPARE(seen, (QStringList{u"0:T"_s, u"1:"_s + lineA, u"1:"_s + lineB, u"1:"_s, u"1:X\\"_s,
                                    u"3:"_s + lineC, u"3:"_s + lineD}));
        QCOMPARE(progress.count.load(), 3);

        // Cancelled at the second folder's heading: the entry under way is the last.
        seen.clear();
        Progress cancelled;
        writeReport(
            list, false, EntryFormatter(British),
            [&](const QString &line) {
                seen << line;
                if (line == u"X\\"_s)
                    cancelled.cancel();
            },
            &cancelled);
        QCOMPARE(seen, (QStringList{u"T"_s, lineA, lineB, QString(), u"X\\"_s, lineC}));
    }

    void sizeField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("zero") << u"0"_s << spaces(14) + u"0"_s;
        QTest::newRow("thousands") << u"1,234"_s << spaces(10) + u"1,234"_s;
        QTest::newRow("fourteen") << u"99,999,999,999"_s << u" 99,999,999,999"_s;
        QTest::newRow("fifteen") << u"999,999,999,999"_s << u"999,999,999,999"_s;
        QTest::newRow("1 TB") << u"1,000,000,000,000"_s << u"1,000,000,000,000"_s;
        QTest::newRow("2^63") << u"9,223,372,036,854,775,808"_s << u"9,223,372,036,854,775,808"_s;
        QTest::newRow("longest") << u"18,446,744,073,709,551,615"_s
                                 << u"18,446,744,073,709,551,615"_s;
    }

    void sizeField() {
        QFETCH(QString, text);
        QFETCH(QString, field);
        QCOMPARE(reportSizeField(text), field);
    }

    void estimate_data() {
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("portrait");
        QTest::addColumn<QString>("text");

        const auto pages = [](int n, int lines) {
            return u"Approximately %1 page(s) of printout at %2 lines per page"_s.arg(n).arg(lines);
        };
        QTest::newRow("empty, portrait") << 0 << true << u"(nothing to print)"_s;
        QTest::newRow("empty, landscape") << 0 << false << u"(nothing to print)"_s;
        QTest::newRow("1, portrait") << 1 << true << pages(1, 64);
        QTest::newRow("1, landscape") << 1 << false << pages(1, 43);
        QTest::newRow("42, landscape") << 42 << false << pages(1, 43);
        QTest::newRow("43, landscape") << 43 << false << pages(2, 43);
        QTest::newRow("63, portrait") << 63 << true << pages(1, 64);
        QTest::newRow("64, portrait") << 64 << true << pages(2, 64);
        QTest::newRow("100, portrait") << 100 << true << pages(2, 64);
        QTest::newRow("128, portrait") << 128 << true << pages(3, 64);
        QTest::newRow("no digit grouping") << 1000000 << true << pages(15626, 64);
        QTest::newRow("no digit grouping, landscape") << 1000000 << false << pages(23256, 43);
    }

    void estimate() {
        QFETCH(int, entries);
        QFETCH(bool, portrait);
        QFETCH(QString, text);
        QCOMPARE(pageEstimateText(entries, portrait), text);
    }

    void estimateText() {
        // The dialog's example, word for word.
        QCOMPARE(pageEstimateText(100, true),
                 u"Approximately 2 page(s) of printout at 64 lines per page"_s);
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
