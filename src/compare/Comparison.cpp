#include "Comparison.h"
#include "MoveFinder.h"
#include "TimeShift.h"

#include "snapshot/DateSerial.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/Progress.h"
#include "snapshot/SideBySide.h"
#include "snapshot/Workspace.h"
#include "sort/ColumnSorts.h"
#include "sort/MatchKeys.h"
#include "sort/TextKeys.h"

#include <QDir>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// A side of the walk: the list, its match keys, the extra path put before each key, which of
// its entries lie under its limit and which the exclusion patterns leave out.
struct Side {
    const SnapshotList &list;
    MatchKeys keys;
    QString extra;
    std::vector<char> inLimit; // per folder id
    std::vector<char> leftOut; // per entry; empty without patterns
    int count;

    Side(const SnapshotList &l, MatchKeys &&k, QString extraPath, const QString &limit,
         const ExcludePatterns &exclude)
        : list(l), keys(std::move(k)), extra(std::move(extraPath)), count(l.size()) {
        const FolderTable &folders = list.folders();
        inLimit.resize(folders.size());
        for (std::uint32_t id = 0; id < folders.size(); ++id)
            inLimit[id] = sameFolder(folders.text(id), limit);
        if (!exclude.isEmpty())
            markLeftOut(exclude);
    }
    bool holds(int i) const { return inLimit[list.entry(i).folder]; }
    bool skipped(int i) const { return !leftOut.empty() && leftOut[static_cast<std::size_t>(i)]; }
    // The first entry from i on that the walk does not skip.
    int next(int i) const {
        while (i < count && skipped(i))
            ++i;
        return i;
    }

    // Each folder is followed once, from the folder before (the table holds them in the order
    // they were listed); each entry then costs only the test of its name, lower-cased already
    // in its match key.
    void markLeftOut(const ExcludePatterns &exclude) {
        const FolderTable &folders = list.folders();
        std::vector<ExcludePatterns::FolderState> states(folders.size());
        ExcludePatterns::PathWalk walk(exclude);
        for (std::uint32_t id = 0; id < folders.size(); ++id)
            states[id] = walk.stateOf(folders.lowerText(id));
        leftOut.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            const Entry &e = list.entry(i);
            const ExcludePatterns::FolderState &state = states[e.folder];
            leftOut[static_cast<std::size_t>(i)] =
                state.leftOut ||
                (!state.last.empty() && exclude.matchesName(state, keys.name(i), e.isFolder()));
        }
    }
};

// Compares the walk keys of the two sides. Most steps compare entries of two folders of the
// same key text, whose names alone then decide; the last pair of folders looked at is kept.
class WalkOrder {
public:
    WalkOrder(const Side &a, const Side &b)
        : m_a(a), m_b(b), m_noExtra(a.extra.isEmpty() && b.extra.isEmpty()) {}

    int operator()(int i, int j) {
        const std::uint32_t x = m_a.list.entry(i).folder, y = m_b.list.entry(j).folder;
        if (x != m_x || y != m_y) {
            m_x = x;
            m_y = y;
            m_sameFolder = m_noExtra && m_a.keys.folder(i) == m_b.keys.folder(j);
        }
        if (m_sameFolder)
            return TextKeys::compare(m_a.keys.name(i), m_b.keys.name(j));
        return compareWalkKeys(m_a, i, m_b, j);
    }

private:
    static int compareWalkKeys(const Side &a, int i, const Side &b, int j) {
        const QStringView x[3] = {a.extra, a.keys.folder(i), a.keys.name(i)};
        const QStringView y[3] = {b.extra, b.keys.folder(j), b.keys.name(j)};
        return TextKeys::compareJoined(x, 3, y, 3);
    }

    const Side &m_a, &m_b;
    const bool m_noExtra;
    std::uint32_t m_x = ~0u, m_y = ~0u;
    bool m_sameFolder = false;
};

// The same for the exact texts, letter case and all.
int compareExact(const Side &a, int i, const Side &b, int j) {
    const QStringView x[3] = {a.extra, a.list.folder(i), a.list.name(i)};
    const QStringView y[3] = {b.extra, b.list.folder(j), b.list.name(j)};
    return TextKeys::compareJoined(x, 3, y, 3);
}

// The time as the comparison reads it back from the key text (15 significant digits).
double keyValue(double serial) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, serial, std::chars_format::general, 15);
    double value = serial;
    std::from_chars(buf, res.ptr, value);
    return value;
}

