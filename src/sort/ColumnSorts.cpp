#include "ColumnSorts.h"

#include "MatchKeys.h"
#include "SortEngine.h"
#include "TextKeys.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>

namespace {

// Keys held as texts in one pool.
struct KeyPool {
    std::vector<char16_t> chars;
    std::vector<std::size_t> offsets{0};
    void close() { offsets.push_back(chars.size()); }
    void add(QStringView text) {
        chars.insert(chars.end(), text.utf16(), text.utf16() + text.size());
        close();
    }
    QStringView key(std::uint32_t i) const {
        return QStringView(chars.data() + offsets[i],
                           static_cast<qsizetype>(offsets[i + 1] - offsets[i]));
    }
};

// Numbers as keys: `rank` gives up to two unsigned values per entry.
template <typename Rank> std::vector<std::uint32_t> byNumbers(int n, bool descending, Rank rank) {
    std::vector<SortEngine::NumberItem> items(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        SortEngine::NumberItem &item = items[static_cast<std::size_t>(i)];
        item.index = static_cast<std::uint32_t>(i);
        item.units = 0;
        rank(i, item.prefix[0], item.prefix[1]);
    }
    SortEngine::sortItems(items, descending);
    return SortEngine::indices(items);
}

// A double as an unsigned number of the same order.
std::uint64_t orderedBits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & (1ull << 63)) ? ~bits : bits | (1ull << 63);
}

// The text order of the columns shown ignores letter case, character by character (no locale:
// the locale's collation makes a million-entry sort take too long); between texts that differ
// only in case ("Data" and "data"), their code units decide, so that no two different texts
// are ever mixed together.
std::vector<std::uint32_t> byFolder(const SnapshotList &list, bool descending) {
    // Each folder text is keyed once: entries then sort by the rank of their folder.
    const FolderTable &folders = list.folders();
    KeyPool keys;
    for (std::uint32_t id = 0; id < folders.size(); ++id) {
        TextKeys::appendFolded(keys.chars, folders.text(id));
        keys.close();
    }
    std::vector<std::uint32_t> ids(folders.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (const int c = TextKeys::compare(keys.key(a), keys.key(b)))
            return c < 0;
        return TextKeys::compare(folders.text(a), folders.text(b)) < 0;
    });
    std::vector<std::uint32_t> rank(ids.size());
    for (std::size_t k = 0; k < ids.size(); ++k)
        rank[ids[k]] = static_cast<std::uint32_t>(k);
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
    KeyPool keys, texts;
    const EntryFormatter format;
    keys.offsets.reserve(static_cast<std::size_t>(list.size()) + 1);
    if (column == Col::Name) {
        // Folding keeps nearly every name's length: room for all of them at once spares the
        // copies of a pool that grows.
        std::size_t units = 0;
        for (int i = 0; i < list.size(); ++i)
            units += list.entry(i).name.length;
        keys.chars.reserve(units + units / 16);
    }
    for (int i = 0; i < list.size(); ++i) {
        if (column == Col::Name) {
            TextKeys::appendFolded(keys.chars, list.name(i));
        } else {
            const QString text = format.text(list, i, column);
            TextKeys::appendFolded(keys.chars, text);
            texts.add(text);
        }
        keys.close();
    }
    auto exact = [&](std::uint32_t i) {
        return column == Col::Name ? list.name(static_cast<int>(i)) : texts.key(i);
    };
    return SortEngine::sortByChunks(
        static_cast<std::size_t>(list.size()), descending,
        [&](std::uint32_t i, int chunk, std::uint64_t *prefix) {
            const QStringView key = keys.key(i);
            return SortEngine::packUnits(&key, 1, chunk * SortEngine::PrefixUnits, prefix);
        },
        [&](std::uint32_t a, std::uint32_t b) { return TextKeys::compare(exact(a), exact(b)); });
}

std::vector<std::uint32_t> sortedBy(const SnapshotList &list, int key, bool descending) {
    switch (key) {
    case Col::InFolder:
        return byFolder(list, descending);
    case Col::MatchKey:
        return MatchKeys(list).order(descending);
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

void sortList(SnapshotList &list, int key, int order) {
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
