#pragma once

#include "ExcludePatterns.h"

#include <QByteArray>
#include <QString>
#include <cstddef>

class DirectoryReader;
class Progress;
class SnapshotList;

// Reads a folder tree into a list: one entry per file and folder, each folder's entry followed
// by its contents, in the order the file system returns them. Every folder read (also one that
// could not be opened) becomes a limit folder of the list after its subfolders, so the deepest
// come first and the root's empty item last. A folder the walk keeps out of (another volume, a
// folder listed before) is listed but not entered, so no limit: reading ahead may have read it,
// and drops what it read. The walk keeps its own stack, so the depth of a tree is not limited by
// the call stack.
//
// Folders are read by a few threads ahead of the walk, which takes their entries in its own order:
// the list is the same, entry for entry, whatever the number of threads.
class Scanner {
public:
    explicit Scanner(DirectoryReader &reader) : m_reader(reader) {}

    // How many threads read folders: with 1 the scanning thread reads each folder as its walk
    // comes to it; with more, that many read ahead of it. One per core unless set.
    void setReadThreads(int count) { m_threads = count < 1 ? 1 : count; }
    int readThreads() const { return m_threads; }
    // How many entries the threads may have read ahead of the walk, at most: a bound on the
    // memory that reading ahead takes (one folder larger than that is still read whole).
    static constexpr std::size_t ReadAheadEntries = 1 << 16;

    // What the scans leave out: neither listed nor, for a folder, read (so not a limit either).
    void setExclusions(const ExcludePatterns &patterns) { m_exclude = patterns; }
    // Whether the list keeps the change time of each regular file, by which the digests of an
    // earlier snapshot are known to hold still (see ContentsHasher).
    void setKeepChangeTimes(bool keep) { m_keepChangeTimes = keep; }

    // Returns false when the root folder could not be read. A cancelled scan keeps the entries
    // read so far. `root` is the root's path as the status texts show it, `nativeRoot` as the
    // file system takes it.
    bool readDirectory(const QByteArray &nativeRoot, const QString &root, SnapshotList &list,
                       bool includeSubs, Progress *progress = nullptr);
    // The same for a root given as text.
    bool readDirectory(const QString &root, SnapshotList &list, bool includeSubs,
                       Progress *progress = nullptr);

private:
    DirectoryReader &m_reader;
    ExcludePatterns m_exclude;
    int m_threads = defaultReadThreads();
    bool m_keepChangeTimes = false;
    static int defaultReadThreads();
};
