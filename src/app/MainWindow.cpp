#include "MainWindow.h"

#include "BusyPointer.h"
#include "Icons.h"
#include "ListModel.h"
#include "ListPane.h"
#include "Prompts.h"
#include "StatusPanel.h"
#include "Twips.h"
#include "compare/Comparison.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/CompareDialog.h"
#include "dialogs/HelpDialog.h"
#include "dialogs/PrintDialog.h"
#include "files/FileError.h"
#include "files/SnapshotFile.h"
#include "print/ReportPrinter.h"
#include "snapshot/Progress.h"
#include "snapshot/Sorting.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <optional>

namespace {

// The toolbar's buttons, left to right: each key is the button's caption and names the menu
// entry whose command it runs.
struct ButtonDef {
    const char *key;
    const char *command;
};
constexpr ButtonDef Buttons[] = {
    {"New", "FileNew"},        {"Open", "FileOpen"},   {"Import", "FileImport"},
    {"Save As", "FileSaveAs"}, {"Close", "FileClose"}, {"Compare", "FileCompare"},
    {"Export", "FileExport"},  {"Print", "FilePrint"},
};

double secondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

} // namespace

MainWindow::MainWindow(QSettings &settings, Prompts &prompts, QWidget *parent)
    : QMainWindow(parent), m_settings(settings), m_prompts(prompts), m_clock(secondsSinceMidnight) {
    setObjectName(QStringLiteral("Startup"));
    setWindowTitle(programName());
    setWindowIcon(Icons::window());

    m_loaded = AppSettings::read(m_settings);

    for (int n = 1; n <= ListNo::Count; ++n) {
        m_ws.list(n).unsaved = false;
        m_models[static_cast<std::size_t>(n - 1)] = new ListModel(m_ws.list(n), m_formatter, this);
    }
    buildMenus();
    buildToolbar();
    buildTabs();
    buildStatusBar();

    command("ViewGrid")->setChecked(m_loaded.viewGrid);
    command("ViewWidths")->setChecked(m_loaded.linkCols);
    // The lists follow the restored grid-line check mark from the start.
    for (ListPane *pane : m_panes)
        pane->setGridLines(m_loaded.viewGrid);
    for (std::size_t k = 0; k < m_ws.DefPath.size(); ++k)
        m_ws.DefPath[k] = m_loaded.defPath[k];
    m_newSnapshot.separate = m_loaded.separate;
    m_newSnapshot.otherVolumes = m_loaded.otherVolumes;
    m_ws.CurrentList = 1;
    m_ws.ShownList = 1;

    resize(Twips::toPixels(9630, 6120, this));
    fitToFrame();
    TabStrip_Click();
}

MainWindow::~MainWindow() = default;

// ---------------------------------------------------------------------------------------------
// Building the window

