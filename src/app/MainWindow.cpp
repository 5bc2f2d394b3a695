#include "MainWindow.h"

#include "BusyPointer.h"
#include "CommandHost.h"
#include "CompareCommands.h"
#include "FileCommands.h"
#include "FilterBox.h"
#include "ListPane.h"
#include "ListViews.h"
#include "PrintCommands.h"
#include "Prompts.h"
#include "RecoveryOffer.h"
#include "StatusPanel.h"
#include "WindowPlacement.h"
#include "compare/ChangeSummary.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/ChangeSummaryDialog.h"
#include "dialogs/HelpDialog.h"
#include "files/RecoveryStore.h"
#include "session/RecoveryWriter.h"
#include "snapshot/Columns.h"
#include "widgets/Icons.h"
#include "widgets/Twips.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

MainWindow::MainWindow(QSettings &settings, Prompts &prompts, QWidget *parent,
                       const QString &recoveryFolder)
    : QMainWindow(parent), m_settings(settings), m_prompts(prompts) {
    setObjectName(QStringLiteral("Startup"));
    setWindowTitle(programName());
    setWindowIcon(Icons::window());

    m_loaded = AppSettings::read(m_settings);
    m_recovery = new RecoveryWriter(
        recoveryFolder.isEmpty() ? RecoveryStore::defaultFolder() : recoveryFolder, m_session);
    m_views = new ListViews(m_session, m_formatter, this);
    buildStatusBar();
    m_host = new CommandHost(m_session, prompts, m_formatter, this, m_cancelButton);
    m_files = new FileCommands(*m_host);
    m_compare = new CompareCommands(*m_host, *m_files, m_newSnapshot, m_settings);
    m_print = new PrintCommands(*m_host);
    buildCommands();
    buildTabs();
    listenToSession();

    action(Command::GridLines)->setChecked(m_loaded.viewGrid);
    action(Command::LinkedWidths)->setChecked(m_loaded.linkCols);
    // The lists follow the restored grid-line check mark from the start.
    m_views->setGridLines(m_loaded.viewGrid);
    m_session.rememberedFolders = m_loaded.defPath;
    m_newSnapshot.separate = m_loaded.separate;
    m_newSnapshot.otherVolumes = m_loaded.otherVolumes;
    m_newSnapshot.leaveOut = m_loaded.leaveOut;
    m_newSnapshot.contents = m_loaded.contents;
    m_session.options().findMoves = m_loaded.findMoves;

    resize(Twips::toPixels(9630, 6120, this));
    m_placement = new WindowPlacement(this);
    m_placement->fitToFrame();
    tabChanged();
}

MainWindow::~MainWindow() = default;

// ---------------------------------------------------------------------------------------------
// Building the window

void MainWindow::buildCommands() {
    m_actions = Menus::build(this);
    m_toolbar = Menus::buildToolbar(this, m_actions);
    for (const CommandRow &row : commandTable()) {
        connect(action(row.id), &QAction::triggered, this, [this, run = row.run] {
            CommandTargets targets{*m_files, *m_compare, *m_print, *this};
            run(targets);
        });
    }
}

void MainWindow::buildTabs() {
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    const int side = Twips::toPixels(120, this);
    layout->setContentsMargins(side, Twips::toPixels(90, this), side, side / 2);
    buildFilter(central);
    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("TabStrip"));
    // Seven captions are wider than the window's first size: arrows reach the last ones then.
    m_tabs->setUsesScrollButtons(true);
    for (const ListId n : Lists::All)
        m_tabs->addTab(pane(n), Workspace::tabCaption(n));
    connect(m_views, &ListViews::headerClicked, this, &MainWindow::headerClicked);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::tabChanged);
    layout->addWidget(m_tabs);
    setCentralWidget(central);
}

