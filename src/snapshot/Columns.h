#pragma once

#include "ListId.h"

#include <QString>

class SnapshotList;

// The columns of the lists, zero-based as the sort keys count them.
namespace Col {
inline constexpr int Name = 0;
inline constexpr int InFolder = 1;
inline constexpr int MatchKey = 2;
inline constexpr int Size = 3;
inline constexpr int SizeKey = 4;
inline constexpr int OrigSize = 5;
inline constexpr int Modified = 6;
inline constexpr int DateKey = 7;
inline constexpr int OrigModified = 8;
inline constexpr int Attributes = 9;
inline constexpr int AttrBits = 10;
inline constexpr int OrigAttr = 11;
// The details of a POSIX scan, shown in the lists of snapshots that hold them.
inline constexpr int Permissions = 12;
inline constexpr int Owner = 13;
inline constexpr int Group = 14;
inline constexpr int LinkTarget = 15;
inline constexpr int Sha256 = 16;      // in lists that hold the contents' digests
inline constexpr int WhatChanged = 17; // the Changed list's, beside its Original's values
// Where an entry of an Only list went or came from, when it was found moved.
inline constexpr int Moved = 18;
// The Moved list's: where its entry came from, and how the two were found to be one.
inline constexpr int From = 19;
inline constexpr int HowMatched = 20;
// The installed packages that own the entry, in lists of a system whose database is known.
inline constexpr int Package = 21;
inline constexpr int Count = 22;
// The columns of every list and the details, as scripts have always read them.
inline constexpr int DetailsCount = 18;
// The columns of every list, as the format has always had them.
inline constexpr int PlainCount = 12;
} // namespace Col

// What there is to know of a column, in one place: the model, the header clicks, the width
// linking and the list panes all read it here.
struct Column {
    const char *header; // as the list views show it
    const char *name;   // the column's own name (the hidden key columns by their key names)
    bool key;           // a hidden key column, which sorts and compares as plain text
    int sortKey;        // what a click on its header sorts by: its key column, or itself
    bool alignRight;
    double width; // design width in twips; 0 starts it hidden
    // An Orig column: the Original's value beside a Changed entry, shown in the Changed list
    // only, as wide as the column it stands beside (`partner`); -1 for the others.
    int partner;
    // A column of details, shown only in a list that holds them; its width is its own.
    bool details = false;
    bool changedOnly = false; // shown in the Changed list only
    bool contents = false;    // shown only in a list that holds digests
    bool moves = false;       // shown only in an Only list that holds moves
    bool movedOnly = false;   // shown in the Moved list only
    bool packages = false;    // shown only in a list that holds its entries' owners
};

// What a list holds beyond the columns every list has, which decides the columns it shows.
struct ListHolds {
    bool details = false;
    bool contents = false;
    bool moves = false;
    bool packages = false;
    static ListHolds of(const SnapshotList &list);
    bool operator==(const ListHolds &) const = default;
};

const Column &column(int c);

// Header text of a column as the list views show it.
QString columnHeader(int c);
// The same in one list: in the Moved list the In Folder is where the entry went.
QString columnHeader(ListId listNo, int c);
// The column's own name (the hidden key columns by their key names).
QString columnName(int c);
bool isHiddenColumn(int c);
// The width list `listNo` starts with in column c, in twips.
double designWidth(ListId listNo, int c);
// Whether a column's width carries over from list to list when widths are linked: the columns
// every list shows.
bool isLinkedColumn(int c);
// Whether list `listNo` shows column c (a key column aside), given what it holds.
bool showsColumn(ListId listNo, int c, const ListHolds &holds);

// The column a click on the header of column `clicked` sorts by: Size, Modified and Attributes
// sort by their hidden key columns. Returns -1 when the list refuses that column (the Orig
// columns of the Changed list).
int headerSortKey(ListId listNo, int clicked);
// The refusal shown for such a click.
inline constexpr const char *SortRefusal = "Sorry, this list cannot be sorted by this column";
