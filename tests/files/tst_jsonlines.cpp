#include "files/JsonLines.h"
#include "snapshot/AccountNames.h"
#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/WhatChanged.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <limits>
#include <sys/sysmacros.h>

using namespace Qt::StringLiterals;

namespace {

QJsonObject parsed(const QByteArray &line) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        qWarning("not a JSON object: %s (%s)", line.constData(), qPrintable(error.errorString()));
    return doc.object();
}

// One line, ended by its only line feed: what a line-by-line reader needs.
bool oneLine(const QByteArray &line) {
    return line.endsWith('\n') && line.count('\n') == 1 && !line.contains('\r');
}

// A name of random characters, the troublesome ones often: controls, quotes, backslashes,
// "|", line and paragraph separators, characters beyond the BMP.
QString randomName(QRandomGenerator &rng) {
    static const char32_t special[] = {0x01,   0x09,   0x0A,   0x0D,    0x1F, '"',
                                       '\\',   '|',    '/',    0x7F,    0xE9, 0x130,
                                       0x2028, 0x2029, 0xFEFF, 0x1F600, 0x85, 0x9B};
    QString name;
    const int length = 1 + int(rng.bounded(12));
    for (int k = 0; k < length; ++k) {
        char32_t c;
        switch (rng.bounded(3)) {
        case 0:
            c = special[rng.bounded(int(std::size(special)))];
            break;
        case 1:
            c = 0x20 + rng.bounded(0x5F);
            break;
        default:
            do
                c = rng.bounded(0x110000);
            while (c >= 0xD800 && c <= 0xDFFF);
        }
        name += QString::fromUcs4(&c, 1);
    }
    return name;
}

// ---- The reference: the same object made with Qt's JSON classes. ----

QJsonValue referenceSize(std::uint64_t size) {
    return size > std::uint64_t(std::numeric_limits<qint64>::max()) ? QJsonValue(double(size))
                                                                    : QJsonValue(qint64(size));
}

void referenceValues(QJsonObject &o, std::uint64_t size, double modified, std::int32_t attr,
                     const Details &d) {
    const bool folder = attr & 16;
    o[u"size"] = folder ? QJsonValue() : referenceSize(size);
    o[u"modified"] = folder || !DateSerial::isValid(modified)
                         ? QJsonValue()
                         : QJsonValue(QDateTime(DateSerial::toLocal(modified).date,
                                                DateSerial::toLocal(modified).time)
                                          .toString(Qt::ISODate));
    o[u"attributes"] = attrText(attr);
    o[u"attrBits"] = attr;
    if (!d.known())
        return;
    o[u"permissions"] = permissionsText(d.mode);
    o[u"mode"] = QString::number(d.mode & 07777, 8).rightJustified(4, u'0');
    o[u"uid"] = qint64(d.uid);
    o[u"owner"] = AccountNames::user(d.uid);
    o[u"gid"] = qint64(d.gid);
    o[u"group"] = AccountNames::group(d.gid);
    o[u"links"] = qint64(d.links);
    o[u"inode"] = referenceSize(d.inode);
    if (!d.linkTarget.isEmpty())
        o[u"link"] = d.linkTarget;
    if (d.rdev)
        o[u"device"] = QStringLiteral("%1,%2").arg(major(d.rdev)).arg(minor(d.rdev));
    if (!d.capability.isEmpty())
        o[u"capability"] = QString::fromLatin1(d.capability.toHex());
}

QJsonObject reference(const SnapshotList &list, int i, const QString &listName) {
    const Entry &e = list.entry(i);
    QJsonObject o{
        {u"list"_s, listName}, {u"name"_s, list.name(i).toString()}, {u"folder"_s, list.folder(i)}};
    referenceValues(o, e.size, e.modified, e.attr, list.details(i));
    if (hasDigest(list.digest(i)))
        o[u"sha256"] = digestText(list.digest(i));
    if (!list.hasOrig())
        return o;
    const OrigValues &orig = list.orig(i);
    QJsonObject original;
    referenceValues(original, orig.size, orig.modified, orig.attr, list.origDetails(i));
    o[u"original"] = original;
    QJsonArray differs;
    const char *names[] = {"size",  "modified", "attributes", "mode",         "owner",
                           "group", "link",     "device",     "capabilities", "contents"};
    const std::uint32_t bits[] = {
        Differ::Size,  Differ::Stamp, Differ::AttrBitsMask, Differ::Mode,       Differ::Owner,
        Differ::Group, Differ::Link,  Differ::Device,       Differ::Capability, Differ::Contents};
    for (std::size_t k = 0; k < std::size(names); ++k) {
        if (orig.differ & bits[k])
            differs.append(QLatin1String(names[k]));
    }
    o[u"differs"] = differs;
    if (list.hasDetails())
        o[u"rpmFlags"] = changeLetters(orig.differ);
    return o;
}

