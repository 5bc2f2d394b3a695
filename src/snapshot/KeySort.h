#pragma once

#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

// Sorts a million entries by text keys quickly: each item carries the first code units of its
// key, so most comparisons never touch the texts, and the two halves sort on two threads.
namespace KeySort {

struct Item {
    std::uint64_t prefix[3];
    std::uint32_t index;
};

// Packs the first twelve code units of a key (given in parts that are joined) into an item.
Item makeItem(std::uint32_t index, const QStringView *parts, int count);

// Packs the code units of a key from `skip` on.
Item makeItem(std::uint32_t index, QStringView key, qsizetype skip);

// The length of the prefix that all keys share.
qsizetype commonPrefix(QStringView a, QStringView b, qsizetype limit);

// Orders the items by prefix, then by `compare` (a full comparison of two entries' keys), then
// by entry number, so equal keys keep their order. Sorts in place.
template <typename Compare>
void sortItems(std::vector<Item> &items, bool descending, const Compare &compare) {
    auto less = [&](const Item &a, const Item &b) {
        for (int k = 0; k < 3; ++k) {
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
std::vector<std::uint32_t> indices(const std::vector<Item> &items);

template <typename Compare>
std::vector<std::uint32_t> sort(std::vector<Item> items, bool descending, const Compare &compare) {
    sortItems(items, descending, compare);
    return indices(items);
}

// A text key whose ordinal order is the natural order of the text: letter case folded, and
// each run of digits as a marker, its count of significant digits and those digits.
void appendNaturalKey(std::vector<char16_t> &out, QStringView text);

} // namespace KeySort
