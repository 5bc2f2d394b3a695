#pragma once

#include "snapshot/ListId.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// The options of a comparison, as the Compare dialog holds them.
struct CompareOptions {
    // Limit folders (an In Folder value of that snapshot, or empty for the whole snapshot).
    QString limitOriginal;
    QString limitFinal;
    // Item k checked means attribute bit 2^k is ignored: Read-Only, Hidden, System, (n/a),
    // Directory, Archive.
    std::array<bool, 6> ignoreAttr{};
    bool ignoreSize = false;
    bool ignoreStamp = false;
    // Times a whole number of hours apart (1 to 14, give or take the tolerance) count as the
    // same: daylight saving time and drives that keep local time (FAT, exFAT) shift them so.
    bool ignoreHourShifts = false;
    // Details that count unless ignored, where both snapshots hold them (see Details).
    bool ignoreMode = false;
    bool ignoreOwner = false;
    bool ignoreGroup = false;
    bool ignoreLink = false;
    bool ignoreCapability = false;
    bool ignoreContents = false;
    // Pair the entries only on one side that are one file moved or renamed (see MoveFinder). A
    // standing choice, like the tolerance.
    bool findMoves = true;
    QString tolerance = QStringLiteral("0");
    // Exclusion patterns (see ExcludePatterns): what they leave out of either snapshot is out of
    // every result list, as if neither snapshot held it. A standing choice, like the tolerance.
    QStringList exclude;
    // Set when a comparison has run, until a snapshot list is cleared.
    bool compared = false;

    QString &limit(ListId list) { return list == ListId::Original ? limitOriginal : limitFinal; }
    const QString &limit(ListId list) const {
        return list == ListId::Original ? limitOriginal : limitFinal;
    }

    // The state after snapshot list `list` is cleared: its limit emptied, only Archive ignored,
    // sizes, times, hour shifts and details counted, no comparison. The tolerance and the exclusion
    // patterns stay.
    void reset(ListId list);
};

inline constexpr const char *IgnoreAttrItems[6] = {"Read-Only", "Hidden",    "System",
                                                   "(n/a)",     "Directory", "Archive"};

// The properties that count: bits 0..5 for attributes not ignored, 256 for the size, 512 for
// the modified time.
std::int16_t countedProperties(const CompareOptions &options);
// The details that count (Differ bits): all but those ignored. Device numbers always count.
std::uint32_t countedDetails(const CompareOptions &options);
// Both: every Differ bit that makes a pair Changed.
std::uint32_t countedDifferences(const CompareOptions &options);

// The tolerance in days: the leading number of the text (minutes) widened by 0.1 minute.
float toleranceDays(const QString &text);
// Whether the text is a tolerance as it should be given: a number of minutes and nothing else,
// digits with "." as the decimal point, not negative. The dialog takes any text (one without a
// number counts as 0); where a text is given once, as on a command line, anything else is a
// mistake worth saying.
bool isValidTolerance(const QString &text);
// The leading number of a text: blanks skipped, an optional sign, digits with "." as the
// decimal point; 0 when the text does not start with a number.
double leadingNumber(const QString &text);

// What is left of fpath1 once the trailing part it shares with fPath2 is taken off, lower-cased.
QString noExtraPath(const QString &fpath1, const QString &fPath2);