void MainWindow::buildMenus() {
    struct Entry {
        const char *name; // null: a separator
        const char *caption;
        QKeySequence shortcut;
        bool enabled;
        bool checkable;
        bool checked;
    };
    auto addEntries = [this](QMenu *menu, std::initializer_list<Entry> entries) {
        for (const Entry &e : entries) {
            QAction *action =
                e.caption ? menu->addAction(QLatin1String(e.caption)) : menu->addSeparator();
            if (e.name)
                action->setObjectName(QLatin1String(e.name));
            if (!e.caption)
                continue;
            action->setShortcut(e.shortcut);
            action->setEnabled(e.enabled);
            action->setCheckable(e.checkable);
            action->setChecked(e.checked);
        }
    };

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    addEntries(
        file,
        {
            {"FileNew", "&New...", QKeySequence(Qt::CTRL | Qt::Key_N), true, false, false},
            {"FileOpen", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), true, false, false},
            {"FileClose", "&Close", QKeySequence(Qt::CTRL | Qt::Key_F4), false, false, false},
            {"FileSaveAs", "&Save As...", QKeySequence(Qt::CTRL | Qt::Key_S), false, false, false},
            {"FileExport", "&Export to CSV File...", QKeySequence(Qt::CTRL | Qt::Key_E), false,
             false, false},
            {"FileImport", "&Import DOS Directory...", QKeySequence(Qt::CTRL | Qt::Key_I), true,
             false, false},
            {nullptr, nullptr, {}, true, false, false},
            {"FileCompare", "&Compare Snapshots...", QKeySequence(Qt::CTRL | Qt::Key_C), false,
             false, false},
            {"FileProps", "S&napshot Properties", QKeySequence(Qt::CTRL | Qt::Key_R), false, false,
             false},
            {nullptr, nullptr, {}, true, false, false},
            {"FilePrint", "&Print...", QKeySequence(Qt::CTRL | Qt::Key_P), false, false, false},
            {"FilePageSetup", "Page Set&up...", QKeySequence(Qt::CTRL | Qt::Key_U), true, false,
             false},
            {nullptr, nullptr, {}, true, false, false},
            {"FileExit", "E&xit Vistrel", {}, true, false, false},
        });

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    addEntries(view, {
                         {"ViewDetails", "&Detailed View", {}, true, true, true},
                         {"ViewSummary", "&Summary View", {}, true, true, false},
                         {"ViewBar1", nullptr, {}, true, false, false},
                         {"ViewGrid", "Show &Grid Lines", QKeySequence(Qt::CTRL | Qt::Key_G), true,
                          true, true},
                         {"ViewWidths", "Column &Widths are Linked",
                          QKeySequence(Qt::CTRL | Qt::Key_W), true, true, true},
                     });
    auto *views = new QActionGroup(this);
    views->addAction(command("ViewDetails"));
    views->addAction(command("ViewSummary"));

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    addEntries(help,
               {
                   {"HelpScreen", "Vistrel &Help", QKeySequence(Qt::Key_F1), true, false, false},
                   {"HelpAbout", "&About Vistrel...", {}, true, false, false},
               });

    const std::pair<const char *, void (MainWindow::*)()> slots[] = {
        {"FileNew", &MainWindow::FileNew_Click},
        {"FileOpen", &MainWindow::FileOpen_Click},
        {"FileClose", &MainWindow::FileClose_Click},
        {"FileSaveAs", &MainWindow::FileSaveAs_Click},
        {"FileExport", &MainWindow::FileExport_Click},
        {"FileImport", &MainWindow::FileImport_Click},
        {"FileCompare", &MainWindow::FileCompare_Click},
        {"FileProps", &MainWindow::FileProps_Click},
        {"FilePrint", &MainWindow::FilePrint_Click},
        {"FilePageSetup", &MainWindow::FilePageSetup_Click},
        {"FileExit", &MainWindow::FileExit_Click},
        {"ViewDetails", &MainWindow::ViewDetails_Click},
        {"ViewSummary", &MainWindow::ViewSummary_Click},
        {"ViewGrid", &MainWindow::ViewGrid_Click},
        {"ViewWidths", &MainWindow::ViewWidths_Click},
        {"HelpScreen", &MainWindow::HelpScreen_Click},
        {"HelpAbout", &MainWindow::HelpAbout_Click},
    };
    for (const auto &[name, slot] : slots)
        connect(command(name), &QAction::triggered, this, slot);
}

void MainWindow::buildToolbar() {
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ButtonDef &def : Buttons) {
        const QString key = QLatin1String(def.key);
        QAction *action = m_toolbar->addAction(Icons::toolbar(key), key);
        action->setData(key);
        action->setEnabled(command(def.command)->isEnabled());
        connect(action, &QAction::triggered, this, [this, key] { Toolbar_ButtonClick(key); });
    }
    m_toolbar->toggleViewAction()->setVisible(false);
}

