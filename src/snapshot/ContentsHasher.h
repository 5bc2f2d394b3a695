#pragma once

#include <QByteArray>
#include <QStringList>

class Progress;
class SnapshotList;

// Reads the regular files of a scanned list and records the SHA-256 digest of each (OpenSSL's,
// which uses the processor's SHA instructions). A file that cannot be read, or that keeps
// changing while it is read, gets no digest and is named in `unreadable` (its path below the
// root, as In Folder and Name give it).
class ContentsHasher {
public:
    // How many files to read at once: one on a rotating disk, where reading several at once
    // only makes the heads seek, else one per core.
    static int threadsFor(const QByteArray &nativeRoot);

    // `nativeRoot` is the folder the entries from `first` on were scanned from (a list appended
    // to holds others before them). Stops early when cancelled.
    void hash(const QByteArray &nativeRoot, SnapshotList &list, int threads,
              Progress *progress = nullptr, int first = 0);
    const QStringList &unreadable() const { return m_unreadable; }

private:
    QStringList m_unreadable;
};
