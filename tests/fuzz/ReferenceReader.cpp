#include "ReferenceReader.h"

#include "files/PosixRead.h"
#include "files/ReadableFile.h"
#include "files/SnapshotFile.h"
#include "files/TextCodec.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"
#include "sort/ColumnSorts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>

namespace {

// Reads the file in blocks and splits it into the fields of the format: quoted text or bare
// values, separated by commas or line ends.
class FieldReader {
public:
    explicit FieldReader(int fd) : m_fd(fd), m_buf(BlockSize, '\0') {}

    // Skips blank lines between records; false at the end of the file.
    bool atRecordStart() {
        for (;;) {
            const int c = peek();
            if (c < 0)
                return false;
            if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
                return true;
            ++m_pos;
        }
    }

    // Reads one field into `field`. Returns false at the end of the file (or on a read error,
    // which `error()` then holds).
    bool next(std::string &field, bool &quoted) {
        field.clear();
        int c = peek();
        while (c == ' ' || c == '\t') {
            ++m_pos;
            c = peek();
        }
        if (c < 0)
            return false;
        quoted = c == '"';
        if (quoted) {
            ++m_pos;
            for (;;) {
                // Copy up to the closing quote in one piece when the buffer holds it.
                if (peek() < 0)
                    return false;
                const char *start = m_buf.data() + m_pos;
                const auto *quote =
                    static_cast<const char *>(std::memchr(start, '"', m_end - m_pos));
                if (quote) {
                    field.append(start, quote);
                    m_pos += static_cast<std::size_t>(quote - start) + 1;
                    break;
                }
                field.append(start, m_end - m_pos);
                m_pos = m_end;
            }
            // Anything between the closing quote and the delimiter is ignored.
            while ((c = peek()) >= 0 && c != ',' && c != '\r' && c != '\n')
                ++m_pos;
        } else {
            while ((c = peek()) >= 0 && c != ',' && c != '\r' && c != '\n') {
                std::size_t end = m_pos;
                while (end < m_end && m_buf[end] != ',' && m_buf[end] != '\r' && m_buf[end] != '\n')
                    ++end;
                field.append(m_buf.data() + m_pos, end - m_pos);
                m_pos = end;
            }
            while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
                field.pop_back();
        }
        if (c == ',') {
            ++m_pos;
        } else if (c == '\r') {
            ++m_pos;
            if (peek() == '\n')
                ++m_pos;
        } else if (c == '\n') {
            ++m_pos;
        }
        return true;
    }

    FileError error() const { return m_error; }
    void rewind() {
        lseek(m_fd, 0, SEEK_SET);
        m_pos = m_end = 0;
        m_eof = false;
    }

private:
    static constexpr std::size_t BlockSize = 1 << 20;

    int peek() {
        if (m_pos < m_end)
            return static_cast<unsigned char>(m_buf[m_pos]);
        if (m_eof || !refill())
            return -1;
        return static_cast<unsigned char>(m_buf[m_pos]);
    }

    bool refill() {
        const ssize_t n = readRetrying(m_fd, m_buf.data(), BlockSize);
        if (n < 0)
            m_error = FileError::fromErrno(errno);
        if (n <= 0) {
            m_eof = true;
            return false;
        }
        m_pos = 0;
        m_end = static_cast<std::size_t>(n);
        return true;
    }

