#include "Report.h"

#include "snapshot/Attributes.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/NameCodec.h"
#include "snapshot/Progress.h"
#include "snapshot/SnapshotList.h"

#include <limits>

namespace {
constexpr qsizetype SizeWidth = 15;
const QString Gap = QStringLiteral("  ");
} // namespace

QString reportSizeField(const QString &sizeText) {
    return sizeText.rightJustified(SizeWidth);
}

void writeReport(const SnapshotList &list, bool includeAttributes, const EntryFormatter &format,
                 const std::function<void(const QString &)> &line, Progress *progress) {
    const int n = list.size();
    if (progress)
        progress->total = n;
    line(NameCodec::printable(list.description));
    // The heading starts as a single space, which no folder path equals unless a file stored
    // it so; such a folder then gets no heading, as on paper before.
    QString heading = QStringLiteral(" ");
    std::uint32_t previous = std::numeric_limits<std::uint32_t>::max();
    QString text;
    for (int i = 0; i < n; ++i) {
        if (progress && progress->cancelled())
            return;
        const Entry &e = list.entry(i);
        if (e.folder != previous) {
            previous = e.folder;
            const QString &folder = list.folder(i);
            if (folder != heading) {
                heading = folder;
                if (!heading.isEmpty()) {
                    line(QString());
                    line(NameCodec::printable(heading));
                }
                if (progress)
                    progress->count.store(i + 1, std::memory_order_relaxed);
            }
        }
        if (e.isFolder())
            continue;
        text = format.modifiedText(e);
        text += Gap;
        text += reportSizeField(format.sizeText(e.size));
        text += Gap;
        NameCodec::appendPrintable(text, list.name(i));
        if (includeAttributes && e.attr > 0) {
            text += QStringLiteral(" (");
            text += attrText(e.attr);
            text += u')';
        }
        line(text);
    }
}

QString pageEstimateText(int entryCount, bool portrait) {
    if (entryCount <= 0)
        return QStringLiteral("(nothing to print)");
    const int lines = portrait ? PortraitLinesPerPage : LandscapeLinesPerPage;
    return QStringLiteral("Approximately %1 page(s) of printout at %2 lines per page")
        .arg(entryCount / lines + 1)
        .arg(lines);
}
