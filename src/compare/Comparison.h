#pragma once

#include "CompareOptions.h"

class Progress;
class Workspace;

// Compares the Original and Final lists of the workspace and fills the four result lists: one
// merge over both lists in match-key order. Leaves both snapshot lists sorted by match key.
// The progress counts the entries walked past, of both lists together.
void runComparison(Workspace &ws, CompareOptions &options, Progress *progress = nullptr);

inline constexpr const char *NoDifferences = "No differences were found";

// Names the four result lists after the two snapshots and their limits.
void setResultDescriptions(Workspace &ws, const CompareOptions &options);

// Whether an entry in `folder` lies under `limit` (an empty limit holds everything).
inline bool sameFolder(const QString &folder, const QString &limit) {
    // Spelled out: a null folder text does not start with an empty limit for QString.
    return limit.isEmpty() || folder.startsWith(limit);
}
