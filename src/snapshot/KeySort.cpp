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

void appendNaturalKey(std::vector<char16_t> &out, QStringView text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            while (i < n && text[i] == u'0')
                ++i;
            qsizetype end = i;
            while (end < n && text[end] >= u'0' && text[end] <= u'9')
                ++end;
            out.push_back(u'0');
            out.push_back(static_cast<char16_t>(std::min<qsizetype>(end - i + 1, 0xFFFF)));
            for (; i < end; ++i)
                out.push_back(text[i].unicode());
            continue;
        }
        if (c < 0x80)
            out.push_back((c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c);
        else
            out.push_back(QChar(c).toCaseFolded().unicode());
        ++i;
    }
}

} // namespace KeySort
