#pragma once

#include "FileError.h"

#include <QString>

class FileWriter;
class SnapshotList;
class Progress;
class ReadableFile;

// What the first line of a snapshot file says: enough to name a snapshot without reading it.
struct SnapshotHeader {
    QString description;
    QString source;
    double created = 0; // date serial
    int entries = 0;    // as the line states it (every writer writes the true count)
};

// How a list's details go into its file: kept when it has them, or left out so that readers of
// the plain format can read the file.
enum class DetailsInFile { Keep, LeaveOut };

// Writes the list (entries in their current order) to a snapshot file. For a result list the
// created value is the moment of saving. Does not touch the list's unsaved flag.
FileError saveSnapshot(const SnapshotList &list, bool isResultList, const QString &path,
                       Progress *progress = nullptr, DetailsInFile details = DetailsInFile::Keep);
// The same into a writer opened on the target; the caller finishes or discards it.
FileError writeSnapshot(const SnapshotList &list, bool isResultList, FileWriter &writer,
                        Progress *progress = nullptr, DetailsInFile details = DetailsInFile::Keep);

// Reads the first line of a snapshot file.
FileError readSnapshotHeader(const QString &path, SnapshotHeader &header);

// Reads a snapshot file into an empty list: its description, source and created time, the
// entries in file order (with the details, digests and owners the file holds) and the limit
// folders (the whole snapshot first, then each folder).
// On an error the list holds no entries. A file whose header counts other than the entries it
// holds is not valid (WrongEntryCount); one that needs more memory than there is fails with
// OutOfMemory. Input that cannot be read twice (a pipe) is read right all the same.
FileError readSnapshot(const QString &path, SnapshotList &list, Progress *progress = nullptr);
// The same from a file already opened; the file stays open.
FileError readSnapshot(const ReadableFile &file, SnapshotList &list, Progress *progress = nullptr);
