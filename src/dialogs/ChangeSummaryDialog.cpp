#include "ChangeSummaryDialog.h"

#include "ChangeSummaryModel.h"
#include "PackageSummaryModel.h"
#include "compare/ByteScale.h"
#include "snapshot/NameCodec.h"
#include "widgets/ChangeBars.h"
#include "widgets/Twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
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
    m_caption = new QLabel(this);
    layout->addWidget(m_caption);
    m_pages = new QTabWidget(this);
    m_pages->setTabBarAutoHide(true);
    m_pages->setDocumentMode(true);
    layout->addWidget(m_pages, 1);

    m_pages->addTab(makePage(m_tree, m_bars, QStringLiteral("Folders"), QStringLiteral("Bars")),
                    QStringLiteral("By Folder"));
    // Added as a page when a summary comes with packages.
    m_packagePage = makePage(m_packageView, m_packageBars, QStringLiteral("Packages"),
                             QStringLiteral("PackageBars"));
    m_packagePage->setParent(this);
    m_packagePage->hide();
    m_packageView->setRootIsDecorated(false);

    const auto showCaption = [this](int page) {
        m_caption->setText(
            page == 1
                ? QStringLiteral("What changed among the files of each installed package; "
                                 "\"(none)\" holds what no package owns. Click a column heading "
                                 "to sort.")
                : QStringLiteral("What changed below each folder. Click a column heading to "
                                 "sort; double-click a folder to see its entries in the lists."));
    };
    showCaption(0);
    connect(m_pages, &QTabWidget::currentChanged, this, showCaption);
    resize(Twips::toPixels(13500, 8000, this));

    connect(m_tree->header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                if (m_model && column >= 0)
                    m_model->sort(column, order);
            });
    connect(m_packageView->header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                if (m_packageModel && column >= 0)
                    m_packageModel->sort(column, order);
            });
    // A double-click, or Enter (or a single click where the desktop opens items so).
    connect(m_tree, &QTreeView::activated, this, [this](const QModelIndex &index) {
        const int folder = m_model->folderOf(index);
        const ChangeSummary &summary = m_model->summary();
        Q_EMIT folderActivated(summary.folders()[static_cast<std::size_t>(folder)],
                               summary.path(folder));
    });
}

// A sortable view above its chart.
QWidget *ChangeSummaryDialog::makePage(QTreeView *&view, ChangeBars *&bars, const QString &viewName,
                                       const QString &barsName) {
    auto *split = new QSplitter(Qt::Vertical);
    view = new QTreeView(split);
    view->setObjectName(viewName);
    view->setUniformRowHeights(true);
    view->setAlternatingRowColors(true);
    view->header()->setSectionsClickable(true);
    view->header()->setSortIndicatorShown(true);
    view->header()->setStretchLastSection(false);
    bars = new ChangeBars(split);
    bars->setObjectName(barsName);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    return split;
}

template <typename Model>
void ChangeSummaryDialog::showModel(QTreeView *view, Model *&shown, Model *model) {
    Model *old = shown;
    QItemSelectionModel *oldSelection = view->selectionModel();
    shown = model;
    view->setModel(model);
    // The view leaves its old selection model to whoever set the old model.
    delete oldSelection;
    delete old;
    // The opening order is by change, which no single column sorts by.
    QHeaderView *header = view->header();
    header->setSortIndicator(-1, Qt::DescendingOrder);
    // The numbers take what they need; the names take the rest, and can be widened.
    for (int c = 1; c < model->columnCount(); ++c)
        header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Interactive);
    header->resizeSection(0, std::max(header->sectionSize(0), width() / 4));
}

void ChangeSummaryDialog::setSummary(ChangeSummary summary,
                                     std::optional<PackageSummary> packages) {
    showModel(m_tree, m_model, new ChangeSummaryModel(std::move(summary), m_format, this));
    const QModelIndex root = m_model->index(0, 0);
    m_tree->expand(root);
    widenForColumns();
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { showBarsOf(m_model->folderOf(current)); });
    m_tree->setCurrentIndex(root);
    showBarsOf(0);
    const int packagePage = m_pages->indexOf(m_packagePage);
    if (packages) {
        setPackages(std::move(*packages));
        if (packagePage < 0)
            m_pages->addTab(m_packagePage, QStringLiteral("By Package"));
    } else if (packagePage >= 0) {
        m_pages->removeTab(packagePage);
        m_packagePage->hide();
    }
}

void ChangeSummaryDialog::setPackages(PackageSummary summary) {
    showModel(m_packageView, m_packageModel,
              new PackageSummaryModel(std::move(summary), m_format, this));
    showPackageBars();
}

void ChangeSummaryDialog::showPackageBars() {
    // The rows come most changed first; the chart takes those with the most bytes changed.
    std::vector<const PackageChange *> rows;
    for (const PackageChange &row : m_packageModel->summary().rows())
        rows.push_back(&row);
    const auto count = std::min<std::size_t>(rows.size(), ChartBars);
    std::partial_sort(rows.begin(), rows.begin() + std::ptrdiff_t(count), rows.end(),
                      [](const PackageChange *a, const PackageChange *b) {
                          return a->bytesChanged() != b->bytesChanged()
                                     ? a->bytesChanged() > b->bytesChanged()
                                     : a->owners < b->owners;
                      });
    std::vector<ChangeBars::Bar> bars;
    for (std::size_t k = 0; k < count && rows[k]->bytesChanged() > 0; ++k)
        bars.push_back({NameCodec::printable(rows[k]->owners), rows[k]->bytesRemoved,
                        rows[k]->bytesAdded,
                        m_packageModel->texts().bytes(rows[k]->bytesChanged())});
    m_packageBars->setBars(QStringLiteral("Packages with the most bytes changed: removed (red), "
                                          "added (green)"),
                           std::move(bars), QLatin1String(ByteScale::Legend));
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
                        m_model->texts().bytes(f.bytesChanged())});
    }
    const FolderChange &shown = folders[static_cast<std::size_t>(folder)];
    const QString name = shown.parent < 0 ? QStringLiteral("\\")
                                          : NameCodec::printable(m_model->summary().path(folder));
    m_bars->setBars(QStringLiteral("Subfolders of %1 with the most bytes changed: removed (red), "
                                   "added (green)")
                        .arg(name),
                    std::move(bars), QLatin1String(ByteScale::Legend));
}
