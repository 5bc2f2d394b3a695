#pragma once

#include "AppSettings.h"
#include "compare/CompareOptions.h"
#include "dialogs/NewSnapshotState.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Workspace.h"

#include <QMainWindow>
#include <QMessageBox>
#include <array>
#include <functional>
#include <memory>

class AboutDialog;
class CompareDialog;
class HelpDialog;
class ListModel;
class ListPane;
class NewSnapshotDialog;
class Progress;
class PropertiesDialog;
class PrintDialog;
class Prompts;
class QPrinter;
class QPushButton;
class QAction;
class QSettings;
class QTabWidget;
class QToolBar;
class StatusPanel;
struct FileError;

// The program's one top-level window (`Startup`): menus, toolbar, the tab strip over the six
// list views, and the two-panel status bar. It owns the six lists and the variables that go
// with them; the commands of the menus and the toolbar work on them.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Loads the window: builds the controls and applies the view options and remembered
    // folders from the settings store. Placement is applied by restorePlacement().
    MainWindow(QSettings &settings, Prompts &prompts, QWidget *parent = nullptr);
    ~MainWindow() override;

    static QString programName() { return QStringLiteral("Vistrel"); }

    // Places the window as the settings say (outer frame in twips) and maximizes it when it
    // was maximized. Call before show().
    void restorePlacement();

    // The About window the start-up used as splash; the main window keeps it for Help > About.
    void adoptAboutDialog(AboutDialog *about);

    Workspace &workspace() { return m_ws; }
    const EntryFormatter &formatter() const { return m_formatter; }
    Prompts &prompts() { return m_prompts; }
    NewSnapshotState &newSnapshotState() { return m_newSnapshot; }
    // The Compare dialog's options; they outlive the dialog's showings for the whole run.
    CompareOptions &compareOptions() { return m_compare; }
    ListPane *pane(int listNo) const { return m_panes[static_cast<std::size_t>(listNo - 1)]; }
    QTabWidget *tabStrip() const { return m_tabs; }
    StatusPanel *statusPanel(int panel) const { return panel == 1 ? m_status : m_count; }

    // Seconds since midnight, for the progress throttle; tests put their own clock here.
    void setClock(std::function<double()> clock) { m_clock = std::move(clock); }

    // Number of items of the long operation under way, for the percentage display.
    int ProgressTotal = 0;
    // When panel 2 was last updated by ShowProgress (seconds since midnight).
    float LastProgressTime = 0;

    // Shows the list of the selected tab and refreshes commands and status bar.
    void TabStrip_Click();
    // Enables the commands for a list (1 to 6) and resets the status bar.
    void UpdateCommands(int listNo);
    // Puts a message in panel 1; an empty text shows the current list's description and count.
    void ShowStatus(const QString &text);
    // n = -1: shows (and returns in n) the current list's entry count; otherwise n's position
    // in ProgressTotal as a percentage. Changes the panel at most once per half second.
    void ShowProgress(int &n);
    // Carries the visible columns' widths from list `from` to list `to` when widths are linked.
    void SyncColumnWidths(int from, int to);
    // Sorts a list by a zero-based column; order 0 ascending, 1 descending, -1 toggle.
    void SortList(int listNo, int key, int order);
    // A click on the header of a zero-based column of the shown list.
    void Files_ColumnClick(int listNo, int column);
    // A click on status bar panel 1 or 2.
    void StatusBar_PanelClick(int panel);
    // A toolbar button, by its key ("New", "Open", ...).
    void Toolbar_ButtonClick(const QString &key);

    // Makes list 1 or 2 the target of a New, Open or Import (CurrentList); false when both
    // snapshot lists are loaded and a result tab is shown.
    bool PickTargetList();
    // Loads a snapshot file into the Original or Final list; an empty path asks for the file.
    void OpenSnapshot(const QString &path);
    // Shows the message of a file error; returns the button pressed.
    QMessageBox::StandardButton ReportFileError(const FileError &error);
    // Asks for a file and writes list `listNo` to it: kind 1 proposes a snapshot file, kind 2
    // a CSV file; the filter chosen decides. True when a file was written.
    bool SaveOrExport(int kind, int listNo);
    // Writes a list as a snapshot file or as CSV; errors are reported. True on success.
    bool SaveSnapshot(int listNo, const QString &path);
    bool ExportCsv(int listNo, const QString &path);
    // When list 1 or 2 has not been saved, asks whether to save it; then closes it unless the
    // answer was Cancel. Returns the answer, or NoButton when nothing was asked. A Yes whose
    // save fails or is cancelled returns Cancel, and the list stays.
    QMessageBox::StandardButton QuerySave(int listNo);
    // Empties list 1 or 2, the result lists and the Compare options that depend on the list.
    void CloseSnapshot(int listNo);
    // Runs `work` on a worker thread; the window stays painted and takes no input meanwhile,
    // and the status bar shows the progress. A cancellable job stops on Esc or Cancel.
    void runJob(Progress &progress, bool cancellable, const std::function<void()> &work);
    // The entries of a list changed: its view shows them anew.
    void ListChanged(int listNo);
    // Prints list n's report on the printer; the document is ended before a failure returns.
    FileError FilePrint(int listNo);
    // The one printer of the program, as the printer set-up leaves it.
    QPrinter &printer();
    // The dialogs, made on first use and kept.
    CompareDialog *compareDialog();
    PrintDialog *printDialog();
    // Selects tab n (1 to 6); selecting another tab runs TabStrip_Click.
    void selectTab(int listNo);

