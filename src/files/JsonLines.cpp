#include "JsonLines.h"

#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <limits>

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
    o.insert(QLatin1String("attributes"), AttrText(attr));
    o.insert(QLatin1String("attrBits"), attr);
}

QJsonArray differences(std::uint16_t differ) {
    QJsonArray which;
    if (differ & Differ::Size)
        which.append(QLatin1String("size"));
    if (differ & Differ::Stamp)
        which.append(QLatin1String("modified"));
    if (differ & Differ::AttrBitsMask)
        which.append(QLatin1String("attributes"));
    return which;
}

} // namespace

QByteArray JsonLine(const SnapshotList &list, int i, const QString &listName) {
    const Entry &e = list.entry(i);
    QJsonObject o;
    o.insert(QLatin1String("list"), listName);
    o.insert(QLatin1String("name"), list.name(i).toString());
    o.insert(QLatin1String("folder"), list.folder(i));
    putValues(o, e.size, e.modified, e.attr);
    if (list.hasOrig()) {
        const OrigValues &orig = list.orig(i);
        QJsonObject original;
        putValues(original, orig.size, orig.modified, orig.attr);
        o.insert(QLatin1String("original"), original);
        o.insert(QLatin1String("differs"), differences(orig.differ));
    }
    QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact);
    line += '\n';
    return line;
}
