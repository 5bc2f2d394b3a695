#pragma once

#include <QByteArray>
#include <QString>

class SnapshotList;

// An entry as one line of JSON for other programs to read: the list it belongs to, its name and
// In Folder as lists show them, size, modified time (ISO 8601, local time as the snapshot holds
// it, no zone), attribute text and bits; a Changed entry adds the Original's values and which of
// them differ. A folder's size and time are null, as lists show none. Ends with a line feed.
QByteArray jsonLine(const SnapshotList &list, int i, const QString &listName);
