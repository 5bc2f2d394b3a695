#include "MainWindow.h"

#include "BusyPointer.h"
#include "FileCommands.h"
#include "FilterBox.h"
#include "ListPane.h"
#include "ListViews.h"
#include "Menus.h"
#include "Prompts.h"
#include "RecoveryKeeper.h"
#include "StatusPanel.h"
#include "WindowPlacement.h"
#include "compare/ChangeSummary.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/ChangeSummaryDialog.h"
#include "dialogs/HelpDialog.h"
#include "files/RecoveryStore.h"
#include "widgets/Icons.h"
#include "widgets/Twips.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QListView>
#include <QTableView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

MainWindow::MainWindow(QSettings &settings, Prompts &prompts, QWidget *parent,
                       const QString &recoveryFolder)
    : QMainWindow(parent), m_settings(settings),
      m_recovery(std::make_unique<RecoveryKeeper>(
          recoveryFolder.isEmpty() ? RecoveryStore::defaultFolder() : recoveryFolder, *this)),
      m_commands(std::make_unique<FileCommands>(*this, m_session, prompts)) {
    setObjectName(QStringLiteral("Startup"));
    setWindowTitle(programName());
    setWindowIcon(Icons::window());

    m_loaded = AppSettings::read(m_settings);

    m_views = new ListViews(m_session, m_formatter, this);
    buildMenus();
    buildToolbar();
    buildTabs();
    buildStatusBar();

    command("ViewGrid")->setChecked(m_loaded.viewGrid);
    command("ViewWidths")->setChecked(m_loaded.linkCols);
    // The lists follow the restored grid-line check mark from the start.
    m_views->setGridLines(m_loaded.viewGrid);
    m_session.DefPath = m_loaded.defPath;
    m_newSnapshot.separate = m_loaded.separate;
    m_newSnapshot.otherVolumes = m_loaded.otherVolumes;
    m_newSnapshot.leaveOut = m_loaded.leaveOut;

    resize(Twips::toPixels(9630, 6120, this));
    m_placement = new WindowPlacement(this);
    m_placement->fitToFrame();
    TabStrip_Click();
}

MainWindow::~MainWindow() = default;

// ---------------------------------------------------------------------------------------------
// Building the window

void MainWindow::buildMenus() {
    Menus::build(this);
    const std::pair<const char *, void (FileCommands::*)()> fileSlots[] = {
        {"FileNew", &FileCommands::FileNew_Click},
        {"FileOpen", &FileCommands::FileOpen_Click},
        {"FileClose", &FileCommands::FileClose_Click},
        {"FileSaveAs", &FileCommands::FileSaveAs_Click},
        {"FileExport", &FileCommands::FileExport_Click},
        {"FileImport", &FileCommands::FileImport_Click},
        {"FileCompare", &FileCommands::FileCompare_Click},
        {"FileCompareNow", &FileCommands::FileCompareNow_Click},
        {"FileProps", &FileCommands::FileProps_Click},
        {"FilePrint", &FileCommands::FilePrint_Click},
        {"FilePageSetup", &FileCommands::FilePageSetup_Click},
    };
    for (const auto &[name, slot] : fileSlots)
        connect(command(name), &QAction::triggered, m_commands.get(), slot);
    const std::pair<const char *, void (MainWindow::*)()> slots[] = {
        {"FileExit", &MainWindow::FileExit_Click},
        {"ViewDetails", &MainWindow::ViewDetails_Click},
        {"ViewSummary", &MainWindow::ViewSummary_Click},
        {"ViewGrid", &MainWindow::ViewGrid_Click},
        {"ViewWidths", &MainWindow::ViewWidths_Click},
        {"ViewChanges", &MainWindow::ViewChanges_Click},
        {"HelpScreen", &MainWindow::HelpScreen_Click},
        {"HelpAbout", &MainWindow::HelpAbout_Click},
    };
    for (const auto &[name, slot] : slots)
        connect(command(name), &QAction::triggered, this, slot);
}

