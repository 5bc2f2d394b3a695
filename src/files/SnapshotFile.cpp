#include "SnapshotFile.h"

#include "FileWriter.h"
#include "PosixRead.h"
#include "ReadableFile.h"
#include "TextCodec.h"
#include "snapshot/DateSerial.h"
#include "snapshot/Progress.h"
#include "snapshot/SnapshotList.h"
#include "sort/ColumnSorts.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The header's third field, reserved in the plain format (0), tells what else the file holds.
namespace Reserved {
inline constexpr std::int32_t Escapes = 1;     // texts hold "|" and two hex digits for a byte
inline constexpr std::int32_t Details = 2;     // entry lines go on with the entry's details
inline constexpr std::int32_t Contents = 4;    // and then with its SHA-256 digest
inline constexpr std::int32_t ChangeTimes = 8; // and the change time the file had when read
inline constexpr std::int32_t Packages = 16;   // and last the packages that own the entry
inline constexpr std::int32_t Known = Escapes | Details | Contents | ChangeTimes | Packages;
} // namespace Reserved

// Entry lines with details: the five fields, then mode, owner, group, link count, volume,
// inode, device numbers, nanoseconds, "link target" and "capability" (hex digits); with contents
// the digest follows, "" or 64 hex digits, and then the change time in nanoseconds since 1970
// (0 where there is no digest, or it may not hold). With packages, the last field is the text
// of the entry's owners ("coreutils", "base-files, coreutils"), "" where no package owns it.
constexpr std::size_t PlainFields = 5;
constexpr std::size_t DetailFields = 15;
constexpr std::size_t MostFields = DetailFields + 3;

// Bytes as upper-case hex digits, two a byte.
void appendHex(std::string &out, const std::uint8_t *bytes, std::size_t size) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    for (std::size_t k = 0; k < size; ++k) {
        out.push_back(Digits[bytes[k] >> 4]);
        out.push_back(Digits[bytes[k] & 15]);
    }
}

