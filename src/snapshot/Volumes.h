#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

// The volumes the New Snapshot dialog offers in its drive list, and what it asks of folders.
// Behind an interface so that a test can offer volumes this machine does not have.
class Volumes {
public:
    struct Volume {
        QString root; // the mount point, with '/' separators
        QString name; // the volume's label; empty when it has none

        // The drive list's text: the root path and, where the volume has a name, the name in
        // brackets.
        QString text() const;
    };

    virtual ~Volumes() = default;

    // The volumes to offer, the file system's root first.
    virtual QList<Volume> mounted() const = 0;
    // Whether the folder list can show the folder: it exists and its entries can be read.
    virtual bool canList(const QString &folder) const = 0;
    // The root of the offered volume the folder lies on: the longest offered root that the
    // folder's path starts with. Empty when no offered volume holds it.
    virtual QString volumeOf(const QString &folder) const;

    // The mounted, ready volumes of this machine without the kernel's and the session's own
    // file systems.
    static std::shared_ptr<Volumes> platform();
};

// Whether a file system type names one that holds no user files: the kernel's views of itself
// and of its devices (proc, sysfs, devtmpfs, cgroup, ...).
bool isPseudoFileSystem(const QByteArray &type);
