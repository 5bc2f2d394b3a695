#pragma once

#include "ChangeSummary.h"

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <vector>

class QTextStream;
class Workspace;

// The changes of one set of owners: a package, the packages that share a folder ("a, b, c"), or
// "(none)" for what no package owns (files an installation left behind, or someone added).
// Counted by the rules of the folder summary.
struct PackageChange : ChangeCounts {
    QString owners;
};

// Where the changes of a comparison are, by the packages that own the entries. Each entry
// counts once, under the whole set of its owners, so the rows add up to the folder summary's
// root. The result lists carry their owners: an Only in Original entry the Original's, looked up
// under its root and database, the others the Final's, as a file removed belonged to what was
// installed before. Entries of a list without owners count under "(none)".
class PackageSummary {
public:
    static PackageSummary build(const Workspace &ws);
    // Most changed entries first, then most bytes changed, then by the owners' text.
    const std::vector<PackageChange> &rows() const { return m_rows; }
    // Orders the rows by a column: 0 by the owners' text, else one of the counts by the folder
    // summary's column numbers (ties by the owners' text, ascending either way).
    void sort(int column, Qt::SortOrder order);
    // A header (Package, then the folder summary's columns) and a line per row.
    void writeTsv(QTextStream &out) const;

private:
    std::vector<PackageChange> m_rows;
};
