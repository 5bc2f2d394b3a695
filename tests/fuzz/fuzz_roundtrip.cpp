// The input describes a list, values chosen freely (names with every kind of character the
// escape has to carry, any attribute word, any size, any time a calendar shows). Saving it and
// opening the file gives back exactly what was saved, and saving that again the same bytes.
// Entries may carry details (any numbers, any link target, any capability bytes), some known and
// some not, and some a digest of their contents; saved in the plain format the same list reads
// back without them.

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

Details details(Bytes &in) {
    Details d;
    d.mode = in.byte() % 4 == 0 ? 0 : in.u32();
    if (!d.known())
        return d;
    d.uid = in.u32();
    d.gid = in.u32();
    d.links = in.u32();
    d.device = in.u64();
    d.inode = in.u64();
    d.rdev = in.u64();
    d.nanoseconds = in.u32() % 1'000'000'000;
    d.linkTarget = text(in);
    d.capability = text(in).toUtf8();
    return d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Bytes in(data, size);
    SnapshotList list;
    list.description = text(in);
    list.source = text(in);
    list.created = serial(in);
    QString folder;
    const bool withDetails = in.byte() % 2;
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
        if (withDetails) {
            list.append(name, list.internFolder(folder), attr, bytes, modified, details(in));
            if (in.byte() % 2) {
                Digest digest;
                for (std::uint8_t &b : digest)
                    b = in.byte();
                list.setDigest(list.size() - 1, digest, in.u64());
            }
        } else
            list.append(name, folder, attr, bytes, modified);
    }
    // Owners whose texts are as hostile as the names: another entry's name each.
    if (list.size() % 2) {
        auto owners = std::make_shared<OwnerTexts>();
        std::vector<std::uint32_t> of;
        for (int i = 0; i < list.size(); ++i) {
            const QStringView other = list.name(i * 7 % list.size());
            of.push_back(other.isEmpty() ? OwnerTexts::Unowned
                                         : owners->intern(u'p' + other.toString()));
        }
        list.setPackages(owners, std::move(of));
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

    // The plain format: the same file as the list without its details would give.
    check(saveSnapshot(list, false, path, nullptr, DetailsInFile::LeaveOut).ok(), "saving plain");
    const std::string plain = readAll(path);
    SnapshotList plainRead;
    check(readSnapshot(path, plainRead).ok() && !plainRead.hasDetails() &&
              !plainRead.hasContents() && !plainRead.hasPackages(),
          "opening plain");
    SnapshotList withoutDetails;
    withoutDetails.description = list.description;
    withoutDetails.source = list.source;
    withoutDetails.created = list.created;
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        withoutDetails.append(list.name(i), list.folder(i), e.attr, e.size, e.modified);
    }
    check(saveSnapshot(withoutDetails, false, path).ok() && readAll(path) == plain,
          "the plain format differs from a list without details");
    return 0;
}
