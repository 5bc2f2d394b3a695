#pragma once

#include "compare/CompareOptions.h"
#include "compare/TimeShift.h"
#include "snapshot/Workspace.h"

#include <QObject>
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
    bool contents = false; // the digests of the files' contents too
    QStringList exclude;   // what the scan leaves out
    // Read from the snapshot's source text, which does not say what the scan left out.
    bool fromSource = false;
};

// What the user works on, and the rules of the commands that change it: the seven lists and
// their variables, the options of the comparison and the remembered folders. No widget and no
// question: where the user must be asked, the session says what to ask and the caller asks.
// What changes is announced by signals, to which the window, its views, the recovery files and
// the change summary listen.
//
// A command that fills a list on a worker thread announces it first (aboutToFill) and then says
// how it ended (opened, scanned, imported, restored, compare): the views keep off a list while
// it is filled.
class Session : public QObject {
    Q_OBJECT
public:
    explicit Session(QObject *parent = nullptr);

    Workspace &workspace() { return m_ws; }
    const Workspace &workspace() const { return m_ws; }
    SnapshotList &list(ListId n) { return m_ws.list(n); }
    const SnapshotList &list(ListId n) const { return m_ws.list(n); }
    // The Compare dialog's options; they last for the whole run of the program.
    CompareOptions &options() { return m_options; }
    const CompareOptions &options() const { return m_options; }

    // Remembered folders: 0 the folder of the last file saved, opened or imported (where the
    // file dialogs start); 1 and 2 the folder last scanned for the Original and the Final.
    std::array<QString, 3> rememberedFolders;

    // --- Which list a New, Open or Import fills

    // An empty Original, else an empty Final; with both loaded, the shown list when it is one
    // of them. None when the shown list is a result list: the caller shows TargetRefusal.
    ListId pickTargetList(ListId shownList) const;
    static const QString TargetRefusal;
    // Whether a new scan adds to the target rather than replacing it: only when the user asked
    // for it and there is something to add to (the dialog cannot offer it then).
    bool appends(ListId target, bool asked) const;

    // --- Giving up a snapshot

    // The question to ask before list 1 or 2 is given up; empty when nothing would be lost.
    QString saveQuestion(ListId listNo) const;
    enum class Answer { None, Yes, No, Cancel };
    // How a save question ended: a Yes whose save failed, was cancelled or wrote something else
    // leaves the snapshot unsaved, and closing it then would lose it, so that counts as Cancel.
    Answer saveOutcome(ListId listNo, Answer asked) const;
    // The lists asked about at exit, in order. Each one answered is closed at once, even when
    // the question about a later one is cancelled.
    static std::array<ListId, 2> exitOrder() { return Lists::Snapshots; }
    // Empties list 1 or 2, the four result lists (results belong to the pair they came from)
    // and the Compare options that depend on the list.
    void closeSnapshot(ListId listNo);

    // --- Save As and Export

    struct SaveTarget {
        QString title;  // of the save dialog
        QString folder; // where it starts
        QString name;   // the proposed file name, without extension
    };
    // A snapshot opened from a file proposes that file in its own folder; a new one "Untitled";
    // a result list its tab caption.
    SaveTarget proposedSaveTarget(ListId listNo) const;
    // A file was saved, opened or imported: its folder is where the next file dialog starts.
    void rememberFileFolder(const QString &path);
    // List n was written as a snapshot file: a snapshot list has nothing left to lose.
    void saved(ListId listNo, const QString &path);

    // --- New

    // The folder the New Snapshot dialog shows for list 1 or 2.
    const QString &scanFolder(ListId listNo) const;
    void rememberScanFolder(ListId listNo, const QString &folder);
    // The user switches the New Snapshot dialog from list `from` to list `to` with `shown` in
    // it. Unless one folder serves both lists (`shared`), `shown` is remembered for `from` and
    // the folder to show now is returned; nothing when `shown` stays.
    std::optional<QString> switchScanList(ListId from, ListId to, const QString &shown,
                                          bool shared);
    // The scan of `folder` into list n is about to start (the old snapshot given up, unless
    // appending): the list is named after the folder.
    void beginScan(ListId listNo, const QString &folder);
    // The scan of `origin` into list n ended: a new snapshot is described by its root, an
    // appended one adds it; either way it is unsaved, and it holds the patterns the scan left
    // out. A scan that replaced the list is remembered, so that Compare with Folder Now can
    // read the same folder again.
    void scanned(ListId listNo, const ScanOrigin &origin, bool append);
    // The snapshot whose digests a scan into list n may keep for files unchanged since: the
    // Original, when the Final is taken and the Original has them; else none.
    const SnapshotList *earlierDigests(ListId listNo) const;

