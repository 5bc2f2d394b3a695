#include "MtreeExport.h"

#include "FileWriter.h"
#include "snapshot/DateSerial.h"
#include "snapshot/NameCodec.h"
#include "snapshot/SnapshotList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// A path or link target as one word of an mtree line: a byte that would end the word,
// start a comment or read as an escape is written in octal.
void appendWord(std::string &out, const QByteArray &bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F && !std::strchr("\\#*?[]", c)) {
            out.push_back(c);
        } else {
            out.push_back('\\');
            out.push_back(char('0' + (b >> 6)));
            out.push_back(char('0' + ((b >> 3) & 7)));
            out.push_back(char('0' + (b & 7)));
        }
    }
}

// mtree takes a name holding "*", "?" or "[" as a pattern (after undoing the octal): such a
// name gets a "\\" before each of those and before "]" and "\\", so that it matches itself alone.
QByteArray literalPath(const QByteArray &path) {
    QByteArray out;
    for (const QByteArray &name : path.split('/')) {
        if (!out.isEmpty())
            out += '/';
        if (std::strpbrk(name.constData(), "*?[") == nullptr) {
            out += name;
            continue;
        }
        for (const char c : name) {
            if (std::strchr("*?[]\\", c))
                out += '\\';
            out += c;
        }
    }
    return out;
}

const char *typeOf(std::uint32_t mode) {
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return "dir";
    case S_IFLNK:
        return "link";
    case S_IFBLK:
        return "block";
    case S_IFCHR:
        return "char";
    case S_IFIFO:
        return "fifo";
    case S_IFSOCK:
        return "socket";
    default:
        return "file";
    }
}

// The entries in an order that lists each folder before what it holds: by In Folder text, as
// a folder's text is the start of the texts of those below it.
std::vector<int> foldersFirst(const SnapshotList &list) {
    const FolderTable &folders = list.folders();
    std::vector<std::uint32_t> ids(folders.size());
    std::iota(ids.begin(), ids.end(), 0u);
    std::sort(ids.begin(), ids.end(),
              [&](std::uint32_t a, std::uint32_t b) { return folders.text(a) < folders.text(b); });
    std::vector<std::uint32_t> rank(folders.size());
    for (std::uint32_t k = 0; k < ids.size(); ++k)
        rank[ids[k]] = k;
    std::vector<int> order(static_cast<std::size_t>(list.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return rank[list.entry(a).folder] < rank[list.entry(b).folder];
    });
    return order;
}

void appendEntry(std::string &out, const SnapshotList &list, int i) {
    const QByteArray below = NameCodec::pathBytes(list.folder(i), list.name(i));
    if (below.isEmpty())
        return; // no file of the tree: a crafted snapshot's, which may point out of it
    const Entry &e = list.entry(i);
    const Details d = list.details(i);
    out.append("./");
    appendWord(out, literalPath(below));
    const std::uint32_t mode = d.known() ? d.mode : e.isFolder() ? S_IFDIR : S_IFREG;
    out.append(" type=");
    out.append(typeOf(mode));
    if (d.known()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, " mode=%#o uid=%u gid=%u", unsigned(d.mode & 07777), d.uid,
                      d.gid);
        out.append(buf);
        if (S_ISBLK(d.mode) || S_ISCHR(d.mode)) {
            std::snprintf(buf, sizeof buf, " device=native,%u,%u", major(d.rdev), minor(d.rdev));
            out.append(buf);
        }
        if (S_ISLNK(d.mode)) {
            out.append(" link=");
            appendWord(out, NameCodec::toBytes(d.linkTarget));
        }
    }
    if (S_ISREG(mode)) {
        out.append(" size=" + std::to_string(e.size));
        std::int64_t seconds = 0;
        // Without the nanoseconds the time could not match a file system that keeps them.
        if (d.known() && e.hasTime() && DateSerial::toUnixTime(e.modified, seconds)) {
            char buf[48];
            std::snprintf(buf, sizeof buf, " time=%lld.%09u", static_cast<long long>(seconds),
                          d.nanoseconds);
            out.append(buf);
        }
        if (hasDigest(list.digest(i)))
            out.append(" sha256digest=" + digestText(list.digest(i)).toStdString());
    }
    out.push_back('\n');
}

} // namespace

FileError exportMtree(const SnapshotList &list, const QString &path) {
    FileWriter writer;
    if (FileError err = writer.open(path))
        return err;
    std::string &out = writer.buffer();
    out.append("# written by Vistrel for mtree\n. type=dir\n");
    for (const int i : foldersFirst(list)) {
        appendEntry(out, list, i);
        if (FileError err = writer.flushIfFull())
            return err;
    }
    return writer.commit();
}
