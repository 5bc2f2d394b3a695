#include "ByteScale.h"

#include <cmath>

namespace ByteScale {
namespace {
constexpr const char *Units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};

double steps(std::uint64_t bytes) {
    return bytes == 0 ? 0 : 1 + std::log10(double(bytes));
}
} // namespace

QString readable(std::uint64_t bytes, const QLocale &locale) {
    if (bytes < 1000)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    double value = double(bytes);
    int unit = -1;
    // Rounding may carry a value to 1000 (999,950 bytes is "1.00 MB", not "1000 KB").
    while (unit + 1 < int(std::size(Units)) && value >= 999.5) {
        value /= 1000;
        ++unit;
    }
    const int decimals = value < 9.995 ? 2 : value < 99.95 ? 1 : 0;
    return locale.toString(value, 'f', decimals) + u' ' + QLatin1String(Units[unit]);
}

double fraction(std::uint64_t bytes, std::uint64_t largest) {
    const double whole = steps(largest);
    return whole > 0 ? std::min(1.0, steps(bytes) / whole) : 0;
}

std::vector<Tick> ticks(std::uint64_t largest) {
    std::vector<Tick> marks;
    std::uint64_t at = 1000;
    for (const char *unit : Units) {
        if (at > largest)
            break;
        marks.push_back({fraction(at, largest), QStringLiteral("1 ") + QLatin1String(unit)});
        if (at > ~std::uint64_t(0) / 1000)
            break;
        at *= 1000;
    }
    return marks;
}

} // namespace ByteScale
