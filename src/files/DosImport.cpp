#include "DosImport.h"

#include "PosixRead.h"
#include "ReadableFile.h"
#include "TextCodec.h"
#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/Progress.h"
#include "snapshot/SnapshotList.h"
#include "sort/ColumnSorts.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Where the fields of an entry line stand, in columns counted from 1 after the line's leading
// spaces are removed. The short name always takes columns 1 to 8 and its extension 10 to 12.
struct Layout {
    int dirAt;      // "<DIR>"
    int sizeEnd;    // last column of the right-aligned size
    int dateAt;     // eight columns of date
    int hourAt;     // two columns of hours, then ":" and two of minutes
    int meridiemAt; // "a" or "p" of a 12-hour time; 0 for a 24-hour one
    bool longName;  // a long name may follow from LongNameAt
};

constexpr Layout Windows24{16, 26, 29, 39, 0, true};
constexpr Layout Windows12{16, 26, 29, 38, 43, true};
constexpr Layout Dos62{14, 26, 28, 38, 43, false};
constexpr Layout Dos5{14, 22, 24, 34, 39, false};

// Sizes of a thousand million bytes and more need 13 or 14 columns and so reach back to the
// column after the extension.
constexpr int SizeStart = 13;
constexpr int LongNameAt = 45;
constexpr int DateWidth = 8;

const QString Header = QStringLiteral("Directory of ");
const QString DirMark = QStringLiteral("<DIR>");

QChar at(QStringView line, int column) {
    return column >= 1 && column <= line.size() ? line[column - 1] : QChar();
}

QStringView columns(QStringView line, int first, int count) {
    const qsizetype start = first - 1;
    if (start >= line.size())
        return {};
    QStringView part = line.mid(start, std::min<qsizetype>(count, line.size() - start));
    // A character beyond the BMP takes two columns; one that a column range cuts in half is
    // left out, so no name holds half a character (which no file could store).
    if (!part.isEmpty() && part.front().isLowSurrogate())
        part = part.mid(1);
    if (!part.isEmpty() && part.back().isHighSurrogate())
        part.chop(1);
    return part;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool isDateSeparator(QChar c) {
    return c == u'/' || c == u'-' || c == u'.';
}
bool isMeridiem(QChar c) {
    return c == u'a' || c == u'p' || c == u'A' || c == u'P';
}

QStringView trimmedRight(QStringView text) {
    while (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

// The layout of an entry line, or none for any other line. The two layouts with the colon in
// column 40 differ only in where the date stands.
const Layout *layoutOf(QStringView line) {
    if (at(line, 41) == u':')
        return &Windows24;
    if (at(line, 40) == u':' && isMeridiem(at(line, 43))) {
        if (isDateSeparator(at(line, 31)) && isDateSeparator(at(line, 34)))
            return &Windows12;
        if (isDateSeparator(at(line, 30)) && isDateSeparator(at(line, 33)))
            return &Dos62;
        return nullptr;
    }
    if (at(line, 36) == u':' && isMeridiem(at(line, 39)))
        return &Dos5;
    return nullptr;
}

// Day, month and year as the locale's short date format orders them, as letters of "dmy".
std::array<char, 3> dateOrder(const QLocale &locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    std::array<char, 3> order{};
    int found = 0;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted)
            continue;
        const char part = c == u'd' ? 'd' : c == u'M' ? 'm' : c == u'y' ? 'y' : 0;
        if (part && std::find(order.begin(), order.begin() + found, part) == order.begin() + found)
            order[static_cast<std::size_t>(found++)] = part;
        if (found == 3)
            return order;
    }
    for (const char part : {'d', 'm', 'y'}) {
        if (std::find(order.begin(), order.begin() + found, part) == order.begin() + found)
            order[static_cast<std::size_t>(found++)] = part;
    }
    return order;
}

bool readDate(QStringView field, const std::array<char, 3> &order, int &year, int &month,
              int &day) {
    field = field.trimmed();
    qsizetype pos = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        if (k > 0) {
            if (pos >= field.size() || !isDateSeparator(field[pos]))
                return false;
            ++pos;
        }
        int value = 0;
        int digits = 0;
        while (pos < field.size() && isDigit(field[pos]) && digits < 4) {
            value = value * 10 + (field[pos].unicode() - u'0');
            ++digits;
            ++pos;
        }
        if (order[k] == 'y') {
            if (digits == 2)
                year = value < 30 ? 2000 + value : 1900 + value;
            else if (digits == 4)
                year = value;
            else
                return false;
        } else if (digits < 1 || digits > 2) {
            return false;
        } else {
            (order[k] == 'd' ? day : month) = value;
        }
    }
    return pos == field.size() && QDate::isValid(year, month, day);
}

