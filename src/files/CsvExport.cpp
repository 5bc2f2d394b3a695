#include "CsvExport.h"

#include "../snapshot/EntryFormat.h"
#include "../snapshot/Progress.h"
#include "../snapshot/SnapshotList.h"
#include "FileWriter.h"
#include "TextCodec.h"

#include <charconv>

namespace {
// A quoted field; a double quote inside is doubled.
void appendField(std::string &out, QStringView text) {
    out.push_back('"');
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
} // namespace

FileError ExportCsv(const SnapshotList &list, const QString &path, const EntryFormatter &format,
                    Progress *progress) {
    FileWriter writer;
    if (FileError err = writer.open(path))
        return err;
    const int n = list.size();
    if (progress)
        progress->total = n;
    std::string &out = writer.buffer();
    for (int i = 0; i < n; ++i) {
        const Entry &e = list.entry(i);
        appendField(out, list.name(i));
        out.push_back(',');
        appendField(out, list.folder(i));
        out.push_back(',');
        appendField(out, format.sizeText(e));
        out.push_back(',');
        appendField(out, e.isFolder() || !e.hasTime() ? QString() : format.generalDate(e.modified));
        out.append(",\"");
        char buf[16];
        const auto res = std::to_chars(buf, buf + sizeof buf, e.attr);
        out.append(buf, res.ptr);
        out.append("\"\r\n");
        if (FileError err = writer.flushIfFull())
            return err;
        if (progress && (i & 1023) == 0)
            progress->count.store(i, std::memory_order_relaxed);
    }
    return writer.commit();
}
