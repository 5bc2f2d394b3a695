#include "Prompts.h"

#include <QFileDialog>

Prompts::~Prompts() = default;

QMessageBox::StandardButton Prompts::message(QWidget *parent, const QString &title,
                                             const QString &text, QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString Prompts::openFile(QWidget *parent, const QString &title, const QString &folder,
                          const QString &filter) {
    return QFileDialog::getOpenFileName(parent, title, folder, filter, nullptr,
                                        QFileDialog::ReadOnly);
}

QString Prompts::saveFile(QWidget *parent, const QString &title, const QString &proposed,
                          const QString &filter) {
    // QFileDialog asks before replacing an existing file unless told otherwise.
    return QFileDialog::getSaveFileName(parent, title, proposed, filter);
}
