// Any bytes given to the snapshot reader: it returns a list or "Not a valid Vistrel file" and
// never crashes. A list it returns is consistent, and saving it and reading the saved file
// gives the same list (and the same file again).

#include "FuzzInput.h"
#include "ListCheck.h"
#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"

#include <cmath>

using namespace FuzzInput;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString path = writeScratch(data, size);
    SnapshotList list;
    const FileError err = ReadSnapshot(path, list);
    if (err) {
        check(err.code == FileError::InputPastEnd || err.code == FileError::InvalidValue,
              "a reader error outside the format's two", QString::number(err.code));
        check(err.message() == u"Not a valid Vistrel file", "the message of a bad file");
        check(list.isEmpty(), "a failed read leaves entries");
        return 0;
    }
    check(DateSerial::isValid(list.created), "created time out of range");
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        if (e.isFolder())
            check(e.size == 0 && !e.hasTime(), "a folder with a size or time");
        else
            check(DateSerial::isValid(e.modified), "a file time out of range");
    }
    checkLimits(list, "read");

    // Every column of the first entries can be shown, whatever the values.
    static const EntryFormatter format(QLocale(QLocale::English, QLocale::UnitedKingdom));
    for (int i = 0; i < std::min(list.size(), 64); ++i) {
        for (int c = 0; c < Col::Count; ++c)
            (void)format.text(list, i, c);
    }

    const QString copy = scratchPath(1);
    check(SaveSnapshot(list, false, copy).ok(), "saving what was read");
    const std::string saved = readAll(copy);
    SnapshotList again;
    check(ReadSnapshot(copy, again).ok(), "reading what was saved");
    check(again.description == list.description && again.source == list.source,
          "description or source changed");
    check(sameSecond(again.created, list.created), "created time changed");
    checkSameEntries(list, again, "save and read again");
    check(SaveSnapshot(again, false, copy).ok(), "saving a second time");
    check(readAll(copy) == saved, "a second save writes other bytes");
    return 0;
}