    // --- Compare with Folder Now

    // How to read the Original's folder again: as it was scanned in this run, or, for a
    // snapshot opened from a file, the folder its source text names, on this volume only, with
    // subfolders unless every entry lies in its root, and with `leaveOut` (the patterns the
    // user keeps for new snapshots, as a file does not say what its scan left out). Nothing
    // for an appended snapshot, a listing or a result list.
    std::optional<ScanOrigin> folderNowPlan(const QString &leaveOut = QString()) const;
    // The Final was read anew by `plan` for a comparison with the options the user had set:
    // they stay, but for a Final limit that is no longer one of its folders, and what the scan
    // left out is left out of the comparison too, as the snapshot file may still hold it.
    void keepOptions(const CompareOptions &before, const ScanOrigin &plan);

    // --- Filling a list on a worker thread

    // List n is about to be filled: the views keep off it until the command says how it ended.
    void aboutToFill(ListId listNo);
    // List n is to be filled from the file at `path`.
    void beginOpen(ListId listNo, const QString &path);
    // The file was read into list n (or failed; the list holds what the reader left).
    void opened(ListId listNo);
    // A DOS listing was imported into list n; one that failed part way leaves what was read,
    // unsaved.
    void imported(ListId listNo, bool failed);
    // A snapshot kept for recovery was read back into list n: unsaved, as it was. Whoever read
    // it keeps it for recovery anew, before its old file goes.
    void restored(ListId listNo);
    // Memory ran out while list n was filled: what was read goes.
    void fillFailed(ListId listNo);
    // The time tolerance a DOS listing needs (it shows minutes, not seconds).
    void presetImportTolerance();
    // The list a snapshot kept for recovery goes back to: the one it was taken for, else the
    // other snapshot list when that one is free; None when both are loaded.
    ListId recoveryTarget(ListId takenFor) const;

    // --- Commands

    struct CommandStates {
        bool saveAs = false;
        bool print = false;
        bool properties = false;
        bool exportCsv = false;
        bool close = false;
        bool compare = false;
        bool compareNow = false;
        bool changeSummary = false;
    };
    // Which commands the shown list allows: those that need entries, Close for a snapshot list
    // with entries, Compare with both snapshots loaded, Compare with Folder Now with an
    // Original whose folder is known, Change Summary after a comparison.
    CommandStates commandStates(ListId shownList) const;

    // --- Compare and print

    // Compares the Original and Final lists (on a worker thread: say compared() afterwards).
    // Returns the result list to show first: the first that holds entries, None when all four
    // are empty.
    ListId compare(Progress *progress = nullptr);
    // The comparison ended, on the user-interface thread; `memoryRanOut` empties its results.
    void finishComparison(ListId shown, bool memoryRanOut = false);
    // What the last comparison's Changed list says about a shifted clock. Told once for the
    // snapshots as they are: None after that, until a snapshot list is cleared.
    TimeShiftHint takeTimeShiftHint();
    // Runs `print` with list n in folder order, so that each folder's entries come together,
    // then gives the list back the order it had.
    void inFolderOrder(ListId listNo, const std::function<void()> &print);

    // --- Properties

    // Where a description holds the first character a snapshot file's one-line text field
    // cannot hold (a double quote, a line break); -1 when it holds none.
    static qsizetype unstorableAt(QStringView description);
    // Gives list 1 or 2 a new description; an edited one leaves the snapshot unsaved. The
    // result lists, named after the snapshots, follow.
    void setDescription(ListId listNo, const QString &text, bool edited);

Q_SIGNALS:
    // A list is about to be filled on a worker thread: nothing may read it until listChanged.
    void listAboutToChange(ListId listNo);
    // A list's entries or texts changed.
    void listChanged(ListId listNo);
    // What the commands may do changed (see commandStates).
    void commandStatesChanged();
    // A snapshot list holds a new snapshot: read from a file (or a recovery file), or taken
    // (scanned or imported).
    void snapshotOpened(ListId listNo);
    void snapshotTaken(ListId listNo);
    // A snapshot list was written to a file, or emptied.
    void snapshotSaved(ListId listNo);
    void snapshotClosed(ListId listNo);
    // A comparison filled the result lists; `shown` is the one to show (None: no differences).
    void compared(ListId shown);

private:
    void setUnsaved(ListId listNo, bool unsaved);
    void changed(ListId listNo);

    Workspace m_ws;
    CompareOptions m_options;
    bool m_shiftHintTold = false;
    // Per snapshot list: how it was scanned in this run, and whether something was appended to
    // it (then no one folder stands for it).
    std::array<std::optional<ScanOrigin>, 2> m_origin;
    std::array<bool, 2> m_appended{};
};
