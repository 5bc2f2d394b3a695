#include "Sorting.h"

#include "DateSerial.h"
#include "EntryFormat.h"
#include "KeySort.h"
#include "SnapshotList.h"
#include "TextOrder.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>

int headerSortKey(int listNo, int clicked) {
    if (listNo == ListNo::Changed &&
        (clicked == Col::OrigSize || clicked == Col::OrigModified || clicked == Col::OrigAttr))
        return -1;
    if (clicked == Col::Size || clicked == Col::Modified || clicked == Col::Attributes)
        return clicked + 1;
    return clicked;
}

namespace {

using KeySort::Item;

int ordinal(QStringView a, QStringView b) {
    return ordinalCompareJoined(&a, 1, &b, 1);
}

// Keys held as texts in one pool.
struct KeyPool {
    std::vector<char16_t> chars;
    std::vector<std::size_t> offsets{0};
    void close() { offsets.push_back(chars.size()); }
    QStringView key(std::uint32_t i) const {
        return QStringView(chars.data() + offsets[i],
                           static_cast<qsizetype>(offsets[i + 1] - offsets[i]));
    }
};

std::vector<std::uint32_t> byTextKeys(const KeyPool &pool, int n, bool descending) {
    return KeySort::sortByChunks(
        static_cast<std::size_t>(n), descending,
        [&](std::uint32_t i, int chunk, std::uint64_t *prefix) {
            return KeySort::packUnits(pool.key(i), chunk * KeySort::PrefixUnits, prefix);
        },
        [](std::uint32_t, std::uint32_t) { return 0; });
}

// Numbers as keys: `rank` gives up to two unsigned values per entry.
template <typename Rank> std::vector<std::uint32_t> byNumbers(int n, bool descending, Rank rank) {
    std::vector<KeySort::NumberItem> items(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        KeySort::NumberItem &item = items[static_cast<std::size_t>(i)];
        item.index = static_cast<std::uint32_t>(i);
        rank(i, item.prefix[0], item.prefix[1]);
    }
    return KeySort::sort(std::move(items), descending,
                         [](std::uint32_t, std::uint32_t) { return 0; });
}

// A double as an unsigned number of the same order.
std::uint64_t orderedBits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & (1ull << 63)) ? ~bits : bits | (1ull << 63);
}

// Compares the full match keys of two entries, then (for keys that differ only in letter case)
// their exact folder and name texts.
int compareMatch(const SnapshotList &list, const MatchKeys &keys, int a, int b) {
    if (const int c = keys.compare(a, b))
        return c;
    if (const int f = ordinal(list.folder(a), list.folder(b)))
        return f;
    return ordinal(list.name(a), list.name(b));
}

std::vector<std::uint32_t> byMatchKeyFull(const SnapshotList &list, const MatchKeys &keys,
                                          bool descending) {
    const int n = list.size();
    std::vector<Item> items(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QStringView parts[2] = {keys.folder(i), keys.name(i)};
        items[static_cast<std::size_t>(i)] =
            KeySort::makeItem(static_cast<std::uint32_t>(i), parts, 2);
    }
    return KeySort::sort(std::move(items), descending, [&](std::uint32_t a, std::uint32_t b) {
        return compareMatch(list, keys, static_cast<int>(a), static_cast<int>(b));
    });
}

// Match keys are folder paths followed by names, so the order follows the folders: entries
// are sorted by folder and name, and each folder's run is then merged with the runs of its
// subfolders, which follow it in folder order. Only names holding a backslash can break that
// shape; with such names the result is checked and the full comparison sort used when it fails.
std::vector<std::uint32_t> byMatchKey(const SnapshotList &list, bool descending) {
    const MatchKeys keys(list);
    const FolderTable &folders = list.folders();
    const int n = list.size();
    std::vector<std::uint32_t> ids(folders.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
        return ordinal(folders.lowerText(a), folders.lowerText(b)) < 0;
    });
    std::vector<std::uint32_t> rank(ids.size());
    std::vector<std::uint32_t> groupFolder; // a folder of each rank
    for (std::size_t k = 0; k < ids.size(); ++k) {
        if (k == 0 || ordinal(folders.lowerText(ids[k - 1]), folders.lowerText(ids[k])) != 0)
            groupFolder.push_back(ids[k]);
        rank[ids[k]] = static_cast<std::uint32_t>(groupFolder.size() - 1);
    }
    std::vector<Item> items(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QStringView name = keys.name(i);
        Item item = KeySort::makeItem(static_cast<std::uint32_t>(i), &name, 1);
        for (int k = KeySort::PrefixWords - 1; k > 0; --k)
            item.prefix[k] = item.prefix[k - 1];
        item.prefix[0] = rank[list.entry(i).folder];
        items[static_cast<std::size_t>(i)] = item;
    }
    KeySort::sortItems(items, false, [&](std::uint32_t a, std::uint32_t b) {
        return compareMatch(list, keys, static_cast<int>(a), static_cast<int>(b));
    });

    std::vector<std::uint32_t> order;
    order.reserve(static_cast<std::size_t>(n));
    struct Open {
        std::size_t pos, end;
        QStringView folder;
    };
    std::vector<Open> stack;
    auto below = [&](std::uint32_t entry, QStringView folder) {
        const int e = static_cast<int>(entry);
        const QStringView key[2] = {keys.folder(e), keys.name(e)};
        return ordinalCompareJoined(key, 2, &folder, 1) < 0;
    };
    for (std::size_t k = 0; k < items.size();) {
        const std::uint64_t group = items[k].prefix[0];
        std::size_t end = k;
        while (end < items.size() && items[end].prefix[0] == group)
            ++end;
        const QStringView folder = folders.lowerText(groupFolder[group]);
        while (!stack.empty() && !folder.startsWith(stack.back().folder)) {
            for (Open &top = stack.back(); top.pos < top.end; ++top.pos)
                order.push_back(items[top.pos].index);
            stack.pop_back();
        }
        for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
            for (; it->pos < it->end && below(items[it->pos].index, folder); ++it->pos)
                order.push_back(items[it->pos].index);
        }
        stack.push_back({k, end, folder});
        k = end;
    }
    while (!stack.empty()) {
        for (Open &top = stack.back(); top.pos < top.end; ++top.pos)
            order.push_back(items[top.pos].index);
        stack.pop_back();
    }
    if (keys.anyNameHolds(u'\\')) {
        for (std::size_t k = 1; k < order.size(); ++k) {
            if (compareMatch(list, keys, static_cast<int>(order[k - 1]),
                             static_cast<int>(order[k])) > 0)
                return byMatchKeyFull(list, keys, descending);
        }
    }
    if (descending) {
        // Reversed, but entries with equal keys keep their order.
        std::reverse(order.begin(), order.end());
        for (std::size_t k = 0; k < order.size();) {
            std::size_t end = k + 1;
            while (end < order.size() && compareMatch(list, keys, static_cast<int>(order[k]),
                                                      static_cast<int>(order[end])) == 0)
                ++end;
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(k),
                         order.begin() + static_cast<std::ptrdiff_t>(end));
            k = end;
        }
    }
    return order;
}

