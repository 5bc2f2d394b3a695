#pragma once

#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

// Sorts a million entries by text keys quickly: each item carries the first code units of its
// key, so most comparisons never touch the texts, and the two halves sort on two threads.
namespace KeySort {

inline constexpr int PrefixWords = 4;
inline constexpr int PrefixUnits = PrefixWords * 4;

template <int Words> struct ItemOf {
    std::uint64_t prefix[Words];
    std::uint32_t index;
};
using Item = ItemOf<PrefixWords>;
// Items of numeric keys need only two words.
using NumberItem = ItemOf<2>;

// Packs the first sixteen code units of a key (given in parts that are joined) into an item.
Item makeItem(std::uint32_t index, const QStringView *parts, int count);

// Packs the code units of a key from `skip` on.
Item makeItem(std::uint32_t index, QStringView key, qsizetype skip);

// The length of the prefix that all keys share.
qsizetype commonPrefix(QStringView a, QStringView b, qsizetype limit);

// Orders the items by prefix, then by `compare` (a full comparison of two entries' keys), then
// by entry number, so equal keys keep their order. Sorts in place.
template <typename T, typename Compare>
void sortItems(std::vector<T> &items, bool descending, const Compare &compare) {
    constexpr int words = sizeof(T::prefix) / sizeof(std::uint64_t);
    auto less = [&](const T &a, const T &b) {
        for (int k = 0; k < words; ++k) {
            if (a.prefix[k] != b.prefix[k])
                return descending ? a.prefix[k] > b.prefix[k] : a.prefix[k] < b.prefix[k];
        }
        const int c = compare(a.index, b.index);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return a.index < b.index;
    };
    const auto middle = items.begin() + static_cast<std::ptrdiff_t>(items.size() / 2);
    if (items.size() >= 50000) {
        std::thread other([&] { std::sort(items.begin(), middle, less); });
        std::sort(middle, items.end(), less);
        other.join();
        std::inplace_merge(items.begin(), middle, items.end(), less);
    } else {
        std::sort(items.begin(), items.end(), less);
    }
}

// The entry numbers of sorted items.
template <typename T> std::vector<std::uint32_t> indices(const std::vector<T> &items) {
    std::vector<std::uint32_t> order(items.size());
    for (std::size_t k = 0; k < items.size(); ++k)
        order[k] = items[k].index;
    return order;
}

template <typename T, typename Compare>
std::vector<std::uint32_t> sort(std::vector<T> items, bool descending, const Compare &compare) {
    sortItems(items, descending, compare);
    return indices(items);
}

// A text key whose ordinal order is the natural order of the text: letter case folded, and
// each run of digits as a marker, its count of significant digits and those digits.
void appendNaturalKey(std::vector<char16_t> &out, QStringView text);

} // namespace KeySort
