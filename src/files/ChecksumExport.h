#pragma once

#include "FileError.h"

#include <QString>

class SnapshotList;

// Writes the digests of a snapshot's files as sha256sum writes them, one line a file with a
// digest: 64 hex digits, two spaces and the path from the snapshot's root ("./sub/name"), so
// that `sha256sum -c FILE` run in that root (or in a copy of it) checks every file. A name
// holding a backslash or a line break is written as sha256sum does: the line starts with "\",
// and those characters are "\\" and "\n".
FileError exportSha256sum(const SnapshotList &list, const QString &path);