void MainWindow::buildFilter(QWidget *central) {
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("Filter:"), central);
    m_filter = new FilterBox(central);
    m_filter->setObjectName(QStringLiteral("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setPlaceholderText(QStringLiteral("Name or folder contains (Ctrl+F)"));
    label->setBuddy(m_filter);
    row->addWidget(label);
    row->addWidget(m_filter, 1);
    static_cast<QVBoxLayout *>(central->layout())->addLayout(row);
    connect(m_filter, &QLineEdit::textChanged, this, &MainWindow::setFilter);
    connect(m_filter, &FilterBox::emptiedByEscape, this, [this] {
        const ListPane *pane = m_views->pane(m_shownList);
        QWidget *view =
            pane->isSummaryView() ? static_cast<QWidget *>(pane->summary()) : pane->details();
        view->setFocus(Qt::OtherFocusReason);
    });

    auto *focus = new QAction(this);
    focus->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(focus, &QAction::triggered, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    addAction(focus);
}

void MainWindow::buildStatusBar() {
    m_status = new StatusPanel(statusBar());
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setAccessibleDescription(QStringLiteral("Status"));
    m_count = new StatusPanel(statusBar());
    m_count->setObjectName(QStringLiteral("Count"));
    m_count->setAccessibleDescription(QStringLiteral("Entries"));
    m_count->setFixedWidth(Twips::toPixels(1440, this));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Long texts such as folder paths must not widen the window.
    m_status->setMinimumWidth(1);
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(m_status, 1);
    statusBar()->addPermanentWidget(m_count);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), statusBar());
    m_cancelButton->setObjectName(QStringLiteral("CancelJob"));
    m_cancelButton->setFocusPolicy(Qt::NoFocus);
    m_cancelButton->hide();
    statusBar()->addPermanentWidget(m_cancelButton);
    // A click on the description shows the snapshot's properties.
    connect(m_status, &StatusPanel::clicked, this, [this] {
        if (!m_session.list(m_shownList).isEmpty())
            action(Command::Properties)->trigger();
    });
}

// The window follows what the session and the commands announce.
void MainWindow::listenToSession() {
    connect(&m_session, &Session::commandStatesChanged, this, &MainWindow::updateCommands);
    connect(&m_session, &Session::compared, this, [this] {
        if (m_changeSummary && m_changeSummary->isVisible())
            summarise();
    });
    connect(m_host, &CommandHost::statusChanged, this, &MainWindow::showStatus);
    connect(m_host, &CommandHost::showListRequested, this, &MainWindow::selectTab);
    connect(m_host, &CommandHost::progressChanged, this, &MainWindow::showProgress);
    connect(m_recovery, &RecoveryWriter::writeFailed, this, &MainWindow::showStatus);
}

// ---------------------------------------------------------------------------------------------
// Placement, start and shutdown

void MainWindow::restorePlacement() {
    m_placement->restore(m_loaded);
}

