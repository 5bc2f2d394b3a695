#include "ListCheck.h"

#include "FuzzInput.h"
#include "snapshot/DateSerial.h"

#include <cmath>

namespace FuzzInput {

bool sameSecond(double a, double b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    std::int64_t dayA, dayB;
    int secsA, secsB;
    DateSerial::split(a, dayA, secsA);
    DateSerial::split(b, dayB, secsB);
    return dayA == dayB && secsA == secsB;
}

void checkSameEntries(const SnapshotList &saved, const SnapshotList &read, const char *what) {
    check(read.size() == saved.size(), what,
          QStringLiteral("entry count %1, saved %2").arg(read.size()).arg(saved.size()));
    for (int i = 0; i < saved.size(); ++i) {
        const Entry &s = saved.entry(i);
        const Entry &r = read.entry(i);
        const QString where = QStringLiteral("entry %1").arg(i);
        check(read.name(i) == saved.name(i), what,
              where + QStringLiteral(": name \"%1\", saved \"%2\"")
                          .arg(QString::fromLatin1(read.name(i).toUtf8().toHex(' ')),
                               QString::fromLatin1(saved.name(i).toUtf8().toHex(' '))));
        check(read.folder(i) == saved.folder(i), what,
              where + QStringLiteral(": folder \"%1\", saved \"%2\"")
                          .arg(read.folder(i), saved.folder(i)));
        check(r.attr == s.attr, what, where + QStringLiteral(": attributes"));
        if (s.isFolder()) {
            check(r.size == 0 && !r.hasTime(), what, where + QStringLiteral(": folder values"));
        } else {
            check(r.size == s.size, what, where + QStringLiteral(": size"));
            check(sameSecond(r.modified, s.hasTime() ? s.modified : 0.0), what,
                  where + QStringLiteral(": time"));
        }
    }
}

void checkLimits(const SnapshotList &list, const char *what) {
    std::size_t k = 0;
    check(!list.limits.empty() && list.limitText(k++).isEmpty(), what,
          QStringLiteral("the whole list comes first"));
    for (int i = 0; i < list.size(); ++i) {
        if (!list.entry(i).isFolder())
            continue;
        check(k < list.limits.size(), what, QStringLiteral("a folder without its limit"));
        const QString expected = list.folder(i) + list.name(i).toString() + u'\\';
        check(list.limitText(k++) == expected, what, expected);
    }
    check(k == list.limits.size(), what, QStringLiteral("limits beyond the folders"));
}

} // namespace FuzzInput
