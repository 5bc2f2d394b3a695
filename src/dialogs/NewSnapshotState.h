#pragma once

// What the New Snapshot dialog keeps between its showings that the rest of the program sets:
// the Separate check box (restored from the settings at start-up) and whether the user
// confirmed the dialog the last time.
struct NewSnapshotState {
    bool separate = false;
    bool confirmed = false;
};