void MainWindow::buildToolbar() {
    m_toolbar = Menus::buildToolbar(this);
    for (QAction *action : m_toolbar->actions()) {
        const QString key = action->data().toString();
        connect(action, &QAction::triggered, this, [this, key] { Toolbar_ButtonClick(key); });
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
    m_tabs->setUsesScrollButtons(false);
    for (int n = 1; n <= ListNo::Count; ++n)
        m_tabs->addTab(pane(n), Workspace::TabCaption(n));
    connect(m_views, &ListViews::headerClicked, this, &MainWindow::Files_ColumnClick);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { TabStrip_Click(); });
    layout->addWidget(m_tabs);
    setCentralWidget(central);
}

void MainWindow::buildFilter(QWidget *central) {
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("Filter:"), central);
    auto *filter = new FilterBox(central);
    m_filter = filter;
    m_filter->setObjectName(QStringLiteral("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setPlaceholderText(QStringLiteral("Name or folder contains (Ctrl+F)"));
    label->setBuddy(m_filter);
    row->addWidget(label);
    row->addWidget(m_filter, 1);
    static_cast<QVBoxLayout *>(central->layout())->addLayout(row);
    connect(m_filter, &QLineEdit::textChanged, this, &MainWindow::setFilter);
    connect(filter, &FilterBox::emptiedByEscape, this, [this] {
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
    connect(m_status, &StatusPanel::clicked, this, [this] { StatusBar_PanelClick(1); });
    connect(m_count, &StatusPanel::clicked, this, [this] { StatusBar_PanelClick(2); });
}

QAction *MainWindow::command(const char *name) const {
    return findChild<QAction *>(QLatin1String(name));
}

QAction *MainWindow::button(const QString &key) const {
    for (QAction *action : m_toolbar->actions()) {
        if (action->data().toString() == key)
            return action;
    }
    return nullptr;
}

void MainWindow::setCommand(const char *name, const QString &key, bool enabled) {
    command(name)->setEnabled(enabled);
    if (!key.isEmpty())
        button(key)->setEnabled(enabled);
}

// ---------------------------------------------------------------------------------------------
// Placement, minimum size and shutdown

void MainWindow::restorePlacement() {
    m_placement->restore(m_loaded);
}

void MainWindow::closeEvent(QCloseEvent *event) {
    // The Original is asked about first; once answered it is closed, even when the question
    // about the Final is then cancelled.
    for (int n : {ListNo::Original, ListNo::Final}) {
        if (m_commands->QuerySave(n) == QMessageBox::Cancel) {
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
    s.defPath = m_session.DefPath;
    s.viewGrid = command("ViewGrid")->isChecked();
    s.linkCols = command("ViewWidths")->isChecked();
    const bool placed = m_placement->store(s);
    s.write(m_settings, placed);
}

// ---------------------------------------------------------------------------------------------
// Tabs, commands and status bar

void MainWindow::TabStrip_Click() {
    m_currentList = m_tabs->currentIndex() + 1;
    // The tab widget hides the list shown so far and shows the selected one.
    SyncColumnWidths(m_shownList, m_currentList);
    m_shownList = m_currentList;
    m_views->setFilter(m_shownList, m_filter->text());
    UpdateCommands(m_currentList);
}

void MainWindow::selectTab(int listNo) {
    m_tabs->setCurrentIndex(listNo - 1);
}

void MainWindow::UpdateCommands(int listNo) {
    ShowStatus(QString());
    const Session::CommandStates states = m_session.commandStates(listNo);
    setCommand("FileSaveAs", QStringLiteral("Save As"), states.saveAs);
    setCommand("FilePrint", QStringLiteral("Print"), states.print);
    setCommand("FileProps", QString(), states.properties);
    setCommand("FileExport", QStringLiteral("Export"), states.exportCsv);
    setCommand("FileClose", QStringLiteral("Close"), states.close);
    setCommand("FileCompare", QStringLiteral("Compare"), states.compare);
    setCommand("FileCompareNow", QStringLiteral("Compare Now"), states.compareNow);
    setCommand("ViewChanges", QString(), m_session.options().compared);
    // A summary of lists that are gone would lead nowhere.
    if (m_changeSummary && !m_session.options().compared)
        m_changeSummary->hide();
}

QString MainWindow::countText(qint64 count) const {
    return m_formatter.sizeText(static_cast<std::uint64_t>(count));
}

void MainWindow::ShowStatus(const QString &text) {
    QString shown = text;
    if (shown.isEmpty()) {
        const SnapshotList &list = m_session.list(m_currentList);
        shown = list.description;
        showCount();
    }
    m_status->setText(shown);
}

void MainWindow::showCount() {
    const int total = m_session.list(m_currentList).size();
    QString text = countText(total);
    if (m_views->isFiltered(m_currentList))
        text =
            QStringLiteral("%1 of %2").arg(countText(m_views->shownEntries(m_currentList)), text);
    m_count->setText(text);
    // "1,234 of 675,284" needs more room than a count; the panel grows for it, never shrinks
    // below its own width.
    const int room =
        m_count->fontMetrics().horizontalAdvance(text) + m_count->fontMetrics().height();
    m_count->setFixedWidth(std::max(Twips::toPixels(1440, this), room));
}

void MainWindow::setFilter(const QString &text) {
    if (m_filter->text() != text) {
        m_filter->setText(text); // comes back here through textChanged
        return;
    }
    m_views->setFilter(m_shownList, text);
    showCount();
}

void MainWindow::StatusBar_PanelClick(int panel) {
    if (panel == 1 && !m_session.list(m_currentList).isEmpty())
        command("FileProps")->trigger();
}

void MainWindow::Toolbar_ButtonClick(const QString &key) {
    if (const char *name = Menus::commandOfButton(key))
        command(name)->trigger();
}

// ---------------------------------------------------------------------------------------------
// List views

ListPane *MainWindow::pane(int listNo) const {
    return m_views->pane(listNo);
}

void MainWindow::ListChanged(int listNo) {
    m_views->ListChanged(listNo);
}

void MainWindow::SortList(int listNo, int key, int order) {
    m_views->SortList(listNo, key, order);
}

void MainWindow::SyncColumnWidths(int from, int to) {
    if (command("ViewWidths")->isChecked())
        m_views->SyncColumnWidths(from, to);
}

void MainWindow::Files_ColumnClick(int listNo, int column) {
    if (!m_views->Files_ColumnClick(listNo, column))
        m_commands->prompts().message(this, programName(), QLatin1String(SortRefusal));
}

void MainWindow::setView(bool summary) {
    ShowStatus(QStringLiteral("Please Wait..."));
    // The switch keeps the event loop waiting; the text is painted before it starts.
    m_status->repaint();
    {
        BusyPointer busy;
        m_views->setSummaryView(summary);
        command("ViewDetails")->setChecked(!summary);
        command("ViewSummary")->setChecked(summary);
        // Grid lines and column widths only concern the report view.
        command("ViewBar1")->setVisible(!summary);
        command("ViewGrid")->setVisible(!summary);
        command("ViewWidths")->setVisible(!summary);
    }
    ShowStatus(QString());
}

void MainWindow::ViewDetails_Click() {
    setView(false);
}

void MainWindow::ViewSummary_Click() {
    setView(true);
}

void MainWindow::ViewGrid_Click() {
    // The action has already reversed its check mark.
    m_views->setGridLines(command("ViewGrid")->isChecked());
}

void MainWindow::ViewWidths_Click() {
    // The reversed check mark takes effect when the next list is shown.
}

void MainWindow::ViewChanges_Click() {
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

void MainWindow::comparisonDone() {
    if (m_changeSummary && m_changeSummary->isVisible())
        summarise();
}

void MainWindow::summarise() {
    BusyPointer busy;
    m_changeSummary->setSummary(ChangeSummary::build(m_session.workspace()));
}

void MainWindow::showChangesIn(const FolderChange &folder, const QString &path) {
    setFilter(folder.parent < 0 ? QString() : u'\\' + path);
    const qint64 counts[] = {folder.onlyOriginal, folder.onlyFinal, folder.changed};
    auto holds = [&](int listNo) {
        return listNo >= ListNo::OnlyInOriginal && listNo <= ListNo::Changed &&
               counts[listNo - ListNo::OnlyInOriginal] > 0;
    };
    if (!holds(m_shownList)) {
        for (int n = ListNo::OnlyInOriginal; n <= ListNo::Changed; ++n) {
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
// Commands

void MainWindow::FileExit_Click() {
    close();
}

void MainWindow::HelpScreen_Click() {
    if (!m_help)
        m_help = new HelpDialog(this);
    m_help->exec();
}

void MainWindow::HelpAbout_Click() {
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
