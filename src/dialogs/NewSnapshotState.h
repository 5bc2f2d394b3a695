#pragma once

#include <QString>

// What the New Snapshot dialog keeps between its showings that the rest of the program sets:
// the Separate and Include other volumes check boxes, restored from the settings at start-up
// before the dialog is made.
struct NewSnapshotState {
    bool separate = false;
    bool otherVolumes = false;
    QString leaveOut;      // the patterns a scan leaves out, as typed
    bool contents = false; // whether a scan reads the contents of every file
};
