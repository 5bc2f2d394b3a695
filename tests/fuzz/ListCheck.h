#pragma once
// Comparisons of lists that the fuzz targets share.

#include "snapshot/SnapshotList.h"

namespace FuzzInput {

// Whether two date serials stand for the same second (the files hold whole seconds).
bool sameSecond(double a, double b);

// Checks that `read` holds what `saved` held, as a snapshot file keeps it: folders without
// size or time, files without a time as 0, times to the second. `what` names the step.
void checkSameEntries(const SnapshotList &saved, const SnapshotList &read, const char *what);

// Checks that the limits are the whole list first and then every folder entry in list order.
void checkLimits(const SnapshotList &list, const char *what);

} // namespace FuzzInput
