#include "Comparison.h"

#include "snapshot/DateSerial.h"
#include "snapshot/Sorting.h"
#include "snapshot/TextOrder.h"
#include "snapshot/Workspace.h"

#include <QDir>
#include <QHash>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// A side of the walk: the list, its match keys and the extra path put before each key.
// The lower-cased form of a name: the name itself when it has no capitals, else made in `buf`.
QStringView lowered(QStringView name, QString &buf) {
    const char16_t *u = name.utf16();
    const qsizetype n = name.size();
    qsizetype k = 0;
    while (k < n && u[k] < 0x80 && !(u[k] >= u'A' && u[k] <= u'Z'))
        ++k;
    if (k == n)
        return name;
    bool ascii = true;
    for (qsizetype m = k; m < n && ascii; ++m)
        ascii = u[m] < 0x80;
    if (!ascii) {
        buf = name.toString().toLower();
        return buf;
    }
    buf.resize(n);
    char16_t *d = reinterpret_cast<char16_t *>(buf.data());
    for (qsizetype m = 0; m < n; ++m)
        d[m] = (u[m] >= u'A' && u[m] <= u'Z') ? static_cast<char16_t>(u[m] + 32) : u[m];
    return buf;
}

// A side of the walk: the list, the extra path put before each key, and the current entry's
// lower-cased name.
struct Side {
    const SnapshotList &list;
    QString extra;
    QString limit;
    std::vector<char> inLimit; // per folder id
    int count;

    int current = -1;
    QStringView currentName;
    QString buf;

    Side(const SnapshotList &l, QString extraPath, QString limitText)
        : list(l), extra(std::move(extraPath)), limit(std::move(limitText)), count(l.size()) {
        const FolderTable &folders = list.folders();
        inLimit.resize(folders.size());
        for (std::uint32_t id = 0; id < folders.size(); ++id)
            inLimit[id] = SameFolder(folders.text(id), limit);
    }
    bool holds(int i) const { return inLimit[list.entry(i).folder]; }
    QStringView name(int i) {
        if (i != current) {
            current = i;
            currentName = lowered(list.name(i), buf);
        }
        return currentName;
    }
    QStringView folder(int i) const { return list.folders().lowerText(list.entry(i).folder); }
};

// For each Final folder, the Original folder with the same lower-cased text, if any: keys of
// entries in such folders differ only in their names.
std::vector<std::uint32_t> matchFolders(const SnapshotList &original, const SnapshotList &final) {
    constexpr std::uint32_t None = std::numeric_limits<std::uint32_t>::max();
    QHash<QStringView, std::uint32_t> byText;
    const FolderTable &fo = original.folders();
    for (std::uint32_t id = 0; id < fo.size(); ++id)
        byText.insert(fo.lowerText(id), id);
    const FolderTable &ff = final.folders();
    std::vector<std::uint32_t> map(ff.size(), None);
    for (std::uint32_t id = 0; id < ff.size(); ++id)
        map[id] = byText.value(ff.lowerText(id), None);
    return map;
}

int compareWalkKeys(Side &a, int i, Side &b, int j) {
    const QStringView x[3] = {a.extra, a.folder(i), a.name(i)};
    const QStringView y[3] = {b.extra, b.folder(j), b.name(j)};
    return ordinalCompareJoined(x, 3, y, 3);
}

// The time as the comparison reads it back from the key text (15 significant digits).
double keyValue(double serial) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, serial, std::chars_format::general, 15);
    double value = serial;
    std::from_chars(buf, res.ptr, value);
    return value;
}

bool timesDiffer(double a, double b, float tolerance) {
    const float diff = static_cast<float>(std::fabs(a - b));
    if (diff != tolerance && std::fabs(static_cast<double>(diff) - tolerance) > 1e-9)
        return diff > tolerance;
    // At the boundary the digits of the key texts decide.
    return static_cast<float>(std::fabs(keyValue(a) - keyValue(b))) > tolerance;
}

// The differences between an Original entry and its Final partner. A folder has no size key
// and no time, which differ from a file's.
std::uint16_t differences(const Entry &o, const Entry &f, float tolerance) {
    std::uint16_t differ = 0;
    const bool sizeKeyO = !o.isFolder(), sizeKeyF = !f.isFolder();
    if (sizeKeyO != sizeKeyF || (sizeKeyO && o.size != f.size))
        differ |= Differ::Size;
    const double timeO = (!o.isFolder() && o.hasTime()) ? o.modified : 0.0;
    const double timeF = (!f.isFolder() && f.hasTime()) ? f.modified : 0.0;
    if (timesDiffer(timeO, timeF, tolerance))
        differ |= Differ::Stamp;
    differ |= static_cast<std::uint16_t>((o.attr ^ f.attr) & Differ::AttrBitsMask);
    return differ;
}

