#pragma once

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <vector>

class QTextStream;
class RootPackages;
class Workspace;

// The changes of one set of owners: a package, the packages that share a folder ("a, b, c"), or
// "(none)" for what no package owns (files an installation left behind, or someone added).
// Counted by the rules of the folder summary (ChangeSummary).
struct PackageChange {
    QString owners;
    qint64 onlyOriginal = 0, onlyFinal = 0, changed = 0; // entries (files and folders)
    std::uint64_t bytesRemoved = 0, bytesAdded = 0;      // stay at 2^64 - 1 beyond it
    qint64 contentsOnly = 0;
    qint64 entries() const { return onlyOriginal + onlyFinal + changed; }
    std::uint64_t bytesChanged() const;
    bool netNegative() const { return bytesRemoved > bytesAdded; }
    std::uint64_t netBytes() const {
        return netNegative() ? bytesRemoved - bytesAdded : bytesAdded - bytesRemoved;
    }
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