void MainWindow::buildTabs() {
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    const int side = Twips::toPixels(120, this);
    layout->setContentsMargins(side, Twips::toPixels(90, this), side, side / 2);
    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("TabStrip"));
    m_tabs->setUsesScrollButtons(false);
    for (int n = 1; n <= ListNo::Count; ++n) {
        auto *pane = new ListPane(n, m_models[static_cast<std::size_t>(n - 1)], m_tabs);
        pane->setObjectName(QStringLiteral("Files%1").arg(n));
        connect(pane, &ListPane::headerClicked, this,
                [this, n](int column) { Files_ColumnClick(n, column); });
        m_panes[static_cast<std::size_t>(n - 1)] = pane;
        m_tabs->addTab(pane, Workspace::TabCaption(n));
    }
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { TabStrip_Click(); });
    layout->addWidget(m_tabs);
    setCentralWidget(central);
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
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        if (m_jobProgress)
            m_jobProgress->cancel();
    });
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
    const QPoint topLeft(Twips::toPixels(m_loaded.mainLeft, this),
                         Twips::toPixels(m_loaded.mainTop, this));
    const QSize outer = Twips::toPixels(m_loaded.mainWidth, m_loaded.mainHeight, this);
    move(topLeft);
    const QSize frame = frameGeometry().size() - size();
    resize(outer - frame);
    m_pendingOuterSize = frame.isEmpty() ? outer : QSize();
    if (m_loaded.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    // The window manager may give the window its frame only after it is shown; the size is
    // corrected then (see fitToFrame). Give up waiting after a while.
    QTimer::singleShot(2000, this, [this] { m_pendingOuterSize = QSize(); });
}

// The settings and the minimum size count the outer frame; Qt sizes the inside. Once the frame
// is known, both are brought into line.
void MainWindow::fitToFrame() {
    const QSize frame = frameGeometry().size() - size();
    setMinimumSize(Twips::toPixels(9630, 3120, this) - frame);
    if (m_pendingOuterSize.isValid() && !frame.isEmpty() && !isMaximized()) {
        const QSize wanted = m_pendingOuterSize - frame;
        m_pendingOuterSize = QSize();
        resize(wanted);
    }
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    if (!isMinimized())
        fitToFrame();
}

