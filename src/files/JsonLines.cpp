#include "JsonLines.h"

#include "snapshot/AccountNames.h"
#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/WhatChanged.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sys/sysmacros.h>
#include <utility>

namespace {

QJsonValue isoTime(double serial) {
    if (std::isnan(serial) || !DateSerial::isValid(serial))
        return QJsonValue::Null;
    const DateSerial::LocalTime t = DateSerial::toLocal(serial);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.date.year(), t.date.month(),
                  t.date.day(), t.time.hour(), t.time.minute(), t.time.second());
    return QLatin1String(text);
}

// Integers stay exact up to 2^63; JSON readers take larger ones as approximate numbers anyway.
QJsonValue sizeValue(std::uint64_t size) {
    if (size > std::uint64_t(std::numeric_limits<qint64>::max()))
        return double(size);
    return qint64(size);
}

void putValues(QJsonObject &o, std::uint64_t size, double modified, std::int32_t attr) {
    const bool folder = attr & Attr::Directory;
    o.insert(QLatin1String("size"), folder ? QJsonValue() : sizeValue(size));
    o.insert(QLatin1String("modified"), folder ? QJsonValue() : isoTime(modified));
    o.insert(QLatin1String("attributes"), attrText(attr));
    o.insert(QLatin1String("attrBits"), attr);
}

QJsonArray differences(std::uint32_t differ) {
    const std::pair<std::uint32_t, const char *> names[] = {
        {Differ::Size, "size"}, {Differ::Stamp, "modified"}, {Differ::AttrBitsMask, "attributes"},
        {Differ::Mode, "mode"}, {Differ::Owner, "owner"},    {Differ::Group, "group"},
        {Differ::Link, "link"}, {Differ::Device, "device"},  {Differ::Capability, "capabilities"}};
    QJsonArray which;
    for (const auto &[bit, name] : names) {
        if (differ & bit)
            which.append(QLatin1String(name));
    }
    return which;
}

// An entry's details, when they are known. Owners and groups by number and by the name this
// system gives them.
void putDetails(QJsonObject &o, const Details &d) {
    if (!d.known())
        return;
    o.insert(QLatin1String("permissions"), permissionsText(d.mode));
    o.insert(QLatin1String("mode"), QStringLiteral("%1").arg(d.mode & 07777, 4, 8, QChar(u'0')));
    o.insert(QLatin1String("uid"), qint64(d.uid));
    o.insert(QLatin1String("owner"), AccountNames::user(d.uid));
    o.insert(QLatin1String("gid"), qint64(d.gid));
    o.insert(QLatin1String("group"), AccountNames::group(d.gid));
    o.insert(QLatin1String("links"), qint64(d.links));
    o.insert(QLatin1String("inode"), sizeValue(d.inode));
    if (!d.linkTarget.isEmpty())
        o.insert(QLatin1String("link"), d.linkTarget);
    if (d.rdev)
        o.insert(QLatin1String("device"),
                 QStringLiteral("%1,%2").arg(major(d.rdev)).arg(minor(d.rdev)));
    if (!d.capability.isEmpty())
        o.insert(QLatin1String("capability"), QString::fromLatin1(d.capability.toHex()));
}

// Qt's writer escapes the C0 controls but writes DEL and the C1 controls (U+0080 to U+009F) as
// they are, which a terminal takes as commands. As \u escapes they are the same text to any
// JSON reader. Outside strings a line is ASCII without DEL, so bytes can be replaced blindly.
void escapeControls(QByteArray &line) {
    const auto byteAt = [&line](qsizetype i) { return static_cast<unsigned char>(line[i]); };
    const auto isControlAt = [&](qsizetype i) {
        return byteAt(i) == 0x7F || (byteAt(i) == 0xC2 && i + 1 < line.size() &&
                                     byteAt(i + 1) >= 0x80 && byteAt(i + 1) <= 0x9F);
    };
    qsizetype i = 0;
    while (i < line.size() && !isControlAt(i))
        ++i;
    if (i == line.size())
        return;
    QByteArray out = line.first(i);
    out.reserve(line.size() + 16);
    while (i < line.size()) {
        if (!isControlAt(i)) {
            out += line[i++];
            continue;
        }
        const bool del = byteAt(i) == 0x7F;
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", del ? 0x7F : byteAt(i + 1));
        out += escape;
        i += del ? 1 : 2;
    }
    line = out;
}

} // namespace

QByteArray jsonLine(const SnapshotList &list, int i, const QString &listName) {
    const Entry &e = list.entry(i);
    QJsonObject o;
    o.insert(QLatin1String("list"), listName);
    o.insert(QLatin1String("name"), list.name(i).toString());
    o.insert(QLatin1String("folder"), list.folder(i));
    putValues(o, e.size, e.modified, e.attr);
    putDetails(o, list.details(i));
    if (const Digest digest = list.digest(i); hasDigest(digest))
        o.insert(QLatin1String("sha256"), digestText(digest));
    if (list.hasOrig()) {
        const OrigValues &orig = list.orig(i);
        QJsonObject original;
        putValues(original, orig.size, orig.modified, orig.attr);
        putDetails(original, list.origDetails(i));
        o.insert(QLatin1String("original"), original);
        o.insert(QLatin1String("differs"), differences(orig.differ));
        if (list.hasDetails())
            o.insert(QLatin1String("rpmFlags"), changeLetters(orig.differ));
    }
    QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact);
    escapeControls(line);
    line += '\n';
    return line;
}