bool readTime(QStringView line, const Layout &layout, int &hour, int &minute) {
    const QChar h1 = at(line, layout.hourAt);
    const QChar h2 = at(line, layout.hourAt + 1);
    const QChar m1 = at(line, layout.hourAt + 3);
    const QChar m2 = at(line, layout.hourAt + 4);
    if (!isDigit(h2) || !(isDigit(h1) || h1 == u' ') || !isDigit(m1) || !isDigit(m2))
        return false;
    hour = (h1 == u' ' ? 0 : (h1.unicode() - u'0') * 10) + (h2.unicode() - u'0');
    minute = (m1.unicode() - u'0') * 10 + (m2.unicode() - u'0');
    if (minute > 59)
        return false;
    if (layout.meridiemAt == 0)
        return hour < 24;
    if (hour < 1 || hour > 12)
        return false;
    const QChar meridiem = at(line, layout.meridiemAt);
    hour = hour % 12 + (meridiem == u'p' || meridiem == u'P' ? 12 : 0);
    return true;
}

// Every digit of the field in order; separators and spaces are skipped. At most 14 columns,
// so the value cannot overflow.
std::uint64_t readSize(QStringView line, const Layout &layout) {
    std::uint64_t size = 0;
    for (const QChar c : columns(line, SizeStart, layout.sizeEnd - SizeStart + 1)) {
        if (isDigit(c))
            size = size * 10 + (c.unicode() - u'0');
    }
    return size;
}

