#include "StartUp.h"

#include "FileCommands.h"
#include "MainWindow.h"
#include "dialogs/AboutDialog.h"
#include "snapshot/LargeBlocks.h"

#include <QSettings>
#include <QStringList>

QString commandLineText(const QStringList &arguments) {
    return arguments.mid(1).join(u' ');
}

std::unique_ptr<QSettings> userSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Vistrel"), QStringLiteral("Vistrel"));
}

std::unique_ptr<MainWindow> startProgram(const QString &commandLine, QSettings &settings,
                                         Prompts &prompts, bool splash,
                                         const QString &recoveryFolder) {
    returnLargeBlocksWhenFreed();
    // The splash runs its animation modally and closes itself; only then is the main window
    // made.
    auto *about = new AboutDialog();
    if (splash)
        about->exec();
    auto window = std::make_unique<MainWindow>(settings, prompts, nullptr, recoveryFolder);
    window->adoptAboutDialog(about);
    window->setWindowTitle(QStringLiteral("Vistrel ") + about->versionText());
    // Placement values that are not numbers were left at their defaults when read, so a bad
    // store still shows the window.
    window->restorePlacement();
    window->show();
    if (!commandLine.isEmpty())
        window->fileCommands().openSnapshot(commandLine);
    window->offerRecoveredSnapshots();
    return window;
}
