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
    o.reset(ListId::Original);
    o.tolerance = tolerance;
    o.ignoreHourShifts = ignoreHourShifts;
    return o;
}

// Compares one file with the same file at another time and size; returns the list it lands in.
int compareOne(Workspace &ws, double original, double final, std::uint64_t finalSize,
               CompareOptions o, int originalAttr = 32) {
    for (const ListId n : Lists::Snapshots)
        ws.list(n).clearEntries();
    ws.list(ListId::Original).append(u"f.txt", u"", originalAttr, 10, original);
    ws.list(ListId::Final).append(u"f.txt", u"", 32, finalSize, final);
    runComparison(ws, o);
    for (const ListId n : Lists::Results) {
        if (!ws.list(n).isEmpty())
            return int(n);
    }
    return 0;
}

// Files whose time moved by `seconds`, and whose size grew when `grown`.
struct Group {
    int count = 0;
    qint64 seconds = 0;
    bool grown = false;
};
using Groups = QList<Group>;

// Compares snapshots that hold the groups, file k of group g named "g<g>-<k>"; their times
// spread over the day.
void compareGroups(Workspace &ws, const Groups &groups, CompareOptions &o) {
    for (const ListId n : Lists::Snapshots)
        ws.list(n).clearEntries();
    const Moment m = Moments[1];
    for (qsizetype g = 0; g < groups.size(); ++g) {
        for (int k = 0; k < groups[g].count; ++k) {
            const QString name = u"g%1-%2"_s.arg(g).arg(k);
            ws.list(ListId::Original).append(name, u"", 32, 10, m.serial(k * 97));
            ws.list(ListId::Final)
                .append(name, u"", 32, groups[g].grown ? 11 : 10,
                        m.serial(k * 97 + groups[g].seconds));
        }
    }
    runComparison(ws, o);
}

// Sets the default locale for as long as it lives.
struct DefaultLocale {
    QLocale saved;
    explicit DefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(saved); }
};

} // namespace

Q_DECLARE_METATYPE(Groups)

