#pragma once

#include "TextOrder.h"

#include <cstdint>
#include <vector>

class SnapshotList;

// The entry numbers of a list in match-key order: the ordinal order of the lower-cased In Folder
// joined to the lower-cased name. Keys that are equal (names that differ only in letter case,
// which a POSIX folder can hold side by side) are ordered by their exact joined texts, then by
// their exact folders, then by entry number; descending reverses all but the last.
//
// Real trees share long folder prefixes, so comparing whole keys spends most of its time on
// what every entry of a folder has in common. The keys are cut at each backslash instead, into
// a tree of folders: the items of a folder are the names in it and its subfolders (each with
// its backslash), every folder's items are sorted on their own, and the tree is read out depth
// first. The items of a folder hold no backslash but a subfolder's last, so one is never a
// prefix of another in a way that would put a subfolder's contents out of place.
std::vector<std::uint32_t> matchKeyOrder(const SnapshotList &list, const MatchKeys &keys,
                                         bool descending);

// Sorts the list by match key, ascending (unless it is sorted so already), and returns the
// match keys of its entries in their new order, so that what compares the list next need not
// make them again.
MatchKeys sortByMatchKey(SnapshotList &list);
