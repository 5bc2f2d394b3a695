#pragma once

#include <QByteArray>
#include <QStringList>
#include <cstdint>

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

    // A list taken before with digests, of any root: a file that is still, by volume, inode,
    // size, modified time and change time, the one read then keeps the digest read then. A file
    // changed within the second it was read then is read again, as its change time cannot tell
    // a second change in that second from the first.
    void reuseFrom(const SnapshotList *earlier) { m_earlier = earlier; }

    // `nativeRoot` is the folder the entries from `first` on were scanned from (a list appended
    // to holds others before them). Stops early when cancelled.
    void hash(const QByteArray &nativeRoot, SnapshotList &list, int threads,
              Progress *progress = nullptr, int first = 0);
    const QStringList &unreadable() const { return m_unreadable; }
    // How many files of the last `hash` kept an earlier digest.
    std::int64_t reused() const { return m_reused; }

private:
    const SnapshotList *m_earlier = nullptr;
    QStringList m_unreadable;
    std::int64_t m_reused = 0;
};
