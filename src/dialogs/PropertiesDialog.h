#pragma once

#include "snapshot/ListId.h"

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

    // Shows list `listNo` modally. Returns true when OK gave a snapshot list's description,
    // which description() then holds; edited() tells whether the user changed the text.
    bool run(const SnapshotList &list, ListId listNo);
    QString description() const;
    bool edited() const;

    QPlainTextEdit *descriptionBox() const { return m_description; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void okClicked();
    QLineEdit *addScanRow(const QString &name, const QString &caption, int top);
    // Selects the first character the snapshot file's one-line text fields cannot hold.
    bool refuseUnstorable();

    const EntryFormatter &m_format;
    QPlainTextEdit *m_description;
    QLineEdit *m_timeAndDate;
    QPlainTextEdit *m_whereFrom;
    QPushButton *m_ok;
    QLineEdit *m_leftOut = nullptr;
    QLineEdit *m_notRead = nullptr;
    ListId m_listNo = ListId::None;
    bool m_stored = false;
};
