#pragma once

#include "Details.h"
#include "HashIndex.h"
#include "ListId.h"
#include "OwnerTexts.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

// Interns the In Folder texts of one list: every entry refers to its folder by number, so a
// folder's text is held once however many entries it holds.
class FolderTable {
public:
    FolderTable();
    std::uint32_t intern(QStringView folder);
    // The same for a text that a new folder then shares (a list copying another's folders holds
    // no second copy of their texts).
    std::uint32_t intern(const QString &folder);
    const QString &text(std::uint32_t id) const { return m_texts[id]; }
    const QString &lowerText(std::uint32_t id) const;
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_texts.size()); }
    void clear();
    // Counts the clears, after which the numbers name other folders.
    std::uint64_t generation() const { return m_generation; }

private:
    std::uint32_t find(QStringView folder, const QString *text);

    std::vector<QString> m_texts;
    mutable std::vector<QString> m_lower;
    HashIndex m_index;
    std::uint64_t m_generation = 0;
};

// Holds the names of one list in large blocks, so a million names cost a few allocations.
//
// A pool only grows: the text of a reference never moves, so a list can share its pool with
// lists that copy from it, and a thread may add names while another reads earlier ones (the
// table of blocks is reserved up front, so adding a block does not move it).
class NamePool {
public:
    NamePool();
    struct Ref {
        std::uint32_t offset = 0; // block number and place in the block
        std::uint32_t length = 0;
    };
    Ref add(QStringView name);
    QStringView view(Ref ref) const {
        const char16_t *block = m_blocks[ref.offset >> BlockBits].get();
        return QStringView(block + (ref.offset & (BlockSize - 1)), ref.length);
    }
    std::size_t bytes() const { return m_bytes; }

private:
    static constexpr int BlockBits = 20;
    static constexpr std::uint32_t BlockSize = 1u << BlockBits;
    static constexpr std::size_t MaxBlocks = 1u << (32 - BlockBits);
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    std::uint32_t m_current = 0;      // the block that takes short names
    std::uint32_t m_used = BlockSize; // space used in that block
    std::size_t m_bytes = 0;
};

// One file or folder. Display and key texts are made from these values on demand.
struct Entry {
    NamePool::Ref name;
    std::uint32_t folder = 0; // in the list's FolderTable
    std::int32_t attr = 0;
    std::uint64_t size = 0;
    double modified = 0; // date serial; NaN when the entry has no time

    bool isFolder() const { return attr & 16; }
    bool hasTime() const;
};

// The Original's values beside a Changed entry; a flag in `differ` says which ones differ.
struct OrigValues {
    std::uint64_t size = 0;
    double modified = 0;
    std::int32_t attr = 0;
    std::uint32_t differ = 0;
};

// How two entries of a comparison, one only in the Original and one only in the Final, were
// found to be one file moved or renamed, from the surest way to the least sure.
enum class MoveRule : std::uint8_t {
    None,
    Inode,        // the same device and inode
    Contents,     // the same size and SHA-256 digest
    NameSizeTime, // the same name, size and modified time, in another folder
    Entries       // a folder whose entries moved to the same other folder
};

// A list's sort state: the zero-based column compared and the order (0 ascending,
// 1 descending). A list starts unsorted.
struct SortState {
    int key = -1;
    int order = 0;
    bool sorted() const { return key >= 0; }
};

class SnapshotList {
public:
    // Metadata of the list.
    QString description;
    QString fileName;
    QString source;
    double created = 0; // date serial
    bool unsaved = false;
    SortState sort;
    // The patterns the scan that took the snapshot left out; not kept in its file.
    QStringList leftOut;
    // The folders (In Folder texts, "" for the root) that scan could not read, so that it lists
    // them as empty; not kept in its file either.
    QStringList unreadable;