void appendNumber(std::string &out, std::uint64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void appendNumber(std::string &out, std::int64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

constexpr auto Pow10 = [] {
    std::array<std::uint64_t, 16> p{};
    p[0] = 1;
    for (std::size_t k = 1; k < p.size(); ++k)
        p[k] = p[k - 1] * 10;
    return p;
}();

// Writes a date serial as printf's "%.15G" does. Serials of the calendar the program knows have
// one to seven digits before the point; their text is worked out exactly from the binary value
// in integer arithmetic, which is several times quicker than the general conversion.
void appendSerial(std::string &out, double serial) {
    const double magnitude = std::fabs(serial);
    if (magnitude >= 1 && magnitude < 1e7) {
        // magnitude = fraction * 2^exponent = mantissa / 2^shift exactly, shift from 29 to 52.
        int exponent;
        const double fraction = std::frexp(magnitude, &exponent);
        const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
        const int shift = 53 - exponent;
        int digits = 1; // before the point
        while (digits < 8 && (mantissa >> shift) >= Pow10[digits])
            ++digits;
        // Fifteen significant digits, rounded half to even; a carry into one more digit before
        // the point leaves one fewer after it.
        std::uint64_t rounded;
        for (;;) {
            const unsigned __int128 scaled =
                static_cast<unsigned __int128>(mantissa) * Pow10[15 - digits];
            const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
            const unsigned __int128 rest = scaled & ((half << 1) - 1);
            rounded = static_cast<std::uint64_t>(scaled >> shift);
            if (rest > half || (rest == half && (rounded & 1)))
                ++rounded;
            if (rounded < Pow10[15])
                break;
            ++digits;
        }
        char text[16];
        for (int k = 14; k >= 0; --k, rounded /= 10)
            text[k] = static_cast<char>('0' + rounded % 10);
        int end = 15;
        while (end > digits && text[end - 1] == '0')
            --end;
        if (serial < 0)
            out.push_back('-');
        out.append(text, static_cast<std::size_t>(digits));
        if (end > digits) {
            out.push_back('.');
            out.append(text + digits, static_cast<std::size_t>(end - digits));
        }
        return;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, serial, std::chars_format::general, 15);
    for (const char *p = buf; p != res.ptr; ++p)
        out.push_back(*p == 'e' ? 'E' : *p);
}

void appendText(std::string &out, QStringView text) {
    out.push_back('"');
    TextCodec::appendEscapedUtf8(out, text);
    out.push_back('"');
}

// Whether a file can be read again from its start: a pipe or a terminal cannot.
bool rewindable(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

// Reads the file in large blocks. Fields are parsed in place; a record that runs past the
// bytes read so far is parsed again once more are read, so no field is copied out of the block.
// Input that cannot be read again (a pipe) is kept whole as it comes, so that it can be read
// once more in another encoding.
class BlockReader {
public:
    explicit BlockReader(int fd, std::size_t blockSize = 1 << 20)
        : m_fd(fd), m_buf(blockSize), m_keep(!rewindable(fd)) {}

    const char *pos() const { return m_buf.data() + m_pos; }
    const char *end() const { return m_buf.data() + m_end; }
    void advance(const char *p) { m_pos = static_cast<std::size_t>(p - m_buf.data()); }
    bool eof() const { return m_eof; }
    FileError error() const { return m_error; }

    // Keeps the bytes from pos() on and reads more behind them. False when nothing more comes
    // (the end, or a read error that error() then holds); eof() is true from then on.
    bool refill() {
        if (m_eof)
            return false;
        if (m_pos > 0 && !m_keep) {
            std::memmove(m_buf.data(), m_buf.data() + m_pos, m_end - m_pos);
            m_end -= m_pos;
            m_pos = 0;
        }
        if (m_end == m_buf.size()) // one record longer than a block
            m_buf.resize(m_buf.size() * 2);
        // The room is filled even from a pipe, whose reads give a little at a time, so that a
        // long record is not parsed again for every little piece of it.
        const std::size_t had = m_end;
        while (m_end < m_buf.size()) {
            const ssize_t n = readRetrying(m_fd, m_buf.data() + m_end, m_buf.size() - m_end);
            if (n <= 0) {
                if (n < 0)
                    m_error = FileError::fromErrno(errno);
                m_eof = true;
                break;
            }
            m_end += static_cast<std::size_t>(n);
        }
        return m_end > had;
    }

    void rewind() {
        m_pos = 0;
        if (m_keep)
            return; // what was read is all still here, and the rest follows
        lseek(m_fd, 0, SEEK_SET);
        m_end = 0;
        m_eof = false;
    }

private:
    int m_fd;
    std::vector<char> m_buf;
    bool m_keep;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
    FileError m_error;
};

// A field of the format as it stands in the block: quoted text or a bare value.
struct Field {
    const char *data = nullptr;
    std::size_t size = 0;
    bool quoted = false;

    bool isSingleSpace() const { return quoted && size == 1 && *data == ' '; }
};

enum class Scan {
    Done,  // a field (or record) and its delimiter
    AtEnd, // the file ended before it
    More,  // the bytes read so far end before it does
};

// Splits off one field at p: quoted text or a bare value, ended by a comma or a line end.
Scan scanField(const char *&p, const char *end, bool eof, Field &field) {
    while (p != end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p == end)
        return eof ? Scan::AtEnd : Scan::More;
    if (*p == '"') {
        const auto *quote = static_cast<const char *>(std::memchr(p + 1, '"', end - p - 1));
        if (!quote)
            return eof ? Scan::AtEnd : Scan::More;
        field = {p + 1, static_cast<std::size_t>(quote - p - 1), true};
        p = quote + 1;
        // Anything between the closing quote and the delimiter is ignored.
        while (p != end && *p != ',' && *p != '\r' && *p != '\n')
            ++p;
    } else {
        const char *start = p;
        while (p != end && *p != ',' && *p != '\r' && *p != '\n')
            ++p;
        const char *last = p;
        while (last != start && (last[-1] == ' ' || last[-1] == '\t'))
            --last;
        field = {start, static_cast<std::size_t>(last - start), false};
    }
    if (p == end)
        return eof ? Scan::Done : Scan::More;
    if (*p == '\r') {
        ++p;
        if (p == end)
            return eof ? Scan::Done : Scan::More; // a line feed may follow
        if (*p == '\n')
            ++p;
    } else {
        ++p; // the comma or line feed
    }
    return Scan::Done;
}

// Reads the `count` fields of the record at the reader's place, and moves past them.
Scan scanRecord(BlockReader &in, Field *fields, std::size_t count) {
    for (;;) {
        const char *p = in.pos();
        Scan scan = Scan::Done;
        for (std::size_t k = 0; k < count; ++k) {
            scan = scanField(p, in.end(), in.eof(), fields[k]);
            if (scan != Scan::Done)
                break;
        }
        if (scan == Scan::Done)
            in.advance(p);
        if (scan != Scan::More)
            return scan;
        in.refill(); // at the end, the record is parsed once more with the end known
    }
}

// Skips blank lines between records; false at the end of the file.
bool skipToRecord(BlockReader &in) {
    for (;;) {
        const char *p = in.pos();
        const char *end = in.end();
        while (p != end && (*p == '\r' || *p == '\n' || *p == ' ' || *p == '\t'))
            ++p;
        in.advance(p);
        if (p != end)
            return true;
        if (!in.refill())
            return false;
    }
}

bool parseDouble(const char *text, std::size_t size, double &value) {
    if (size == 0) {
        value = 0;
        return true;
    }
    const char *end = text + size;
    const char *begin = *text == '+' ? text + 1 : text;
    const auto res = std::from_chars(begin, end, value);
    return res.ec == std::errc() && res.ptr == end && std::isfinite(value);
}

bool parseInt32(const char *text, std::size_t size, std::int32_t &value) {
    const char *end = text + size;
    const char *begin = size > 0 && *text == '+' ? text + 1 : text;
    if (begin != end) {
        const auto res = std::from_chars(begin, end, value);
        if (res.ec == std::errc() && res.ptr == end)
            return true;
    }
    double d;
    if (!parseDouble(text, size, d) || d < -2147483648.0 || d > 2147483647.0)
        return false;
    // Whole numbers as the conversion of a number to an integer rounds them.
    value = static_cast<std::int32_t>(std::nearbyint(d));
    return true;
}

bool parseSize(const char *text, std::size_t size, std::uint64_t &value) {
    if (size == 0) {
        value = 0;
        return true;
    }
    const char *end = text + size;
    const char *begin = *text == '+' ? text + 1 : text;
    const auto res = std::from_chars(begin, end, value);
    if (res.ec == std::errc() && res.ptr == end)
        return true;
    // A size written in exponent form by an older writer.
    double d;
    if (!parseDouble(text, size, d) || d < 0 || d >= 18446744073709551616.0 || d != std::floor(d))
        return false;
    value = static_cast<std::uint64_t>(d);
    return true;
}

bool parseUInt64(const Field &field, std::uint64_t &value) {
    const char *end = field.data + field.size;
    const auto res = std::from_chars(field.data, end, value);
    return !field.quoted && field.size > 0 && res.ec == std::errc() && res.ptr == end;
}

// The values of upper-case hex digits, as the writer puts them; -1 for any other byte.
constexpr std::array<std::int8_t, 256> HexDigits = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int c = 0; c < 10; ++c)
        table['0' + c] = std::int8_t(c);
    for (int c = 0; c < 6; ++c)
        table['A' + c] = std::int8_t(10 + c);
    return table;
}();

// Hex digits, two a byte, into `out`.
bool parseHexInto(const Field &field, std::uint8_t *out) {
    for (std::size_t k = 0; k < field.size; k += 2) {
        const int high = HexDigits[std::uint8_t(field.data[k])];
        const int low = HexDigits[std::uint8_t(field.data[k + 1])];
        if (high < 0 || low < 0)
            return false;
        out[k / 2] = std::uint8_t(high << 4 | low);
    }
    return true;
}

// Hex digits, two a byte; none for no bytes.
bool parseHex(const Field &field, QByteArray &bytes) {
    if (field.size % 2 != 0)
        return false;
    bytes.resize(qsizetype(field.size / 2));
    return parseHexInto(field, reinterpret_cast<std::uint8_t *>(bytes.data()));
}

// A digest field: empty for none, else 64 hex digits.
bool parseDigest(const Field &field, Digest &digest) {
    digest = {};
    if (field.size == 0)
        return true;
    return field.size == 2 * digest.size() && parseHexInto(field, digest.data()) &&
           hasDigest(digest);
}

class Reader {
public:
    Reader(int fd, SnapshotList &list, Progress *progress, std::size_t blockSize = 1 << 20)
        : m_in(fd, blockSize), m_list(list), m_progress(progress) {}

    // Returns false when a text is not valid in the encoding being tried.
    bool read(TextCodec::Encoding encoding, std::int64_t fileSize, FileError &error) {
        m_encoding = encoding;
        error = {};
        m_ownerTexts = std::make_shared<OwnerTexts>();
        m_owners.clear();
        SnapshotHeader header;
        if (!readHeader(header, error))
            return false;
        if (error)
            return true;
        m_list.description = header.description;
        m_list.source = header.source;
        m_list.created = header.created;
        // The count is only a hint: a few bytes must not reserve room for millions of entries.
        // No entry line is shorter than eight bytes.
        if (header.entries > 0)
            m_list.reserve(static_cast<std::size_t>(
                               std::min<std::int64_t>({header.entries, 1 << 24, fileSize / 8})),
                           m_details, m_contents);
        // The previous folder starts as a single space, which the first entry line never uses.
        constexpr std::uint32_t NoFolder = std::numeric_limits<std::uint32_t>::max();
        std::uint32_t previous = NoFolder;
        m_list.addLimit(QStringView());
        std::int64_t count = 0;
        while (skipToRecord(m_in)) {
            if (scanRecord(m_in, m_fields, fieldCount()) != Scan::Done) {
                error = m_in.error() ? m_in.error() : FileError::fromCode(FileError::InputPastEnd);
                return true;
            }
            const Field &folder = m_fields[1];
            if (folder.isSingleSpace()) {
                if (previous == NoFolder)
                    previous = m_list.internFolder(u" ");
            } else {
                if (!decode(folder, m_folder))
                    return false;
                previous = m_list.internFolder(m_folder);
            }
            if (!addEntry(previous, error))
                return false;
            if (error)
                return true;
            ++count;
            if (m_progress && (count & 1023) == 0)
                m_progress->count.store(count, std::memory_order_relaxed);
        }
        error = m_in.error();
        if (m_packages)
            m_list.setPackages(m_ownerTexts, std::move(m_owners));
        // Every writer of the format states the true count: another number means the file was
        // cut short (at a line end, which the lines themselves cannot tell) or lengthened.
        if (!error && count != header.entries)
            error = FileError::wrongEntryCount(header.entries, count);
        return true;
    }

    // Reads the first line. Returns false when a text is not valid in the encoding.
    bool readHeader(SnapshotHeader &header, FileError &error) {
        if (scanRecord(m_in, m_fields, PlainFields) != Scan::Done) {
            error = m_in.error() ? m_in.error() : FileError::fromCode(FileError::InputPastEnd);
            return true;
        }
        // Escapes and details are ours: a file whose field holds any other value (written by
        // another program) is read as the plain format, "|" and two hex digits as they stand.
        std::int32_t reserved = 0;
        if (!parseInt32(m_fields[2].data, m_fields[2].size, reserved) ||
            (reserved & ~Reserved::Known) != 0 ||
            ((reserved & Reserved::ChangeTimes) && !(reserved & Reserved::Contents)))
            reserved = 0;
        m_escaped = reserved & Reserved::Escapes;
        m_details = reserved & Reserved::Details;
        m_contents = reserved & Reserved::Contents;
        m_changeTimes = reserved & Reserved::ChangeTimes;
        m_packages = reserved & Reserved::Packages;
        if (!decode(m_fields[0], header.description) || !decode(m_fields[1], header.source))
            return false;
        if (!parseDouble(m_fields[4].data, m_fields[4].size, header.created) ||
            !DateSerial::isValid(header.created)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return true;
        }
        if (!parseInt32(m_fields[3].data, m_fields[3].size, header.entries))
            error = FileError::fromCode(FileError::InvalidValue);
        return true;
    }

    void setEncoding(TextCodec::Encoding encoding) { m_encoding = encoding; }
    void rewind() { m_in.rewind(); }

private:
    bool decode(const Field &field, QString &out) {
        return TextCodec::decodeField(field.data, field.size, m_encoding, m_escaped, out);
    }

    // Returns false when the name is not valid in the encoding; a bad value sets `error`.
    bool addEntry(std::uint32_t folder, FileError &error) {
        if (!decode(m_fields[0], m_name))
            return false;
        std::int32_t attr;
        std::uint64_t size;
        double modified;
        if (!parseInt32(m_fields[2].data, m_fields[2].size, attr) ||
            !parseSize(m_fields[3].data, m_fields[3].size, size) ||
            !parseDouble(m_fields[4].data, m_fields[4].size, modified)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return true;
        }
        const bool isFolder = attr & 16;
        if (isFolder) {
            if (m_progress && m_progress->wantsText())
                m_progress->setText(m_list.folders().text(folder) + m_name);
            size = 0;
            modified = std::nan("");
        } else if (!DateSerial::isValid(modified)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return true;
        }
        if (!m_details) {
            m_list.append(m_name, folder, attr, size, modified);
        } else {
            Details details;
            if (!readDetails(details, error))
                return false;
            if (error)
                return true;
            m_list.append(m_name, folder, attr, size, modified, details);
        }
        if (m_contents) {
            const std::size_t at = m_details ? DetailFields : PlainFields;
            Digest digest;
            std::uint64_t changeTime = 0;
            if (!parseDigest(m_fields[at], digest) ||
                (m_changeTimes && !parseUInt64(m_fields[at + 1], changeTime))) {
                error = FileError::fromCode(FileError::InvalidValue);
                return true;
            }
            m_list.setDigest(m_list.size() - 1, digest, changeTime);
        }
        if (m_packages) {
            if (!decode(m_fields[fieldCount() - 1], m_text))
                return false;
            m_owners.push_back(m_text.isEmpty() ? OwnerTexts::Unowned
                                                : m_ownerTexts->intern(m_text));
        }
        if (isFolder)
            m_list.addLimitOfEntry(m_list.size() - 1);
        return true;
    }

    BlockReader m_in;
    SnapshotList &m_list;
    Progress *m_progress;
    TextCodec::Encoding m_encoding = TextCodec::Encoding::Utf8;
    // Fields 6 to 15 of an entry line. Returns false when the link target is not valid in the
    // encoding; a bad value sets `error`.
    bool readDetails(Details &d, FileError &error) {
        const Field *f = m_fields + PlainFields;
        std::uint64_t v[8];
        for (int k = 0; k < 8; ++k) {
            if (!parseUInt64(f[k], v[k]) || (k < 4 && v[k] > UINT32_MAX)) {
                error = FileError::fromCode(FileError::InvalidValue);
                return true;
            }
        }
        if (v[0] == 0)
            return true; // nothing known of this entry
        if (v[7] >= 1'000'000'000 || !parseHex(f[9], d.capability)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return true;
        }
        d.mode = std::uint32_t(v[0]);
        d.uid = std::uint32_t(v[1]);
        d.gid = std::uint32_t(v[2]);
        d.links = std::uint32_t(v[3]);
        d.device = v[4];
        d.inode = v[5];
        d.rdev = v[6];
        d.nanoseconds = std::uint32_t(v[7]);
        return decode(f[8], d.linkTarget);
    }

    std::size_t fieldCount() const {
        return (m_details ? DetailFields : PlainFields) + (m_contents ? 1 : 0) +
               (m_changeTimes ? 1 : 0) + (m_packages ? 1 : 0);
    }

    bool m_escaped = false;
    bool m_details = false;
    bool m_contents = false;
    bool m_changeTimes = false;
    bool m_packages = false;
    Field m_fields[MostFields];
    QString m_name;
    QString m_folder;
    QString m_text;
    std::shared_ptr<OwnerTexts> m_ownerTexts = std::make_shared<OwnerTexts>();
    std::vector<std::uint32_t> m_owners;
};

} // namespace

