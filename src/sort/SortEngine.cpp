#include "SortEngine.h"

#include <algorithm>

namespace SortEngine {

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

} // namespace SortEngine
