// Any bytes given to the snapshot reader: it returns a list or "Not a valid Vistrel file" and
// never crashes. A list it returns is consistent, and saving it and reading the saved file
// gives the same list (and the same file again).

#include "FuzzInput.h"
#include "ListCheck.h"
#include "ReferenceReader.h"
#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"

#include <bit>
#include <cmath>

using namespace FuzzInput;

namespace {

// Whether two reads gave the same list to the last detail: folder numbers, limits and the bits
// of every time included.
bool identical(const SnapshotList &a, const SnapshotList &b) {
    const auto same = [](double x, double y) {
        return std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(y);
    };
    if (a.description != b.description || a.source != b.source || !same(a.created, b.created) ||
        a.limits != b.limits || a.folders().size() != b.folders().size() || a.size() != b.size() ||
        a.sort.key != b.sort.key || a.sort.order != b.sort.order)
        return false;
    for (std::uint32_t id = 0; id < a.folders().size(); ++id) {
        if (a.folders().text(id) != b.folders().text(id))
            return false;
    }
    if (a.hasPackages() != b.hasPackages())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const Entry &x = a.entry(i), &y = b.entry(i);
        if (a.name(i) != b.name(i) || x.folder != y.folder || x.attr != y.attr ||
            x.size != y.size || !same(x.modified, y.modified) ||
            a.packageText(i) != b.packageText(i))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString path = writeScratch(data, size);
    SnapshotList list;
    const FileError err = readSnapshot(path, list);
    // The plain field-by-field reader gives the same list or the same error.
    SnapshotList model;
    const FileError modelErr = ReadSnapshotFieldByField(path, model);
    check(modelErr.code == err.code, "another error than the field-by-field reader",
          QString::number(err.code) + QStringLiteral(" against ") + QString::number(modelErr.code));
    check(identical(list, model), "another list than the field-by-field reader");
    if (err) {
        check(err.code == FileError::InputPastEnd || err.code == FileError::InvalidValue ||
                  err.code == FileError::WrongEntryCount,
              "a reader error outside the format's three", QString::number(err.code));
        check(err.message().startsWith(u"Not a valid Vistrel file"), "the message of a bad file");
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
    check(saveSnapshot(list, false, copy).ok(), "saving what was read");
    const std::string saved = readAll(copy);
    SnapshotList again;
    check(readSnapshot(copy, again).ok(), "reading what was saved");
    check(again.description == list.description && again.source == list.source,
          "description or source changed");
    check(sameSecond(again.created, list.created), "created time changed");
    checkSameEntries(list, again, "save and read again");
    check(saveSnapshot(again, false, copy).ok(), "saving a second time");
    check(readAll(copy) == saved, "a second save writes other bytes");
    return 0;
}