public Q_SLOTS:
    void FileNew_Click();
    void FileOpen_Click();
    void FileClose_Click();
    void FileSaveAs_Click();
    void FileExport_Click();
    void FileImport_Click();
    void FileCompare_Click();
    void FileProps_Click();
    void FilePrint_Click();
    void FilePageSetup_Click();
    void FileExit_Click();
    void ViewDetails_Click();
    void ViewSummary_Click();
    void ViewGrid_Click();
    void ViewWidths_Click();
    void HelpScreen_Click();
    void HelpAbout_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildTabs();
    void buildStatusBar();
    QAction *command(const char *name) const;
    QAction *button(const QString &key) const;
    void setCommand(const char *name, const QString &key, bool enabled);
    void setView(bool summary);
    void writeSettings();
    void showJobProgress(Progress &progress);
    void importDosListing();
    void selectFirstEntry(int listNo);
    // Reads a list on a worker thread while its views look away; `read` fills it.
    void fillList(int listNo, Progress &progress, bool cancellable,
                  const std::function<void()> &read);
    void fitToFrame();
    QString countText(qint64 count) const;
    // Item n of `total` as a percentage, as the count panel shows a long operation's progress.
    static QString percentText(qint64 n, qint64 total);
    // Writes a file on a worker thread, with `status` shown and Retry repeating a failure;
    // true when it was written.
    bool writeFile(const QString &status, const std::function<FileError(Progress &)> &write);

    QSettings &m_settings;
    Prompts &m_prompts;
    Workspace m_ws;
    EntryFormatter m_formatter;
    AppSettings m_loaded;
    NewSnapshotState m_newSnapshot;
    CompareOptions m_compare;
    std::function<double()> m_clock;

    std::array<ListModel *, ListNo::Count> m_models{};
    std::array<ListPane *, ListNo::Count> m_panes{};
    QTabWidget *m_tabs = nullptr;
    QToolBar *m_toolbar = nullptr;
    StatusPanel *m_status = nullptr;
    StatusPanel *m_count = nullptr;
    AboutDialog *m_about = nullptr;
    HelpDialog *m_help = nullptr;
    NewSnapshotDialog *m_create = nullptr;
    PropertiesDialog *m_properties = nullptr;
    QPushButton *m_cancelButton = nullptr;
    Progress *m_jobProgress = nullptr;
    CompareDialog *m_compareDialog = nullptr;
    PrintDialog *m_printDialog = nullptr;
    std::unique_ptr<QPrinter> m_printer;

    // The outer size the settings asked for, until the window frame is known.
    QSize m_pendingOuterSize;
};
