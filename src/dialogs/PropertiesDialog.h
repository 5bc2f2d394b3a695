#pragma once

#include <QDialog>

class EntryFormatter;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class SnapshotList;

// Shows a list's description, creation time and source; the description of the Original or
// Final snapshot can be changed here. Made once and refilled at every showing.
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    PropertiesDialog(const EntryFormatter &format, QWidget *parent);

    // Shows list `listNo` modally. Returns true when OK stored the description of a snapshot
    // list (which then counts as unsaved if the user edited the text).
    bool run(SnapshotList &list, int listNo);

    QPlainTextEdit *descriptionBox() const { return m_description; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OK_Click();
    // Selects the first character the snapshot file's one-line text fields cannot hold.
    bool refuseUnstorable();

    const EntryFormatter &m_format;
    QPlainTextEdit *m_description;
    QLineEdit *m_timeAndDate;
    QPlainTextEdit *m_whereFrom;
    QPushButton *m_ok;
    SnapshotList *m_list = nullptr;
    int m_listNo = 0;
    bool m_stored = false;
};
