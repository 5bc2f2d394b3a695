// Any bytes given to the DOS listing import: it returns a list, or stops at a line with a
// title, and never crashes. What it returns is consistent and survives a save and a read.

#include "FuzzInput.h"
#include "ListCheck.h"
#include "files/DosImport.h"
#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"

#include <QFileInfo>

using namespace FuzzInput;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString path = writeScratch(data, size);
    static const QLocale enGB(QLocale::English, QLocale::UnitedKingdom);
    SnapshotList list;
    const DosImportResult result = importDosListing(path, list, enGB);
    check(result.failed == !result.title.isEmpty(), "a title without a failure or the reverse");
    check(result.error.ok(), "a read error on a plain file");
    // Only a file with no line of a listing fails as a whole, with nothing imported.
    const bool none = result.title == u"Not a DIR /S listing";
    check(!result.failed || !result.failingLine.isEmpty() || none, "a failure without its line");
    check(!none || (result.failingLine.isEmpty() && list.isEmpty()), "no listing, but entries");
    check(list.description == QFileInfo(path).absoluteFilePath(), "the description");
    check(list.source.isEmpty() || list.source.startsWith(u"Imported Directory of"), "the source",
          list.source);
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        if (e.isFolder()) {
            check(e.attr == 16 && !e.hasTime(), "a folder entry's values");
            check(list.folder(i).isEmpty() || list.folder(i).endsWith(u'\\'), "a folder text");
        } else {
            check(e.attr == 0, "a file entry's attributes");
            check(DateSerial::isValid(e.modified), "a file time out of range",
                  QString::number(e.modified, 'g', 17));
            std::int64_t day;
            int secs;
            DateSerial::split(e.modified, day, secs);
            check(secs % 60 == 0, "a file time with seconds");
        }
    }
    checkLimits(list, "import");

    const QString copy = scratchPath(1);
    check(saveSnapshot(list, false, copy).ok(), "saving the import");
    SnapshotList again;
    const FileError err = readSnapshot(copy, again);
    check(err.ok(), "reading the saved import", err.message());
    checkSameEntries(list, again, "import saved and read");
    return 0;
}
