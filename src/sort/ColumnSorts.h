#pragma once

// ColumnSorts: how a list sorts by each of its columns (text, number or match-key order), and
// sortList and resort, through which the program sorts a list by a column.

class SnapshotList;

// Sorts the list by the zero-based column `key`; order 0 ascending, 1 descending, -1 toggles
// (ascending unless the list is already sorted ascending by that key). A list already sorted
// that way is left alone. Sorts are stable.
void sortList(SnapshotList &list, int key, int order);

// Puts a list that has a sort state back in order after entries were appended.
void resort(SnapshotList &list);
