#pragma once

#include <QString>

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
} // namespace NewSnapshot
