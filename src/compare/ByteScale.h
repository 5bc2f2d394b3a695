#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <vector>

// Sizes as people read them, and a scale on which a 66 KB change still shows beside a 46 MB one.
namespace ByteScale {

// "46.2 MB", "66.0 KB", "512 bytes": powers of 1000 (KB, MB, GB, TB, PB, EB), three significant
// digits, the locale's decimal point. The exact number belongs beside it (a tooltip, a TSV).
QString readable(std::uint64_t bytes, const QLocale &locale = QLocale());

// Where a bar of `bytes` ends, from 0 to 1, when a bar of `largest` bytes is 1: logarithmic, so
// that every amount shows; one byte is one step of ten above nothing. 0 for nothing.
double fraction(std::uint64_t bytes, std::uint64_t largest);

// The marks of a scale up to `largest`: every power of 1000 from 1 KB that fits, at its place.
struct Tick {
    double at;
    QString label; // "1 KB", "1 MB", ...
};
std::vector<Tick> ticks(std::uint64_t largest);

// What the bars of a chart on this scale mean, to be shown with it.
inline constexpr const char *Legend =
    "Bar length: bytes changed on a logarithmic scale (each mark is 1,000 times the one before)";

} // namespace ByteScale
