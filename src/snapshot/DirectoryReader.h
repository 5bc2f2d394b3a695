#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Reads folders of a file system for the scanner. The scanner walks depth-first and asks for
// one folder at a time: the root at depth 0, then a subfolder of the folder last read at the
// depth above. An implementation may keep handles of the open ancestors.
//
// Folders are named by their bytes as the file system holds them (`native`), never by their
// text: a name that is not valid UTF-8 has no text that leads back to it in every encoding.
class DirectoryReader {
public:
    struct Item {
        std::uint32_t nameOffset; // the name's text, in the batch's `names`
        std::uint32_t nameLength;
        std::int32_t attr;
        std::uint64_t size;
        double modified; // date serial of the last write, local time; NaN when unknown
        std::uint32_t nativeOffset = 0; // the name's bytes, in the batch's `native`
        std::uint32_t nativeLength = 0;
        // For a folder: whether the walk goes into it. A folder on another volume than the
        // root's (a mount point) is listed but not entered unless other volumes are asked for,
        // and a folder listed before (a bind mount, a loop) is not entered again.
        bool enter = true;
    };
    struct Batch {
        std::vector<Item> items;
        std::u16string names;
        std::string native;
        void clear() {
            items.clear();
            names.clear();
            native.clear();
        }
        std::string_view nativeName(const Item &item) const {
            return std::string_view(native).substr(item.nativeOffset, item.nativeLength);
        }
    };
    virtual ~DirectoryReader() = default;
    // Reads every entry of the folder, in the order the file system returns them ("." and ".."
    // left out). At depth 0 `native` is the root's path, which starts a new walk. Returns false
    // when the folder cannot be opened.
    virtual bool read(int depth, std::string_view native, Batch &batch) = 0;
};

// The reader of this platform's file system. A walk stays on the root's volume unless
// `otherVolumes` is set; even then the kernel's own file systems are not entered.
std::unique_ptr<DirectoryReader> makeDirectoryReader(bool otherVolumes = false);
