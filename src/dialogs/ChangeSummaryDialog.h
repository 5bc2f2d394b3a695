#pragma once

#include <QDialog>

class ChangeBars;
class ChangeSummary;
struct FolderChange;
class ChangeSummaryModel;
class EntryFormatter;
class QTreeView;

// Where the changes of the last comparison are: the folders of both snapshots as a tree with
// what changed below each, and a chart of the subfolders of the chosen folder with the most
// bytes changed. A window beside the main window, not a modal dialog.
class ChangeSummaryDialog : public QDialog {
    Q_OBJECT
public:
    ChangeSummaryDialog(const EntryFormatter &format, QWidget *parent = nullptr);

    // Shows a summary, in its opening order, with the root folder open and chosen.
    void setSummary(ChangeSummary summary);

    QTreeView *tree() const { return m_tree; }
    ChangeBars *bars() const { return m_bars; }
    ChangeSummaryModel *model() const { return m_model; }

Q_SIGNALS:
    // A folder was double-clicked (or Enter pressed on it); `path` is its In Folder text.
    void folderActivated(const FolderChange &folder, const QString &path);

private:
    void showBarsOf(int folder);
    void widenForColumns();

    const EntryFormatter &m_format;
    QTreeView *m_tree;
    ChangeBars *m_bars;
    ChangeSummaryModel *m_model = nullptr;
};
