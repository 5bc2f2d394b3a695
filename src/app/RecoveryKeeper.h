#pragma once

#include "files/FileError.h"

#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class MainWindow;
class Prompts;
class RecoveryStore;
class SnapshotList;

// Keeps every snapshot taken and not yet saved in a recovery file, written in the background
// from a copy, so that the program ending at any moment costs no scan; and offers the files
// left by a run that ended without saving back at start-up. A write that fails is told in the
// window's status bar.
class RecoveryKeeper {
public:
    RecoveryKeeper(const QString &folder, MainWindow &window);
    ~RecoveryKeeper();

    // List 1 or 2 was scanned or imported and is unsaved: its recovery file is written anew.
    void keep(int listNo, const SnapshotList &list);
    // List 1 or 2 was saved or closed: nothing to recover any more.
    void drop(int listNo);
    // Waits for the writes under way (tests, and the end of the program).
    void finishWrites();

    // Tells the user when unsaved snapshots cannot be kept, or when their folder was open to
    // other users; then asks about each recovery file left by a run that is gone, and restores
    // those the user wants into the list they were taken for (or the other snapshot list when
    // that one is taken), unsaved.
    void offerLeftovers(MainWindow &window, Prompts &prompts);

    RecoveryStore &store() { return *m_store; }

private:
    struct Writer {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void joinFinished();

    void tellAboutFolder(Prompts &prompts);

    std::unique_ptr<RecoveryStore> m_store;
    MainWindow &m_window;
    FileError m_openError;
    std::vector<Writer> m_writers;
};
