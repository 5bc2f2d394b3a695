#include "PackageSummaryModel.h"

#include "snapshot/NameCodec.h"

PackageSummaryModel::PackageSummaryModel(PackageSummary summary, const EntryFormatter &format,
                                         QObject *parent)
    : QAbstractTableModel(parent), m_summary(std::move(summary)), m_texts(format) {}

int PackageSummaryModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_summary.rows().size());
}

int PackageSummaryModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PackageSummaryModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    const PackageChange &row = m_summary.rows()[static_cast<std::size_t>(index.row())];
    if (index.column() > 0)
        return m_texts.data(row, index.column(), role);
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return NameCodec::printable(row.owners);
    return {};
}

QVariant PackageSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return section == 0 ? QStringLiteral("Package") : ChangeSummary::columnHeader(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignCenter);
    // A first click on a number sorts the largest first; on the names, from A.
    if (role == Qt::InitialSortOrderRole)
        return section == 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
    return {};
}

void PackageSummaryModel::sort(int column, Qt::SortOrder order) {
    Q_EMIT layoutAboutToBeChanged();
    m_summary.sort(column, order);
    Q_EMIT layoutChanged();
}