void MainWindow::offerRecoveredSnapshots() {
    RecoveryOffer(*m_recovery, *m_host).run();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    for (const ListId n : Session::exitOrder()) {
        if (m_files->querySave(n) == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
    }
    writeSettings();
    m_status->setText(QStringLiteral("Please Wait..."));
    statusBar()->repaint();
    event->accept();
}

void MainWindow::writeSettings() {
    AppSettings s = m_loaded;
    s.defPath = m_session.rememberedFolders;
    s.viewGrid = action(Command::GridLines)->isChecked();
    s.linkCols = action(Command::LinkedWidths)->isChecked();
    const bool placed = m_placement->store(s);
    s.write(m_settings, placed);
}

// ---------------------------------------------------------------------------------------------
// Tabs, commands and status bar

void MainWindow::tabChanged() {
    const ListId selected = Lists::atIndex(std::size_t(m_tabs->currentIndex()));
    // The tab widget hides the list shown so far and shows the selected one.
    if (action(Command::LinkedWidths)->isChecked())
        m_views->syncColumnWidths(m_shownList, selected);
    m_shownList = selected;
    m_host->setShownList(selected);
    m_views->setFilter(m_shownList, m_filter->text());
    updateCommands();
}

void MainWindow::selectTab(ListId listNo) {
    m_tabs->setCurrentIndex(int(Lists::indexOf(listNo)));
}

void MainWindow::updateCommands() {
    showStatus(QString());
    const Session::CommandStates states = m_session.commandStates(m_shownList);
    for (const CommandRow &row : commandTable()) {
        if (row.enabledBy)
            action(row.id)->setEnabled(states.*row.enabledBy);
    }
    // A summary of lists that are gone would lead nowhere.
    if (m_changeSummary && !states.changeSummary)
        m_changeSummary->hide();
}

void MainWindow::showStatus(const QString &text) {
    QString shown = text;
    if (shown.isEmpty()) {
        shown = m_session.list(m_shownList).description;
        showCount();
    }
    m_status->setText(shown);
}

void MainWindow::showProgress(const QString &text, const QString &count) {
    if (!text.isEmpty())
        m_status->setText(text);
    if (!count.isEmpty())
        m_count->setText(count);
}

void MainWindow::showCount() {
    const int total = m_session.list(m_shownList).size();
    QString text = m_formatter.sizeText(std::uint64_t(total));
    if (m_views->isFiltered(m_shownList))
        text =
            QStringLiteral("%1 of %2")
                .arg(m_formatter.sizeText(std::uint64_t(m_views->shownEntries(m_shownList))), text);
    m_count->setText(text);
    // "1,234 of 675,284" needs more room than a count; the panel grows for it, never shrinks
    // below its own width.
    const int room =
        m_count->fontMetrics().horizontalAdvance(text) + m_count->fontMetrics().height();
    m_count->setFixedWidth(std::max(Twips::toPixels(1440, this), room));
}

QLineEdit *MainWindow::filterBox() const {
    return m_filter;
}

void MainWindow::setFilter(const QString &text) {
    if (m_filter->text() != text) {
        m_filter->setText(text); // comes back here through textChanged
        return;
    }
    m_views->setFilter(m_shownList, text);
    showCount();
}

// ---------------------------------------------------------------------------------------------
// List views

ListPane *MainWindow::pane(ListId listNo) const {
    return m_views->pane(listNo);
}

void MainWindow::sortList(ListId listNo, int key, int order) {
    m_views->sortList(listNo, key, order);
}

void MainWindow::headerClicked(ListId listNo, int column) {
    if (!m_views->sortByColumn(listNo, column))
        m_prompts.message(this, programName(), QLatin1String(SortRefusal));
}

void MainWindow::setView(bool summary) {
    showStatus(QStringLiteral("Please Wait..."));
    // The switch keeps the event loop waiting; the text is painted before it starts.
    m_status->repaint();
    {
        BusyPointer busy;
        m_views->setSummaryView(summary);
        action(Command::DetailedView)->setChecked(!summary);
        action(Command::SummaryView)->setChecked(summary);
        // Grid lines and column widths only concern the report view.
        findChild<QAction *>(QStringLiteral("ViewBar1"))->setVisible(!summary);
        action(Command::GridLines)->setVisible(!summary);
        action(Command::LinkedWidths)->setVisible(!summary);
    }
    showStatus(QString());
}

void MainWindow::showDetails() {
    setView(false);
}

void MainWindow::showSummary() {
    setView(true);
}

void MainWindow::toggleGridLines() {
    // The action has already reversed its check mark.
    m_views->setGridLines(action(Command::GridLines)->isChecked());
}

void MainWindow::toggleLinkedWidths() {
    // The reversed check mark takes effect when the next list is shown.
}

// ---------------------------------------------------------------------------------------------
// Change Summary

void MainWindow::showChangeSummary() {
    if (!m_changeSummary) {
        m_changeSummary = new ChangeSummaryDialog(m_formatter, this);
        connect(m_changeSummary, &ChangeSummaryDialog::folderActivated, this,
                &MainWindow::showChangesIn);
    }
    summarise();
    m_changeSummary->show();
    m_changeSummary->raise();
    m_changeSummary->activateWindow();
}

void MainWindow::summarise() {
    BusyPointer busy;
    const Workspace &ws = m_session.workspace();
    // By package when the owners of both sides are known.
    std::optional<PackageSummary> packages;
    if (ws.list(ListId::Original).hasPackages() && ws.list(ListId::Final).hasPackages())
        packages = PackageSummary::build(ws);
    m_changeSummary->setSummary(ChangeSummary::build(ws), std::move(packages));
}

void MainWindow::showChangesIn(const FolderChange &folder, const QString &path) {
    setFilter(folder.parent < 0 ? QString() : u'\\' + path);
    const qint64 counts[] = {folder.onlyOriginal, folder.onlyFinal, folder.changed};
    auto holds = [&](ListId listNo) {
        return listNo >= ListId::OnlyInOriginal && listNo <= ListId::Changed &&
               counts[Lists::indexOf(listNo) - Lists::indexOf(ListId::OnlyInOriginal)] > 0;
    };
    if (!holds(m_shownList)) {
        for (const ListId n : Lists::Results) {
            if (holds(n)) {
                selectTab(n);
                break;
            }
        }
    }
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------------------------
// Exit and Help

void MainWindow::exitProgram() {
    close();
}

void MainWindow::showHelp() {
    if (!m_help)
        m_help = new HelpDialog(this);
    m_help->exec();
}

void MainWindow::showAbout() {
    if (!m_about) {
        // Without a splash (as in tests) the window is made here, past its splash mode.
        adoptAboutDialog(new AboutDialog());
    }
    m_about->exec();
}

void MainWindow::adoptAboutDialog(AboutDialog *about) {
    m_about = about;
    m_about->setParent(this, m_about->windowFlags());
    m_about->setTitleTarget(this);
    m_about->endSplashMode();
}
