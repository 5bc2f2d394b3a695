#pragma once

#include <QString>
#include <functional>

class SnapshotList;
class EntryFormatter;
class Progress;

// The printed report: the list's description as title, then its files in list order, each
// folder's files under a heading with the folder's path. Every text of the list in it is made
// printable (NameCodec::printable), for a terminal and a printer alike. The list is meant to be
// sorted by In Folder, so that every folder comes once.
//
// Hands the lines one by one to `line`, so a long list is never held as text. With
// `includeAttributes`, files with attribute bits get their attribute text after the name.
// The progress count moves on at each new folder; a cancelled progress ends the report there.
void writeReport(const SnapshotList &list, bool includeAttributes, const EntryFormatter &format,
                 const std::function<void(const QString &)> &line, Progress *progress = nullptr);

// A size text right-aligned in the report's 15 columns (up to 999 GB); a longer one, whole,
// pushes the name to the right.
QString reportSizeField(const QString &sizeText);

inline constexpr int PortraitLinesPerPage = 64;
inline constexpr int LandscapeLinesPerPage = 43;

// The Print dialog's estimate for a list of `entryCount` entries. It counts entries rather than
// printed lines, so it is only a rough guide.
QString pageEstimateText(int entryCount, bool portrait);
