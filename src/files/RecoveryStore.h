#pragma once

#include "FileError.h"
#include "snapshot/ListId.h"

#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class OwnerLock;
class SnapshotList;

// Keeps each snapshot that was taken but not saved in a recovery file (a snapshot file of its
// own), so that a crash, a kill or a power cut costs no scan. Every running copy of the program
// claims a place of its own in the folder, a lock it holds while it runs; the recovery files of
// a copy that is gone are offered to the next copy that looks.
//
// write() may run on a worker thread while the owning thread goes on; everything else runs on
// the owning thread. Writes under way must have ended before the store goes.
class RecoveryStore {
public:
    explicit RecoveryStore(QString folder = defaultFolder());
    // Lets go of the locks; the files still there are leftovers for the next copy.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore &) = delete;
    RecoveryStore &operator=(const RecoveryStore &) = delete;

    // The user's folder for recovery files; the application's names must be set first.
    static QString defaultFolder();
    const QString &folder() const { return m_folder; }

    // Makes the folder (readable by the user alone) and claims this copy's place in it. write()
    // fails until this has succeeded. A folder that is there already must be the user's own:
    // a symbolic link or another user's folder is refused, and one that others may read is
    // made the user's alone (tightenedFolder() then says so, for the user to be told).
    FileError open();
    bool tightenedFolder() const { return m_tightened; }

    // Puts list 1 or 2 in its recovery file: a kill at any moment leaves the file that was there
    // or the new one, whole. Nobody may change the list meanwhile (hand it a copy). A write
    // overtaken by a later write() or remove() of the same list leaves nothing behind.
    FileError write(ListId listNo, const SnapshotList &list);
    // List 1 or 2 was saved or closed.
    void remove(ListId listNo);

    struct Leftover {
        ListId listNo = ListId::None; // the list it was taken for
        QString path;
        // From the file's first line; all empty or 0 when that line cannot be read (restore()
        // then says why).
        QString description;
        QString source;
        double created = 0; // date serial
        int entries = 0;
    };
    // The recovery files of copies of the program that ended without removing them, oldest
    // first. This store holds them until they are discarded or it goes, so that no other
    // running copy offers them too.
    std::vector<Leftover> leftovers();
    // Reads a leftover into `into`, in place of what it held, with no file name.
    FileError restore(const Leftover &leftover, SnapshotList &into);
    // The user declined the leftover, or it was restored and has been written again as a list
    // of this copy (write it first, then discard it, so that it always lives on the disk).
    void discard(const Leftover &leftover);

private:
    QString pathOf(const QString &owner, ListId listNo) const;
    QString lockPathOf(const QString &owner) const;
    bool claimForeign(const QString &owner);
    void offerFilesOf(const QString &owner, std::vector<Leftover> &out) const;
    void removeTemporariesOf(const QString &owner) const;
    void releaseIfEmpty(const QString &owner);

    QString m_folder;
    QString m_owner; // this copy's place: its lock and recovery files are named after it
    bool m_tightened = false;
    std::unique_ptr<OwnerLock> m_lock;
    // Places of copies that are gone, claimed while their files are offered.
    std::map<QString, std::unique_ptr<OwnerLock>> m_claimed;

    std::mutex m_mutex;
    // The last write() or remove() of each list, so that an overtaken write can tell.
    std::array<std::uint64_t, 2> m_latest{};
};
