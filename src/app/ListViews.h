#pragma once

#include "snapshot/ListId.h"

#include <QObject>
#include <array>

class EntryFormatter;
class ListModel;
class ListPane;
class QWidget;
class Session;

// The seven list views, one per tab, over the session's lists: each list's model and pane, the
// sorts a header click asks for, the view mode, grid lines and linked column widths. The views
// follow the session: they keep off a list while it is filled and show it anew when it changed,
// the first entry chosen when it holds a new snapshot.
class ListViews : public QObject {
    Q_OBJECT
public:
    // The panes are made as children of `parent`; whoever shows them takes them.
    ListViews(Session &session, const EntryFormatter &format, QWidget *parent);

    ListPane *pane(ListId listNo) const { return m_panes[Lists::indexOf(listNo)]; }

    // The entries of a list changed: its view shows them anew, with its sort state.
    void refreshList(ListId listNo);
    // Keeps the view of a list off it while a worker changes it, until refreshList.
    void holdList(ListId listNo);
    void selectFirstEntry(ListId listNo);
    // Sorts a list by a zero-based column; order 0 ascending, 1 descending, -1 toggle.
    void sortList(ListId listNo, int key, int order);
    // A click on the header of a zero-based column: sorts by it, or returns false when the
    // list refuses to be sorted by that column.
    bool sortByColumn(ListId listNo, int column);
    // Carries the visible columns' widths from list `from` to list `to` (the Changed list's
    // Orig columns follow the columns beside them).
    void syncColumnWidths(ListId from, ListId to);
    void setSummaryView(bool summary);
    void setGridLines(bool on);

    // Shows in list `shownList` only the entries whose name or folder contains the text. The
    // other lists drop their filters and take the text when they are shown (each keystroke
    // then filters one list, not seven).
    void setFilter(ListId shownList, const QString &text);
    // The entries a list's view shows, and whether a filter chose them.
    int shownEntries(ListId listNo) const;
    bool isFiltered(ListId listNo) const;
    // The entry of the list a row of its view shows.
    int entryOfRow(ListId listNo, int row) const;

Q_SIGNALS:
    void headerClicked(ListId listNo, int column);

private:
    Session &m_session;
    std::array<ListModel *, Lists::Count> m_models{};
    std::array<ListPane *, Lists::Count> m_panes{};
};