// Whether the times differ by more than the tolerance, as the key texts read back give it. A key
// text holds 15 significant digits, so it lies within 5e-9 days of its serial (every serial a
// calendar shows is below 3e6); only near the tolerance can the texts decide otherwise than
// the serials, and only there are they made.
bool timesDiffer(double a, double b, float tolerance) {
    const double diff = std::fabs(a - b);
    const double margin = 2e-8 + std::fabs(static_cast<double>(tolerance)) * 1e-6;
    if (std::fabs(diff - static_cast<double>(tolerance)) > margin)
        return diff > static_cast<double>(tolerance);
    return static_cast<float>(std::fabs(keyValue(a) - keyValue(b))) > tolerance;
}

// Whether the times of a pair count as different. A folder or an entry without a time stands
// for time 0, unlike any real time; a shift of whole hours lies only between two real times.
bool stampDiffers(const Entry &o, const Entry &f, float tolerance, bool ignoreHourShifts) {
    const bool timedO = !o.isFolder() && o.hasTime(), timedF = !f.isFolder() && f.hasTime();
    if (!timesDiffer(timedO ? o.modified : 0.0, timedF ? f.modified : 0.0, tolerance))
        return false;
    return !(ignoreHourShifts && timedO && timedF &&
             wholeHourShift(o.modified, f.modified, tolerance) > 0);
}

// The differences between an Original entry and its Final partner. A folder has no size key,
// which differs from a file's.
std::uint32_t differences(const Entry &o, const Entry &f, float tolerance, bool ignoreHourShifts) {
    std::uint32_t differ = 0;
    const bool sizeKeyO = !o.isFolder(), sizeKeyF = !f.isFolder();
    if (sizeKeyO != sizeKeyF || (sizeKeyO && o.size != f.size))
        differ |= Differ::Size;
    if (stampDiffers(o, f, tolerance, ignoreHourShifts))
        differ |= Differ::Stamp;
    differ |= static_cast<std::uint32_t>(o.attr ^ f.attr) & Differ::AttrBitsMask;
    return differ;
}

// A snapshot's description with the folder the comparison was limited to. A description that
// is a Windows path (it names a drive or holds a backslash) takes the limit as it stands; any
// other takes it with the platform's separator, so that no text mixes the two.
QString sideText(const QString &description, const QString &limit) {
    if (limit.isEmpty())
        return description;
    const bool windows = description.contains(u'\\') ||
                         (description.size() >= 2 && description[1] == u':' &&
                          description[0].isLetter() && description[0].unicode() < 0x80);
    const QChar separator = windows ? QChar(u'\\') : QDir::separator();
    QString folder = limit;
    if (!windows)
        folder.replace(u'\\', separator);
    return description.endsWith(separator) ? description + folder
                                           : description + separator + folder;
}

} // namespace

void setResultDescriptions(Workspace &ws, const CompareOptions &options) {
    const QString x = sideText(ws.list(ListId::Original).description, options.limitOriginal);
    const QString y = sideText(ws.list(ListId::Final).description, options.limitFinal);
    ws.list(ListId::OnlyInOriginal).description =
        QStringLiteral("In ") + x + QStringLiteral(" but not in ") + y;
    ws.list(ListId::OnlyInFinal).description =
        QStringLiteral("In ") + y + QStringLiteral(" but not in ") + x;
    ws.list(ListId::Changed).description =
        QStringLiteral("Changed between ") + x + QStringLiteral(" and ") + y;
    ws.list(ListId::Unchanged).description =
        QStringLiteral("Identical in both ") + x + QStringLiteral(" and ") + y;
    ws.list(ListId::Moved).description =
        QStringLiteral("Moved or renamed between ") + x + QStringLiteral(" and ") + y;
}