void MainWindow::moveEvent(QMoveEvent *event) {
    QMainWindow::moveEvent(event);
    if (!isMinimized())
        fitToFrame();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    // The Original is asked about first; once answered it is closed, even when the question
    // about the Final is then cancelled.
    for (int n : {ListNo::Original, ListNo::Final}) {
        if (QuerySave(n) == QMessageBox::Cancel) {
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
    for (std::size_t k = 0; k < m_ws.DefPath.size(); ++k)
        s.defPath[k] = m_ws.DefPath[k];
    s.viewGrid = command("ViewGrid")->isChecked();
    s.linkCols = command("ViewWidths")->isChecked();
    const bool minimized = isMinimized();
    if (!minimized) {
        const QRect outer = frameGeometry();
        s.mainLeft = Twips::fromPixels(outer.left(), this);
        s.mainTop = Twips::fromPixels(outer.top(), this);
        s.mainWidth = Twips::fromPixels(outer.width(), this);
        s.mainHeight = Twips::fromPixels(outer.height(), this);
        s.maximized = isMaximized();
    }
    s.write(m_settings, !minimized);
}

// ---------------------------------------------------------------------------------------------
// Tabs, commands and status bar

void MainWindow::TabStrip_Click() {
    m_ws.CurrentList = m_tabs->currentIndex() + 1;
    // The tab widget hides the list shown so far and shows the selected one.
    SyncColumnWidths(m_ws.ShownList, m_ws.CurrentList);
    m_ws.ShownList = m_ws.CurrentList;
    UpdateCommands(m_ws.CurrentList);
}

void MainWindow::selectTab(int listNo) {
    m_tabs->setCurrentIndex(listNo - 1);
}

void MainWindow::UpdateCommands(int listNo) {
    ShowStatus(QString());
    int n = -1;
    ShowProgress(n);
    n = m_ws.list(listNo).size();
    const bool entries = n > 0;
    setCommand("FileSaveAs", QStringLiteral("Save As"), entries);
    setCommand("FilePrint", QStringLiteral("Print"), entries);
    setCommand("FileProps", QString(), entries);
    setCommand("FileExport", QStringLiteral("Export"), entries);
    const bool snapshotList = listNo == ListNo::Original || listNo == ListNo::Final;
    setCommand("FileClose", QStringLiteral("Close"), entries && snapshotList);
    setCommand("FileCompare", QStringLiteral("Compare"),
               !m_ws.list(ListNo::Original).isEmpty() && !m_ws.list(ListNo::Final).isEmpty());
}

QString MainWindow::countText(qint64 count) const {
    return m_formatter.locale().toString(count);
}

QString MainWindow::percentText(qint64 n, qint64 total) {
    const double ratio = (n + 1.0) / (total + 1.0);
    return QString::number(qRound(ratio * 100)) + u'%';
}

void MainWindow::ShowStatus(const QString &text) {
    QString shown = text;
    if (shown.isEmpty()) {
        const SnapshotList &list = m_ws.list(m_ws.CurrentList);
        shown = list.description;
        m_count->setText(countText(list.size()));
    }
    m_status->setText(shown);
}

void MainWindow::ShowProgress(int &n) {
    const double now = m_clock();
    const float elapsed = static_cast<float>(now) - LastProgressTime;
    // A clock that went back (past midnight) counts as time gone by.
    if (elapsed >= 0 && elapsed <= 0.5f)
        return;
    LastProgressTime = static_cast<float>(now);
    if (n == -1) {
        n = m_ws.list(m_ws.CurrentList).size();
        m_count->setText(countText(n));
    } else {
        m_count->setText(percentText(n, ProgressTotal));
    }
    // Long operations do not return to the event loop, so the panel is painted now.
    m_count->repaint();
}

void MainWindow::StatusBar_PanelClick(int panel) {
    if (panel == 1 && !m_ws.list(m_ws.CurrentList).isEmpty())
        command("FileProps")->trigger();
}

void MainWindow::Toolbar_ButtonClick(const QString &key) {
    for (const ButtonDef &def : Buttons) {
        if (key == QLatin1String(def.key)) {
            command(def.command)->trigger();
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// List views

void MainWindow::ListChanged(int listNo) {
    m_models[static_cast<std::size_t>(listNo - 1)]->listChanged();
}

void MainWindow::SyncColumnWidths(int from, int to) {
    if (!command("ViewWidths")->isChecked())
        return;
    ListPane *p = pane(from);
    ListPane *q = pane(to);
    for (int c = 0; c < Col::Count; ++c) {
        if (p != q && isLinkedColumn(c))
            q->setColumnWidth(c, p->columnWidth(c));
    }
    if (to == ListNo::Changed) {
        for (int c = 0; c < Col::Count; ++c) {
            if (column(c).partner >= 0)
                q->setColumnWidth(c, q->columnWidth(column(c).partner));
        }
    }
}

void MainWindow::SortList(int listNo, int key, int order) {
    SnapshotList &list = m_ws.list(listNo);
    if (list.sort.key == key && list.sort.order == order)
        return;
    BusyPointer busy;
    ::SortList(list, key, order);
    ListChanged(listNo);
    pane(listNo)->showSortState(list.sort.key, list.sort.order);
}

void MainWindow::Files_ColumnClick(int listNo, int column) {
    const int key = headerSortKey(listNo, column);
    if (key < 0) {
        m_prompts.message(this, programName(), QLatin1String(SortRefusal));
        const SortState &state = m_ws.list(listNo).sort;
        pane(listNo)->showSortState(state.key, state.order);
        return;
    }
    SortList(listNo, key, -1);
    // Even a list that was already sorted this way shows its order again (the header flips its
    // indicator by itself on a click).
    const SortState &state = m_ws.list(listNo).sort;
    pane(listNo)->showSortState(state.key, state.order);
}

void MainWindow::setView(bool summary) {
    ShowStatus(QStringLiteral("Please Wait..."));
    {
        BusyPointer busy;
        for (ListPane *pane : m_panes)
            pane->setSummaryView(summary);
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
    const bool on = command("ViewGrid")->isChecked();
    for (ListPane *pane : m_panes)
        pane->setGridLines(on);
}

void MainWindow::ViewWidths_Click() {
    // The reversed check mark takes effect when the next list is shown.
}

// ---------------------------------------------------------------------------------------------
// Commands

CompareDialog *MainWindow::compareDialog() {
    if (!m_compareDialog)
        m_compareDialog = new CompareDialog(this);
    return m_compareDialog;
}

void MainWindow::FileCompare_Click() {
    CompareDialog *dialog = compareDialog();
    // The options may have been reset or changed since the last showing.
    dialog->load(m_ws, m_compare);
    const bool ok = dialog->exec() == QDialog::Accepted;
    // Cancel keeps whatever the user changed, as OK does.
    dialog->store(m_compare);
    if (ok) {
        int shown = 0;
        ShowStatus(QStringLiteral("Comparing..."));
        {
            BusyPointer busy;
            // Two million-entry snapshots take a while: the window stays painted meanwhile,
            // and the views keep off the lists the comparison rewrites.
            for (ListModel *model : m_models)
                model->hold();
            Progress progress;
            runJob(progress, false, [this, &shown] { shown = RunComparison(m_ws, m_compare); });
            for (int n = 1; n <= ListNo::Count; ++n)
                ListChanged(n);
            // The comparison left both snapshots sorted by their match keys.
            for (int n : {ListNo::Original, ListNo::Final})
                pane(n)->showSortState(m_ws.list(n).sort.key, m_ws.list(n).sort.order);
        }
        ShowStatus(QString());
        if (shown)
            selectTab(shown);
        else
            m_prompts.message(this, programName(), QLatin1String(NoDifferences));
    }
    TabStrip_Click();
}

QPrinter &MainWindow::printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

PrintDialog *MainWindow::printDialog() {
    if (!m_printDialog)
        m_printDialog = new PrintDialog(
            printer(), [this](int listNo) { return m_ws.list(listNo).size(); }, this);
    return m_printDialog;
}

void MainWindow::FilePrint_Click() {
    PrintDialog *dialog = printDialog();
    dialog->activate(m_ws.CurrentList);
    if (dialog->exec() != QDialog::Accepted)
        return;
    const int listNo = dialog->chosenList();
    SnapshotList &list = m_ws.list(listNo);
    if (list.isEmpty())
        return;
    // Without a printer the report goes to a PDF file; no file, no printout.
    if (printer().outputFormat() == QPrinter::PdfFormat) {
        const QString last = printer().outputFileName();
        const Prompts::SaveChoice file =
            m_prompts.saveFile(this, QStringLiteral("Print to PDF File"),
                               last.isEmpty() ? m_ws.DefPath[0] : QFileInfo(last).absolutePath(),
                               Workspace::TabCaption(listNo) + QStringLiteral(".pdf"),
                               {QStringLiteral("PDF files (*.pdf)")}, 1);
        if (file.path.isEmpty())
            return;
        printer().setOutputFileName(file.path);
    }

    // The report wants each folder's entries together; the list goes back to its own order
    // afterwards. An unsorted list has no sort to go back to, so its order is kept aside.
    const SortState before = list.sort;
    std::optional<SnapshotList> unsorted;
    if (!before.sorted())
        unsorted = list;
    SortList(listNo, Col::InFolder, 0);
    ShowStatus(QStringLiteral("Printing..."));
    FileError error;
    {
        BusyPointer busy;
        error = FilePrint(listNo);
        if (unsorted) {
            list = std::move(*unsorted);
            ListChanged(listNo);
            pane(listNo)->showSortState(before.key, before.order);
        } else {
            SortList(listNo, before.key, before.order);
        }
    }
    if (error)
        ReportFileError(error);
    ShowStatus(QString());
}

FileError MainWindow::FilePrint(int listNo) {
    const SnapshotList &list = m_ws.list(listNo);
    ProgressTotal = list.size();
    Progress progress;
    // A long report would freeze the window for seconds: it is drawn on a worker thread (Qt
    // paints on printers from any thread), with its own formatter. Esc ends it early; what was
    // drawn by then is printed.
    const EntryFormatter format(m_formatter.locale());
    const bool attributes = printDialog()->includeAttributes();
    FileError error;
    runJob(progress, true,
           [&] { error = ReportPrinter(printer()).print(list, attributes, format, &progress); });
    return error;
}

void MainWindow::FilePageSetup_Click() {
    QPageSetupDialog setup(&printer(), this);
    setup.exec();
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
