#pragma once

#include "snapshot/Columns.h"

#include <QWidget>

class ListModel;
class QListView;
class QStackedLayout;
class QTableView;

// One of the seven list views: a report view with the columns (Detailed View) and a names-only
// view with small pictures (Summary View), both over the same model.
class ListPane : public QWidget {
    Q_OBJECT
public:
    ListPane(ListId listNo, ListModel *model, QWidget *parent = nullptr);

    ListId listNo() const { return m_listNo; }
    ListModel *model() const { return m_model; }
    QTableView *details() const { return m_details; }
    QListView *summary() const { return m_summary; }

    void setSummaryView(bool summary);
    bool isSummaryView() const;
    void setGridLines(bool on);

    // Width of a column (zero-based) in pixels; 0 for a hidden one. A width of 0 hides a key
    // column; any other column keeps a section without width that can be dragged open.
    int columnWidth(int c) const;
    void setColumnWidth(int c, int width);

    // Shows which column the list is sorted by (the clicked one, not its key column).
    void showSortState(int key, int order);
    // Shows the columns of details, digests, moves and owners while the list holds them, at
    // their design widths.
    void showDetailColumns(const ListHolds &holds);

Q_SIGNALS:
    void headerClicked(int column);

private:
    ListId m_listNo;
    ListModel *m_model;
    QStackedLayout *m_stack;
    QTableView *m_details;
    QListView *m_summary;
    ListHolds m_shown;
};
