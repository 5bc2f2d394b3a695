#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Reads folders of a file system for the scanner. The scanner walks depth-first and asks for
// one folder at a time: the root at depth 0, then a subfolder of the folder last read at the
// depth above. An implementation may keep handles of the open ancestors.
class DirectoryReader {
public:
    struct Item {
        std::uint32_t nameOffset; // into the names of the batch
        std::uint32_t nameLength;
        std::int32_t attr;
        std::uint64_t size;
        double modified; // date serial of the last write, local time; NaN when unknown
    };
    struct Batch {
        std::vector<Item> items;
        std::vector<char16_t> names;
        void clear() {
            items.clear();
            names.clear();
        }
    };

    virtual ~DirectoryReader() = default;
    // Reads every entry of the folder, in the order the file system returns them ("." and ".."
    // left out). Returns false when the folder cannot be opened.
    virtual bool read(int depth, const QString &nameOrRoot, Batch &batch) = 0;
};

// The reader of this platform's file system.
std::unique_ptr<DirectoryReader> makeDirectoryReader();