    int size() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    const Entry &entry(int i) const { return m_entries[static_cast<std::size_t>(i)]; }
    QStringView name(int i) const { return m_names->view(entry(i).name); }
    const QString &folder(int i) const { return m_folders.text(entry(i).folder); }
    const FolderTable &folders() const { return m_folders; }
    bool hasOrig() const { return !m_orig.empty(); }
    // Whether some entry has details (a POSIX scan's, or a file's that kept them); entries
    // without them then have details that are not known.
    bool hasDetails() const { return !m_details.isEmpty(); }
    Details details(int i) const {
        return hasDetails() ? m_details.at(static_cast<std::size_t>(i)) : Details();
    }
    // Whether some entry has its contents' digest; digest(i) is all zeros for an entry without.
    bool hasContents() const { return !m_contents.empty(); }
    Digest digest(int i) const {
        const auto k = static_cast<std::size_t>(i);
        return k < m_contents.size() ? m_contents[k].digest : Digest{};
    }
    // The change time (nanoseconds since 1970) the file had when its digest was taken, by which
    // a later scan knows whether the digest still holds; 0 when it cannot tell. An entry without
    // a digest may hold the one its scan saw, until its contents are read.
    std::uint64_t digestChangeTime(int i) const {
        const auto k = static_cast<std::size_t>(i);
        return k < m_contents.size() ? m_contents[k].changeTime : 0;
    }
    void setDigest(int i, const Digest &digest, std::uint64_t changeTime = 0);
    void setChangeTime(int i, std::uint64_t changeTime);
    // Whether entries i of `a` and j of `b` both have digests, and they differ.
    static bool contentsDiffer(const SnapshotList &a, int i, const SnapshotList &b, int j) {
        const auto k = static_cast<std::size_t>(i), l = static_cast<std::size_t>(j);
        if (k >= a.m_contents.size() || l >= b.m_contents.size())
            return false;
        const Digest &x = a.m_contents[k].digest, &y = b.m_contents[l].digest;
        return hasDigest(x) && hasDigest(y) && x != y;
    }
    // The same one detail, without making the others.
    QString linkTarget(int i) const {
        return hasDetails() ? m_details.linkTarget(static_cast<std::size_t>(i)) : QString();
    }
    // Where the entry lies on its volume, for lists with details; false when not known.
    bool identity(int i, std::uint64_t &device, std::uint64_t &inode) const {
        return hasDetails() && m_details.identity(static_cast<std::size_t>(i), device, inode);
    }
    // The Original's details beside a Changed entry.
    Details origDetails(int i) const {
        const auto k = static_cast<std::size_t>(i);
        return k < m_origDetails.size() ? m_origDetails.at(k) : Details();
    }
    // Which details of entry i of `a` and entry j of `b` differ (Differ bits).
    static std::uint32_t detailDifferences(const SnapshotList &a, int i, const SnapshotList &b,
                                           int j) {
        return a.hasDetails() && b.hasDetails()
                   ? DetailsColumn::differences(a.m_details, static_cast<std::size_t>(i),
                                                b.m_details, static_cast<std::size_t>(j))
                   : 0;
    }
    const OrigValues &orig(int i) const { return m_orig[static_cast<std::size_t>(i)]; }

    // Moves found by a comparison: for an entry of an Only list, where it went or came from; for
    // an entry of the Moved list (the Final's side), where it came from, and for a folder, how
    // many entries moved with it.
    bool hasMoves() const { return !m_moves.empty(); }
    // Entry i is entry j of `other` moved (or the other way round).
    void setMove(int i, const SnapshotList &other, int j, MoveRule rule, std::uint32_t along = 0);
    MoveRule moveRule(int i) const {
        const auto k = static_cast<std::size_t>(i);
        return k < m_moves.size() ? m_moves[k].rule : MoveRule::None;
    }
    // The other side's In Folder and name, joined; empty for an entry not moved.
    QString movedPath(int i) const;
    // The other side's In Folder alone.
    const QString &movedFolder(int i) const {
        return m_moveFolders.text(m_moves[static_cast<std::size_t>(i)].folder);
    }
    std::uint32_t movedAlong(int i) const {
        const auto k = static_cast<std::size_t>(i);
        return k < m_moves.size() ? m_moves[k].along : 0;
    }

    // The installed packages that own the entries: a snapshot of a system whose package
    // database is known has them (looked up, or kept in its file), and so do the result lists
    // made from it. A list refers to one table of owners, so one that mixes entries of lists
    // with different tables has none.
    bool hasPackages() const { return m_packages != nullptr; }
    const OwnerTexts *packages() const { return m_packages.get(); }
    // Entry i's owners in packages(); Unowned past the entries looked up.
    std::uint32_t packageSet(int i) const {
        const auto k = static_cast<std::size_t>(i);
        return k < m_packageSets.size() ? m_packageSets[k] : 0;
    }
    // The owners' names, "(none)" for an entry no package owns, and nothing for an entry that
    // was not looked up (one added to the snapshot afterwards).
    QString packageText(int i) const;
    // Gives the entries their owners, in the list's order; no packages and no sets: none.
    void setPackages(std::shared_ptr<const OwnerTexts> packages, std::vector<std::uint32_t> sets);

