#pragma once

#include "files/FileError.h"

#include <QString>

class ChangeSummary;
class EntryFormatter;
class FileWriter;
class Progress;
class Workspace;

// A comparison as one HTML file to hand over: the two snapshots, the counts, the change summary
// with its chart, and every result list with a filter and sortable columns. The file needs
// nothing else to open: its page, style and script come from the program's resources and its
// data is packed inside (zlib, base64) in blocks a browser never runs, unpacked by the page's
// own script. A Content-Security-Policy lets that script alone run and no request leave the
// file, so a name that looks like markup or script stays text.
//
// Every text a list view shows comes from `format` (EntryFormatter::text) and every list and
// column from the tables of lists and columns, so a list or column added there appears here.
class HtmlReport {
public:
    HtmlReport(const Workspace &ws, const ChangeSummary &summary, const EntryFormatter &format);

    // Writes the report through its own FileWriter: a failure leaves the file at `path` as it
    // was.
    FileError write(const QString &path, Progress *progress = nullptr) const;
    // Writes it into an open writer, which the caller commits.
    FileError write(FileWriter &writer, Progress *progress = nullptr) const;

private:
    const Workspace &m_ws;
    const ChangeSummary &m_summary;
    const EntryFormatter &m_format;
};
