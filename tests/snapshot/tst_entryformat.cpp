#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"

#include <QTest>
#include <cmath>

namespace {
const QLocale enGB(QLocale::English, QLocale::UnitedKingdom);
const QLocale enUS(QLocale::English, QLocale::UnitedStates);
const QLocale deDE(QLocale::German, QLocale::Germany);
} // namespace

class TestEntryFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void attrText_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << QString();
        QTest::newRow("folder") << 16 << QStringLiteral("Dir");
        QTest::newRow("read-only") << 1 << QStringLiteral("R/O");
        QTest::newRow("folder archive") << 48 << QStringLiteral("Dir,Arc");
        QTest::newRow("ro hid sys arc") << 39 << QStringLiteral("Sys,Hid,R/O,Arc");
        QTest::newRow("hidden system folder") << 22 << QStringLiteral("Sys,Dir,Hid");
        QTest::newRow("volume") << 8 << QStringLiteral("Vol");
        QTest::newRow("bits above 32 only") << 128 << QString();
        QTest::newRow("link bit ignored") << (1024 | 32) << QStringLiteral("Arc");
    }
    void attrText() {
        QFETCH(int, bits);
        QFETCH(QString, text);
        QCOMPARE(::attrText(bits), text);
    }

    void lastPathPart_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("part");
        QTest::newRow("windows folder")
            << QStringLiteral("C:\\Windows\\System") << QStringLiteral("System");
        QTest::newRow("drive root") << QStringLiteral("C:\\") << QString();
        QTest::newRow("bare name") << QStringLiteral("Untitled") << QStringLiteral("Untitled");
        QTest::newRow("posix path") << QStringLiteral("/home/user/Data") << QStringLiteral("Data");
        QTest::newRow("posix root") << QStringLiteral("/") << QString();
    }
    void lastPathPart() {
        QFETCH(QString, path);
        QFETCH(QString, part);
        QCOMPARE(::lastPathPart(path), part);
    }

    void sizes_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<qulonglong>("size");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("zero") << enGB << 0ull << QStringLiteral("0")
                              << QStringLiteral("000000000000");
        QTest::newRow("1.2 million")
            << enGB << 1200000ull << QStringLiteral("1,200,000") << QStringLiteral("000001200000");
        QTest::newRow("5 thousand million")
            << enUS << 5000000000ull << QStringLiteral("5,000,000,000")
            << QStringLiteral("005000000000");
        QTest::newRow("past 32 bits") << enGB << 3000000000ull << QStringLiteral("3,000,000,000")
                                      << QStringLiteral("003000000000");
        QTest::newRow("thirteen digits")
            << enGB << 1234567890123ull << QStringLiteral("1,234,567,890,123")
            << QStringLiteral("1234567890123");
        QTest::newRow("german grouping")
            << deDE << 1234567ull << QStringLiteral("1.234.567") << QStringLiteral("000001234567");
        QTest::newRow("largest") << enGB << 18446744073709551615ull
                                 << QStringLiteral("18,446,744,073,709,551,615")
                                 << QStringLiteral("18446744073709551615");
        // "###,###,###,##0" groups by threes in every locale, with the locale's separator.
        QTest::newRow("C locale") << QLocale::c() << 1234567ull << QStringLiteral("1,234,567")
                                  << QStringLiteral("000001234567");
        QTest::newRow("Indian grouping")
            << QLocale(QLocale::Hindi, QLocale::India) << 1234567ull << QStringLiteral("1,234,567")
            << QStringLiteral("000001234567");
        QTest::newRow("French separator")
            << QLocale(QLocale::French, QLocale::France) << 1234567ull
            << QStringLiteral("1\u202F234\u202F567") << QStringLiteral("000001234567");
    }
    void sizes() {
        QFETCH(QLocale, locale);
        QFETCH(qulonglong, size);
        QFETCH(QString, text);
        QFETCH(QString, key);
        const EntryFormatter format(locale);
        QCOMPARE(format.sizeText(size), text);
        QCOMPARE(zeroPaddedSize(size), key);
    }

    void serials_data() {
        QTest::addColumn<QDateTime>("local");
        QTest::addColumn<QString>("text");
        QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0))
                               << QStringLiteral("0");
        QTest::newRow("example") << QDateTime(QDate(2000, 1, 27), QTime(13, 1, 30))
                                 << QStringLiteral("36552.5427083333");
        QTest::newRow("six in the evening")
            << QDateTime(QDate(2000, 1, 26), QTime(18, 0)) << QStringLiteral("36551.75");
        QTest::newRow("midnight") << QDateTime(QDate(2024, 2, 29), QTime(0, 0))
                                  << QStringLiteral("45351");
        QTest::newRow("one second") << QDateTime(QDate(1899, 12, 30), QTime(0, 0, 1))
                                    << QStringLiteral("1.15740740740741E-05");
        QTest::newRow("before the epoch")
            << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << QStringLiteral("-1.25");
        QTest::newRow("last second of a day") << QDateTime(QDate(2020, 6, 1), QTime(23, 59, 59))
                                              << QStringLiteral("43983.9999884259");
    }
    void serials() {
        QFETCH(QDateTime, local);
        QFETCH(QString, text);
        const double serial = DateSerial::fromLocal(local.date(), local.time());
        QCOMPARE(serialText(serial), text);
        const DateSerial::LocalTime back = DateSerial::toLocal(serial);
        QCOMPARE(back.date, local.date());
        QCOMPARE(back.time, local.time());
        // The text read back names the same second.
        const DateSerial::LocalTime fromText = DateSerial::toLocal(text.toDouble());
        QCOMPARE(QDateTime(fromText.date, fromText.time), local);
    }

    void dateKeyUsesLocaleDecimalPoint() {
        const double serial = DateSerial::fromLocal(2000, 1, 27, 13, 1, 30);
        QCOMPARE(EntryFormatter(deDE).dateKey(serial), QStringLiteral("36552,5427083333"));
        QCOMPARE(EntryFormatter(enGB).dateKey(serial), QStringLiteral("36552.5427083333"));
    }

    void unixTimeToLocal() {
        // 2000-01-27 13:01:30 UTC is the same in London in winter, an hour later in summer.
        double serial = 0;
        QVERIFY(DateSerial::fromUnixTime(948978090, serial));
        QCOMPARE(serialText(serial), QStringLiteral("36552.5427083333"));
        QVERIFY(DateSerial::fromUnixTime(962000000, serial)); // 2000-06-26 06:13:20 UTC
        const DateSerial::LocalTime t = DateSerial::toLocal(serial);
        QCOMPARE(t.time, QTime(7, 13, 20));
    }

    void modifiedText_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("en_GB") << enGB << QStringLiteral("27/01/2000  13:01");
        QTest::newRow("en_US") << enUS
                               << enUS.toString(QDate(2000, 1, 27), QLocale::ShortFormat) +
                                      QStringLiteral("  ") +
                                      enUS.toString(QTime(13, 1, 30), QLocale::ShortFormat);
    }
    void modifiedText() {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        const EntryFormatter format(locale);
        QCOMPARE(format.modifiedText(DateSerial::fromLocal(2000, 1, 27, 13, 1, 30)), text);
        QVERIFY(text.contains(QStringLiteral("  ")));
        QVERIFY(!text.contains(QStringLiteral("   ")));
    }

    void generalDate_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("local");
        QTest::addColumn<QString>("text");
        QTest::newRow("en_GB") << enGB << QDateTime(QDate(2000, 1, 26), QTime(18, 0))
                               << QStringLiteral("26/01/2000 18:00:00");
        QTest::newRow("midnight") << enGB << QDateTime(QDate(2000, 1, 26), QTime(0, 0))
                                  << QStringLiteral("26/01/2000");
        QTest::newRow("german") << deDE << QDateTime(QDate(2000, 1, 26), QTime(7, 8, 9))
                                << QStringLiteral("26.01.00 07:08:09");
    }
    void generalDate() {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, local);
        QFETCH(QString, text);
        const EntryFormatter format(locale);
        QCOMPARE(format.generalDate(DateSerial::fromLocal(local.date(), local.time())), text);
    }

    void generalDateTwelveHour() {
        const EntryFormatter format(enUS);
        const QString text = format.generalDate(DateSerial::fromLocal(2000, 1, 26, 18, 5, 9));
        const QString date = enUS.toString(QDate(2000, 1, 26), QLocale::ShortFormat);
        QVERIFY2(text.startsWith(date + QStringLiteral(" 6:05:09")), qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral("PM")), qPrintable(text));
    }

    void entryColumns() {
        SnapshotList list;
        const double t = DateSerial::fromLocal(2000, 1, 27, 13, 1, 30);
        list.append(u"ReadMe.TXT", u"", 33, 1234, t);
        list.append(u"ReadMe.TXT", u"Docs\\Old\\", 32, 0, t);
        list.append(u"Sub", u"", 48, 0, std::nan(""));
        const EntryFormatter f(enGB);
        const QStringList first = {QStringLiteral("ReadMe.TXT"),
                                   QString(),
                                   QStringLiteral("readme.txt"),
                                   QStringLiteral("1,234"),
                                   QStringLiteral("000000001234"),
                                   QString(),
                                   QStringLiteral("27/01/2000  13:01"),
                                   QStringLiteral("36552.5427083333"),
                                   QString(),
                                   QStringLiteral("R/O,Arc"),
                                   QStringLiteral("33"),
                                   QString()};
        for (int c = 0; c < Col::PlainCount; ++c)
            QCOMPARE(f.text(list, 0, c), first[c]);
        QCOMPARE(f.text(list, 1, Col::MatchKey), QStringLiteral("docs\\old\\readme.txt"));
        QCOMPARE(f.text(list, 1, Col::Size), QStringLiteral("0"));
        QCOMPARE(f.text(list, 1, Col::SizeKey), QStringLiteral("000000000000"));
        // A folder has no size key, no time and shows "<dir>".
        QCOMPARE(f.text(list, 2, Col::Size), QStringLiteral("<dir>"));
        QVERIFY(f.text(list, 2, Col::SizeKey).isEmpty());
        QVERIFY(f.text(list, 2, Col::Modified).isEmpty());
        QVERIFY(f.text(list, 2, Col::DateKey).isEmpty());
        QCOMPARE(f.text(list, 2, Col::Attributes), QStringLiteral("Dir,Arc"));
        // A name from a file can hold control characters: the lists show them as "|XX".
        list.append(u"E\x1B[2J\u009B", u"T\x07\\", 32, 1, t);
        QCOMPARE(f.text(list, 3, Col::Name), QStringLiteral("E|1B[2J|9B"));
        QCOMPARE(f.text(list, 3, Col::InFolder), QStringLiteral("T|07\\"));
        QCOMPARE(f.text(list, 3, Col::MatchKey), QStringLiteral("t|07\\e|1B[2j|9B"));
    }

    void origColumns_data() {
        QTest::addColumn<int>("differ");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("modified");
        QTest::addColumn<QString>("attr");
        QTest::newRow("archive only")
            << 32 << QStringLiteral("(same)") << QStringLiteral("(same)") << QStringLiteral("R/O");
        QTest::newRow("size") << 256 << QStringLiteral("99") << QStringLiteral("(same)")
                              << QStringLiteral("(same)");
        QTest::newRow("time and size")
            << 768 << QStringLiteral("99") << QStringLiteral("26/01/2000  18:00")
            << QStringLiteral("(same)");
    }
    void origColumns() {
        QFETCH(int, differ);
        QFETCH(QString, size);
        QFETCH(QString, modified);
        QFETCH(QString, attr);
        SnapshotList from, changed;
        from.append(u"a.txt", u"", 32, 100, DateSerial::fromLocal(2000, 1, 27, 0, 0, 0));
        const OrigValues orig{99, DateSerial::fromLocal(2000, 1, 26, 18, 0, 0), 1,
                              static_cast<std::uint16_t>(differ)};
        changed.appendCopy(from, 0, &orig);
        const EntryFormatter f(enGB);
        QCOMPARE(f.text(changed, 0, Col::OrigSize), size);
        QCOMPARE(f.text(changed, 0, Col::OrigModified), modified);
        QCOMPARE(f.text(changed, 0, Col::OrigAttr), attr);
        QCOMPARE(f.text(changed, 0, Col::Size), QStringLiteral("100"));
        QVERIFY(f.text(from, 0, Col::OrigSize).isEmpty());
    }

    void headerColumns_data() {
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("clicked");
        QTest::addColumn<int>("key");
        QTest::newRow("name") << 1 << 0 << 0;
        QTest::newRow("in folder") << 3 << 1 << 1;
        QTest::newRow("size") << 1 << 3 << 4;
        QTest::newRow("modified") << 6 << 6 << 7;
        QTest::newRow("attributes") << 2 << 9 << 10;
        QTest::newRow("changed size") << 5 << 3 << 4;
        QTest::newRow("orig size refused") << 5 << 5 << -1;
        QTest::newRow("orig modified refused") << 5 << 8 << -1;
        QTest::newRow("orig attr refused") << 5 << 11 << -1;
        QTest::newRow("orig size elsewhere") << 1 << 5 << 5;
        QTest::newRow("widened key column") << 1 << 2 << 2;
    }
    void headerColumns() {
        QFETCH(int, list);
        QFETCH(int, clicked);
        QFETCH(int, key);
        QCOMPARE(headerSortKey(Lists::atIndex(std::size_t(list - 1)), clicked), key);
    }

    // Copies from a list that was cleared and filled again since: its folder numbers now name
    // other folders, and the copies must keep to the texts.
    void copiesFollowARefilledList() {
        SnapshotList from, to;
        from.append(u"a", u"one\\", 32, 1, 1.0);
        from.append(u"b", u"two\\", 32, 2, 1.0);
        to.appendCopy(from, 0);
        to.appendCopy(from, 1);
        from.clearEntries();
        from.append(u"c", u"three\\", 32, 3, 1.0);
        to.appendCopy(from, 0);
        QCOMPARE(to.folder(0), u"one\\");
        QCOMPARE(to.folder(1), u"two\\");
        QCOMPARE(to.folder(2), u"three\\");
    }

    void timeFormatWithSeconds_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QTime>("time");
        QTest::newRow("en_GB") << enGB << QTime(18, 5, 9);
        QTest::newRow("en_US") << enUS << QTime(18, 5, 9);
        QTest::newRow("de_DE") << deDE << QTime(7, 5, 9);
        QTest::newRow("fi_FI") << QLocale(QLocale::Finnish, QLocale::Finland) << QTime(7, 5, 9);
    }
    void timeFormatWithSeconds() {
        QFETCH(QLocale, locale);
        QFETCH(QTime, time);
        const QString format = ::timeFormatWithSeconds(locale);
        const QString text = locale.toString(time, format);
        QVERIFY2(text.contains(QStringLiteral("09")), qPrintable(text));
        QVERIFY2(text.startsWith(locale.toString(time, QLocale::ShortFormat).left(4)),
                 qPrintable(text));
        QVERIFY(!format.contains(u't'));
    }
};

QTEST_GUILESS_MAIN(TestEntryFormat)
#include "tst_entryformat.moc"
