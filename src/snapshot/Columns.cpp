#include "Columns.h"

#include "SnapshotList.h"

namespace {

bool isOnlyList(ListId listNo) {
    return listNo == ListId::OnlyInOriginal || listNo == ListId::OnlyInFinal;
}

constexpr const char *Temporary = "(temporary value)";

// clang-format off
const Column Columns[Col::Count] = {
    // header                 name                   key    sorts by          right  width  partner
    {"Name",                  "Name",                false, Col::Name,        false, 1800, -1},
    {"In Folder",             "In Folder",           false, Col::InFolder,    false, 2200, -1},
    {Temporary,               "MatchKey",            true,  Col::MatchKey,    false, 0,    -1},
    {"Size",                  "Size",                false, Col::SizeKey,     true,  1100, -1},
    {Temporary,               "SizeKey",             true,  Col::SizeKey,     true,  0,    -1},
    {"Orig Size",             "Orig Size",           false, Col::OrigSize,    true,  0,    Col::Size},
    {"Modified",              "Modified",            false, Col::DateKey,     false, 1800, -1},
    {Temporary,               "DateKey",             true,  Col::DateKey,     false, 0,    -1},
    {"Originally Modified",   "Originally Modified", false, Col::OrigModified, false, 0,   Col::Modified},
    {"Attributes",            "Attributes",          false, Col::AttrBits,    false, 900,  -1},
    {Temporary,               "AttrBits",            true,  Col::AttrBits,    false, 0,    -1},
    {"Orig Attr",             "Orig Attr",           false, Col::OrigAttr,    false, 0,    Col::Attributes},
    {"Permissions",           "Permissions",         false, Col::Permissions, false, 1300, -1, true},
    {"Owner",                 "Owner",               false, Col::Owner,       false, 1000, -1, true},
    {"Group",                 "Group",               false, Col::Group,       false, 1000, -1, true},
    {"Link Target",           "Link Target",         false, Col::LinkTarget,  false, 2200, -1, true},
    {"SHA-256",               "SHA-256",             false, Col::Sha256,      false, 4600, -1, true, false, true},
    {"What Changed",          "What Changed",        false, Col::WhatChanged, false, 3000, -1, true, true},
    {"Moved",                 "Moved",               false, Col::Moved,       false, 3000, -1, false, false, false, true},
    {"From",                  "From",                false, Col::From,        false, 3000, -1, false, false, false, false, true},
    {"How Matched",           "How Matched",         false, Col::HowMatched,  false, 3400, -1, false, false, false, false, true},
    {"Package",               "Package",             false, Col::Package,     false, 2400, -1, false, false, false, false, false, true},
};
// clang-format on

} // namespace

const Column &column(int c) {
    return Columns[c];
}

QString columnHeader(int c) {
    return QLatin1String(Columns[c].header);
}

QString columnName(int c) {
    return QLatin1String(Columns[c].name);
}

bool isHiddenColumn(int c) {
    return Columns[c].key;
}

QString columnHeader(ListId listNo, int c) {
    if (listNo == ListId::Moved && c == Col::InFolder)
        return QStringLiteral("To");
    return columnHeader(c);
}

double designWidth(ListId listNo, int c) {
    const Column &col = Columns[c];
    if ((col.changedOnly && listNo != ListId::Changed) ||
        (col.movedOnly && listNo != ListId::Moved) || (col.moves && !isOnlyList(listNo)))
        return 0;
    if (col.partner < 0)
        return col.width;
    return listNo == ListId::Changed ? Columns[col.partner].width : 0;
}

bool isLinkedColumn(int c) {
    const Column &col = Columns[c];
    return !col.key && col.partner < 0 && !col.details && !col.moves && !col.movedOnly &&
           !col.packages;
}

ListHolds ListHolds::of(const SnapshotList &list) {
    return {list.hasDetails(), list.hasContents(), list.hasMoves(), list.hasPackages()};
}

bool showsColumn(ListId listNo, int c, const ListHolds &holds) {
    const Column &col = Columns[c];
    if ((col.partner >= 0 || col.changedOnly) && listNo != ListId::Changed)
        return false;
    if (col.movedOnly)
        return listNo == ListId::Moved;
    if (col.moves && !(isOnlyList(listNo) && holds.moves))
        return false;
    return (!col.details || holds.details) && (!col.contents || holds.contents) &&
           (!col.packages || holds.packages);
}

int headerSortKey(ListId listNo, int clicked) {
    if (listNo == ListId::Changed && Columns[clicked].partner >= 0)
        return -1;
    return Columns[clicked].sortKey;
}
