#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Reads folders of a file system for the scanner. A walk starts at its root; every other folder
// is named by its path below the root, so that folders can be read in any order and several at
// once: the scanner reads ahead of the place its walk has reached, on other threads.
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
        // For a folder: whether the walk may go into it. A folder on another volume than the
        // root's (a mount point) is listed but not entered unless other volumes are asked for,
        // and the root listed again below itself (a bind mount) is not entered either.
        bool enter = true;
        // What the entry is on its volume; for a folder, so that a folder listed twice (a bind
        // mount, a loop) is entered only where the walk lists it first. Which place that is
        // depends on the order of the walk, so the scanner decides it, not the reader. 0 when
        // unknown.
        std::uint64_t volume = 0;
        std::uint64_t node = 0;
        // The POSIX details (see Details); mode 0 where the file system has none.
        std::uint32_t mode = 0;
        std::uint32_t uid = 0;
        std::uint32_t gid = 0;
        std::uint32_t links = 0;
        std::uint32_t nanoseconds = 0;
        std::uint64_t rdev = 0;
        std::uint64_t changed = 0;      // the change time, nanoseconds since 1970
        std::uint32_t targetOffset = 0; // a link's target as text, in `names`
        std::uint32_t targetLength = 0;
        std::uint32_t capabilityOffset = 0; // its security.capability, in `native`
        std::uint32_t capabilityLength = 0;
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
    // Starts a walk at the root folder, whose path is `native`, and reads the root: every entry,
    // in the order the file system returns them ("." and ".." left out). Returns false when the
    // root cannot be opened; nothing below it can be read then.
    virtual bool readRoot(std::string_view native, Batch &batch) = 0;
    // Reads a folder below the root of the walk, `path` being the names from the root down to
    // it joined by "/". Several threads may read at once, once readRoot has returned. Returns
    // false when the folder cannot be opened or read to its end.
    virtual bool read(std::string_view path, Batch &batch) = 0;
};

// The reader of this platform's file system. A walk stays on the root's volume unless
// `otherVolumes` is set; even then the kernel's own file systems are not entered.
std::unique_ptr<DirectoryReader> makeDirectoryReader(bool otherVolumes = false);
