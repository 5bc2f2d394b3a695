#pragma once

#include "FileError.h"

#include <QString>

class SnapshotList;

// Writes a snapshot as a file in mtree's format that `mtree -f FILE -p ROOT` checks against the
// folder it was taken of: one line an entry, by its full path from the root ("./sub/name"),
// with its type, and what the snapshot knows of it: mode, uid, gid, device numbers, the link
// target, the size and modified time of a file (to the nanosecond), and its SHA-256 digest.
// Bytes other than printable ASCII, and the characters mtree reads as escapes, comments or
// patterns, are written as "\" and three octal digits, which mtree reads back as the byte.
FileError exportMtree(const SnapshotList &list, const QString &path);
