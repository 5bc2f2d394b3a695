#include "ListModel.h"

#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/WhatChanged.h"
#include "widgets/Icons.h"

#include <QColor>

ListModel::ListModel(const SnapshotList &list, const EntryFormatter &formatter, QObject *parent)
    : QAbstractTableModel(parent), m_list(list), m_formatter(formatter) {}

int ListModel::rowCount(const QModelIndex &parent) const {
    if (parent.isValid())
        return 0;
    if (m_held)
        return m_heldRows;
    return isFiltered() ? static_cast<int>(m_rows.size()) : m_list.size();
}

int ListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Col::Count;
}

Qt::Alignment ListModel::alignment(int c) {
    return (column(c).alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QVariant ListModel::data(const QModelIndex &index, int role) const {
    if (m_held || !index.isValid() || index.row() >= rowCount())
        return {};
    const int i = entryOfRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (role == Qt::ToolTipRole && !(m_icons && index.column() == Col::Name))
            return {};
        return m_formatter.text(m_list, i, index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(index.column()));
    case Qt::ForegroundRole:
        // Contents changed behind an unchanged size and time: marked, whatever else changed.
        if (m_list.hasOrig() && isQuietContentsChange(m_list.orig(i).differ))
            return QColor(Qt::red);
        return {};
    case Qt::DecorationRole:
        if (m_icons && index.column() == Col::Name)
            return m_list.entry(i).isFolder() ? Icons::folderIcon() : Icons::fileIcon();
        return {};
    case Qt::SizeHintRole:
        if (m_icons && index.column() == Col::Name && m_itemSize.isValid())
            return m_itemSize;
        return {};
    default:
        return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= Col::Count)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return columnHeader(m_listNo, section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignment(section));
    return {};
}

void ListModel::setShowIcons(bool show) {
    if (show == m_icons)
        return;
    m_icons = show;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, Col::Name), index(rowCount() - 1, Col::Name),
                           {Qt::DecorationRole});
}

void ListModel::listChanged() {
    beginResetModel();
    m_held = false;
    if (isFiltered())
        m_rows = m_filter.apply(m_list);
    endResetModel();
}

void ListModel::setFilter(const QString &text) {
    if (text == m_filterText)
        return;
    const ListFilter filter(text);
    beginResetModel();
    // While the list is held a worker is rewriting it: listChanged() filters it afterwards.
    if (!m_held && !filter.isEmpty()) {
        const bool narrowing = isFiltered() && filter.narrows(m_filter);
        m_rows = filter.apply(m_list, narrowing ? &m_rows : nullptr);
    } else {
        m_rows.clear();
    }
    m_filterText = text;
    m_filter = filter;
    endResetModel();
}

void ListModel::hold() {
    m_heldRows = rowCount();
    m_held = true;
}
