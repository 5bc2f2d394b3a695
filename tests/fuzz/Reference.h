#pragma once
// A second, deliberately plain model of the list orders and of the comparison, kept apart from
// the engine: standard containers, whole texts, one rule after another, nothing tuned for speed.
// The sortcompare target runs both and reports where they part.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Reference {

struct Entry {
    std::u16string name;
    std::u16string folder; // In Folder: "" or folder names each followed by a backslash
    std::int32_t attr = 0;
    std::uint64_t size = 0;
    double modified = 0; // date serial, NaN without a time

    bool isFolder() const { return (attr & 16) != 0; }
};

using List = std::vector<Entry>;

// The positions of the entries in the order the sort by column `key` gives them.
std::vector<std::size_t> sorted(const List &list, int key, bool descending);

struct Options {
    std::u16string limitOriginal;
    std::u16string limitFinal;
    std::array<bool, 6> ignoreAttr{};
    bool ignoreSize = false;
    bool ignoreStamp = false;
    std::u16string tolerance;
};

// An entry of a result list; the Changed list also carries the Original's values.
struct Row {
    Entry entry;
    bool hasOrig = false;
    std::uint64_t origSize = 0;
    double origModified = 0;
    std::int32_t origAttr = 0;
    std::uint16_t differ = 0;
};

struct Outcome {
    // Only in Original, Only in Final, Changed, Unchanged.
    std::array<std::vector<Row>, 4> lists;
    // The first list (3..6) holding anything, 0 when all are empty.
    int shown = 0;
};

Outcome compare(const List &original, const List &final, const Options &options);

// Exposed for the failure texts.
float toleranceDays(const std::u16string &text);

} // namespace Reference
