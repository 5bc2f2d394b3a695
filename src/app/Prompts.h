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
    // ("Snapshots (*.dir);;All files (*)"). The save dialog asks before overwriting a file.
    virtual QString openFile(QWidget *parent, const QString &title, const QString &folder,
                             const QString &filter);
    virtual QString saveFile(QWidget *parent, const QString &title, const QString &proposed,
                             const QString &filter);
};
