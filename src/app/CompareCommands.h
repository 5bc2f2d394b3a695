#pragma once

#include "snapshot/ListId.h"

#include <QObject>

class CommandHost;
class CompareDialog;
class FileCommands;
class NewSnapshotDialog;
class Session;
struct NewSnapshotState;
struct ScanOrigin;
class QSettings;

// The commands that take snapshots and compare them: New, Compare and Compare with Folder Now.
// A scan and a comparison run on a worker thread with their progress shown; when a comparison
// finds a shifted clock, the user is offered to compare again with it allowed for.
class CompareCommands : public QObject {
    Q_OBJECT
public:
    // `state` is the New Snapshot dialog's remembered choice, written to `settings` whenever
    // the dialog closes.
    CompareCommands(CommandHost &host, FileCommands &files, NewSnapshotState &state,
                    QSettings &settings);

    CompareDialog *compareDialog();

public Q_SLOTS:
    void newSnapshot();
    void compare();
    // Reads the Original's folder again into the Final and compares, in one step.
    void compareWithFolderNow();

private:
    // Scans a folder into list 1 or 2 with progress and Cancel; false when the scan was
    // cancelled (the list keeps what was read).
    bool scanInto(ListId target, const ScanOrigin &origin, bool append);
    void writeNewSnapshotOptions();
    // Compares, shows the result, and offers to compare again when the clock moved.
    void compareAndOffer();
    // Runs the comparison with the options as they are; false when memory ran out.
    bool compareNow();

    CommandHost &m_host;
    Session &m_session;
    FileCommands &m_files;
    NewSnapshotState &m_state;
    QSettings &m_settings;
    NewSnapshotDialog *m_create = nullptr;
    CompareDialog *m_compareDialog = nullptr;
};
