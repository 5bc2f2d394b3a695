#pragma once

#include <QString>

class SnapshotList;

// The texts a new snapshot of a folder gets.
namespace NewSnapshot {
// The folder made absolute and clean, without a trailing separator unless it is the root of the
// file system.
QString rootOf(const QString &folder);
// The volume the folder lies on as the drive list shows it: its root path and, where it has
// one, its name in brackets.
QString volumeText(const QString &root);
// Where a snapshot of `root` came from: the volume text, " - ", the root and the wildcard.
QString sourceText(const QString &volume, const QString &root);
// The root a source text names, as sourceText wrote it; empty when the text names none (a
// listing, a comparison). A volume text may itself hold " - ": the root is the first reading
// that is an absolute path, preferring one that exists.
QString rootFromSource(const QString &source);
// Whether a snapshot was taken without its subfolders, as far as its entries tell: it holds
// folders of its root but nothing inside them. One that holds no folder at all may have been
// taken either way; reading it again with subfolders then misses nothing that is new.
bool takenWithoutSubfolders(const SnapshotList &list);
// The path of a folder a scan of `root` met, from its In Folder text (ending in a separator).
QString pathBelow(const QString &root, const QString &inFolder);
// What to tell about the folders a scan could not read: "3 folders could not be read", and
// the paths of at most `shown` of them, with "... and 5 more" after them when there are more.
QString unreadableCount(qsizetype count);
QStringList unreadablePaths(const QString &root, const QStringList &folders, qsizetype shown);
} // namespace NewSnapshot
