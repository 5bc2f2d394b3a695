#pragma once

#include "FileError.h"

#include <QLocale>
#include <QString>

class SnapshotList;
class Progress;
class ReadableFile;

// How an import ended. A failed import names the line it stopped at and a short description
// of the fault, which the caller shows as the message's title.
struct DosImportResult {
    FileError error; // opening or reading the file failed
    bool failed = false;
    QString failingLine; // without its leading spaces; empty for an open or read error
    QString title;
};

// Reads a listing written by DIR /S (Windows 95/98 in 24- or 12-hour form, MS-DOS 6.2, MS-DOS 5
// and 6.0) into `list`, which the caller has emptied. Dates are read in the locale's day, month
// and year order. The list's description becomes the listing's full path, its file name
// "Untitled", its creation time now and its source "Imported " and the first directory header;
// its limits are the whole listing followed by every folder in file order. A list with a sort
// state is put back in order at the end.
//
// A failure stops at the failing line; the entries read before it stay (the session marks such a
// list unsaved). When the file cannot be opened the list is left as it was. A
// file none of whose lines is a directory header or an entry line is no listing: that fails
// too, with no failing line, as does running out of memory (the list is then emptied).
// Input that cannot be read twice (a pipe) is read right all the same.
DosImportResult importDosListing(const QString &path, SnapshotList &list,
                                 const QLocale &locale = QLocale(), Progress *progress = nullptr);
// The same from a file already opened; `path` names it. The file stays open.
DosImportResult importDosListing(const ReadableFile &file, const QString &path, SnapshotList &list,
                                 const QLocale &locale = QLocale(), Progress *progress = nullptr);

// A listing knows only minutes, so starting an import lifts a zero time tolerance ("0") of the
// comparison to one minute; any other text stays.
QString presetTolerance(const QString &text);
