#pragma once

class SnapshotList;

// The column a click on the header of column `clicked` (zero-based) sorts by: Size, Modified and
// Attributes sort by their hidden key columns. Returns -1 when the list refuses that column (the
// Orig columns of the Changed list).
int headerSortKey(int listNo, int clicked);

// The refusal shown for such a click.
inline constexpr const char *SortRefusal = "Sorry, this list cannot be sorted by this column";

// Sorts the list by the zero-based column `key`; order 0 ascending, 1 descending, -1 toggles
// (ascending unless the list is already sorted ascending by that key). A list already sorted
// that way is left alone. Sorts are stable.
void SortList(SnapshotList &list, int key, int order);

// Puts a list that has a sort state back in order after entries were appended.
void resort(SnapshotList &list);
