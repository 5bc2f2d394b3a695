// The input describes a list, values chosen freely (names with every kind of character the
// escape has to carry, any attribute word, any size, any time a calendar shows). Saving it and
// opening the file gives back exactly what was saved, and saving that again the same bytes.

#include "FuzzInput.h"
#include "ListCheck.h"
#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"

#include <cmath>

using namespace FuzzInput;

namespace {

// Any byte below 0x80 stands for itself (control characters, quote, escape, comma, space and
// backslash included); the others pick characters outside ASCII, one of them beyond the BMP.
QString text(Bytes &in) {
    int length = in.byte() % 32;
    if (length == 31 && in.byte() == 0xFF)
        length = 70000; // past the name pool's block share, kept apart
    QString s;
    s.reserve(length);
    static const char16_t Wide[] = {0x00E9, 0x20AC, 0x65E5, 0x00A0, 0xFFFD, 0x0085, 0x2028};
    for (int k = 0; k < length; ++k) {
        const std::uint8_t b = length > 64 ? 'x' : in.byte();
        if (b < 0x80)
            s.append(QChar(char16_t(b)));
        else if (b % 8 == 7)
            s.append(QString::fromUcs4(U"\U0001F600", 1));
        else
            s.append(QChar(Wide[b % 8]));
    }
    return s;
}

double serial(Bytes &in) {
    const auto days = static_cast<std::int64_t>(DateSerial::Max - DateSerial::Min);
    const std::int64_t day = static_cast<std::int64_t>(DateSerial::Min) +
                             static_cast<std::int64_t>(in.u32() % static_cast<std::uint32_t>(days));
    return DateSerial::fromDays(day, static_cast<int>(in.u32() % 86400));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Bytes in(data, size);
    SnapshotList list;
    list.description = text(in);
    list.source = text(in);
    list.created = serial(in);
    QString folder;
    while (!in.empty() && list.size() < 200) {
        switch (in.byte() % 4) {
        case 0:
            break; // the previous entry's folder
        case 1:
            folder.clear();
            break;
        case 2:
            folder = QStringLiteral(" ");
            break;
        default:
            folder = text(in);
        }
        const QString name = text(in);
        const auto attr = static_cast<std::int32_t>(in.u32());
        const std::uint64_t bytes = in.u64();
        const double modified = in.byte() % 8 == 0 ? std::nan("") : serial(in);
        list.append(name, folder, attr, bytes, modified);
    }

    const QString path = scratchPath();
    check(saveSnapshot(list, false, path).ok(), "saving");
    const std::string saved = readAll(path);
    SnapshotList read;
    const FileError err = readSnapshot(path, read);
    check(err.ok(), "opening what was saved",
          err.message() + u'\n' + QString::fromStdString(saved.substr(0, 2000)));
    check(read.description == list.description, "description");
    check(read.source == list.source, "source");
    check(sameSecond(read.created, list.created), "created time");
    checkSameEntries(list, read, "saved and opened");
    checkLimits(read, "opened");
    check(saveSnapshot(read, false, path).ok(), "saving again");
    check(readAll(path) == saved, "a second save writes other bytes");
    return 0;
}