namespace {

// Whether any text of the list needs an escape in a snapshot file. A folder of one space does:
// written plainly it would read as the previous entry's folder.
bool holdsEscapes(const SnapshotList &list, bool details, bool packages) {
    if (TextCodec::needsEscape(list.description) || TextCodec::needsEscape(list.source))
        return true;
    for (std::size_t k = 0; packages && k < list.packages()->size(); ++k) {
        if (TextCodec::needsEscape(list.packages()->text(std::uint32_t(k))))
            return true;
    }
    const FolderTable &folders = list.folders();
    for (std::uint32_t id = 0; id < folders.size(); ++id) {
        if (folders.text(id) == u" " || TextCodec::needsEscape(folders.text(id)))
            return true;
    }
    for (int i = 0; i < list.size(); ++i) {
        if (TextCodec::needsEscape(list.name(i)))
            return true;
        if (details && TextCodec::needsEscape(list.linkTarget(i)))
            return true;
    }
    return false;
}

void appendDetails(std::string &out, const Details &d) {
    for (const std::uint64_t value :
         {std::uint64_t(d.mode), std::uint64_t(d.uid), std::uint64_t(d.gid), std::uint64_t(d.links),
          d.device, d.inode, d.rdev, std::uint64_t(d.nanoseconds)}) {
        out.push_back(',');
        appendNumber(out, value);
    }
    out.push_back(',');
    appendText(out, d.linkTarget);
    out.append(",\"");
    appendHex(out, reinterpret_cast<const std::uint8_t *>(d.capability.constData()),
              std::size_t(d.capability.size()));
    out.push_back('"');
}

} // namespace

