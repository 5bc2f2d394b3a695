#include "compare/Comparison.h"
#include "compare/TimeShift.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Workspace.h"

#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int Hour = 3600;

const QLocale enGB(QLocale::English, QLocale::UnitedKingdom);

// A local moment, and the moment `seconds` after it as a snapshot holds it (whole seconds).
struct Moment {
    QDate date;
    QTime time;

    double serial(qint64 seconds = 0) const {
        const qint64 total = time.msecsSinceStartOfDay() / 1000 + seconds;
        const qint64 days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
        const int rest = static_cast<int>(total - days * 86400);
        return DateSerial::fromLocal(date.addDays(days),
                                     QTime::fromMSecsSinceStartOfDay(rest * 1000));
    }
};

// Where the edges lie must not depend on the moment: early in the day, at an odd second, late
// in the calendar, and before 1900, where a serial's fraction runs backwards.
const Moment Moments[] = {
    {QDate(2024, 3, 31), QTime(0, 30)},
    {QDate(2023, 10, 29), QTime(13, 17, 41)},
    {QDate(9999, 12, 30), QTime(8, 0)},
    {QDate(1850, 3, 1), QTime(20, 0, 5)},
};

CompareOptions options(const QString &tolerance, bool ignoreHourShifts) {
    CompareOptions o;
    o.reset(ListNo::Original);
    o.tolerance = tolerance;
    o.ignoreHourShifts = ignoreHourShifts;
    return o;
}

// Compares one file with the same file at another time and size; returns the list it lands in.
int compareOne(Workspace &ws, double original, double final, std::uint64_t finalSize,
               CompareOptions o, int originalAttr = 32) {
    for (int n = ListNo::Original; n <= ListNo::Final; ++n)
        ws.list(n).clearEntries();
    ws.list(ListNo::Original).append(u"f.txt", u"", originalAttr, 10, original);
    ws.list(ListNo::Final).append(u"f.txt", u"", 32, finalSize, final);
    return RunComparison(ws, o);
}

} // namespace

class TestTimeShift : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resetClearsTheOption() {
        CompareOptions o;
        o.ignoreHourShifts = true;
        o.reset(ListNo::Final);
        QVERIFY(!o.ignoreHourShifts);
    }

    // A file whose time moved by `shift` seconds, nothing else changed: the list it lands in
    // with shifts of whole hours ignored, and without; at each of the moments.
    void rule_data() {
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<int>("moment");
        QTest::addColumn<qint64>("shift");
        QTest::addColumn<int>("ignoring");
        QTest::addColumn<int>("counting");
        auto row = [](const QString &name, const char *tolerance, qint64 shift, bool same) {
            for (int k = 0; k < int(std::size(Moments)); ++k) {
                QTest::addRow("%s at %s, moment %d", qPrintable(name), tolerance, k)
                    << QString::fromLatin1(tolerance) << k << shift
                    << (same ? int(ListNo::Unchanged) : int(ListNo::Changed))
                    << int(ListNo::Changed);
            }
        };
        for (int h : {1, 2, 13, 14}) {
            row(u"%1 h"_s.arg(h), "0", qint64(h) * Hour, true);
            row(u"%1 h earlier"_s.arg(h), "0", -qint64(h) * Hour, true);
        }
        // The tolerance "0" is 6 s, "1" is 66 s.
        const struct {
            int hours;
            const char *tolerance;
            int seconds;
        } edges[] = {{1, "0", 6}, {2, "1", 66}, {13, "0", 6}, {14, "1", 66}};
        for (const auto &e : edges) {
            const qint64 base = qint64(e.hours) * Hour;
            for (int s : {e.seconds, e.seconds + 1}) {
                const bool within = s == e.seconds;
                row(u"%1 h + %2 s"_s.arg(e.hours).arg(s), e.tolerance, base + s, within);
                row(u"%1 h - %2 s"_s.arg(e.hours).arg(s), e.tolerance, base - s, within);
                row(u"%1 h %2 s earlier"_s.arg(e.hours).arg(s), e.tolerance, -base - s, within);
            }
        }
        row(u"15 h"_s, "0", qint64(15) * Hour, false);
        row(u"15 h earlier"_s, "0", qint64(-15) * Hour, false);
        row(u"30 min"_s, "0", 30 * 60, false);
        row(u"7 s"_s, "0", 7, false);
        // "59" is 3546 s: the nearest whole hour of 14 h 59 min is 15, which is out of reach.
        row(u"14 h + 3546 s"_s, "59", 14 * Hour + 3546, true);
        row(u"14 h + 3547 s"_s, "59", 14 * Hour + 3547, false);
        row(u"45 min"_s, "20", 45 * 60, true);
        // Just below zero, closer to it than the rounding of the serials.
        row(u"1 h"_s, "-0.10001", Hour, false);
        row(u"1 h"_s, "-5", Hour, false);
        // What the plain rule takes as the same stays so.
        for (int k = 0; k < int(std::size(Moments)); ++k) {
            QTest::addRow("5 s at 0, moment %d", k)
                << u"0"_s << k << qint64(5) << int(ListNo::Unchanged) << int(ListNo::Unchanged);
        }
    }
    void rule() {
        QFETCH(QString, tolerance);
        QFETCH(int, moment);
        QFETCH(qint64, shift);
        QFETCH(int, ignoring);
        QFETCH(int, counting);
        Workspace ws;
        const Moment &m = Moments[moment];
        const double original = m.serial(), final = m.serial(shift);
        QCOMPARE(compareOne(ws, original, final, 10, options(tolerance, true)), ignoring);
        QCOMPARE(compareOne(ws, original, final, 10, options(tolerance, false)), counting);
    }

    // A shifted file that changed otherwise stays Changed, with its time shown as the same when
    // the shift is ignored; a folder or a file without a time is never a shift.
    void otherDifferences_data() {
        QTest::addColumn<int>("originalAttr");
        QTest::addColumn<double>("original");
        QTest::addColumn<double>("final");
        QTest::addColumn<qulonglong>("finalSize");
        QTest::addColumn<QString>("origModified");
        const Moment m = Moments[1];
        QTest::newRow("size changed too")
            << 32 << m.serial() << m.serial(Hour) << 11ull << u"(same)"_s;
        QTest::newRow("size and time changed") << 32 << m.serial() << m.serial(Hour + 7) << 11ull
                                               << EntryFormatter(enGB).modifiedText(m.serial());
        // Without a time an entry stands for time 0: 30 December 1899, an hour before this.
        QTest::newRow("no time") << 32 << std::nan("")
                                 << DateSerial::fromLocal(1899, 12, 30, 1, 0, 0) << 10ull
                                 << QString();
        // A folder has no time to shift, whatever the snapshot holds for it.
        QTest::newRow("folder replaced by a file")
            << 16 << m.serial() << m.serial(Hour) << 10ull << QString();
    }
    void otherDifferences() {
        QFETCH(int, originalAttr);
        QFETCH(double, original);
        QFETCH(double, final);
        QFETCH(qulonglong, finalSize);
        QFETCH(QString, origModified);
        Workspace ws;
        const CompareOptions o = options(u"0"_s, true);
        QCOMPARE(compareOne(ws, original, final, finalSize, o, originalAttr), int(ListNo::Changed));
        const EntryFormatter f(enGB);
        QCOMPARE(f.text(ws.list(ListNo::Changed), 0, Col::OrigModified), origModified);
    }
};

QTEST_GUILESS_MAIN(TestTimeShift)
#include "tst_timeshift.moc"
