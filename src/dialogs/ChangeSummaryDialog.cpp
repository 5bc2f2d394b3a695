#include "ChangeSummaryDialog.h"

#include "ChangeSummaryModel.h"
#include "compare/ByteScale.h"
#include "snapshot/NameCodec.h"
#include "widgets/ChangeBars.h"
#include "widgets/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int ChartBars = 10;
}

ChangeSummaryDialog::ChangeSummaryDialog(const EntryFormatter &format, QWidget *parent)
    : QDialog(parent), m_format(format) {
    setObjectName(QStringLiteral("ChangeSummary"));
    setWindowTitle(QStringLiteral("Change Summary"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("What changed below each folder. Click a column heading to sort; "
                                  "double-click a folder to see its entries in the lists."),
                   this));
    auto *split = new QSplitter(Qt::Vertical, this);
    m_tree = new QTreeView(split);
    m_tree->setObjectName(QStringLiteral("Folders"));
    m_tree->setUniformRowHeights(true);
    m_tree->setAlternatingRowColors(true);
    m_tree->header()->setSectionsClickable(true);
    m_tree->header()->setSortIndicatorShown(true);
    m_tree->header()->setStretchLastSection(false);
    m_bars = new ChangeBars(split);
    m_bars->setObjectName(QStringLiteral("Bars"));
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    resize(Twips::toPixels(13500, 8000, this));

    connect(m_tree->header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                if (m_model && column >= 0)
                    m_model->sort(column, order);
            });
    // A double-click, or Enter (or a single click where the desktop opens items so).
    connect(m_tree, &QTreeView::activated, this, [this](const QModelIndex &index) {
        const int folder = m_model->folderOf(index);
        const ChangeSummary &summary = m_model->summary();
        Q_EMIT folderActivated(summary.folders()[static_cast<std::size_t>(folder)],
                               summary.path(folder));
    });
}

void ChangeSummaryDialog::setSummary(ChangeSummary summary) {
    ChangeSummaryModel *old = m_model;
    QItemSelectionModel *oldSelection = m_tree->selectionModel();
    m_model = new ChangeSummaryModel(std::move(summary), m_format, this);
    m_tree->setModel(m_model);
    // The view leaves its old selection model to whoever set the old model.
    delete oldSelection;
    delete old;
    // The opening order is by change, which no single column sorts by.
    m_tree->header()->setSortIndicator(-1, Qt::DescendingOrder);
    // The numbers take what they need; the folder names take the rest, and can be widened.
    for (int c = 1; c < ChangeSummary::ColumnCount; ++c)
        m_tree->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    m_tree->header()->resizeSection(0, std::max(m_tree->header()->sectionSize(0), width() / 4));
    const QModelIndex root = m_model->index(0, 0);
    m_tree->expand(root);
    widenForColumns();
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { showBarsOf(m_model->folderOf(current)); });
    m_tree->setCurrentIndex(root);
    showBarsOf(0);
}

// Every column in sight without scrolling sideways, as far as the screen allows.
void ChangeSummaryDialog::widenForColumns() {
    const QHeaderView *header = m_tree->header();
    const QModelIndex root = m_model->index(0, 0);
    int columns = header->sectionSize(0);
    for (int c = 1; c < ChangeSummary::ColumnCount; ++c) {
        // The rows open at first: the root and its subfolders.
        int widest = std::max(header->sectionSizeHint(c),
                              m_tree->sizeHintForIndex(m_model->index(0, c)).width());
        for (int r = 0; r < m_model->rowCount(root); ++r)
            widest = std::max(widest, m_tree->sizeHintForIndex(m_model->index(r, c, root)).width());
        columns += widest;
    }
    const QMargins margins = layout()->contentsMargins();
    const int chrome = margins.left() + margins.right() + 2 * m_tree->frameWidth() +
                       m_tree->verticalScrollBar()->sizeHint().width();
    int wanted = columns + chrome;
    if (const QScreen *screen = this->screen())
        wanted = std::min(wanted, screen->availableGeometry().width());
    if (wanted > width())
        resize(wanted, height());
}

void ChangeSummaryDialog::showBarsOf(int folder) {
    if (folder < 0)
        return;
    const auto &folders = m_model->summary().folders();
    std::vector<ChangeBars::Bar> bars;
    for (int k : m_model->summary().topChildren(folder, ChartBars)) {
        const FolderChange &f = folders[static_cast<std::size_t>(k)];
        if (f.bytesChanged() == 0)
            break;
        bars.push_back({NameCodec::printable(f.name), f.bytesRemoved, f.bytesAdded,
                        m_model->bytesText(f.bytesChanged())});
    }
    const FolderChange &shown = folders[static_cast<std::size_t>(folder)];
    const QString name = shown.parent < 0 ? QStringLiteral("\\")
                                          : NameCodec::printable(m_model->summary().path(folder));
    m_bars->setBars(QStringLiteral("Subfolders of %1 with the most bytes changed: removed (red), "
                                   "added (green)")
                        .arg(name),
                    std::move(bars), QLatin1String(ByteScale::Legend));
}
