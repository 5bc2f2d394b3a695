#pragma once

#include "snapshot/ListFilter.h"
#include "snapshot/ListId.h"

#include <QAbstractTableModel>
#include <QSize>
#include <vector>

class SnapshotList;
class EntryFormatter;

// One of the seven lists as a table of its columns. The model holds no entry data of its
// own: every text is made by the formatter when a view asks for it, so a million-entry list
// costs nothing beyond the list itself. Whoever changes the list calls listChanged().
class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ListModel(const SnapshotList &list, const EntryFormatter &formatter, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The small file and folder pictures of the Summary View.
    void setShowIcons(bool show);
    bool showsIcons() const { return m_icons; }
    // The size of every name in the Summary View.
    void setSummaryItemSize(QSize size) { m_itemSize = size; }

    // The list's entries were replaced, added, removed or reordered. Ends a hold.
    void listChanged();
    // The list is about to be rewritten on another thread: until listChanged(), the views see
    // the rows they had, without texts, and nothing reads the list.
    void hold();

    const SnapshotList &list() const { return m_list; }
    // Which tab it is, for the headers that read differently there.
    void setListNo(ListId listNo) { m_listNo = listNo; }

    // Shows only the entries a filter text keeps (an empty text shows them all). The list
    // itself, its order and everything made from it stay as they are.
    void setFilter(const QString &text);
    const QString &filterText() const { return m_filterText; }
    bool isFiltered() const { return !m_filter.isEmpty(); }
    // The position in the list of the entry shown in a row.
    int entryOfRow(int row) const {
        return isFiltered() ? m_rows[static_cast<std::size_t>(row)] : row;
    }

    static Qt::Alignment alignment(int c);

private:
    const SnapshotList &m_list;
    const EntryFormatter &m_formatter;
    ListId m_listNo = ListId::None;
    bool m_icons = false;
    QSize m_itemSize;
    bool m_held = false;
    int m_heldRows = 0;
    QString m_filterText;
    ListFilter m_filter;
    std::vector<int> m_rows; // the entries shown while filtered
};
