#pragma once

#include "CompareOptions.h"

#include <QString>
#include <QtGlobal>

class SnapshotList;

// The number of whole hours, 1 to 14, that two times (date serials) lie apart give or take the
// tolerance (in days, as toleranceDays gives it); 0 when they lie no such distance apart or the
// tolerance is negative. A distance equal to the tolerance still counts, as for the plain
// comparison of times.
int wholeHourShift(double original, double final, float tolerance);

// What a finished comparison's Changed list says about a shift of the clock.
struct TimeShiftHint {
    enum Kind { None, WholeHours, WithinTwoSeconds };
    Kind kind = None;
    qint64 candidates = 0; // Changed entries whose only counted difference is the time
    qint64 shifted = 0;    // of those, the ones the shift explains
    int hours = 0;         // WholeHours: the shift, 1..14
    QString tolerance;     // WithinTwoSeconds: the tolerance text that would take them in

    // What was found, in plain words with the counts; empty for None.
    QString message() const;
    // The question that offers to compare again without the shift; empty for None.
    QString offer() const;
};

// Looks for one shift that explains nine in ten or more of the entries changed only in their
// time: a whole number of hours (unless the options already ignore such shifts), or at most two
// seconds, the resolution of FAT drives, which a tolerance below that counts.
TimeShiftHint detectTimeShift(const SnapshotList &changed, const CompareOptions &options);

// Changes the options so that comparing again takes in what the hint found.
void acceptTimeShift(const TimeShiftHint &hint, CompareOptions &options);
