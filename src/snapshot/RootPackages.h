#pragma once

#include "PackageOwners.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class SnapshotList;

// Which packages own the entries of a snapshot, by where its root lies.
//
// The database is that of the system the root belongs to: the nearest folder at or above the
// root that holds var/lib/dpkg/info. A snapshot of / or /usr of the running system finds /; one
// of a chroot or a mounted disk (/srv/chroot, /mnt/usr) finds the chroot's or the disk's own
// database, with paths from its root. A root that no such folder covers has no packages (no
// column).
//
// The owners are sets interned by the database: an entry costs one number, and its text (the
// names, or "(none)") is made when asked for.
class RootPackages {
public:
    struct Location {
        QByteArray systemRoot; // the system's root; empty when no database covers the root
        QByteArray prefix;     // the snapshot's root below it: "" for the root itself, "/usr"
    };
    static Location locate(const QByteArray &root);
    // The root a snapshot was taken of, by its bytes, from its source text; empty when the text
    // names none (an imported listing, the results of a comparison).
    static QByteArray rootOf(const SnapshotList &snapshot);

    // Reads the database of the snapshot's root; false, with problem(), when there is none or
    // it is refused.
    [[nodiscard]] bool open(const SnapshotList &snapshot);
    [[nodiscard]] bool open(const QByteArray &root);
    bool isOpen() const { return m_owners != nullptr; }
    const QString &problem() const { return m_problem; }
    const Location &location() const { return m_location; }
    const PackageOwners &owners() const { return *m_owners; }

    // The owners of entry i of a list of this root: the snapshot itself, or a result list made
    // from it (take the Original's for Only in Original, the Final's for the others). Unowned
    // for an entry whose folder or name no file system holds.
    PackageOwners::SetId find(const SnapshotList &list, int i) const;
    // The same for every entry, in the list's order as it is now (a list sorted afterwards needs
    // them again, or the same reordering).
    std::vector<PackageOwners::SetId> findAll(const SnapshotList &list) const;
    QString text(PackageOwners::SetId set) const {
        return m_owners ? m_owners->text(set) : QString();
    }
    // Gives the list the texts of its entries' owners, in its order as it is now.
    void giveOwners(SnapshotList &list) const;

    // Whether the snapshot's entries are the files below `root` on this system, judged by a
    // sample of them: a snapshot file may come from another machine, whose paths this system's
    // database does not describe, and whose files it would call "(none)". An entry agrees
    // when its path holds the same inode now (when the snapshot holds inodes), or else a
    // folder still, or a file of the same size and time. It is this system's when at least a
    // quarter of the sample agrees: a system changed since still keeps most of its folders.
    static bool takenHere(const SnapshotList &snapshot, const QByteArray &root);
    // Gives a snapshot the owners of its entries, when its root (`root`, the folder as the file
    // system takes it; empty: the one its source text names) lies in a system with a package
    // database and the snapshot is of this system; one that has owners (kept in its file) keeps
    // them. Otherwise it has none, and the reason is returned; an empty text when it has them.
    // The list keeps the owners' texts, not the database.
    static QString attach(SnapshotList &snapshot, QByteArray root = {});

private:
    bool folderPath(QStringView folder, std::string &out) const;

    std::unique_ptr<const PackageOwners> m_owners;
    Location m_location;
    QString m_problem;
};