class TestTimeShift : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void resetClearsTheOption() {
        CompareOptions o;
        o.ignoreHourShifts = true;
        o.reset(ListId::Final);
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
                    << (same ? int(ListId::Unchanged) : int(ListId::Changed))
                    << int(ListId::Changed);
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
                << u"0"_s << k << qint64(5) << int(ListId::Unchanged) << int(ListId::Unchanged);
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
        QCOMPARE(compareOne(ws, original, final, finalSize, o, originalAttr), int(ListId::Changed));
        const EntryFormatter f(enGB);
        QCOMPARE(f.text(ws.list(ListId::Changed), 0, Col::OrigModified), origModified);
    }

    // What the Changed list says: which shift explains nine in ten of the entries changed only
    // in their time, and how many.
    void detect_data() {
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<bool>("ignoreSize");
        QTest::addColumn<bool>("ignoreHours");
        QTest::addColumn<Groups>("groups");
        QTest::addColumn<int>("kind");
        QTest::addColumn<qint64>("candidates");
        QTest::addColumn<qint64>("shifted");
        QTest::addColumn<int>("hours");
        const int none = TimeShiftHint::None, hours = TimeShiftHint::WholeHours,
                  seconds = TimeShiftHint::WithinTwoSeconds;
        const Group other{5, 37 * 60};
        QTest::newRow("an hour, 95 of 100") << u"0"_s << false << false << Groups{{95, Hour}, other}
                                            << hours << qint64(100) << qint64(95) << 1;
        QTest::newRow("an hour, 90 of 100")
            << u"0"_s << false << false << Groups{{90, Hour}, {10, 37 * 60}} << hours << qint64(100)
            << qint64(90) << 1;
        QTest::newRow("an hour, 89 of 100")
            << u"0"_s << false << false << Groups{{89, Hour}, {11, 37 * 60}} << none << qint64(100)
            << qint64(0) << 0;
        QTest::newRow("an hour, 80 of 100")
            << u"0"_s << false << false << Groups{{80, Hour}, {20, 37 * 60}} << none << qint64(100)
            << qint64(0) << 0;
        QTest::newRow("two hours back")
            << u"0"_s << false << false << Groups{{95, -2 * Hour}, other} << hours << qint64(100)
            << qint64(95) << 2;
        QTest::newRow("one and two hours")
            << u"0"_s << false << false << Groups{{50, Hour}, {50, 2 * Hour}} << none << qint64(100)
            << qint64(0) << 0;
        QTest::newRow("within the tolerance")
            << u"1"_s << false << false << Groups{{95, 14 * Hour - 66}, other} << hours
            << qint64(100) << qint64(95) << 14;
        // Files that grew are no candidates: three hours on 200 of them change nothing.
        const Groups grown{{50, Hour}, other, {200, 3 * Hour, true}};
        QTest::newRow("sizes changed too")
            << u"0"_s << false << false << grown << hours << qint64(55) << qint64(50) << 1;
        QTest::newRow("sizes ignored")
            << u"0"_s << true << false << grown << none << qint64(255) << qint64(0) << 0;
        QTest::newRow("hours already ignored")
            << u"0"_s << false << true << Groups{{95, Hour}, other} << none << qint64(5)
            << qint64(0) << 0;
        QTest::newRow("hours at a negative tolerance")
            << u"-5"_s << false << false << Groups{{95, Hour}, other} << none << qint64(100)
            << qint64(0) << 0;
        // A negative tolerance sets apart even equal times.
        QTest::newRow("two seconds at a negative tolerance")
            << u"-5"_s << false << false << Groups{{10, 2}, {2, 0}} << seconds << qint64(12)
            << qint64(12) << 0;
        QTest::newRow("two seconds, 9 of 10")
            << u"-5"_s << false << false << Groups{{9, -2}, {1, 3}} << seconds << qint64(10)
            << qint64(9) << 0;
        QTest::newRow("two seconds, 8 of 10") << u"-5"_s << false << false << Groups{{8, 2}, {2, 3}}
                                              << none << qint64(10) << qint64(0) << 0;
        QTest::newRow("nothing changed")
            << u"0"_s << false << false << Groups{{10, 0}} << none << qint64(0) << qint64(0) << 0;
    }
    void detect() {
        QFETCH(QString, tolerance);
        QFETCH(bool, ignoreSize);
        QFETCH(bool, ignoreHours);
        QFETCH(Groups, groups);
        QFETCH(int, kind);
        QFETCH(qint64, candidates);
        QFETCH(qint64, shifted);
        QFETCH(int, hours);
        Workspace ws;
        CompareOptions o = options(tolerance, ignoreHours);
        o.ignoreSize = ignoreSize;
        compareGroups(ws, groups, o);
        const TimeShiftHint hint = detectTimeShift(ws.list(ListId::Changed), o);
        QCOMPARE(int(hint.kind), kind);
        QCOMPARE(hint.candidates, candidates);
        QCOMPARE(hint.shifted, shifted);
        QCOMPARE(hint.hours, hours);
        QCOMPARE(hint.tolerance, kind == TimeShiftHint::WithinTwoSeconds ? u"0"_s : QString());
    }

    // No candidates when times do not count.
    void timesIgnored() {
        Workspace ws;
        CompareOptions o = options(u"0"_s, false);
        o.ignoreStamp = true;
        o.ignoreSize = false;
        compareGroups(ws, {{20, Hour, true}}, o);
        QCOMPARE(ws.list(ListId::Changed).size(), 20);
        const TimeShiftHint hint = detectTimeShift(ws.list(ListId::Changed), o);
        QCOMPARE(int(hint.kind), int(TimeShiftHint::None));
        QCOMPARE(hint.candidates, qint64(0));
    }

    // Shifts of whole hours are not offered once the options ignore them, even for a list
    // compared before.
    void hoursNotOfferedTwice() {
        Workspace ws;
        CompareOptions o = options(u"0"_s, false);
        compareGroups(ws, {{20, Hour}}, o);
        QCOMPARE(int(detectTimeShift(ws.list(ListId::Changed), o).kind),
                 int(TimeShiftHint::WholeHours));
        o.ignoreHourShifts = true;
        QCOMPARE(int(detectTimeShift(ws.list(ListId::Changed), o).kind), int(TimeShiftHint::None));
    }

    // Taking the offer and comparing again leaves in the Changed list only what the shift does
    // not explain, and nothing more to offer.
    void acceptAndCompareAgain_data() {
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<Groups>("groups");
        QTest::addColumn<QList<int>>("remaining"); // the groups still changed
        QTest::newRow("an hour") << u"0"_s << Groups{{95, Hour}, {5, 37 * 60}} << QList<int>{1};
        QTest::newRow("an hour, some grown")
            << u"0"_s << Groups{{95, -Hour}, {5, 37 * 60}, {10, Hour, true}} << QList<int>{1, 2};
        QTest::newRow("two seconds") << u"-5"_s << Groups{{10, 2}, {2, 0}} << QList<int>{};
    }
    void acceptAndCompareAgain() {
        QFETCH(QString, tolerance);
        QFETCH(Groups, groups);
        QFETCH(QList<int>, remaining);
        Workspace ws;
        CompareOptions o = options(tolerance, false);
        compareGroups(ws, groups, o);
        const TimeShiftHint hint = detectTimeShift(ws.list(ListId::Changed), o);
        QVERIFY(hint.kind != TimeShiftHint::None);
        acceptTimeShift(hint, o);
        compareGroups(ws, groups, o);
        const SnapshotList &changed = ws.list(ListId::Changed);
        QSet<int> left;
        qsizetype expected = 0;
        for (int g : remaining)
            expected += groups[g].count;
        for (int i = 0; i < changed.size(); ++i)
            left.insert(changed.name(i).mid(1).split(u'-').first().toInt());
        QCOMPARE(changed.size(), expected);
        QCOMPARE(left, QSet<int>(remaining.begin(), remaining.end()));
        QCOMPARE(int(detectTimeShift(changed, o).kind), int(TimeShiftHint::None));
    }

    // The words fit the counts, whose digits are grouped as the locale groups them.
    void words_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("kind");
        QTest::addColumn<qint64>("candidates");
        QTest::addColumn<qint64>("shifted");
        QTest::addColumn<int>("hours");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("offer");
        const QString cause = u", as daylight saving time, a change of time zone or a FAT or "
                              u"exFAT drive can cause."_s;
        const QString ignoreHours = u"Compare again, ignoring shifts of whole hours?"_s;
        QTest::newRow("one entry, one hour")
            << enGB << int(TimeShiftHint::WholeHours) << qint64(1) << qint64(1) << 1
            << u"The one entry whose only change is the modified time changed by 1 hour"_s + cause
            << ignoreHours;
        QTest::newRow("all of them, two hours")
            << enGB << int(TimeShiftHint::WholeHours) << qint64(12) << qint64(12) << 2
            << u"All 12 entries whose only change is the modified time changed by 2 hours"_s + cause
            << ignoreHours;
        QTest::newRow("most, German digits")
            << QLocale(QLocale::German, QLocale::Germany) << int(TimeShiftHint::WholeHours)
            << qint64(1234567) << qint64(1230000) << 1
            << u"Of the 1.234.567 entries whose only change is the modified time, 1.230.000 "
               u"changed by 1 hour"_s +
                   cause
            << ignoreHours;
        QTest::newRow("two seconds, C digits")
            << QLocale::c() << int(TimeShiftHint::WithinTwoSeconds) << qint64(1234) << qint64(1200)
            << 0
            << u"Of the 1,234 entries whose only change is the modified time, 1,200 changed by "
               u"at most 2 seconds, within the time resolution of FAT drives."_s
            << u"Compare again with a time tolerance of 0 minutes?"_s;
        QTest::newRow("nothing") << enGB << int(TimeShiftHint::None) << qint64(10) << qint64(0) << 0
                                 << QString() << QString();
    }
    void words() {
        QFETCH(QLocale, locale);
        QFETCH(int, kind);
        QFETCH(qint64, candidates);
        QFETCH(qint64, shifted);
        QFETCH(int, hours);
        QFETCH(QString, message);
        QFETCH(QString, offer);
        const DefaultLocale scope(locale);
        TimeShiftHint hint;
        hint.kind = static_cast<TimeShiftHint::Kind>(kind);
        hint.candidates = candidates;
        hint.shifted = shifted;
        hint.hours = hours;
        if (hint.kind == TimeShiftHint::WithinTwoSeconds)
            hint.tolerance = u"0"_s;
        QCOMPARE(hint.message(), message);
        QCOMPARE(hint.offer(), offer);
    }
};

QTEST_GUILESS_MAIN(TestTimeShift)
#include "tst_timeshift.moc"
