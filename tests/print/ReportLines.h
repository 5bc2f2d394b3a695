#pragma once

#include "print/Report.h"

#include <QStringList>

// The whole report as lines, to compare with what a test expects.
inline QStringList reportLines(const SnapshotList &list, bool includeAttributes,
                               const EntryFormatter &format) {
    QStringList lines;
    writeReport(list, includeAttributes, format, [&lines](const QString &l) { lines << l; });
    return lines;
}