FileError saveSnapshot(const SnapshotList &list, bool isResultList, const QString &path,
                       Progress *progress, DetailsInFile details) {
    FileWriter writer;
    if (FileError err = writer.open(path))
        return err;
    if (FileError err = writeSnapshot(list, isResultList, writer, progress, details))
        return err;
    return writer.commit();
}

FileError writeSnapshot(const SnapshotList &list, bool isResultList, FileWriter &writer,
                        Progress *progress, DetailsInFile details) {
    const bool withDetails = details == DetailsInFile::Keep && list.hasDetails();
    const bool withContents = details == DetailsInFile::Keep && list.hasContents();
    const bool withPackages = details == DetailsInFile::Keep && list.hasPackages();
    const int n = list.size();
    if (progress)
        progress->total = n;
    std::string &out = writer.buffer();
    appendText(out, list.description);
    out.push_back(',');
    appendText(out, list.source);
    // The reserved field says whether the file holds escapes and details: readers of the plain
    // format, which ignore it, then read every file without them as we do.
    out.push_back(',');
    appendNumber(out, static_cast<std::int64_t>(
                          (holdsEscapes(list, withDetails, withPackages) ? Reserved::Escapes : 0) |
                          (withDetails ? Reserved::Details : 0) |
                          (withContents ? Reserved::Contents | Reserved::ChangeTimes : 0) |
                          (withPackages ? Reserved::Packages : 0)));
    out.push_back(',');
    appendNumber(out, static_cast<std::int64_t>(n));
    out.push_back(',');
    appendSerial(out, isResultList ? DateSerial::now() : list.created);
    out.append("\r\n");

    std::uint32_t previous = std::numeric_limits<std::uint32_t>::max(); // nothing written yet
    for (int i = 0; i < n; ++i) {
        const Entry &e = list.entry(i);
        appendText(out, list.name(i));
        out.push_back(',');
        if (e.folder == previous)
            out.append("\" \"");
        else if (list.folder(i) == u" ")
            out.append("\"|20\""); // written plainly it would read as the previous folder
        else
            appendText(out, list.folder(i));
        previous = e.folder;
        out.push_back(',');
        appendNumber(out, static_cast<std::int64_t>(e.attr));
        out.push_back(',');
        appendNumber(out, e.isFolder() ? std::uint64_t(0) : e.size);
        out.push_back(',');
        if (e.isFolder() || !e.hasTime())
            out.push_back('0');
        else
            appendSerial(out, e.modified);
        if (withDetails)
            appendDetails(out, list.details(i));
        if (withContents) {
            out.append(",\"");
            if (const Digest digest = list.digest(i); hasDigest(digest))
                appendHex(out, digest.data(), digest.size());
            out.append("\",");
            appendNumber(out, hasDigest(list.digest(i)) ? list.digestChangeTime(i) : 0);
        }
        if (withPackages) {
            out.push_back(',');
            const std::uint32_t owners = list.packageSet(i);
            appendText(out, owners == OwnerTexts::Unowned ? QString() : list.packageText(i));
        }
        out.append("\r\n");
        if (FileError err = writer.flushIfFull())
            return err;
        if (progress && (i & 1023) == 0)
            progress->count.store(i, std::memory_order_relaxed);
    }
    return {};
}

