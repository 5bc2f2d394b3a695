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
// The top bit of an item's index is free for a mark of its own.
inline constexpr std::uint32_t IndexMask = 0x7fffffffu;
// Items of numeric keys need only two words.
using NumberItem = ItemOf<2>;

// Packs the first sixteen code units of a key (given in parts that are joined) into an item.
Item makeItem(std::uint32_t index, const QStringView *parts, int count);

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
        const int c = compare(a.index & IndexMask, b.index & IndexMask);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return (a.index & IndexMask) < (b.index & IndexMask);
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

// Sorts entries 0..n-1 by text keys read a chunk at a time: `fill(index, chunk, prefix)`
// packs code units chunk * PrefixUnits onwards of the entry's key into `prefix` (zeros past its
// end; no key holds a zero unit) and says whether the key goes on past them. Entries whose
// chunks agree so far are ordered by their next chunks, so a key is read only as far as it
// differs from the others and no comparison ever looks at a whole text. Entries with equal keys
// are ordered by `tie`, then by entry number.
template <typename Fill, typename Tie>
std::vector<std::uint32_t> sortByChunks(std::size_t n, bool descending, const Fill &fill,
                                        const Tie &tie) {
    constexpr std::uint32_t More = ~IndexMask;
    std::vector<Item> items(n);
    for (std::size_t i = 0; i < n; ++i) {
        Item &item = items[i];
        item.index = static_cast<std::uint32_t>(i);
        if (fill(item.index, 0, item.prefix))
            item.index |= More;
    }
    const auto none = [](std::uint32_t, std::uint32_t) { return 0; };
    sortItems(items, descending, none);
    auto same = [](const Item &a, const Item &b) {
        return std::equal(a.prefix, a.prefix + PrefixWords, b.prefix);
    };
    struct Run {
        std::size_t begin, end;
        int chunk;
    };
    std::vector<Run> runs;
    auto findRuns = [&](std::size_t begin, std::size_t end, int chunk) {
        for (std::size_t k = begin; k < end;) {
            std::size_t e = k + 1;
            bool more = items[k].index & More;
            for (; e < end && same(items[k], items[e]); ++e) {
                if (items[e].index & More)
                    more = true;
            }
            if (e - k > 1)
                runs.push_back({k, e, more ? chunk + 1 : -1});
            k = e;
        }
    };
    findRuns(0, n, 0);
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        const auto begin = items.begin() + static_cast<std::ptrdiff_t>(run.begin);
        const auto end = items.begin() + static_cast<std::ptrdiff_t>(run.end);
        if (run.chunk < 0) {
            // Equal keys, already in entry order.
            std::stable_sort(begin, end, [&](const Item &a, const Item &b) {
                const int c = tie(a.index & IndexMask, b.index & IndexMask);
                return descending ? c > 0 : c < 0;
            });
            continue;
        }
        for (auto it = begin; it != end; ++it) {
            const std::uint32_t index = it->index & IndexMask;
            const bool more = (it->index & More) && fill(index, run.chunk, it->prefix);
            if (!(it->index & More))
                std::fill(it->prefix, it->prefix + PrefixWords, 0);
            it->index = index | (more ? More : 0);
        }
        std::sort(begin, end, [&](const Item &a, const Item &b) {
            for (int k = 0; k < PrefixWords; ++k) {
                if (a.prefix[k] != b.prefix[k])
                    return descending ? a.prefix[k] > b.prefix[k] : a.prefix[k] < b.prefix[k];
            }
            return (a.index & IndexMask) < (b.index & IndexMask);
        });
        findRuns(run.begin, run.end, run.chunk);
    }
    std::vector<std::uint32_t> order(n);
    for (std::size_t k = 0; k < n; ++k)
        order[k] = items[k].index & IndexMask;
    return order;
}

// Packs up to PrefixUnits code units of `text` from `from` on; true when the text goes on.
bool packUnits(QStringView text, qsizetype from, std::uint64_t *prefix);

// A text key whose ordinal order is the natural order of the text: letter case folded, and
// each run of digits as a marker, its count of significant digits and those digits.
void appendNaturalKey(std::vector<char16_t> &out, QStringView text);

} // namespace KeySort
