#include "ListPane.h"

#include "ListModel.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/Workspace.h"
#include "widgets/Twips.h"

#include <QHeaderView>
#include <QListView>
#include <QStackedLayout>
#include <QTableView>
#include <algorithm>

ListPane::ListPane(ListId listNo, ListModel *model, QWidget *parent)
    : QWidget(parent), m_listNo(listNo), m_model(model), m_stack(new QStackedLayout(this)),
      m_details(new QTableView(this)), m_summary(new QListView(this)) {
    m_stack->setContentsMargins(0, 0, 0, 0);
    // Screen readers name each list by its tab.
    m_details->setAccessibleName(Workspace::tabCaption(listNo));
    m_summary->setAccessibleName(Workspace::tabCaption(listNo));

    // The views only show the lists; they must stay quick with a million rows, so every row
    // has the same height and nothing is measured per row.
    m_details->setModel(model);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_details->setWordWrap(false);
    m_details->setTabKeyNavigation(false);
    m_details->setCornerButtonEnabled(false);
    m_details->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView *rows = m_details->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(m_details->fontMetrics().height() + 4);
    QHeaderView *header = m_details->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < Col::Count; ++c)
        setColumnWidth(c, Twips::toPixels(designWidth(listNo, c), this));
    // A move reads from left to right: the name, where it came from, where it went.
    if (listNo == ListId::Moved)
        header->moveSection(header->visualIndex(Col::From), header->visualIndex(Col::InFolder));
    connect(header, &QHeaderView::sectionClicked, this, &ListPane::headerClicked);

    m_summary->setModel(model);
    m_summary->setModelColumn(Col::Name);
    m_summary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_summary->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_summary->setViewMode(QListView::ListMode);
    m_summary->setFlow(QListView::LeftToRight);
    m_summary->setWrapping(true);
    m_summary->setResizeMode(QListView::Adjust);
    m_summary->setUniformItemSizes(true);
    m_summary->setWordWrap(false);
    m_summary->setTextElideMode(Qt::ElideRight);
    // Every name gets the same cell (the Name column's design width), elided to fit; the view
    // asks the model for the size of one item only.
    m_summary->setSpacing(2);
    model->setSummaryItemSize(
        QSize(Twips::toPixels(1800, this) - 4, m_details->fontMetrics().height() + 4));

    m_stack->addWidget(m_details);
    m_stack->addWidget(m_summary);
    setFocusProxy(m_details);
}

void ListPane::setSummaryView(bool summary) {
    m_model->setShowIcons(summary);
    m_stack->setCurrentWidget(summary ? static_cast<QWidget *>(m_summary) : m_details);
    setFocusProxy(m_stack->currentWidget());
}

bool ListPane::isSummaryView() const {
    return m_stack->currentWidget() == m_summary;
}

void ListPane::setGridLines(bool on) {
    m_details->setShowGrid(on);
}

int ListPane::columnWidth(int c) const {
    const QHeaderView *header = m_details->horizontalHeader();
    return header->isSectionHidden(c) ? 0 : header->sectionSize(c);
}

void ListPane::setColumnWidth(int c, int width) {
    QHeaderView *header = m_details->horizontalHeader();
    // The key columns hide, and so do the Original's columns outside the Changed list: nothing
    // is there to see, and a section without width there would take the drag meant for the
    // column beside it. Any other column narrowed to nothing stays a section without width,
    // whose edge can still be dragged to open it again.
    if (column(c).key) {
        header->setSectionHidden(c, width <= 0);
        if (width <= 0)
            return;
    }
    if (!showsColumn(m_listNo, c, m_shown)) {
        header->setSectionHidden(c, true);
        return;
    }
    header->resizeSection(c, std::max(width, 0));
}

void ListPane::showDetailColumns(const ListHolds &holds) {
    if (holds == m_shown)
        return;
    m_shown = holds;
    QHeaderView *header = m_details->horizontalHeader();
    for (int c = 0; c < Col::Count; ++c) {
        if (!column(c).details && !column(c).moves && !column(c).packages)
            continue;
        const bool visible = showsColumn(m_listNo, c, holds);
        header->setSectionHidden(c, !visible);
        if (visible)
            header->resizeSection(c, Twips::toPixels(designWidth(m_listNo, c), this));
    }
}

void ListPane::showSortState(int key, int order) {
    // The Size, Modified and Attributes columns sort by the key column beside them.
    int shown = key;
    for (int c = 0; c < Col::Count; ++c) {
        if (key >= 0 && !column(c).key && column(c).sortKey == key)
            shown = c;
    }
    QHeaderView *header = m_details->horizontalHeader();
    if (shown < 0 || header->isSectionHidden(shown))
        header->setSortIndicator(-1, Qt::AscendingOrder);
    else
        header->setSortIndicator(shown, order == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}
