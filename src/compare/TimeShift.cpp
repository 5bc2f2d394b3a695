#include "TimeShift.h"

#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>

int wholeHourShift(double original, double final, float tolerance) {
    // Before 1900 a serial's fraction runs backwards; the moments themselves are compared.
    const double diff =
        std::fabs(DateSerial::chronological(final) - DateSerial::chronological(original));
    if (!(tolerance >= 0) || !std::isfinite(diff))
        return 0;
    const double hours = std::clamp(std::round(diff * 24), 1.0, 14.0);
    const double tol = static_cast<double>(tolerance);
    // Snapshot times lie on whole seconds, and the tolerance on whole tenths of a minute more
    // often than not: a distance that meets it exactly must not turn on the rounding of the
    // serials, so anything within a few milliseconds of it counts as meeting it.
    const double margin = 2e-8 + tol * 1e-6;
    return std::fabs(diff - hours / 24) <= tol + margin ? static_cast<int>(hours) : 0;
}

namespace {

constexpr int MaxHours = 14;
// FAT keeps times to two seconds; the margin keeps a distance of exactly two seconds from
// turning on the rounding of the serials.
constexpr double TwoSecondsDays = 2.001 / 86400;

// Whether a Changed entry differs from its Original in its time alone, both being files with a
// time.
bool timeOnly(const SnapshotList &changed, int i, std::uint32_t mask) {
    const Entry &e = changed.entry(i);
    const OrigValues &o = changed.orig(i);
    return (o.differ & mask) == Differ::Stamp && !e.isFolder() && e.hasTime() &&
           !(o.attr & Attr::Directory) && !std::isnan(o.modified);
}

// Nine in ten or more.
bool dominant(qint64 part, qint64 whole) {
    return whole > 0 && part * 10 >= whole * 9;
}

QString number(qint64 n) {
    // Grouped as in the count panel, also where the locale's own numbers leave the separator
    // out (C).
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(n);
}

// "Of the 12 entries whose only change is the modified time, 11 changed by": the opening that
// fits the counts.
QString opening(qint64 candidates, qint64 shifted) {
    if (candidates == 1)
        return QStringLiteral("The one entry whose only change is the modified time changed by");
    if (shifted == candidates)
        return QStringLiteral("All %1 entries whose only change is the modified time changed by")
            .arg(number(candidates));
    return QStringLiteral("Of the %1 entries whose only change is the modified time, %2 changed by")
        .arg(number(candidates), number(shifted));
}

} // namespace

TimeShiftHint detectTimeShift(const SnapshotList &changed, const CompareOptions &options) {
    TimeShiftHint hint;
    if (!changed.hasOrig())
        return hint;
    const float tolerance = toleranceDays(options.tolerance);
    const std::uint32_t mask = countedDifferences(options);
    std::array<qint64, MaxHours + 1> byHours{}; // [0]: no whole number of hours
    qint64 withinTwoSeconds = 0;
    for (int i = 0; i < changed.size(); ++i) {
        if (!timeOnly(changed, i, mask))
            continue;
        ++hint.candidates;
        const double original = changed.orig(i).modified, final = changed.entry(i).modified;
        ++byHours[static_cast<std::size_t>(wholeHourShift(original, final, tolerance))];
        const double diff =
            std::fabs(DateSerial::chronological(final) - DateSerial::chronological(original));
        if (diff <= TwoSecondsDays)
            ++withinTwoSeconds;
    }
    const auto most = std::max_element(byHours.begin() + 1, byHours.end());
    if (!options.ignoreHourShifts && dominant(*most, hint.candidates)) {
        hint.kind = TimeShiftHint::WholeHours;
        hint.shifted = *most;
        hint.hours = static_cast<int>(most - byHours.begin());
    } else if (dominant(withinTwoSeconds, hint.candidates)) {
        hint.kind = TimeShiftHint::WithinTwoSeconds;
        hint.shifted = withinTwoSeconds;
        hint.tolerance = QStringLiteral("0");
    }
    return hint;
}

QString TimeShiftHint::message() const {
    switch (kind) {
    case WholeHours:
        return opening(candidates, shifted) +
               (hours == 1 ? QStringLiteral(" 1 hour") : QStringLiteral(" %1 hours").arg(hours)) +
               QStringLiteral(", as daylight saving time, a change of time zone or a FAT or "
                              "exFAT drive can cause.");
    case WithinTwoSeconds:
        return opening(candidates, shifted) +
               QStringLiteral(" at most 2 seconds, within the time resolution of FAT drives.");
    case None:
        break;
    }
    return {};
}

QString TimeShiftHint::offer() const {
    switch (kind) {
    case WholeHours:
        return QStringLiteral("Compare again, ignoring shifts of whole hours?");
    case WithinTwoSeconds:
        return QStringLiteral("Compare again with a time tolerance of %1 minutes?").arg(tolerance);
    case None:
        break;
    }
    return {};
}

void acceptTimeShift(const TimeShiftHint &hint, CompareOptions &options) {
    if (hint.kind == TimeShiftHint::WholeHours)
        options.ignoreHourShifts = true;
    else if (hint.kind == TimeShiftHint::WithinTwoSeconds)
        options.tolerance = hint.tolerance;
}
