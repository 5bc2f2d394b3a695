#pragma once

// MatchKeys: the keys by which the comparison pairs entries and the MatchKey column sorts, the
// text of one key, and their order.

#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

class SnapshotList;

// The lower-cased names and folders of a list's entries, which make up their match keys: the
// lower-cased In Folder followed by the lower-cased name. A name with nothing to lower is its
// own key; the others are lowered into blocks of their own, so no key ever moves.
class MatchKeys {
public:
    explicit MatchKeys(const SnapshotList &list);

    // The match-key text of entry i of a list, as the MatchKey column shows it; the one place
    // it is made whole (sorts and comparisons read it in its two parts).
    static QString text(const SnapshotList &list, int i);

    QStringView name(int i) const { return m_names[static_cast<std::size_t>(i)]; }
    QStringView folder(int i) const;
    // Whether entries i and j of the list have the same match key.
    bool equal(int i, int j) const;
    // Follows a reordering of the list (see SnapshotList::permute).
    void permute(const std::vector<std::uint32_t> &order);

    // The entry numbers of the list in match-key order: the ordinal order of the lower-cased In
    // Folder joined to the lower-cased name. Keys that are equal (names that differ only in
    // letter case, which a POSIX folder can hold side by side) are ordered by their exact joined
    // texts, then by their exact folders, then by entry number; descending reverses all but the
    // last.
    //
    // Real trees share long folder prefixes, so comparing whole keys spends most of its time on
    // what every entry of a folder has in common. The keys are cut at each backslash instead,
    // into a tree of folders: the items of a folder are the names in it and its subfolders
    // (each with its backslash), every folder's items are sorted on their own, and the tree is
    // read out depth first. The items of a folder hold no backslash but a subfolder's last, so
    // one is never a prefix of another in a way that would put a subfolder's contents out of
    // place.
    std::vector<std::uint32_t> order(bool descending) const;

private:
    // Room for a key of `length` units, which `take` then keeps or `giveBack` returns (a long
    // one has a block of its own).
    char16_t *room(std::size_t length);
    QStringView take(const char16_t *at, std::size_t length);
    void giveBack(std::size_t length);

    const SnapshotList &m_list;
    std::vector<QStringView> m_names;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    std::vector<std::unique_ptr<char16_t[]>> m_large; // a long name each
    std::size_t m_free = 0;                           // room left in the last block
};

// Sorts the list by match key, ascending (unless it is sorted so already), and returns the
// match keys of its entries in their new order, so that what compares the list next need not
// make them again.
MatchKeys sortByMatchKey(SnapshotList &list);
