#pragma once

#include "FileError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <sys/stat.h>

// Where a file about to be written lies, found by following the path one name at a time from
// opened folders, as the kernel follows it, so that nothing met on the way can be swapped
// between a check and its use. A symbolic link is followed by the kernel's rule for shared
// folders (fs.protected_symlinks), whatever the system is set to: in a folder that everybody
// may write and that has the sticky bit (/tmp), a link is followed only when it belongs to the
// writer or to the folder's owner; anyone could have put any other link there. The same holds
// for the target itself (fs.protected_regular, protected_fifos): a file or pipe another user
// put there is not taken over.
class WriteTarget {
public:
    WriteTarget() = default;
    WriteTarget(const WriteTarget &) = delete;
    WriteTarget &operator=(const WriteTarget &) = delete;
    ~WriteTarget();

    // `shown` names the path in errors.
    FileError find(const QByteArray &path, const QString &shown);

    // The folder that holds the target (opened with O_PATH) and the target's name in it. The
    // caller takes the folder over with takeFolder().
    int folder() const { return m_folder; }
    int takeFolder();
    const QByteArray &name() const { return m_name; }
    bool exists() const { return m_exists; }
    const struct stat &status() const { return m_status; }
    // A symbolic link was followed on the way.
    bool throughLink() const { return m_throughLink; }
    // For a descriptor of this process named by /dev/stdout, /dev/fd/N or /proc/self/fd/N: a
    // copy of it to write to (the caller takes it over), else -1.
    int descriptor() const { return m_descriptor; }
    int takeDescriptor();

private:
    FileError followLink(int link, const struct stat &linkStatus, const QByteArray &name,
                         QList<QByteArray> &rest, const QString &shown);
    void setFolder(int fd);

    int m_folder = -1;
    QByteArray m_name;
    bool m_exists = false;
    struct stat m_status {};
    bool m_throughLink = false;
    int m_descriptor = -1;
};
