#pragma once

// SortEngine: the sort that every column's order comes down to, of items that carry their key
// packed into numbers. What a column's key is lies with ColumnSorts; this knows no list.

#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

// Sorts a million entries by keys quickly: each item carries a piece of its key packed into
// numbers, so comparisons never touch the texts, and the two halves sort on two threads.
namespace SortEngine {

inline constexpr int PrefixWords = 4;
inline constexpr int PrefixUnits = PrefixWords * 4;
// An item's `units` when its key goes on past the packed piece.
inline constexpr std::uint32_t More = PrefixUnits + 1;

template <int Words> struct ItemOf {
    std::uint64_t prefix[Words];
    std::uint32_t index;
    // How many code units of the key the prefix holds (More when the key goes on), so that a
    // key ending in the piece sorts before a longer one, whatever units the keys hold.
    std::uint32_t units;
};
using Item = ItemOf<PrefixWords>;
// Items of numeric keys need only two words (and no units).
using NumberItem = ItemOf<2>;

// The one order of items: by prefix and units, then by entry number, so equal keys keep their
// order (also when descending).
template <typename T> struct ItemOrder {
    bool descending;
    bool operator()(const T &a, const T &b) const {
        constexpr int words = sizeof(T::prefix) / sizeof(std::uint64_t);
        for (int k = 0; k < words; ++k) {
            if (a.prefix[k] != b.prefix[k])
                return descending ? a.prefix[k] > b.prefix[k] : a.prefix[k] < b.prefix[k];
        }
        if (a.units != b.units)
            return descending ? a.units > b.units : a.units < b.units;
        return a.index < b.index;
    }
};

// Sorts the items in ItemOrder, in place.
template <typename T> void sortItems(std::vector<T> &items, bool descending) {
    const ItemOrder<T> less{descending};
    const auto middle = items.begin() + static_cast<std::ptrdiff_t>(items.size() / 2);
    std::thread other;
    if (items.size() >= 50000) {
        try {
            other = std::thread([&] { std::sort(items.begin(), middle, less); });
        } catch (const std::system_error &) {
            // No second thread to be had: one sort does it all.
        }
    }
    if (other.joinable()) {
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

// Packs the code units `from` onwards of a key made of `count` consecutive parts (as if they
// were joined) into `prefix`, zeros after the key's end. Returns how many units it packed, or
// More when the key goes on past them.
std::uint32_t packUnits(const QStringView *parts, int count, qsizetype from, std::uint64_t *prefix);

// Sorts entries 0..n-1 by text keys read a piece at a time: `fill(index, piece, prefix)` packs
// the key's code units from piece * PrefixUnits on (as packUnits does) and returns what
// packUnits returns. Entries whose pieces agree so far are ordered by their next pieces, so a
// key is read only as far as it differs from the others and no comparison ever looks at a
// whole text. Entries with equal keys are ordered by `tie` (a three-way comparison of two
// entry numbers), then by entry number.
template <typename Fill, typename Tie>
std::vector<std::uint32_t> sortByChunks(std::size_t n, bool descending, const Fill &fill,
                                        const Tie &tie) {
    std::vector<Item> items(n);
    for (std::size_t i = 0; i < n; ++i) {
        Item &item = items[i];
        item.index = static_cast<std::uint32_t>(i);
        item.units = fill(item.index, 0, item.prefix);
    }
    sortItems(items, descending);
    auto same = [](const Item &a, const Item &b) {
        return a.units == b.units && std::equal(a.prefix, a.prefix + PrefixWords, b.prefix);
    };
    struct Run {
        std::size_t begin, end;
        int chunk; // the piece the run agrees on so far
    };
    std::vector<Run> runs;
    auto findRuns = [&](std::size_t begin, std::size_t end, int chunk) {
        for (std::size_t k = begin; k < end;) {
            std::size_t e = k + 1;
            while (e < end && same(items[k], items[e]))
                ++e;
            if (e - k > 1)
                runs.push_back({k, e, chunk});
            k = e;
        }
    };
    findRuns(0, n, 0);
    while (!runs.empty()) {
        const Run run = runs.back();
        runs.pop_back();
        const auto begin = items.begin() + static_cast<std::ptrdiff_t>(run.begin);
        const auto end = items.begin() + static_cast<std::ptrdiff_t>(run.end);
        if (begin->units != More) {
            // The keys end in this piece: they are equal, and in entry order. Mostly their texts
            // are the same too (a name found in many folders), and then that order stands.
            if (std::all_of(begin + 1, end,
                            [&](const Item &a) { return tie(begin->index, a.index) == 0; }))
                continue;
            std::stable_sort(begin, end, [&](const Item &a, const Item &b) {
                const int c = tie(a.index, b.index);
                return descending ? c > 0 : c < 0;
            });
            continue;
        }
        for (auto it = begin; it != end; ++it)
            it->units = fill(it->index, run.chunk + 1, it->prefix);
        std::sort(begin, end, ItemOrder<Item>{descending});
        findRuns(run.begin, run.end, run.chunk + 1);
    }
    return indices(items);
}

} // namespace SortEngine
