#pragma once

#include "HashIndex.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

// What a POSIX scan knows of an entry beyond the five values every snapshot holds: its type and
// permission bits, owner, group, link target, device numbers, where it lies on its volume and
// its modified time to the nanosecond. A scan of another system, a DOS listing and a file of the
// plain format know none of it (`known()` is false).
struct Details {
    std::uint32_t mode = 0; // st_mode: file type and permission bits; 0 when not known
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::uint32_t links = 0;
    std::uint64_t device = 0; // the volume it lies on
    std::uint64_t inode = 0;
    std::uint64_t rdev = 0;        // what a device node stands for
    std::uint32_t nanoseconds = 0; // of the modified time, beyond its whole second
    QString linkTarget;            // a symbolic link's target, as names are shown
    QByteArray capability;         // security.capability as the file system holds it

    bool known() const { return mode != 0; }
    bool operator==(const Details &other) const = default;
};

// A moment as a file's change time gives it, in nanoseconds since 1970; 0 for an earlier one,
// which no file written since can have.
inline std::uint64_t nanosecondsSince1970(std::int64_t seconds, long nanoseconds) {
    return seconds < 0 ? 0 : std::uint64_t(seconds) * 1'000'000'000u + std::uint64_t(nanoseconds);
}

// Which values of a Changed entry differ from the Original's: the attribute bits (the low six),
// the size, the modified time, and the details that both sides know.
namespace Differ {
inline constexpr std::uint32_t AttrBitsMask = 63;
inline constexpr std::uint32_t Size = 256;
inline constexpr std::uint32_t Stamp = 512;
inline constexpr std::uint32_t Mode = 1 << 10; // type or permission bits
inline constexpr std::uint32_t Owner = 1 << 11;
inline constexpr std::uint32_t Group = 1 << 12;
inline constexpr std::uint32_t Link = 1 << 13;   // a symbolic link's target
inline constexpr std::uint32_t Device = 1 << 14; // what a device node stands for
inline constexpr std::uint32_t Capability = 1 << 15;
inline constexpr std::uint32_t Contents = 1 << 16; // the SHA-256 digests, where both have one
inline constexpr std::uint32_t DetailsMask =
    Mode | Owner | Group | Link | Device | Capability | Contents;
} // namespace Differ

// A file's contents as SHA-256 gives them; all zeros where there is none (a folder, a file not
// read), which no contents give.
using Digest = std::array<std::uint8_t, 32>;
// Asked for every pair of a comparison: four words, not a byte-wise comparison.
inline bool hasDigest(const Digest &digest) {
    std::uint64_t words[4];
    std::memcpy(words, digest.data(), sizeof words);
    return (words[0] | words[1] | words[2] | words[3]) != 0;
}
QString digestText(const Digest &digest); // 64 lower-case hex digits, as sha256sum writes it

// The details of a list's entries, 16 bytes each. What many entries share (mode, owner, group,
// link count, volume, device numbers, link target, capability) is held once in a table; each
// entry keeps its place in that table, its inode and its nanoseconds.
class DetailsColumn {
public:
    DetailsColumn();
    bool isEmpty() const { return m_slots.empty(); }
    std::size_t size() const { return m_slots.size(); }
    // Adds the details of the next entry; unknown details take no room in the table.
    void append(const Details &details);
    // Adds `count` entries of unknown details (entries added before a list had any).
    void appendUnknown(std::size_t count);
    // Adds a copy of entry i of another column. `seen` remembers, for that column, where each
    // of its shared values went, so that copying a million entries looks each one up once; it
    // belongs to that one source column and must be emptied before another is copied from.
    void appendCopy(const DetailsColumn &from, std::size_t i, std::vector<std::uint32_t> &seen);
    Details at(std::size_t i) const;
    const QString &linkTarget(std::size_t i) const {
        return m_shared[m_slots[i].shared].linkTarget;
    }
    // The volume and inode of entry i, without making its other details; false when not known.
    bool identity(std::size_t i, std::uint64_t &device, std::uint64_t &inode) const {
        const Slot &slot = m_slots[i];
        device = m_shared[slot.shared].device;
        inode = slot.inode;
        return slot.shared != 0;
    }
    // Which details of entry i of `a` and entry j of `b` differ (Differ bits); none when either
    // is not known.
    static std::uint32_t differences(const DetailsColumn &a, std::size_t i, const DetailsColumn &b,
                                     std::size_t j);

    void reserve(std::size_t entries) { m_slots.reserve(entries); }
    void squeeze();
    void truncate(std::size_t n);
    // Entry k becomes entry order[k].
    void permute(const std::vector<std::uint32_t> &order);
    std::size_t memoryBytes() const;

private:
    struct Shared {
        std::uint32_t mode = 0, uid = 0, gid = 0, links = 0;
        std::uint64_t device = 0, rdev = 0;
        QString linkTarget;
        QByteArray capability;
        bool operator==(const Shared &other) const = default;
    };
    static std::uint32_t hashOf(const Shared &s);
    struct Slot {
        std::uint32_t shared;
        std::uint32_t nanoseconds;
        std::uint64_t inode;
    };
    static_assert(sizeof(Slot) == 16);

    std::uint32_t intern(const Shared &shared);

    std::vector<Slot> m_slots;
    std::vector<Shared> m_shared; // [0] stands for unknown details
    HashIndex m_index;
};
