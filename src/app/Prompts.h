#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// Every message box and file dialog of the program goes through here, so that tests can see
// the questions and give the answers.
class Prompts {
public:
    virtual ~Prompts();

    // Shows a message and returns the button pressed.
    virtual QMessageBox::StandardButton
    message(QWidget *parent, const QString &title, const QString &text,
            QMessageBox::Icon icon = QMessageBox::NoIcon,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // The chosen file, or an empty text when the user cancelled. `filter` uses Qt's form
    // ("Snapshots (*.dir);;All files (*)").
    virtual QString openFile(QWidget *parent, const QString &title, const QString &folder,
                             const QString &filter);

    // What the user chose in a save dialog: the path (empty when cancelled) and the filter
    // entry selected when the dialog closed, counted from 1.
    struct SaveChoice {
        QString path;
        int filter = 0;
    };
    // Shows a save dialog starting in `folder` with `proposedName`, the filter entry `selected`
    // (from 1) chosen. A name typed without an extension gets the selected filter's extension;
    // the dialog asks before replacing an existing file.
    virtual SaveChoice saveFile(QWidget *parent, const QString &title, const QString &folder,
                                const QString &proposedName, const QStringList &filters,
                                int selected);
};
