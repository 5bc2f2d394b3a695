#pragma once

// The number of whole hours, 1 to 14, that two times (date serials) lie apart give or take the
// tolerance (in days, as toleranceDays gives it); 0 when they lie no such distance apart or the
// tolerance is negative. A distance equal to the tolerance still counts, as for the plain
// comparison of times.
int wholeHourShift(double original, double final, float tolerance);