std::vector<std::uint32_t> byFolder(const SnapshotList &list, bool descending) {
    // Each folder text is compared once: entries then sort by the rank of their folder.
    const FolderTable &folders = list.folders();
    std::vector<std::uint32_t> ids(folders.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::stable_sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
        return naturalCompare(folders.text(a), folders.text(b)) < 0;
    });
    std::vector<std::uint32_t> rank(ids.size());
    for (std::size_t k = 0, r = 0; k < ids.size(); ++k) {
        if (k > 0 && naturalCompare(folders.text(ids[k - 1]), folders.text(ids[k])) != 0)
            ++r;
        rank[ids[k]] = static_cast<std::uint32_t>(r);
    }
    return byNumbers(list.size(), descending, [&](int i, std::uint64_t &p0, std::uint64_t &p1) {
        p0 = rank[list.entry(i).folder];
        p1 = 0;
    });
}

std::vector<std::uint32_t> byAttrText(const SnapshotList &list, bool descending) {
    // The decimal texts of the attribute words, compared as text: at most eleven characters,
    // packed into two numbers.
    return byNumbers(list.size(), descending, [&](int i, std::uint64_t &p0, std::uint64_t &p1) {
        char digits[16] = {};
        std::to_chars(digits, digits + 12, list.entry(i).attr);
        p0 = p1 = 0;
        for (int k = 0; k < 8; ++k)
            p0 = (p0 << 8) | static_cast<unsigned char>(digits[k]);
        for (int k = 8; k < 16; ++k)
            p1 = (p1 << 8) | static_cast<unsigned char>(digits[k]);
    });
}

std::vector<std::uint32_t> byDisplayText(const SnapshotList &list, int column, bool descending) {
    KeyPool pool;
    if (column == Col::Name) {
        for (int i = 0; i < list.size(); ++i) {
            KeySort::appendNaturalKey(pool.chars, list.name(i));
            pool.close();
        }
    } else {
        const EntryFormatter format;
        for (int i = 0; i < list.size(); ++i) {
            KeySort::appendNaturalKey(pool.chars, format.text(list, i, column));
            pool.close();
        }
    }
    return byTextKeys(pool, list.size(), descending);
}

std::vector<std::uint32_t> sortedBy(const SnapshotList &list, int key, bool descending) {
    switch (key) {
    case Col::InFolder:
        return byFolder(list, descending);
    case Col::MatchKey:
        return byMatchKey(list, descending);
    case Col::SizeKey:
        // By value; folders (no size key) first.
        return byNumbers(list.size(), descending, [&](int i, std::uint64_t &p0, std::uint64_t &p1) {
            const Entry &e = list.entry(i);
            p0 = e.isFolder() ? 0 : 1;
            p1 = e.isFolder() ? 0 : e.size;
        });
    case Col::DateKey:
        // By value; entries without a time (folders) first.
        return byNumbers(list.size(), descending, [&](int i, std::uint64_t &p0, std::uint64_t &p1) {
            const Entry &e = list.entry(i);
            const bool timed = !e.isFolder() && e.hasTime();
            p0 = timed ? 1 : 0;
            p1 = timed ? orderedBits(DateSerial::chronological(e.modified)) : 0;
        });
    case Col::AttrBits:
        return byAttrText(list, descending);
    default:
        return byDisplayText(list, key, descending);
    }
}

} // namespace

void SortList(SnapshotList &list, int key, int order) {
    if (key < 0 || key >= Col::Count)
        return;
    if (order != -1 && list.sort.key == key && list.sort.order == order)
        return;
    if (order == -1)
        order = (list.sort.key == key && list.sort.order == 0) ? 1 : 0;
    list.sort.key = key;
    list.sort.order = order;
    resort(list);
}

void resort(SnapshotList &list) {
    if (!list.sort.sorted() || list.size() < 2)
        return;
    list.permute(sortedBy(list, list.sort.key, list.sort.order == 1));
}
