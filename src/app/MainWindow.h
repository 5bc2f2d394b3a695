#pragma once

#include "AppSettings.h"
#include "dialogs/NewSnapshotState.h"
#include "session/Session.h"
#include "snapshot/EntryFormat.h"

#include <QMainWindow>
#include <array>
#include <memory>

class AboutDialog;
class ChangeSummaryDialog;
struct FolderChange;
class FileCommands;
class HelpDialog;
class ListPane;
class ListViews;
class Prompts;
class RecoveryKeeper;
class QAction;
class QLineEdit;
class QPushButton;
class QSettings;
class QTabWidget;
class QToolBar;
class StatusPanel;
class WindowPlacement;

// The program's one top-level window (`Startup`): menus, toolbar, the tab strip over the six
// list views, and the two-panel status bar. It shows the session's lists; the commands of the
// File menu are FileCommands', the window builds the controls and connects them.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Loads the window: builds the controls and applies the view options and remembered
    // folders from the settings store. Placement is applied by restorePlacement().
    // Unsaved snapshots are kept in `recoveryFolder` (empty: the user's application-data folder).
    MainWindow(QSettings &settings, Prompts &prompts, QWidget *parent = nullptr,
               const QString &recoveryFolder = QString());
    ~MainWindow() override;

    static QString programName() { return QStringLiteral("Vistrel"); }

    // Places the window as the settings say (outer frame in twips) and maximizes it when it
    // was maximized. Call before show().
    void restorePlacement();
    // The About window the start-up used as splash; the main window keeps it for Help > About.
    void adoptAboutDialog(AboutDialog *about);

    Session &session() { return m_session; }
    Workspace &workspace() { return m_session.workspace(); }
    CompareOptions &compareOptions() { return m_session.options(); }
    FileCommands &commands() { return *m_commands; }
    RecoveryKeeper &recovery() { return *m_recovery; }
    const EntryFormatter &formatter() const { return m_formatter; }
    NewSnapshotState &newSnapshotState() { return m_newSnapshot; }
    QSettings &settings() { return m_settings; }
    ListViews &views() { return *m_views; }
    ListPane *pane(int listNo) const;
    QTabWidget *tabStrip() const { return m_tabs; }
    StatusPanel *statusPanel(int panel) const { return panel == 1 ? m_status : m_count; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QLineEdit *filterBox() const { return m_filter; }
    ChangeSummaryDialog *changeSummary() const { return m_changeSummary; }

    // The list being worked on (1 to 6): the selected tab's, or the target a command picked.
    int CurrentList() const { return m_currentList; }
    void setCurrentList(int listNo) { m_currentList = listNo; }
    // The list whose view is visible.
    int ShownList() const { return m_shownList; }

    // Shows the list of the selected tab and refreshes commands and status bar.
    void TabStrip_Click();
    // Selects tab n (1 to 6); selecting another tab runs TabStrip_Click.
    void selectTab(int listNo);
    // Enables the commands for a list (1 to 6) and resets the status bar.
    void UpdateCommands(int listNo);
    // Puts a message in panel 1; an empty text shows the current list's description and count.
    void ShowStatus(const QString &text);
    // An entry count as the count panel shows it.
    QString countText(qint64 count) const;
    // Shows in every list, as it is shown, only the entries whose name or folder contains the
    // text; an empty text shows them all.
    void setFilter(const QString &text);

    // The entries of a list changed: its view shows them anew, with its sort state.
    void ListChanged(int listNo);
    // Sorts a list by a zero-based column; order 0 ascending, 1 descending, -1 toggle.
    void SortList(int listNo, int key, int order);
    // Carries the visible columns' widths from list `from` to list `to` when widths are linked.
    void SyncColumnWidths(int from, int to);
    // A click on the header of a zero-based column of the shown list.
    void Files_ColumnClick(int listNo, int column);
    // A click on status bar panel 1 or 2.
    void StatusBar_PanelClick(int panel);
    // A toolbar button, by its key ("New", "Open", ...).
    void Toolbar_ButtonClick(const QString &key);

public Q_SLOTS:
    void FileExit_Click();
    void ViewDetails_Click();
    void ViewSummary_Click();
    void ViewGrid_Click();
    void ViewWidths_Click();
    // Opens the Change Summary window on the last comparison.
    void ViewChanges_Click();
    // A comparison ran: a Change Summary window on the screen shows the new one.
    void comparisonDone();
    void HelpScreen_Click();
    void HelpAbout_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildToolbar();
    void buildTabs();
    void buildFilter(QWidget *central);
    void buildStatusBar();
    void showCount();
    // Shows the changes in and below a folder of the summary: the filter names the folder, and
    // a result list that holds some of them is shown.
    void showChangesIn(const FolderChange &folder, const QString &path);
    // The Change Summary window shows the result lists as they are now.
    void summarise();
    QAction *command(const char *name) const;
    QAction *button(const QString &key) const;
    void setCommand(const char *name, const QString &key, bool enabled);
    void setView(bool summary);
    void writeSettings();

    QSettings &m_settings;
    Session m_session;
    EntryFormatter m_formatter;
    AppSettings m_loaded;
    NewSnapshotState m_newSnapshot;
    std::unique_ptr<RecoveryKeeper> m_recovery;
    std::unique_ptr<FileCommands> m_commands;
    int m_currentList = 1;
    int m_shownList = 1;

    ListViews *m_views = nullptr;
    QTabWidget *m_tabs = nullptr;
    QToolBar *m_toolbar = nullptr;
    StatusPanel *m_status = nullptr;
    StatusPanel *m_count = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QLineEdit *m_filter = nullptr;
    AboutDialog *m_about = nullptr;
    HelpDialog *m_help = nullptr;
    ChangeSummaryDialog *m_changeSummary = nullptr;
    WindowPlacement *m_placement = nullptr;
};
