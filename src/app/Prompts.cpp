#include "Prompts.h"

#include <QFileDialog>
#include <QRegularExpression>

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

namespace {

// "Snapshots (*.dir)" gives "dir"; a filter for all files gives none.
QString extensionOf(const QString &filter) {
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.(\\w+)"));
    const QRegularExpressionMatch m = pattern.match(filter);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace

Prompts::SaveChoice Prompts::saveFile(QWidget *parent, const QString &title, const QString &folder,
                                      const QString &proposedName, const QStringList &filters,
                                      int selected) {
    QFileDialog dialog(parent, title, folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    const QString initial = filters.value(selected - 1);
    dialog.selectNameFilter(initial);
    // The dialog adds the extension before it checks for an existing file, so the question
    // about replacing a file names the file that would really be replaced.
    dialog.setDefaultSuffix(extensionOf(initial));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &f) { dialog.setDefaultSuffix(extensionOf(f)); });
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().constFirst(),
            static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1};
}
