#include "ChangeSummaryModel.h"

#include "snapshot/NameCodec.h"

ChangeSummaryModel::ChangeSummaryModel(ChangeSummary summary, const EntryFormatter &format,
                                       QObject *parent)
    : QAbstractItemModel(parent), m_summary(std::move(summary)), m_texts(format) {
    findRows();
}

void ChangeSummaryModel::findRows() {
    const auto &folders = m_summary.folders();
    m_row.assign(folders.size(), 0);
    for (const FolderChange &folder : folders) {
        for (std::size_t k = 0; k < folder.children.size(); ++k)
            m_row[static_cast<std::size_t>(folder.children[k])] = static_cast<int>(k);
    }
}

int ChangeSummaryModel::folderOf(const QModelIndex &index) const {
    return index.isValid() ? static_cast<int>(index.internalId()) : -1;
}

QModelIndex ChangeSummaryModel::indexOf(int folder, int column) const {
    return createIndex(m_row[static_cast<std::size_t>(folder)], column,
                       static_cast<quintptr>(folder));
}

QModelIndex ChangeSummaryModel::index(int row, int column, const QModelIndex &parent) const {
    if (!hasIndex(row, column, parent))
        return {};
    // The root folder is the one row at the top.
    if (!parent.isValid())
        return createIndex(row, column, quintptr(0));
    const FolderChange &folder = m_summary.folders()[parent.internalId()];
    return createIndex(row, column,
                       static_cast<quintptr>(folder.children[static_cast<std::size_t>(row)]));
}

QModelIndex ChangeSummaryModel::parent(const QModelIndex &child) const {
    if (!child.isValid())
        return {};
    const int parent = m_summary.folders()[child.internalId()].parent;
    return parent < 0 ? QModelIndex() : indexOf(parent);
}

int ChangeSummaryModel::rowCount(const QModelIndex &parent) const {
    if (!parent.isValid())
        return m_summary.folders().empty() ? 0 : 1;
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(m_summary.folders()[parent.internalId()].children.size());
}

int ChangeSummaryModel::columnCount(const QModelIndex &) const {
    return ChangeSummary::ColumnCount;
}

QVariant ChangeSummaryModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    const FolderChange &f = m_summary.folders()[index.internalId()];
    switch (index.column()) {
    case ChangeSummary::Folder:
        if (role == Qt::DisplayRole)
            return f.parent < 0 ? QStringLiteral("\\") : NameCodec::printable(f.name);
        if (role == Qt::ToolTipRole)
            return f.parent < 0 ? QStringLiteral("\\")
                                : NameCodec::printable(m_summary.path(folderOf(index)));
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    case ChangeSummary::Moved:
        if (role == Qt::DisplayRole)
            return m_texts.number(static_cast<std::uint64_t>(f.moved));
        if (role == Qt::ToolTipRole)
            return QStringLiteral(
                "Entries moved or renamed out of this folder, into it or within it");
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return m_texts.data(f, index.column(), role);
    }
}

QVariant ChangeSummaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ChangeSummary::columnHeader(section);
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignCenter);
    // A first click on a number sorts the largest first; on the names, from A.
    if (orientation == Qt::Horizontal && role == Qt::InitialSortOrderRole)
        return section == ChangeSummary::Folder ? Qt::AscendingOrder : Qt::DescendingOrder;
    return {};
}

void ChangeSummaryModel::sort(int column, Qt::SortOrder order) {
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    m_summary.sort(column, order);
    findRows();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after << indexOf(folderOf(index), index.column());
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}