// Whether a file can be read again from its start: a pipe or a terminal cannot.
bool rewindable(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

// Splits the file into lines, reading it in large blocks. A line ends at CR LF, LF or CR.
// Input that cannot be read again (a pipe) is kept whole as it comes, so that it can be read
// once more in another encoding.
class LineReader {
public:
    explicit LineReader(int fd) : m_fd(fd), m_buf(BlockSize), m_keep(!rewindable(fd)) {}

    // The next line without its line end; false at the end of the file or on a read error.
    bool next(const char *&line, std::size_t &size) {
        for (;;) {
            const char *begin = m_buf.data() + m_pos;
            const char *end = m_buf.data() + m_end;
            const char *stop = begin;
            while (stop != end && *stop != '\n' && *stop != '\r')
                ++stop;
            // A CR LF split by the end of a block reads as an extra blank line, which every
            // caller ignores.
            if (stop != end || (m_eof && stop != begin)) {
                line = begin;
                size = static_cast<std::size_t>(stop - begin);
                m_pos += size;
                if (stop != end) {
                    ++m_pos;
                    if (*stop == '\r' && m_pos < m_end && m_buf[m_pos] == '\n')
                        ++m_pos;
                }
                return true;
            }
            if (m_eof || !fill())
                return false;
        }
    }

    void rewind() {
        m_pos = 0;
        if (m_keep)
            return; // what was read is all still here, and the rest follows
        ::lseek(m_fd, 0, SEEK_SET);
        m_end = 0;
        m_eof = false;
        m_error = {};
    }

    const FileError &error() const { return m_error; }

private:
    static constexpr std::size_t BlockSize = 1 << 20;

    // Keeps the unread rest, makes room and reads on. False when the file has ended.
    bool fill() {
        if (m_pos > 0 && !m_keep) {
            std::memmove(m_buf.data(), m_buf.data() + m_pos, m_end - m_pos);
            m_end -= m_pos;
            m_pos = 0;
        }
        if (m_end == m_buf.size())
            m_buf.resize(m_buf.size() * 2);
        const ssize_t n = readRetrying(m_fd, m_buf.data() + m_end, m_buf.size() - m_end);
        if (n < 0)
            m_error = FileError::fromErrno(errno);
        if (n <= 0) {
            m_eof = true;
            return m_error.ok() && m_end > 0;
        }
        m_end += static_cast<std::size_t>(n);
        return true;
    }

    int m_fd;
    std::vector<char> m_buf;
    bool m_keep;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
    FileError m_error;
};

class Importer {
public:
    Importer(int fd, SnapshotList &list, const QLocale &locale, Progress *progress)
        : m_lines(fd), m_list(list), m_order(dateOrder(locale)), m_progress(progress) {}

    void run(DosImportResult &result) {
        // Listings from old systems are 8-bit text; a file that is valid UTF-8 throughout was
        // converted by a newer one. A single pass usually settles it, because lines of plain
        // ASCII read the same either way.
        while (!pass(result)) {
            m_encoding = TextCodec::Encoding::Windows1252;
            m_lines.rewind();
            m_list.clearEntries();
            result = {};
        }
    }

private:
    // Returns false when the file turned out not to be UTF-8 after lines were read as such.
    bool pass(DosImportResult &result) {
        m_list.source.clear();
        m_list.addLimit(QStringView());
        m_haveRoot = false;
        m_recognised = false;
        m_folderText.clear();
        m_folder = m_list.internFolder(QStringView());
        bool first = true;
        const char *data;
        std::size_t size;
        while (m_lines.next(data, size)) {
            if (first && size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
                data += 3;
                size -= 3;
            }
            first = false;
            if (!decode(data, size))
                return false;
            QStringView line(m_line);
            while (!line.isEmpty() && line.front() == u' ')
                line = line.mid(1);
            if (!readLine(line, result)) {
                result.failed = true;
                result.failingLine = line.toString();
                return !(m_encoding == TextCodec::Encoding::Utf8 && m_sawHigh && !restIsUtf8());
            }
        }
        if (m_lines.error()) {
            result.error = m_lines.error();
            result.failed = true;
            result.title = result.error.message();
        } else if (!m_recognised) {
            // Not one line is a header or an entry of a layout known: whatever this is, it is
            // no listing (an empty folder's has its header), and an empty snapshot would say
            // otherwise.
            result.failed = true;
            result.title = QStringLiteral("Not a DIR /S listing");
        }
        return true;
    }

    // Decodes a line into m_line. Returns false when a line is not UTF-8 although earlier
    // lines were read as UTF-8 text that Windows-1252 would read differently.
    bool decode(const char *data, std::size_t size) {
        m_line.resize(static_cast<qsizetype>(size));
        auto *out = reinterpret_cast<char16_t *>(m_line.data());
        unsigned char high = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const auto c = static_cast<unsigned char>(data[i]);
            high |= c;
            out[i] = c;
        }
        if (!(high & 0x80))
            return true;
        if (m_encoding == TextCodec::Encoding::Utf8) {
            if (TextCodec::isValidUtf8(data, size)) {
                m_sawHigh = true;
                return TextCodec::decodeField(data, size, m_encoding, false, m_line);
            }
            if (m_sawHigh)
                return false;
            m_encoding = TextCodec::Encoding::Windows1252;
        }
        return TextCodec::decodeField(data, size, m_encoding, false, m_line);
    }

    bool restIsUtf8() {
        const char *data;
        std::size_t size;
        while (m_lines.next(data, size)) {
            if (!TextCodec::isValidUtf8(data, size))
                return false;
        }
        return true;
    }

    // Returns false, with the title set, when the line cannot be read.
    bool readLine(QStringView line, DosImportResult &result) {
        if (line.startsWith(Header)) {
            m_recognised = true;
            readHeader(line);
            return true;
        }
        const Layout *layout = layoutOf(line);
        if (!layout)
            return true;
        m_recognised = true;
        QStringView name;
        if (layout->longName)
            name = columns(line, LongNameAt, line.size());
        if (name.isEmpty())
            name = shortName(line);
        if (columns(line, layout->dirAt, DirMark.size()) == DirMark) {
            if (at(line, 1) == u'.')
                return true;
            m_list.append(name, m_folder, Attr::Directory, 0, std::nan(""));
            m_list.addLimitOfEntry(m_list.size() - 1);
            return true;
        }
        int year = 0, month = 0, day = 0, hour = 0, minute = 0;
        if (!readDate(columns(line, layout->dateAt, DateWidth), m_order, year, month, day)) {
            result.title = QStringLiteral("Unreadable date");
            return false;
        }
        if (!readTime(line, *layout, hour, minute)) {
            result.title = QStringLiteral("Unreadable time");
            return false;
        }
        m_list.append(name, m_folder, 0, readSize(line, *layout),
                      DateSerial::fromLocal(year, month, day, hour, minute, 0));
        return true;
    }

    void readHeader(QStringView line) {
        // DOS writes the root as "Directory of A:\ "; without its trailing space the root
        // length below skips exactly the backslash after the root.
        line = trimmedRight(line);
        if (!m_haveRoot) {
            m_haveRoot = true;
            m_list.source = QStringLiteral("Imported ");
            m_list.source.append(line);
            m_rootLength = line.size() + (line.endsWith(u'\\') ? 1 : 2);
        }
        const QStringView relative = columns(line, static_cast<int>(m_rootLength), line.size());
        m_folderText = relative.toString();
        if (!m_folderText.isEmpty())
            m_folderText.append(u'\\');
        m_folder = m_list.internFolder(m_folderText);
        if (m_progress) {
            m_progress->count.store(m_list.size(), std::memory_order_relaxed);
            if (m_progress->wantsText())
                m_progress->setText(m_folderText);
        }
    }

    // Columns 1 to 8, and "." and columns 10 to 12 when there is an extension.
    QStringView shortName(QStringView line) {
        const QStringView base = trimmedRight(columns(line, 1, 8));
        const QStringView extension = trimmedRight(columns(line, 10, 3));
        qsizetype n = 0;
        for (const QChar c : base)
            m_shortName[n++] = c.unicode();
        if (!extension.isEmpty()) {
            m_shortName[n++] = u'.';
            for (const QChar c : extension)
                m_shortName[n++] = c.unicode();
        }
        return QStringView(m_shortName, n);
    }

    LineReader m_lines;
    SnapshotList &m_list;
    const std::array<char, 3> m_order;
    Progress *m_progress;
    TextCodec::Encoding m_encoding = TextCodec::Encoding::Utf8;
    bool m_sawHigh = false; // a line with non-ASCII characters was read as UTF-8
    QString m_line;
    char16_t m_shortName[12];
    bool m_haveRoot = false;
    bool m_recognised = false; // a line was a header or an entry line
    qsizetype m_rootLength = 0;
    QString m_folderText;
    std::uint32_t m_folder = 0;
};

} // namespace

