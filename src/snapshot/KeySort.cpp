#include "KeySort.h"

#include <QChar>
#include <algorithm>

namespace KeySort {

Item makeItem(std::uint32_t index, const QStringView *parts, int count) {
    Item item{{}, index};
    int unit = 0;
    for (int p = 0; p < count && unit < PrefixUnits; ++p) {
        for (qsizetype k = 0; k < parts[p].size() && unit < PrefixUnits; ++k, ++unit) {
            const std::uint64_t c = parts[p][k].unicode();
            item.prefix[unit / 4] |= c << (48 - 16 * (unit % 4));
        }
    }
    return item;
}

bool packUnits(QStringView text, qsizetype from, std::uint64_t *prefix) {
    std::fill(prefix, prefix + PrefixWords, 0);
    const qsizetype end = std::min(text.size(), from + PrefixUnits);
    for (qsizetype k = from; k < end; ++k) {
        const qsizetype unit = k - from;
        prefix[unit / 4] |= std::uint64_t(text[k].unicode()) << (48 - 16 * (unit % 4));
    }
    return text.size() > from + PrefixUnits;
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
