#include "MainWindow.h"
#include "Prompts.h"
#include "StartUp.h"
#include "files/PendingFiles.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[]) {
    PendingFiles::removeOnSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vistrel"));
    QApplication::setOrganizationName(QStringLiteral("Vistrel"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(VISTREL_VERSION_MAJOR)
                                            .arg(VISTREL_VERSION_MINOR)
                                            .arg(VISTREL_VERSION_PATCH));
    QApplication::setDesktopFileName(QStringLiteral("vistrel"));

    const std::unique_ptr<QSettings> settings = userSettings();
    Prompts prompts;
    const std::unique_ptr<MainWindow> window =
        startProgram(commandLineText(QApplication::arguments()), *settings, prompts);
    return app.exec();
}
