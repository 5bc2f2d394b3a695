#pragma once

#include "snapshot/ListId.h"

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class Session;
class Volumes;

// The New Snapshot dialog (`Create`): the folder to record, the list it goes into, whether
// subfolders count (and other volumes mounted below it), and whether to add to the list rather
// than replace it. It is made once and
// hidden between uses, so its check boxes and its folder stay as the user left them. The
// session remembers the last folder of each snapshot list.
//
// The folder list shows the current folder's ancestors, the folder itself and its subfolders;
// only a double-click or Enter opens one, a single click merely highlights it. The drive list
// offers the mounted volumes and always shows the volume of the folder list's folder.
class NewSnapshotDialog : public QDialog {
    Q_OBJECT
public:
    // selectTab(i) shows tab i of the main window, which makes list i the current list.
    // Without volumes the dialog offers this machine's.
    NewSnapshotDialog(Session &session, std::function<void(ListId)> selectTab, bool separate,
                      QWidget *parent, std::shared_ptr<Volumes> volumes = {});
    ~NewSnapshotDialog() override;

    // Shows the dialog modally for list `listNo` (1 or 2) and returns once it is hidden.
    void run(ListId listNo);

    bool confirmed() const { return m_confirmed; }
    bool openExistingChosen() const { return m_openExistingChosen; }
    ListId whichList() const;
    QString snapPath() const;
    bool appendTo() const;
    bool includeSubs() const;
    // Whether the walk enters other volumes mounted below the folder. The box keeps its state
    // from use to use; the caller restores it from the settings once.
    bool otherVolumes() const;
    void setOtherVolumes(bool on);
    bool contents() const;
    void setContents(bool on);
    // The patterns of what the scan leaves out, as typed (separated by ";"). The box keeps its
    // text from use to use; the caller restores it from the settings once.
    QString leaveOut() const;
    void setLeaveOut(const QString &text);
    QString driveText() const;
    bool separate() const;
    // The caller has taken the values: back to not confirmed for the next use.
    void closed();

public Q_SLOTS:
    // Esc and the window's close button count as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void listChosen(ListId listNo);
    void driveChosen(int index);
    void folderChosen();
    void okClicked();
    void openExistingClicked();

    // Moves the folder list to `folder` when it can show it; otherwise nothing changes.
    bool openFolder(const QString &folder);
    void openItem(const QListWidgetItem *item);
    void fillFolderList();
    void revealFolder();
    void fillDriveList();
    // Points the drive list at the volume of the folder list's folder.
    void followFolder();
    void enableAppendTo(ListId listNo);

    Session &m_session;
    std::function<void(ListId)> m_selectTab;
    std::shared_ptr<Volumes> m_volumes;

    QLineEdit *m_path;
    QComboBox *m_drives;
    QListWidget *m_dirs;
    QPushButton *m_ok;
    QPushButton *m_openExisting;
    QRadioButton *m_which[2];
    QCheckBox *m_includeSubs;
    QCheckBox *m_otherVolumes;
    QCheckBox *m_contents;
    QCheckBox *m_appendTo;
    QCheckBox *m_separate;
    QLineEdit *m_leaveOut;

    QString m_folder;    // the folder list's folder, '/' separators, clean and absolute
    QString m_driveRoot; // the root of the volume the drive list shows
    // Until the dialog has been shown, the folder list's folder is only where the process
    // started, which no list has used and which must not overwrite a remembered folder.
    bool m_folderShown = false;
    bool m_confirmed = false;
    bool m_openExistingChosen = false;
};