FileError readSnapshotHeader(const QString &path, SnapshotHeader &header) {
    ReadableFile file;
    if (FileError error = file.open(path))
        return error;
    FileError error;
    header = {};
    try {
        SnapshotList unused;
        Reader reader(file.fd(), unused, nullptr, 64 << 10);
        if (!reader.readHeader(header, error)) {
            reader.rewind();
            reader.setEncoding(TextCodec::Encoding::Windows1252);
            error = {};
            reader.readHeader(header, error);
        }
    } catch (const std::bad_alloc &) {
        error = FileError::fromCode(FileError::OutOfMemory);
    }
    if (error)
        header = {};
    return error;
}

FileError readSnapshot(const QString &path, SnapshotList &list, Progress *progress) {
    ReadableFile file;
    try {
        if (FileError error = file.open(path))
            return error;
    } catch (const std::bad_alloc &) {
        return FileError::fromCode(FileError::OutOfMemory);
    }
    return readSnapshot(file, list, progress);
}

FileError readSnapshot(const ReadableFile &file, SnapshotList &list, Progress *progress) {
    FileError error;
    bool outOfMemory = false;
    try {
        {
            Reader reader(file.fd(), list, progress);
            if (!reader.read(TextCodec::Encoding::Utf8, file.size(), error)) {
                // Not UTF-8: the file came from an older Windows system.
                list.clearEntries();
                reader.rewind();
                reader.read(TextCodec::Encoding::Windows1252, file.size(), error);
            }
        }
        if (!error)
            resort(list);
    } catch (const std::bad_alloc &) {
        // Whatever was read goes, outside the handler, once the reader's memory is given back.
        outOfMemory = true;
    }
    if (outOfMemory) {
        list.clearAfterFailure();
        return FileError::fromCode(FileError::OutOfMemory);
    }
    if (error)
        list.truncate(0);
    return error;
}
