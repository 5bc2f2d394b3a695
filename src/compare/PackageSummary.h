#pragma once

#include "ChangeSummary.h"

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <vector>

class QTextStream;
class RootPackages;
class Workspace;

// The changes of one set of owners: a package, the packages that share a folder ("a, b, c"), or
// "(none)" for what no package owns (files an installation left behind, or someone added).
// Counted by the rules of the folder summary.
struct PackageChange : ChangeCounts {
    QString owners;
};

// Where the changes of a comparison are, by the packages that own the entries. Each entry
// counts once, under the whole set of its owners, so the rows add up to the folder summary's
// root. An Only in Original entry is looked up under the Original's root and database, the
// others under the Final's: a file removed belonged to what was installed before.
class PackageSummary {
public:
    static PackageSummary build(const Workspace &ws, const RootPackages &original,
                                const RootPackages &final);
    // Most changed entries first, then most bytes changed, then by the owners' text.
    const std::vector<PackageChange> &rows() const { return m_rows; }
    // A header (Package, then the folder summary's columns) and a line per row.
    void writeTsv(QTextStream &out) const;

private:
    std::vector<PackageChange> m_rows;
};
