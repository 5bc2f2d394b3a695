#include "TimeShift.h"

#include "snapshot/DateSerial.h"

#include <algorithm>
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