Details randomDetails(QRandomGenerator &rng) {
    Details d;
    if (rng.bounded(4) == 0)
        return d; // not known
    const std::uint32_t types[] = {0100000, 040000, 0120000, 020000, 010000};
    d.mode = types[rng.bounded(5)] | rng.bounded(010000);
    d.uid = rng.bounded(3) == 0 ? rng.generate() : 0;
    d.gid = rng.bounded(3) == 0 ? rng.generate() : 0;
    d.links = rng.generate();
    d.inode = rng.bounded(2) ? rng.generate64() : rng.bounded(1000);
    if (rng.bounded(3) == 0)
        d.rdev = makedev(rng.bounded(300), rng.bounded(300));
    if (rng.bounded(3) == 0)
        d.linkTarget = randomName(rng);
    if (rng.bounded(4) == 0)
        d.capability = QByteArray::number(rng.generate64());
    return d;
}

} // namespace

class TestJsonLines : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void values_data() {
        QTest::addColumn<int>("attr");
        QTest::addColumn<qulonglong>("size");
        QTest::addColumn<double>("modified");
        QTest::addColumn<QJsonValue>("expectedSize");
        QTest::addColumn<QJsonValue>("expectedTime");
        QTest::addColumn<QString>("attributes");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const auto at = [](int y, int mo, int d, int h, int mi, int s) {
            return DateSerial::fromLocal(y, mo, d, h, mi, s);
        };
        QTest::newRow("file") << 32 << 56ull << at(2000, 1, 26, 18, 0, 5) << QJsonValue(56)
                              << QJsonValue(QStringLiteral("2000-01-26T18:00:05"))
                              << QStringLiteral("Arc");
        QTest::newRow("hidden read-only file at midnight")
            << 35 << 0ull << at(2001, 2, 3, 0, 0, 0) << QJsonValue(0)
            << QJsonValue(QStringLiteral("2001-02-03T00:00:00")) << QStringLiteral("Hid,R/O,Arc");
        QTest::newRow("folder: no size, no time")
            << 16 << 4096ull << at(2001, 2, 3, 1, 2, 3) << QJsonValue() << QJsonValue()
            << QStringLiteral("Dir");
        QTest::newRow("file without a time")
            << 32 << 7ull << nan << QJsonValue(7) << QJsonValue() << QStringLiteral("Arc");
        QTest::newRow("before the serial epoch")
            << 32 << 1ull << -1.25 << QJsonValue(1)
            << QJsonValue(QStringLiteral("1899-12-29T06:00:00")) << QStringLiteral("Arc");
        QTest::newRow("last second a calendar shows")
            << 32 << 1ull << at(9999, 12, 31, 23, 59, 59) << QJsonValue(1)
            << QJsonValue(QStringLiteral("9999-12-31T23:59:59")) << QStringLiteral("Arc");
        QTest::newRow("time out of range")
            << 32 << 1ull << 1e12 << QJsonValue(1) << QJsonValue() << QStringLiteral("Arc");
        QTest::newRow("largest exact size")
            << 32 << 9223372036854775807ull << at(2020, 6, 1, 12, 0, 0)
            << QJsonValue(qint64(9223372036854775807LL))
            << QJsonValue(QStringLiteral("2020-06-01T12:00:00")) << QStringLiteral("Arc");
        QTest::newRow("size beyond 2^63")
            << 32 << 18446744073709551615ull << at(2020, 6, 1, 12, 0, 0)
            << QJsonValue(1.8446744073709552e19)
            << QJsonValue(QStringLiteral("2020-06-01T12:00:00")) << QStringLiteral("Arc");
        QTest::newRow("symbolic link, system")
            << 1060 << 9ull << at(2020, 6, 1, 12, 0, 0) << QJsonValue(9)
            << QJsonValue(QStringLiteral("2020-06-01T12:00:00")) << QStringLiteral("Sys,Arc");
    }

    void values() {
        QFETCH(int, attr);
        QFETCH(qulonglong, size);
        QFETCH(double, modified);
        QFETCH(QJsonValue, expectedSize);
        QFETCH(QJsonValue, expectedTime);
        QFETCH(QString, attributes);
        SnapshotList list;
        list.append(u"n", u"sub\\", attr, size, modified);
        const QByteArray line = jsonLine(list, 0, QStringLiteral("Final"));
        QVERIFY(oneLine(line));
        const QJsonObject o = parsed(line);
        QCOMPARE(o.value(u"list"), QJsonValue(QStringLiteral("Final")));
        QCOMPARE(o.value(u"name"), QJsonValue(QStringLiteral("n")));
        QCOMPARE(o.value(u"folder"), QJsonValue(QStringLiteral("sub\\")));
        QCOMPARE(o.value(u"size"), expectedSize);
        QCOMPARE(o.value(u"modified"), expectedTime);
        QCOMPARE(o.value(u"attributes"), QJsonValue(attributes));
        QCOMPARE(o.value(u"attrBits"), QJsonValue(attr));
        QVERIFY(!o.contains(u"original"));
        // Integers are written as digits, never in exponent form, while they stay exact.
        if (expectedSize.isDouble() && size < (1ull << 63))
            QVERIFY(line.contains("\"size\":" + QByteArray::number(size)));
    }

    void changedEntryCarriesTheOriginal() {
        SnapshotList original, changed;
        original.append(u"a.txt", u"", 32, 5, DateSerial::fromLocal(2020, 1, 1, 10, 0, 0));
        SnapshotList final;
        final.append(u"a.txt", u"", 33, 13, DateSerial::fromLocal(2020, 1, 1, 10, 0, 0));
        const OrigValues orig{5, original.entry(0).modified, 32, Differ::Size | 1};
        changed.appendCopy(final, 0, &orig);
        const QJsonObject o = parsed(jsonLine(changed, 0, QStringLiteral("Changed")));
        QCOMPARE(o.value(u"size"), QJsonValue(13));
        QCOMPARE(o.value(u"attributes"), QJsonValue(QStringLiteral("R/O,Arc")));
        const QJsonObject was = o.value(u"original").toObject();
        QCOMPARE(was.value(u"size"), QJsonValue(5));
        QCOMPARE(was.value(u"modified"), QJsonValue(QStringLiteral("2020-01-01T10:00:00")));
        QCOMPARE(was.value(u"attributes"), QJsonValue(QStringLiteral("Arc")));
        QCOMPARE(was.value(u"attrBits"), QJsonValue(32));
        QCOMPARE(o.value(u"differs").toArray(),
                 QJsonArray({QStringLiteral("size"), QStringLiteral("attributes")}));
    }

    // Random entries, Changed ones with the Original's values among them: each line reads back
    // as the object Qt's JSON classes make of the same entry, and holds no byte a terminal
    // takes as a command.
    void sameAsQtsWriter() {
        QRandomGenerator rng(25);
        SnapshotList final, changed;
        for (int k = 0; k < 3000; ++k) {
            const int attr = rng.bounded(3) == 0 ? 16 : int(rng.bounded(64));
            const std::uint64_t size = rng.bounded(2) ? rng.generate64() : rng.bounded(100);
            const double modified = rng.bounded(10) == 0 ? std::nan("") : 30000 + k * 1.37;
            final.append(randomName(rng), final.internFolder(randomName(rng) + u'\\'), attr, size,
                         modified, randomDetails(rng));
            if (rng.bounded(2))
                final.setDigest(final.size() - 1, Digest{std::uint8_t(1 + rng.bounded(255))});
            SnapshotList original;
            original.append(u"o", original.internFolder(u""), int(rng.bounded(64)),
                            rng.generate64(), 20000.5, randomDetails(rng));
            const OrigValues orig{rng.generate64(), 20000.5, std::int32_t(rng.bounded(64)),
                                  rng.generate()};
            changed.appendChanged(final, k, orig, original, 0);
        }
        for (const SnapshotList *list : {&final, &changed}) {
            JsonLines lines(u"Changed \x7f"_s);
            std::string text;
            for (int i = 0; i < list->size(); ++i) {
                const std::size_t start = text.size();
                lines.append(text, *list, i);
                const QByteArray line = QByteArray::fromStdString(text.substr(start));
                QVERIFY2(oneLine(line), line.constData());
                QCOMPARE(parsed(line), reference(*list, i, u"Changed \x7f"_s));
            }
            QVERIFY(!QByteArray::fromStdString(text).contains('\x7f'));
            QVERIFY(!QString::fromStdString(text).contains(QRegularExpression(u"[\\x80-\\x9f]"_s)));
        }
    }

    // Whatever a name or folder holds comes back the same from a JSON reader, on one line.
    void anyTextRoundTrips() {
        QRandomGenerator rng(17);
        SnapshotList list;
        for (int k = 0; k < 2000; ++k)
            list.append(randomName(rng), randomName(rng) + u'\\', 32, k, 40000.5);
        for (int i = 0; i < list.size(); ++i) {
            const QByteArray line = jsonLine(list, i, QStringLiteral("Unchanged"));
            QVERIFY2(oneLine(line), line.constData());
            const QJsonObject o = parsed(line);
            QCOMPARE(o.value(u"name").toString(), list.name(i).toString());
            QCOMPARE(o.value(u"folder").toString(), list.folder(i));
        }
    }
};

QTEST_APPLESS_MAIN(TestJsonLines)
#include "tst_jsonlines.moc"
