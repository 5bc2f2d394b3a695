#pragma once
// A snapshot reader written the plain way: the file split a field at a time into strings, each
// text decoded on its own. The program's reader parses in place for speed; on any file it must
// give what this one gives, down to the folder numbers and the error.

#include "files/FileError.h"

#include <QString>

class SnapshotList;

FileError ReadSnapshotFieldByField(const QString &path, SnapshotList &list);
