#pragma once

#include "AppSettings.h"
#include "Menus.h"
#include "dialogs/NewSnapshotState.h"
#include "session/Session.h"
#include "snapshot/EntryFormat.h"

#include <QMainWindow>
#include <array>
#include <memory>

class AboutDialog;
class ChangeSummaryDialog;
class CommandHost;
class CompareCommands;
class FileCommands;
class FilterBox;
class HelpDialog;
class ListPane;
class ListViews;
class PrintCommands;
class Prompts;
class RecoveryWriter;
class QLineEdit;
class QPushButton;
class QSettings;
class QTabWidget;
class QToolBar;
class StatusPanel;
class WindowPlacement;
struct FolderChange;

// The program's one top-level window (`Startup`): menus, toolbar, the tab strip over the seven
// list views, and the two-panel status bar. It shows the session's lists and follows what the
// session and the commands announce; the commands themselves are the command classes'.
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
    // Offers the snapshots an earlier run left unsaved (see RecoveryOffer).
    void offerRecoveredSnapshots();

    Session &session() { return m_session; }
    Workspace &workspace() { return m_session.workspace(); }
    CompareOptions &compareOptions() { return m_session.options(); }
    CommandHost &commandHost() { return *m_host; }
    FileCommands &fileCommands() { return *m_files; }
    CompareCommands &compareCommands() { return *m_compare; }
    PrintCommands &printCommands() { return *m_print; }
    RecoveryWriter &recovery() { return *m_recovery; }
    const EntryFormatter &formatter() const { return m_formatter; }
    NewSnapshotState &newSnapshotState() { return m_newSnapshot; }
    ListViews &views() { return *m_views; }
    ListPane *pane(ListId listNo) const;
    QTabWidget *tabStrip() const { return m_tabs; }
    StatusPanel *statusPanel(int panel) const { return panel == 1 ? m_status : m_count; }
    QLineEdit *filterBox() const;
    ChangeSummaryDialog *changeSummary() const { return m_changeSummary; }
    QAction *action(Command command) const { return m_actions[std::size_t(command)]; }

    // The list whose view is visible.
    ListId shownList() const { return m_shownList; }
    // Selects the list's tab.
    void selectTab(ListId listNo);
    // Puts a message in panel 1; an empty text shows the shown list's description and count.
    void showStatus(const QString &text);
    // Shows in every list, as it is shown, only the entries whose name or folder contains the
    // text; an empty text shows them all.
    void setFilter(const QString &text);
    // Sorts a list by a zero-based column; order 0 ascending, 1 descending, -1 toggle.
    void sortList(ListId listNo, int key, int order);

    // The window's own commands.
    void exitProgram();
    void showDetails();
    void showSummary();
    void toggleGridLines();
    void toggleLinkedWidths();
    // Opens the Change Summary window on the last comparison.
    void showChangeSummary();
    void showHelp();
    void showAbout();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildCommands();
    void buildTabs();
    void buildFilter(QWidget *central);
    void buildStatusBar();
    void listenToSession();
    // Shows the list of the selected tab and refreshes commands and status bar.
    void tabChanged();
    // Enables the commands for the shown list and resets the status bar.
    void updateCommands();
    void showCount();
    void showProgress(const QString &text, const QString &count);
    // A click on the header of a zero-based column of a list.
    void headerClicked(ListId listNo, int column);
    // Shows the changes in and below a folder of the summary: the filter names the folder, and
    // a result list that holds some of them is shown.
    void showChangesIn(const FolderChange &folder, const QString &path);
    // The Change Summary window shows the result lists as they are now.
    void summarise();
    void setView(bool summary);
    void writeSettings();

    QSettings &m_settings;
    Prompts &m_prompts;
    Session m_session;
    EntryFormatter m_formatter;
    AppSettings m_loaded;
    NewSnapshotState m_newSnapshot;
    RecoveryWriter *m_recovery = nullptr;
    CommandHost *m_host = nullptr;
    FileCommands *m_files = nullptr;
    CompareCommands *m_compare = nullptr;
    PrintCommands *m_print = nullptr;
    Menus::Actions m_actions{};
    ListId m_shownList = ListId::Original;

    ListViews *m_views = nullptr;
    QTabWidget *m_tabs = nullptr;
    QToolBar *m_toolbar = nullptr;
    StatusPanel *m_status = nullptr;
    StatusPanel *m_count = nullptr;
    QPushButton *m_cancelButton = nullptr;
    FilterBox *m_filter = nullptr;
    AboutDialog *m_about = nullptr;
    HelpDialog *m_help = nullptr;
    ChangeSummaryDialog *m_changeSummary = nullptr;
    WindowPlacement *m_placement = nullptr;
};
