#pragma once

#include "compare/CompareOptions.h"
#include "compare/TimeShift.h"
#include "snapshot/Workspace.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <functional>
#include <optional>

class Progress;

// How a snapshot was scanned, so that its folder can be read again as it is now.
struct ScanOrigin {
    QString root;          // as the status texts show it
    QByteArray nativeRoot; // as the file system takes it; empty: the root's text
    QString drive;         // the volume, as the source text names it; empty: not yet known
    bool includeSubs = true;
    bool otherVolumes = false;
    QStringList exclude; // what the scan leaves out
    // Read from the snapshot's source text, which does not say what the scan left out.
    bool fromSource = false;
};

// What the user works on, and the rules of the commands that change it: the six lists and
// their variables, the options of the comparison and the remembered folders. No widget and no
// question: where the user must be asked, the session says what to ask and the caller asks.
class Session {
public:
    Workspace &workspace() { return m_ws; }
    const Workspace &workspace() const { return m_ws; }
    SnapshotList &list(int n) { return m_ws.list(n); }
    const SnapshotList &list(int n) const { return m_ws.list(n); }
    // The Compare dialog's options; they last for the whole run of the program.
    CompareOptions &options() { return m_options; }
    const CompareOptions &options() const { return m_options; }

    // Remembered folders: 0 the folder of the last file saved, opened or imported (where the
    // file dialogs start); 1 and 2 the folder last scanned for the Original and the Final.
    std::array<QString, 3> DefPath;

    // --- Which list a New, Open or Import fills

    // An empty Original, else an empty Final; with both loaded, the shown list when it is one
    // of them. 0 when the shown list is a result list: the caller shows TargetRefusal.
    int PickTargetList(int shownList) const;
    static const QString TargetRefusal;

    // --- Giving up a snapshot

    // The question to ask before list 1 or 2 is given up; empty when nothing would be lost.
    QString saveQuestion(int listNo) const;
    // Empties list 1 or 2, the four result lists (results belong to the pair they came from)
    // and the Compare options that depend on the list.
    void CloseSnapshot(int listNo);

    // --- Save As and Export

    struct SaveTarget {
        QString title;  // of the save dialog
        QString folder; // where it starts
        QString name;   // the proposed file name, without extension
    };
    // A snapshot opened from a file proposes that file in its own folder; a new one "Untitled";
    // a result list its tab caption.
    SaveTarget proposedSaveTarget(int listNo) const;
    // A file was saved, opened or imported: its folder is where the next file dialog starts.
    void rememberFileFolder(const QString &path);

    // --- New

    // The folder the New Snapshot dialog shows for list 1 or 2.
    const QString &scanFolder(int listNo) const;
    void rememberScanFolder(int listNo, const QString &folder);
    // The user switches the New Snapshot dialog from list `from` to list `to` with `shown` in
    // it. Unless one folder serves both lists (`shared`), `shown` is remembered for `from` and
    // the folder to show now is returned; nothing when `shown` stays.
    std::optional<QString> switchScanList(int from, int to, const QString &shown, bool shared);
    // The scan of `folder` into list n is about to start (the old snapshot given up, unless
    // appending): the list is named after the folder.
    void beginScan(int listNo, const QString &folder);
    // The scan of `root` (on volume `drive`) into list n ended: a new snapshot is described by
    // its root, an appended one adds it; either way it is unsaved.
    void scanned(int listNo, const QString &root, const QString &drive, bool append);
    // A scan into list n that replaced it ended: how, so that Compare with Folder Now can read
    // the same folder again.
    void rememberScan(int listNo, const ScanOrigin &origin);

    // --- Compare with Folder Now

    // How to read the Original's folder again: as it was scanned in this run, or, for a
    // snapshot opened from a file, the folder its source text names (subfolders included, this
    // volume only; its volume is left to the caller, as the enabling of the command asks this
    // at every refresh). Nothing for an appended snapshot, a listing or a result list.
    std::optional<ScanOrigin> folderNowPlan() const;
    // The Final was read anew for a comparison with the options the user had set: they stay,
    // but for a Final limit that is no longer one of its folders.
    void keepOptions(const CompareOptions &before);

    // --- Open and import

    // List n is to be filled from the file at `path`.
    void beginOpen(int listNo, const QString &path);
    // The time tolerance a DOS listing needs (it shows minutes, not seconds).
    void presetImportTolerance();

    // --- Commands

    struct CommandStates {
        bool saveAs = false;
        bool print = false;
        bool properties = false;
        bool exportCsv = false;
        bool close = false;
        bool compare = false;
        bool compareNow = false;
    };
    // Which commands the shown list allows: those that need entries, Close for a snapshot list
    // with entries, Compare with both snapshots loaded, Compare with Folder Now with an
    // Original whose folder is known.
    CommandStates commandStates(int shownList) const;

    // --- Compare and print

    // Compares the Original and Final lists. Returns the result list to show, 0 when all four
    // are empty.
    int compare(Progress *progress = nullptr);
    // What the last comparison's Changed list says about a shifted clock. Told once for the
    // snapshots as they are: None after that, until a snapshot list is cleared.
    TimeShiftHint takeTimeShiftHint();
    // Runs `print` with list n in folder order, so that each folder's entries come together,
    // then gives the list back the order it had.
    void inFolderOrder(int listNo, const std::function<void()> &print);

    // --- Properties

    // Where a description holds the first character a snapshot file's one-line text field
    // cannot hold (a double quote, a line break); -1 when it holds none.
    static qsizetype unstorableAt(QStringView description);
    // Gives list 1 or 2 a new description; an edited one leaves the snapshot unsaved. The
    // result lists, named after the snapshots, follow.
    void setDescription(int listNo, const QString &text, bool edited);

private:
    Workspace m_ws;
    CompareOptions m_options;
    bool m_shiftHintTold = false;
    // Per snapshot list: how it was scanned in this run, and whether something was appended to
    // it (then no one folder stands for it).
    std::array<std::optional<ScanOrigin>, 2> m_origin;
    std::array<bool, 2> m_appended{};
};