QString sideText(const QString &description, const QString &limit) {
    if (limit.isEmpty())
        return description;
    return description.endsWith(QDir::separator()) ? description + limit
                                                   : description + QDir::separator() + limit;
}

} // namespace

void SetResultDescriptions(Workspace &ws, const CompareOptions &options) {
    const QString x = sideText(ws.list(ListNo::Original).description, options.limitOriginal);
    const QString y = sideText(ws.list(ListNo::Final).description, options.limitFinal);
    ws.list(ListNo::OnlyInOriginal).description =
        QStringLiteral("In ") + x + QStringLiteral(" but not in ") + y;
    ws.list(ListNo::OnlyInFinal).description =
        QStringLiteral("In ") + y + QStringLiteral(" but not in ") + x;
    ws.list(ListNo::Changed).description =
        QStringLiteral("Changed between ") + x + QStringLiteral(" and ") + y;
    ws.list(ListNo::Unchanged).description =
        QStringLiteral("Identical in both ") + x + QStringLiteral(" and ") + y;
}

int RunComparison(Workspace &ws, CompareOptions &options) {
    const float tolerance = toleranceDays(options.tolerance);
    SnapshotList &original = ws.list(ListNo::Original);
    SnapshotList &final = ws.list(ListNo::Final);
    // The two sorts are independent; a million entries each take long enough to share the cores.
    // One after the other: each sort already uses both cores, and side by side their working
    // memory would add up.
    SortList(original, 2, 0);
    SortList(final, 2, 0);
    for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n)
        ws.list(n).clearEntries();
    const std::int16_t mask = Mask(options);

    Side o(original, NoExtraPath(options.limitFinal, options.limitOriginal), options.limitOriginal);
    Side f(final, NoExtraPath(options.limitOriginal, options.limitFinal), options.limitFinal);
    SnapshotList &onlyO = ws.list(ListNo::OnlyInOriginal);
    SnapshotList &onlyF = ws.list(ListNo::OnlyInFinal);
    SnapshotList &changed = ws.list(ListNo::Changed);
    SnapshotList &unchanged = ws.list(ListNo::Unchanged);
    // Capacity that is never written costs no memory, and no list is copied as it grows.
    onlyO.reserve(static_cast<std::size_t>(o.count));
    unchanged.reserve(static_cast<std::size_t>(o.count));
    onlyF.reserve(static_cast<std::size_t>(f.count));
    changed.reserve(static_cast<std::size_t>(f.count));

    const bool plain = o.extra.isEmpty() && f.extra.isEmpty();
    const std::vector<std::uint32_t> sameFolder = matchFolders(original, final);
    auto compare = [&](int i, int j) {
        if (plain && sameFolder[final.entry(j).folder] == original.entry(i).folder) {
            const QStringView x = o.name(i), y = f.name(j);
            return ordinalCompareJoined(&x, 1, &y, 1);
        }
        return compareWalkKeys(o, i, f, j);
    };
    int i = 0, j = 0;
    while (i < o.count || j < f.count) {
        const int c = i >= o.count ? 1 : j >= f.count ? -1 : compare(i, j);
        if (c < 0) {
            if (o.holds(i))
                onlyO.appendCopy(original, i);
            ++i;
        } else if (c > 0) {
            if (f.holds(j))
                onlyF.appendCopy(final, j);
            ++j;
        } else {
            const Entry &eo = original.entry(i), &ef = final.entry(j);
            if (eo.isFolder() && ef.isFolder()) {
                if (o.holds(i))
                    unchanged.appendCopy(original, i);
            } else {
                const std::uint16_t differ = differences(eo, ef, tolerance);
                if (differ & mask) {
                    if (f.holds(j)) {
                        const OrigValues orig{eo.size, eo.modified, eo.attr, differ};
                        changed.appendCopy(final, j, &orig);
                    }
                } else if (o.holds(i)) {
                    unchanged.appendCopy(original, i);
                }
            }
            ++i;
            ++j;
        }
    }

    int shown = 0;
    for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged && !shown; ++n) {
        if (!ws.list(n).isEmpty())
            shown = n;
    }
    SetResultDescriptions(ws, options);
    const double now = DateSerial::now();
    for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n) {
        SnapshotList &result = ws.list(n);
        result.source = Workspace::TabCaption(n);
        result.created = now;
        resort(result);
    }
    options.compared = true;
    return shown;
}