    // Room for that many entries, and for their details and digests when they will have them.
    void reserve(std::size_t entries, bool details = false, bool contents = false);
    // Gives back room reserved well beyond the entries held.
    void squeeze();
    std::uint32_t internFolder(QStringView folder) { return m_folders.intern(folder); }
    void append(QStringView name, std::uint32_t folder, std::int32_t attr, std::uint64_t size,
                double modified);
    void append(QStringView name, QStringView folder, std::int32_t attr, std::uint64_t size,
                double modified);
    // The same with the entry's details.
    void append(QStringView name, std::uint32_t folder, std::int32_t attr, std::uint64_t size,
                double modified, const Details &details);
    // Copies entry i of another list; with `orig`, the entry carries the Original's values.
    void appendCopy(const SnapshotList &from, int i, const OrigValues *orig = nullptr);
    // A Changed entry: entry j of the Final, beside the values and details of entry i of the
    // Original.
    void appendChanged(const SnapshotList &final, int j, const OrigValues &orig,
                       const SnapshotList &original, int i);
    // Removes every entry; the metadata and sort state stay.
    void clearEntries();
    // The same after memory ran out while the list was filled; needs no memory itself, and
    // gives back at least the entries and limits.
    void clearAfterFailure() noexcept;
    // Keeps the first n entries.
    void truncate(int n);
    // Reorders the entries: entry k of the result is entry order[k] of the list.
    void permute(const std::vector<std::uint32_t> &order);
    std::size_t memoryBytes() const;

    // A folder a comparison can be limited to: one of the list's folder texts, or the folder a
    // folder entry names, kept as the entry's folder and name. A thousand folder entries in one
    // long folder then cost no copy of its text each; their texts are made when asked for.
    struct Limit {
        std::uint32_t folder = 0; // in the list's FolderTable
        bool named = false;       // the text goes on with `name` and a backslash
        NamePool::Ref name;
        bool operator==(const Limit &other) const {
            return folder == other.folder && named == other.named &&
                   (!named ||
                    (name.offset == other.name.offset && name.length == other.name.length));
        }
    };
    // The folders of this list a comparison can be limited to (its `LimitedTo` items), in the
    // order they were added. Only the two snapshot lists use them.
    std::vector<Limit> limits;
    void addLimit(QStringView folder) { addLimit(m_folders.intern(folder)); }
    void addLimit(std::uint32_t folder) { limits.push_back({folder, false, {}}); }
    // The folder that the folder entry i names: its In Folder, its name and a backslash.
    void addLimitOfEntry(int i) { limits.push_back({entry(i).folder, true, entry(i).name}); }
    QString limitText(std::size_t k) const;
    // The place of the first limit whose text is `text`, or -1; no limit's text is made.
    qsizetype findLimit(QStringView text) const;

private:
    void appendDetails(const Details &details);
    void followCopiedList(const SnapshotList &from);
    void copyPackageSet(const SnapshotList &from, int i);

    std::vector<Entry> m_entries;
    std::vector<OrigValues> m_orig;
    DetailsColumn m_details;     // empty, or one item per entry
    DetailsColumn m_origDetails; // the same beside a Changed entry
    struct Contents {
        Digest digest{};
        std::uint64_t changeTime = 0;
    };
    std::vector<Contents> m_contents; // empty, or up to the last entry that has a digest
    struct Move {
        std::uint32_t folder = 0; // in m_moveFolders
        NamePool::Ref name;       // in this list's pool
        MoveRule rule = MoveRule::None;
        std::uint32_t along = 0;
    };
    std::vector<Move> m_moves; // empty, or up to the last entry moved
    std::shared_ptr<const OwnerTexts> m_packages;
    std::vector<std::uint32_t> m_packageSets; // by entry, while there are packages
    FolderTable m_moveFolders; // apart from the list's own, which name where its entries are
    // For each folder of the list moves came from last, its number in m_moveFolders.
    const FolderTable *m_movesFrom = nullptr;
    std::uint64_t m_movesGeneration = 0;
    std::vector<std::uint32_t> m_moveFolderOf;
    // The list copied from last, and for each of its folders met so far the same folder in this
    // list (NoFolder when not yet met): entries in match-key order change folders at nearly
    // every step, and each folder's text is then looked up once.
    const FolderTable *m_copiedFrom = nullptr;
    std::uint64_t m_copiedGeneration = 0;
    std::vector<std::uint32_t> m_copiedFolders;
    std::vector<std::uint32_t> m_copiedDetails; // the same for the shared details
    // The same for the Original's details beside Changed entries.
    const FolderTable *m_origFrom = nullptr;
    std::uint64_t m_origGeneration = 0;
    std::vector<std::uint32_t> m_copiedOrigDetails;
    static constexpr std::uint32_t NoFolder = ~0u;
    // Result lists share the names of the list they copy from: the pool only ever grows, so
    // every list's references stay valid, and a million copies cost no name text.
    std::shared_ptr<NamePool> m_names = std::make_shared<NamePool>();
    FolderTable m_folders;
};
