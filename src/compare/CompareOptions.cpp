#include "CompareOptions.h"

#include "snapshot/Details.h"
#include "sort/TextKeys.h"

#include <algorithm>
#include <utility>

void CompareOptions::reset(ListId list) {
    limit(list).clear();
    ignoreAttr = {false, false, false, false, false, true};
    ignoreSize = false;
    ignoreStamp = false;
    ignoreHourShifts = false;
    ignoreMode = ignoreOwner = ignoreGroup = ignoreLink = ignoreCapability = ignoreContents = false;
    compared = false;
}

std::uint32_t countedDetails(const CompareOptions &options) {
    std::uint32_t mask = Differ::DetailsMask;
    const std::pair<bool, std::uint32_t> ignored[] = {
        {options.ignoreMode, Differ::Mode},
        {options.ignoreOwner, Differ::Owner},
        {options.ignoreGroup, Differ::Group},
        {options.ignoreLink, Differ::Link},
        {options.ignoreCapability, Differ::Capability},
        {options.ignoreContents, Differ::Contents}};
    for (const auto &[ignore, bit] : ignored) {
        if (ignore)
            mask &= ~bit;
    }
    return mask;
}

std::int16_t countedProperties(const CompareOptions &options) {
    std::int16_t mask = 0;
    for (int k = 0; k < 6; ++k) {
        if (!options.ignoreAttr[static_cast<std::size_t>(k)])
            mask |= static_cast<std::int16_t>(1 << k);
    }
    if (!options.ignoreSize)
        mask |= 256;
    if (!options.ignoreStamp)
        mask |= 512;
    return mask;
}

std::uint32_t countedDifferences(const CompareOptions &options) {
    return static_cast<std::uint16_t>(countedProperties(options)) | countedDetails(options);
}

namespace {

// Where the leading number of a text lies: blanks skipped, an optional sign, digits with "." as
// the decimal point. Empty (start == end) when the text does not start with a number.
struct NumberSpan {
    qsizetype start = 0;
    qsizetype end = 0;
};

NumberSpan leadingNumberSpan(const QString &text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    bool digits = i > digitsStart;
    if (i < text.size() && text[i] == u'.') {
        ++i;
        const qsizetype fractionStart = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        digits = digits || i > fractionStart;
    }
    return digits ? NumberSpan{start, i} : NumberSpan{};
}

// More minutes than a float's range of days is no tolerance a float can hold.
constexpr double MaxToleranceMinutes = 1e30;

} // namespace

double leadingNumber(const QString &text) {
    const NumberSpan n = leadingNumberSpan(text);
    if (n.start == n.end)
        return 0;
    return text.mid(n.start, n.end - n.start).toDouble();
}

float toleranceDays(const QString &text) {
    // Clamped: a double beyond a float's range has no float to become.
    const double minutes =
        std::clamp(leadingNumber(text), -MaxToleranceMinutes, MaxToleranceMinutes);
    return static_cast<float>((minutes + 0.1) / 1440.0);
}

bool isValidTolerance(const QString &text) {
    const NumberSpan n = leadingNumberSpan(text);
    return n.start == 0 && n.end == text.size() && n.end > 0 && text[0] != u'-' &&
           text[0] != u'+' && leadingNumber(text) <= MaxToleranceMinutes;
}

QString noExtraPath(const QString &fpath1, const QString &fPath2) {
    qsizetype n = fpath1.size(), m = fPath2.size();
    while (n > 0 && m > 0 && fpath1[n - 1] == fPath2[m - 1]) {
        --n;
        --m;
    }
    return TextKeys::lowered(QStringView(fpath1).left(n));
}
