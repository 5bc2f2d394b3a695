#pragma once

#include "FileError.h"

#include <QString>

class SnapshotList;
class EntryFormatter;
class Progress;

// Writes the list as comma-separated values, one line of five quoted fields per entry. A name,
// folder or date field that starts with "=", "+", "-", "@", a tab or a carriage return gets a
// leading "'", so that no spreadsheet evaluates it; sizes and attribute words are numbers the
// program writes (digits, group separators), which no spreadsheet takes for a formula. Every
// other field is the text itself.
//
// With `CsvColumns::WithDetails` each line goes on with the details a POSIX scan records:
// Permissions, Owner, Group, Link Target and SHA-256, and in a result list What Changed
// (empty fields where the list does not know them).
enum class CsvColumns { Specified, WithDetails };
FileError exportCsv(const SnapshotList &list, const QString &path, const EntryFormatter &format,
                    Progress *progress = nullptr, CsvColumns columns = CsvColumns::Specified);
