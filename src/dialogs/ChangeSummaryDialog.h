#pragma once

#include "compare/PackageSummary.h"

#include <QDialog>
#include <optional>

class ChangeBars;
class ChangeSummary;
struct FolderChange;
class ChangeSummaryModel;
class EntryFormatter;
class PackageSummaryModel;
class QLabel;
class QTabWidget;
class QTreeView;

// Where the changes of the last comparison are: the folders of both snapshots as a tree with
// what changed below each, and a chart of the subfolders of the chosen folder with the most
// bytes changed. When the snapshots' packages are known, a second page shows the same by the
// packages that own the entries. A window beside the main window, not a modal dialog.
class ChangeSummaryDialog : public QDialog {
    Q_OBJECT
public:
    ChangeSummaryDialog(const EntryFormatter &format, QWidget *parent = nullptr);

    // Shows a summary, in its opening order, with the root folder open and chosen, and the
    // page by package when there is a summary for it.
    void setSummary(ChangeSummary summary, std::optional<PackageSummary> packages = {});

    QTreeView *tree() const { return m_tree; }
    ChangeBars *bars() const { return m_bars; }
    ChangeSummaryModel *model() const { return m_model; }
    QTabWidget *pages() const { return m_pages; }
    QTreeView *packageView() const { return m_packageView; }
    ChangeBars *packageBars() const { return m_packageBars; }
    PackageSummaryModel *packageModel() const { return m_packageModel; }

Q_SIGNALS:
    // A folder was double-clicked (or Enter pressed on it); `path` is its In Folder text.
    void folderActivated(const FolderChange &folder, const QString &path);

private:
    static QWidget *makePage(QTreeView *&view, ChangeBars *&bars, const QString &viewName,
                             const QString &barsName);
    template <typename Model> void showModel(QTreeView *view, Model *&shown, Model *model);
    void showBarsOf(int folder);
    void widenForColumns();
    void setPackages(PackageSummary summary);
    void showPackageBars();

    const EntryFormatter &m_format;
    QLabel *m_caption;
    QTabWidget *m_pages;
    QWidget *m_packagePage;
    QTreeView *m_tree;
    ChangeBars *m_bars;
    ChangeSummaryModel *m_model = nullptr;
    QTreeView *m_packageView;
    ChangeBars *m_packageBars;
    PackageSummaryModel *m_packageModel = nullptr;
};
