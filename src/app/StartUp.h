#pragma once

#include <QString>
#include <memory>

class MainWindow;
class Prompts;
class QSettings;
#include <QStringList>

// The command-line text: the arguments after the program's own path, as given.
QString commandLineText(const QStringList &arguments);

// The program's start (`startProgram`): the About window as splash, then the main window loaded,
// placed as the settings say and shown, and a snapshot file named on the command line opened into
// the Original list. `splash` false skips the splash (the GUI benchmark measures without it).
// Snapshots left unsaved by a run that ended without closing them are offered back from
// `recoveryFolder` (empty: the user's application-data folder).
std::unique_ptr<MainWindow> startProgram(const QString &commandLine, QSettings &settings,
                                         Prompts &prompts, bool splash = true,
                                         const QString &recoveryFolder = QString());

// Where the program keeps its settings: application "Vistrel" in the per-user store.
std::unique_ptr<QSettings> userSettings();
