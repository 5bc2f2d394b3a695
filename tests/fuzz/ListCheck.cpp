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

namespace {
// The UTF-16 code units of a text, so that a difference in invisible characters shows.
QString units(QStringView text) {
    QString out;
    for (const QChar c : text.left(64))
        out += QString::number(c.unicode(), 16) + u' ';
    return out;
}
} // namespace

void checkSameEntries(const SnapshotList &saved, const SnapshotList &read, const char *what) {
    check(read.size() == saved.size(), what,
          QStringLiteral("entry count %1, saved %2").arg(read.size()).arg(saved.size()));
    // The folders of the entry before, whose texts were the same: entries of a folder come
    // together, and a long folder text is compared once for them all.
    std::uint32_t savedFolder = ~0u, readFolder = ~0u;
    for (int i = 0; i < saved.size(); ++i) {
        const Entry &s = saved.entry(i);
        const Entry &r = read.entry(i);
        // The texts of a failure are made only when it happens: names can be long.
        const auto where = [i](const QString &detail) {
            return QStringLiteral("entry %1: ").arg(i) + detail;
        };
        if (read.name(i) != saved.name(i))
            fail(what, where(QStringLiteral("name %1, saved %2")
                                 .arg(units(read.name(i)), units(saved.name(i)))));
        if ((s.folder != savedFolder || r.folder != readFolder) &&
            read.folder(i) != saved.folder(i))
            fail(what, where(QStringLiteral("folder %1, saved %2")
                                 .arg(units(read.folder(i)), units(saved.folder(i)))));
        savedFolder = s.folder;
        readFolder = r.folder;
        if (r.attr != s.attr)
            fail(what, where(QStringLiteral("attributes")));
        if (s.isFolder()) {
            if (r.size != 0 || r.hasTime())
                fail(what, where(QStringLiteral("folder values")));
        } else {
            if (r.size != s.size)
                fail(what, where(QStringLiteral("size")));
            if (!sameSecond(r.modified, s.hasTime() ? s.modified : 0.0))
                fail(what, where(QStringLiteral("time")));
        }
        if (read.packageText(i) != saved.packageText(i))
            fail(what, where(QStringLiteral("owners %1, saved %2")
                                 .arg(units(read.packageText(i)), units(saved.packageText(i)))));
        if (read.digest(i) != saved.digest(i) ||
            read.digestChangeTime(i) != saved.digestChangeTime(i))
            fail(what, where(QStringLiteral("digest")));
        if (read.hasDetails() != saved.hasDetails() || read.details(i) != saved.details(i))
            fail(what, where(QStringLiteral("details: link target %1, saved %2")
                                 .arg(units(read.details(i).linkTarget),
                                      units(saved.details(i).linkTarget))));
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
        // The first texts in full; then that each limit names its entry's folder and name, as
        // thousands of folder entries in one long folder would make a long text each.
        if (k < 64) {
            const QString expected = list.folder(i) + list.name(i).toString() + u'\\';
            if (list.limitText(k) != expected)
                fail(what, QStringLiteral("limit ") + units(expected));
        } else {
            const SnapshotList::Limit &limit = list.limits[k];
            const Entry &e = list.entry(i);
            if (!limit.named || limit.folder != e.folder || limit.name.offset != e.name.offset ||
                limit.name.length != e.name.length)
                fail(what, QStringLiteral("limit %1").arg(k));
        }
        ++k;
    }
    check(k == list.limits.size(), what, QStringLiteral("limits beyond the folders"));
}

} // namespace FuzzInput
