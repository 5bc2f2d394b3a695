#pragma once

#include "files/FileError.h"

#include <QFont>
#include <QString>

class EntryFormatter;
class Progress;
class QPrinter;
class SnapshotList;

// The report's font: the family asked for, at 10 points. A printer without that family is
// steered to a fixed-pitch one, so that the columns still line up.
QFont reportFont(const QString &family = QStringLiteral("Courier New"));

// Prints the reports of lists on a printer (`printReport`).
class ReportPrinter {
public:
    explicit ReportPrinter(QPrinter &printer) : m_printer(printer) {}

    // Prints the list's report in the list's order: one line per line height, a new page when
    // the next line would not fit, lines wider than the page cut at its edge. `progress` counts
    // the entries reached at each folder heading; cancelling it ends the report there, and what
    // was drawn so far is printed. Whatever goes wrong, a document that was started is ended
    // once; the result is the first failure.
    FileError print(const SnapshotList &list, bool includeAttributes, const EntryFormatter &format,
                    Progress *progress = nullptr);

    // Pages begun by the last print() (for a PDF, the pages of the file).
    int pages() const { return m_pages; }

private:
    FileError failure() const;

    QPrinter &m_printer;
    int m_pages = 0;
};