void runComparison(Workspace &ws, CompareOptions &options, Progress *progress) {
    const float tolerance = toleranceDays(options.tolerance);
    SnapshotList &original = ws.list(ListId::Original);
    SnapshotList &final = ws.list(ListId::Final);
    if (progress)
        progress->total = original.size() + final.size();
    // The results of an earlier comparison go first: their memory is better spent on the sorts.
    for (const ListId n : Lists::Results)
        ws.list(n).clearEntries();
    // The two sides are independent: each is sorted, and its keys made, on a core of its own.
    std::optional<MatchKeys> keysO, keysF;
    runSideBySide([&] { keysF.emplace(sortByMatchKey(final)); },
                  [&] { keysO.emplace(sortByMatchKey(original)); });
    const std::uint32_t mask = countedDifferences(options);

    const ExcludePatterns exclude(options.exclude);
    const Side o(original, std::move(*keysO),
                 noExtraPath(options.limitFinal, options.limitOriginal), options.limitOriginal,
                 exclude);
    const Side f(final, std::move(*keysF), noExtraPath(options.limitOriginal, options.limitFinal),
                 options.limitFinal, exclude);
    WalkOrder walkOrder(o, f);
    SnapshotList &onlyO = ws.list(ListId::OnlyInOriginal);
    SnapshotList &onlyF = ws.list(ListId::OnlyInFinal);
    SnapshotList &changed = ws.list(ListId::Changed);
    SnapshotList &unchanged = ws.list(ListId::Unchanged);
    // Most entries are unchanged, and the list is not copied as it grows. The other lists grow
    // as they fill: capacity reserved for them would be memory freed by the sorts just before,
    // held for the life of the results.
    unchanged.reserve(static_cast<std::size_t>(std::min(o.count, f.count)));

    auto onlyInOriginal = [&](int i) {
        if (o.holds(i))
            onlyO.appendCopy(original, i);
    };
    auto onlyInFinal = [&](int j) {
        if (f.holds(j))
            onlyF.appendCopy(final, j);
    };
    // A pair of folders differs only in details: their sizes and times are not compared.
    auto pair = [&](int i, int j) {
        const Entry &eo = original.entry(i), &ef = final.entry(j);
        std::uint32_t differ = SnapshotList::detailDifferences(original, i, final, j);
        if (!eo.isFolder() || !ef.isFolder())
            differ |= differences(eo, ef, tolerance, options.ignoreHourShifts);
        if (SnapshotList::contentsDiffer(original, i, final, j))
            differ |= Differ::Contents;
        if (differ & mask) {
            if (f.holds(j))
                changed.appendChanged(final, j, OrigValues{eo.size, eo.modified, eo.attr, differ},
                                      original, i);
        } else if (o.holds(i)) {
            unchanged.appendCopy(original, i);
        }
    };
    // Entries whose keys are equal but which are more than one on a side: names that differ
    // only in letter case, which a POSIX folder can hold side by side. Each run is in the order
    // of the exact texts, so an entry pairs first with the entry of the same exact name; what
    // is left pairs in order (a name whose case changed), and the rest is only on its side.
    // Entries left out take no part.
    std::vector<int> leftO, leftF;
    auto pairRun = [&](int i, int iEnd, int j, int jEnd) {
        leftO.clear();
        leftF.clear();
        for (;;) {
            i = std::min(o.next(i), iEnd);
            j = std::min(f.next(j), jEnd);
            if (i == iEnd || j == jEnd)
                break;
            const int c = compareExact(o, i, f, j);
            if (c == 0)
                pair(i++, j++);
            else if (c < 0)
                leftO.push_back(i++);
            else
                leftF.push_back(j++);
        }
        for (; i < iEnd; ++i) {
            if (!o.skipped(i))
                leftO.push_back(i);
        }
        for (; j < jEnd; ++j) {
            if (!f.skipped(j))
                leftF.push_back(j);
        }
        const std::size_t both = std::min(leftO.size(), leftF.size());
        for (std::size_t k = 0; k < both; ++k)
            pair(leftO[k], leftF[k]);
        for (std::size_t k = both; k < leftO.size(); ++k)
            onlyInOriginal(leftO[k]);
        for (std::size_t k = both; k < leftF.size(); ++k)
            onlyInFinal(leftF[k]);
    };

    int i = o.next(0), j = f.next(0);
    int step = 0;
    while (i < o.count || j < f.count) {
        if (progress && (++step & 1023) == 0)
            progress->count.store(i + j, std::memory_order_relaxed);
        const int c = i >= o.count ? 1 : j >= f.count ? -1 : walkOrder(i, j);
        if (c < 0) {
            onlyInOriginal(i);
            i = o.next(i + 1);
        } else if (c > 0) {
            onlyInFinal(j);
            j = f.next(j + 1);
        } else {
            int iEnd = i + 1, jEnd = j + 1;
            while (iEnd < o.count && o.keys.equal(i, iEnd))
                ++iEnd;
            while (jEnd < f.count && f.keys.equal(j, jEnd))
                ++jEnd;
            if (iEnd - i == 1 && jEnd - j == 1)
                pair(i, j);
            else
                pairRun(i, iEnd, j, jEnd);
            i = o.next(iEnd);
            j = f.next(jEnd);
        }
    }

    if (progress)
        progress->count.store(i + j, std::memory_order_relaxed);
    // In the order of the walk, so that the same two snapshots pair the same way however the
    // results were sorted before.
    if (options.findMoves)
        findMoves(ws);
    setResultDescriptions(ws, options);
    const double now = DateSerial::now();
    for (const ListId n : Lists::Results) {
        SnapshotList &result = ws.list(n);
        result.source = Workspace::tabCaption(n);
        result.created = now;
        resort(result);
    }
    options.compared = true;
    unchanged.squeeze();
}