    int m_fd;
    std::string m_buf;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_eof = false;
    FileError m_error;
};

bool parseDouble(const std::string &text, double &value) {
    if (text.empty()) {
        value = 0;
        return true;
    }
    const char *begin = text.data();
    if (*begin == '+')
        ++begin;
    const auto res = std::from_chars(begin, text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() && std::isfinite(value);
}

bool parseInt32(const std::string &text, std::int32_t &value) {
    const char *begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const char *end = text.data() + text.size();
    if (begin != end) {
        const auto res = std::from_chars(begin, end, value);
        if (res.ec == std::errc() && res.ptr == end)
            return true;
    }
    double d;
    if (!parseDouble(text, d) || d < -2147483648.0 || d > 2147483647.0)
        return false;
    // Whole numbers as the conversion of a number to an integer rounds them.
    value = static_cast<std::int32_t>(std::nearbyint(d));
    return true;
}

bool parseSize(const std::string &text, std::uint64_t &value) {
    if (text.empty()) {
        value = 0;
        return true;
    }
    const char *begin = text.data() + (text[0] == '+' ? 1 : 0);
    const char *end = text.data() + text.size();
    const auto res = std::from_chars(begin, end, value);
    if (res.ec == std::errc() && res.ptr == end)
        return true;
    // A size written in exponent form by an older writer.
    double d;
    if (!parseDouble(text, d) || d < 0 || d >= 18446744073709551616.0 || d != std::floor(d))
        return false;
    value = static_cast<std::uint64_t>(d);
    return true;
}

class Reader {
public:
    Reader(int fd, std::int64_t fileSize, SnapshotList &list)
        : m_fields(fd), m_fileSize(fileSize), m_list(list) {}

    // Returns false when a text is not valid in the encoding being tried.
    bool read(TextCodec::Encoding encoding, FileError &error) {
        m_encoding = encoding;
        error = {};
        m_ownerTexts = std::make_shared<OwnerTexts>();
        m_owners.clear();
        if (!readHeader(error))
            return error.code != BadEncoding;
        // The previous folder starts as a single space, which the first entry line never uses.
        constexpr std::uint32_t NoFolder = std::numeric_limits<std::uint32_t>::max();
        std::uint32_t previous = NoFolder;
        m_list.addLimit(QStringView());
        std::int64_t entries = 0;
        while (m_fields.atRecordStart()) {
            if (!readFields(error, m_owned ? 6 : 5))
                return error.code != BadEncoding;
            const Field &folder = m_values[1];
            if (folder.quoted && folder.text == " ") {
                if (previous == NoFolder)
                    previous = m_list.internFolder(u" ");
            } else {
                if (!decode(folder.text, m_folder))
                    return false;
                previous = m_list.internFolder(m_folder);
            }
            if (!addEntry(previous, error))
                return error.code != BadEncoding;
            ++entries;
        }
        error = m_fields.error();
        if (m_owned)
            m_list.setPackages(m_ownerTexts, m_owners);
        if (!error && entries != m_stated)
            error = FileError::wrongEntryCount(m_stated, entries);
        return true;
    }

    static constexpr int BadEncoding = -1;
    void rewind() { m_fields.rewind(); }

private:
    struct Field {
        std::string text;
        bool quoted = false;
    };

    bool readFields(FileError &error, int count = 5) {
        for (int k = 0; k < count; ++k) {
            Field &f = m_values[k];
            if (!m_fields.next(f.text, f.quoted)) {
                error = m_fields.error() ? m_fields.error()
                                         : FileError::fromCode(FileError::InputPastEnd);
                return false;
            }
        }
        return true;
    }

    bool decode(const std::string &bytes, QString &out) {
        return TextCodec::decodeField(bytes.data(), bytes.size(), m_encoding, m_escaped, out);
    }

    bool readHeader(FileError &error) {
        SnapshotHeader header;
        if (!parseHeader(header, error))
            return false;
        m_list.description = header.description;
        m_list.source = header.source;
        m_list.created = header.created;
        // The count is only a hint: a few bytes must not reserve room for millions of entries.
        // No entry line is shorter than eight bytes.
        if (header.entries > 0)
            m_list.reserve(static_cast<std::size_t>(
                std::min<std::int64_t>({header.entries, 1 << 24, m_fileSize / 8})));
        return true;
    }

    bool parseHeader(SnapshotHeader &header, FileError &error) {
        if (!readFields(error))
            return false;
        // Escapes are ours: a file written without them (by us or by another program) keeps
        // "|" followed by two hex digits as it stands. 16 (with or without them) says that each
        // entry line ends with the text of its owners.
        std::int32_t reserved = 0;
        if (!parseInt32(m_values[2].text, reserved))
            reserved = 0;
        m_escaped = reserved == 1 || reserved == 17;
        m_owned = reserved == 16 || reserved == 17;
        if (!decode(m_values[0].text, header.description) ||
            !decode(m_values[1].text, header.source)) {
            error.code = BadEncoding;
            return false;
        }
        if (!parseDouble(m_values[4].text, header.created) ||
            !DateSerial::isValid(header.created)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return false;
        }
        if (!parseInt32(m_values[3].text, header.entries)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return false;
        }
        m_stated = header.entries;
        return true;
    }

    bool addEntry(std::uint32_t folder, FileError &error) {
        if (!decode(m_values[0].text, m_name)) {
            error.code = BadEncoding;
            return false;
        }
        std::int32_t attr;
        std::uint64_t size;
        double modified;
        if (!parseInt32(m_values[2].text, attr) || !parseSize(m_values[3].text, size) ||
            !parseDouble(m_values[4].text, modified)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return false;
        }
        if (attr & 16) {
            size = 0;
            modified = std::nan("");
        } else if (!DateSerial::isValid(modified)) {
            error = FileError::fromCode(FileError::InvalidValue);
            return false;
        }
        m_list.append(m_name, folder, attr, size, modified);
        if (m_owned) {
            if (!decode(m_values[5].text, m_owner)) {
                error.code = BadEncoding;
                return false;
            }
            m_owners.push_back(m_owner.isEmpty() ? 0 : m_ownerTexts->intern(m_owner));
        }
        if (attr & 16)
            m_list.addLimitOfEntry(m_list.size() - 1);
        return true;
    }

    FieldReader m_fields;
    std::int64_t m_fileSize;
    SnapshotList &m_list;
    TextCodec::Encoding m_encoding = TextCodec::Encoding::Utf8;
    bool m_escaped = false;
    bool m_owned = false;
    std::int64_t m_stated = 0; // the entry count the header states
    Field m_values[6];
    QString m_name;
    QString m_folder;
    QString m_owner;
    std::shared_ptr<OwnerTexts> m_ownerTexts = std::make_shared<OwnerTexts>();
    std::vector<std::uint32_t> m_owners;
};

} // namespace

FileError ReadSnapshotFieldByField(const QString &path, SnapshotList &list) {
    ReadableFile file;
    if (FileError error = file.open(path))
        return error;
    FileError error;
    {
        Reader reader(file.fd(), file.size(), list);
        if (!reader.read(TextCodec::Encoding::Utf8, error)) {
            list.clearEntries();
            reader.rewind();
            reader.read(TextCodec::Encoding::Windows1252, error);
        }
    }
    if (error)
        list.truncate(0);
    else
        resort(list);
    return error;
}
