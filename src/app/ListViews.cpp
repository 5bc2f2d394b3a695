#include "ListViews.h"

#include "BusyPointer.h"
#include "ListModel.h"
#include "ListPane.h"
#include "session/Session.h"
#include "snapshot/Columns.h"
#include "snapshot/LargeBlocks.h"
#include "sort/ColumnSorts.h"

#include <QTableView>

ListViews::ListViews(Session &session, const EntryFormatter &format, QWidget *parent)
    : QObject(parent), m_session(session) {
    for (const ListId n : Lists::All) {
        const std::size_t k = Lists::indexOf(n);
        m_models[k] = new ListModel(session.list(n), format, this);
        m_models[k]->setListNo(n);
        m_panes[k] = new ListPane(n, m_models[k], parent);
        m_panes[k]->setObjectName(QStringLiteral("Files%1").arg(k + 1));
        connect(m_panes[k], &ListPane::headerClicked, this,
                [this, n](int column) { Q_EMIT headerClicked(n, column); });
    }
    connect(&session, &Session::listAboutToChange, this, &ListViews::holdList);
    connect(&session, &Session::listChanged, this, &ListViews::refreshList);
    connect(&session, &Session::snapshotOpened, this, &ListViews::selectFirstEntry);
    connect(&session, &Session::snapshotTaken, this, &ListViews::selectFirstEntry);
}

void ListViews::refreshList(ListId listNo) {
    m_models[Lists::indexOf(listNo)]->listChanged();
    pane(listNo)->showDetailColumns(ListHolds::of(m_session.list(listNo)));
    const SortState &state = m_session.list(listNo).sort;
    pane(listNo)->showSortState(state.key, state.order);
}

void ListViews::holdList(ListId listNo) {
    m_models[Lists::indexOf(listNo)]->hold();
}

void ListViews::selectFirstEntry(ListId listNo) {
    if (shownEntries(listNo) > 0)
        pane(listNo)->details()->setCurrentIndex(pane(listNo)->model()->index(0, 0));
}

void ListViews::sortList(ListId listNo, int key, int order) {
    SnapshotList &list = m_session.list(listNo);
    if (list.sort.key == key && list.sort.order == order)
        return;
    BusyPointer busy;
    ::sortList(list, key, order);
    refreshList(listNo);
    // Only now is the sort's working memory all freed, the views' old rows with it.
    releaseFreeMemory();
}

bool ListViews::sortByColumn(ListId listNo, int column) {
    const int key = headerSortKey(listNo, column);
    if (key >= 0)
        sortList(listNo, key, -1);
    // Even a list that was already sorted this way, or refused the column, shows its order
    // again (the header flips its indicator by itself on a click).
    const SortState &state = m_session.list(listNo).sort;
    pane(listNo)->showSortState(state.key, state.order);
    return key >= 0;
}

void ListViews::syncColumnWidths(ListId from, ListId to) {
    ListPane *p = pane(from);
    ListPane *q = pane(to);
    for (int c = 0; c < Col::Count; ++c) {
        if (p != q && isLinkedColumn(c))
            q->setColumnWidth(c, p->columnWidth(c));
    }
    if (to == ListId::Changed) {
        for (int c = 0; c < Col::Count; ++c) {
            if (column(c).partner >= 0)
                q->setColumnWidth(c, q->columnWidth(column(c).partner));
        }
    }
}

void ListViews::setSummaryView(bool summary) {
    for (ListPane *p : m_panes)
        p->setSummaryView(summary);
}

void ListViews::setGridLines(bool on) {
    for (ListPane *p : m_panes)
        p->setGridLines(on);
}

void ListViews::setFilter(ListId shownList, const QString &text) {
    for (const ListId n : Lists::All)
        m_models[Lists::indexOf(n)]->setFilter(n == shownList ? text : QString());
}

int ListViews::shownEntries(ListId listNo) const {
    return m_models[Lists::indexOf(listNo)]->rowCount();
}

bool ListViews::isFiltered(ListId listNo) const {
    return m_models[Lists::indexOf(listNo)]->isFiltered();
}

int ListViews::entryOfRow(ListId listNo, int row) const {
    return m_models[Lists::indexOf(listNo)]->entryOfRow(row);
}
