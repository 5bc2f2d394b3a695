#include "PackageSummary.h"

#include "snapshot/NameCodec.h"
#include "snapshot/Workspace.h"

#include <QHash>
#include <QTextStream>
#include <algorithm>

PackageSummary PackageSummary::build(const Workspace &ws) {
    PackageSummary summary;
    // Rows by text, as the lists may hold two tables of owners (the two sides', looked up or
    // read from their files); the row of each table's text is found once.
    QHash<QString, int> rowOfText;
    struct Rows {
        const OwnerTexts *packages;
        std::vector<int> ofSet;
    };
    std::vector<Rows> known;
    const auto rowOf = [&](const SnapshotList &list, int i) {
        const OwnerTexts *packages = list.packages();
        auto rows = std::find_if(known.begin(), known.end(),
                                 [&](const Rows &r) { return r.packages == packages; });
        if (rows == known.end()) {
            known.push_back({packages, std::vector<int>(packages ? packages->size() : 1, -1)});
            rows = known.end() - 1;
        }
        int &row = rows->ofSet[packages ? list.packageSet(i) : 0];
        if (row < 0) {
            const QString text = packages ? list.packageText(i) : OwnerTexts::unownedText();
            row = rowOfText.value(text, -1);
            if (row < 0) {
                row = int(summary.m_rows.size());
                rowOfText.insert(text, row);
                summary.m_rows.emplace_back().owners = text;
            }
        }
        return std::size_t(row);
    };
    for (const ListId n : {ListId::OnlyInOriginal, ListId::OnlyInFinal, ListId::Changed}) {
        const SnapshotList &list = ws.list(n);
        for (int i = 0; i < list.size(); ++i)
            summary.m_rows[rowOf(list, i)].count(list, i, n);
    }
    std::sort(summary.m_rows.begin(), summary.m_rows.end(),
              [](const PackageChange &a, const PackageChange &b) {
                  if (a.entries() != b.entries())
                      return a.entries() > b.entries();
                  if (a.bytesChanged() != b.bytesChanged())
                      return a.bytesChanged() > b.bytesChanged();
                  return a.owners < b.owners;
              });
    return summary;
}

void PackageSummary::sort(int column, Qt::SortOrder order) {
    const bool descending = order == Qt::DescendingOrder;
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [&](const PackageChange &a, const PackageChange &b) {
                         if (column > 0) {
                             if (const int c = ChangeCounts::compare(a, b, column))
                                 return descending ? c > 0 : c < 0;
                             return a.owners < b.owners;
                         }
                         return descending ? b.owners < a.owners : a.owners < b.owners;
                     });
}

void PackageSummary::writeTsv(QTextStream &out) const {
    // The folder summary's counts under their own headers, spelled out here: a column that
    // summary gains is not one this one fills.
    for (const ChangeSummary::Column c :
         {ChangeSummary::OnlyInOriginal, ChangeSummary::OnlyInFinal, ChangeSummary::Changed,
          ChangeSummary::BytesRemoved, ChangeSummary::BytesAdded, ChangeSummary::NetChange,
          ChangeSummary::ContentsOnly})
        out << (c == ChangeSummary::OnlyInOriginal ? "Package\t" : "\t")
            << ChangeSummary::columnHeader(c);
    out << '\n';
    for (const PackageChange &row : m_rows) {
        // Package names hold no control character; the text goes through the same door as
        // every other anyway.
        out << NameCodec::printable(row.owners);
        row.writeTsvFields(out);
        out << '\n';
    }
}
