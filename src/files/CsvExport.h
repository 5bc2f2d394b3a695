#pragma once

#include "FileError.h"

#include <QString>

class SnapshotList;
class EntryFormatter;
class Progress;

// Writes the list as comma-separated values, one line of five quoted fields per entry.
FileError ExportCsv(const SnapshotList &list, const QString &path, const EntryFormatter &format,
                    Progress *progress = nullptr);