DosImportResult importDosListing(const QString &path, SnapshotList &list, const QLocale &locale,
                                 Progress *progress) {
    ReadableFile file;
    if (FileError error = file.open(path)) {
        DosImportResult result;
        result.error = error;
        result.failed = true;
        result.title = error.message();
        return result;
    }
    return importDosListing(file, path, list, locale, progress);
}

DosImportResult importDosListing(const ReadableFile &file, const QString &path, SnapshotList &list,
                                 const QLocale &locale, Progress *progress) {
    DosImportResult result;
    list.fileName = QStringLiteral("Untitled");
    list.description = QFileInfo(path).absoluteFilePath();
    list.created = DateSerial::now();
    list.source.clear();
    // An entry line takes at least 40 bytes; reserved room that stays unused is never touched.
    bool outOfMemory = false;
    try {
        list.reserve(static_cast<std::size_t>(std::min<std::int64_t>(file.size() / 40, 1 << 26)));
        Importer(file.fd(), list, locale, progress).run(result);
        resort(list);
    } catch (const std::bad_alloc &) {
        // What was read goes, outside the handler, once the importer's memory is given back.
        outOfMemory = true;
    }
    if (outOfMemory) {
        list.clearAfterFailure();
        result = {};
        result.error = FileError::fromCode(FileError::OutOfMemory);
        result.failed = true;
        result.title = result.error.message();
    }
    return result;
}

QString presetTolerance(const QString &text) {
    return text == u"0" ? QStringLiteral("1") : text;
}
