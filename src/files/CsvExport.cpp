#include "CsvExport.h"

#include "FileWriter.h"
#include "TextCodec.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Progress.h"
#include "snapshot/SnapshotList.h"

#include "snapshot/Columns.h"
#include "snapshot/DateSerial.h"

#include <charconv>
#include <limits>
#include <unordered_map>

namespace {
// A spreadsheet takes a cell that starts so as a formula (=HYPERLINK(...), @SUM(...)), and a
// name or a folder can be anything; with a leading ' it shows the text as it is.
bool startsLikeFormula(QStringView text) {
    static constexpr char16_t Starts[] = u"=+-@\t\r";
    return !text.isEmpty() &&
           std::u16string_view(Starts).find(text.front().unicode()) != std::u16string_view::npos;
}

// A quoted field; a double quote inside is doubled, a formula neutralised.
void appendField(std::string &out, QStringView text) {
    out.push_back('"');
    if (startsLikeFormula(text))
        out.push_back('\'');
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'"') {
            TextCodec::appendUtf8(out, text.mid(start, i - start + 1));
            out.push_back('"');
            start = i + 1;
        }
    }
    TextCodec::appendUtf8(out, text.mid(start));
    out.push_back('"');
}
void appendGrouped(std::string &out, std::uint64_t value, const std::string &separator) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    const int n = static_cast<int>(res.ptr - digits);
    for (int k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0)
            out += separator;
        out.push_back(digits[k]);
    }
}

// The texts of the date and time fields ("General Date"), made once per day and per second of
// the day.
class DateFields {
public:
    explicit DateFields(const EntryFormatter &format) : m_format(format), m_times(86400) {}

    void append(std::string &out, double serial) {
        if (!DateSerial::isValid(serial))
            return;
        std::int64_t day;
        int secs;
        DateSerial::split(serial, day, secs);
        auto it = m_dates.find(day);
        if (it == m_dates.end()) {
            std::string text;
            // The locale's formats make the text, so it is a field's start like any other.
            if (startsLikeFormula(m_format.dateText(day)))
                text.push_back('\'');
            TextCodec::appendUtf8(text, m_format.dateText(day));
            it = m_dates.emplace(day, std::move(text)).first;
        }
        out += it->second;
        if (secs == 0)
            return;
        std::string &time = m_times[static_cast<std::size_t>(secs)];
        if (time.empty()) {
            time.push_back(' ');
            TextCodec::appendUtf8(time, m_format.timeText(secs, true));
        }
        out += time;
    }

private:
    const EntryFormatter &m_format;
    std::unordered_map<std::int64_t, std::string> m_dates;
    std::vector<std::string> m_times;
};

// The fields a POSIX scan adds, after the five.
void appendDetails(std::string &out, const SnapshotList &list, int i,
                   const EntryFormatter &format) {
    for (const int column : {Col::Permissions, Col::Owner, Col::Group}) {
        out.push_back(',');
        appendField(out, format.text(list, i, column));
    }
    out.push_back(',');
    appendField(out, list.linkTarget(i)); // as it is, as names are
    out.push_back(',');
    appendField(out, format.text(list, i, Col::Sha256));
    if (list.hasOrig()) {
        out.push_back(',');
        appendField(out, format.text(list, i, Col::WhatChanged));
    }
}

} // namespace

FileError exportCsv(const SnapshotList &list, const QString &path, const EntryFormatter &format,
                    Progress *progress, CsvColumns columns) {
    FileWriter writer;
    if (FileError err = writer.open(path))
        return err;
    const int n = list.size();
    if (progress)
        progress->total = n;
    std::string &out = writer.buffer();
    DateFields dates(format);
    const bool fastSizes = !format.groupSeparator().contains(u'"');
    std::string separator;
    TextCodec::appendUtf8(separator, format.groupSeparator());
    std::uint32_t lastFolder = std::numeric_limits<std::uint32_t>::max();
    std::string folderField;
    for (int i = 0; i < n; ++i) {
        const Entry &e = list.entry(i);
        appendField(out, list.name(i));
        out.push_back(',');
        if (e.folder != lastFolder) {
            lastFolder = e.folder;
            folderField.clear();
            appendField(folderField, list.folder(i));
        }
        out += folderField;
        out.push_back(',');
        if (e.isFolder() || !fastSizes) {
            appendField(out, format.sizeText(e));
        } else {
            out.push_back('"');
            appendGrouped(out, e.size, separator);
            out.push_back('"');
        }
        out.append(",\"");
        if (!e.isFolder() && e.hasTime())
            dates.append(out, e.modified);
        out.append("\",\"");
        char buf[16];
        const auto res = std::to_chars(buf, buf + sizeof buf, e.attr);
        out.append(buf, res.ptr);
        out.push_back('"');
        if (columns == CsvColumns::WithDetails)
            appendDetails(out, list, i, format);
        out.append("\r\n");
        if (FileError err = writer.flushIfFull())
            return err;
        if (progress && (i & 1023) == 0)
            progress->count.store(i, std::memory_order_relaxed);
    }
    return writer.commit();
}
