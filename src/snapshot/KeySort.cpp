#include "KeySort.h"

#include <QChar>
#include <algorithm>

namespace KeySort {

std::uint32_t packUnits(const QStringView *parts, int count, qsizetype from,
                        std::uint64_t *prefix) {
    std::fill(prefix, prefix + PrefixWords, 0);
    int unit = 0;
    for (int p = 0; p < count; ++p) {
        const QStringView part = parts[p];
        if (from >= part.size()) {
            from -= part.size();
            continue;
        }
        for (qsizetype k = from; k < part.size(); ++k, ++unit) {
            if (unit == PrefixUnits)
                return More;
            prefix[unit / 4] |= std::uint64_t(part[k].unicode()) << (48 - 16 * (unit % 4));
        }
        from = 0;
    }
    return static_cast<std::uint32_t>(unit);
}

void appendFoldedKey(std::vector<char16_t> &out, QStringView text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (c < 0x80) { // folding ASCII is lower-casing it
            out.push_back(static_cast<char16_t>(c - u'A' < 26u ? c + 32 : c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            out.push_back(QChar::highSurrogate(c));
            out.push_back(QChar::lowSurrogate(c));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
}

} // namespace KeySort
