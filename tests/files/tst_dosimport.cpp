#include "files/DosImport.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Progress.h"
#include "snapshot/SnapshotList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QLocale British(QLocale::English, QLocale::UnitedKingdom);
const QLocale American(QLocale::English, QLocale::UnitedStates);
const QLocale Japanese(QLocale::Japanese, QLocale::Japan);

// Entry lines as the DIR command of each system writes them: short name and extension, the
// size (or "<DIR>") right-aligned in its field, the date and the time, and under Windows the
// long name after a space.
constexpr QStringView Dir = u"<DIR>";

QString shortName(QStringView base, QStringView ext) {
    return base.toString().leftJustified(8) + u' ' + ext.toString().leftJustified(3);
}

QString sizeField(QStringView size, const QString &dirField, int width) {
    return size == Dir ? dirField.leftJustified(width) : size.toString().rightJustified(width);
}

QString withLongName(QString line, QStringView longName) {
    if (!longName.isEmpty())
        line += u' ' + longName.toString();
    return line;
}

QString win24(QStringView base, QStringView ext, QStringView size, QStringView date,
              QStringView time, QStringView longName = {}) {
    return withLongName(shortName(base, ext) + sizeField(size, u"   <DIR>"_s, 14) + u"  "_s +
                            date.toString() + u"  "_s + time.toString(),
                        longName);
}

QString win12(QStringView base, QStringView ext, QStringView size, QStringView date,
              QStringView time, QStringView longName = {}) {
    return withLongName(shortName(base, ext) + sizeField(size, u"   <DIR>"_s, 14) + u"  "_s +
                            date.toString() + u' ' + time.toString().rightJustified(6),
                        longName);
}

QString dos62(QStringView base, QStringView ext, QStringView size, QStringView date,
              QStringView time) {
    return shortName(base, ext) + sizeField(size, u" <DIR>"_s, 14) + u' ' + date.toString() +
           u"  "_s + time.toString().rightJustified(6);
}

QString dos5(QStringView base, QStringView ext, QStringView size, QStringView date,
             QStringView time) {
    return shortName(base, ext) + sizeField(size, u" <DIR>"_s, 10) + u' ' + date.toString() +
           u"  "_s + time.toString().rightJustified(6);
}

QByteArray crlf(const QStringList &lines) {
    return (lines.join(u"\r\n") + u"\r\n"_s).toLatin1();
}

// Each entry as "In Folder|Name|size", with "<dir>" as a folder's size.
QStringList entryTexts(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        out << list.folder(i) + u'|' + list.name(i).toString() + u'|' +
                   (e.isFolder() ? u"<dir>"_s : QString::number(e.size));
    }
    return out;
}

QStringList limitTexts(const SnapshotList &list) {
    QStringList out;
    for (std::size_t k = 0; k < list.limits.size(); ++k)
        out << list.limitText(k);
    return out;
}

} // namespace

class TestDosImport : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString write(const QByteArray &content) {
        const QString path = m_dir.filePath(u"listing%1.txt"_s.arg(++m_count));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write the listing");
        return path;
    }

    DosImportResult import(const QByteArray &content, SnapshotList &list,
                           const QLocale &locale = British, Progress *progress = nullptr) {
        return importDosListing(write(content), list, locale, progress);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void entryLine_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qulonglong>("size");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");

        // Windows 95/98 with 24-hour times.
        QTest::newRow("24h long name")
            << British
            << win24(u"COMMAND", u"COM", u"93,890", u"24/08/96", u"11:11", u"COMMAND.COM")
            << u"COMMAND.COM"_s << 93890ull << QDate(1996, 8, 24) << QTime(11, 11);
        QTest::newRow("24h long name with spaces")
            << British
            << win24(u"PROGRA~1", u"TXT", u"12", u"01/02/98", u"00:00", u"Program notes.old.txt")
            << u"Program notes.old.txt"_s << 12ull << QDate(1998, 2, 1) << QTime(0, 0);
        QTest::newRow("24h short name with extension")
            << British << win24(u"FOO", u"TXT", u"5", u"31/12/99", u"23:59") << u"FOO.TXT"_s << 5ull
            << QDate(1999, 12, 31) << QTime(23, 59);
        QTest::newRow("24h short name without extension")
            << British << win24(u"FOO", u"", u"5", u"31/12/99", u"23:59") << u"FOO"_s << 5ull
            << QDate(1999, 12, 31) << QTime(23, 59);
        QTest::newRow("24h full short name")
            << British << win24(u"ABCDEFGH", u"IJK", u"0", u"01/01/00", u"12:00")
            << u"ABCDEFGH.IJK"_s << 0ull << QDate(2000, 1, 1) << QTime(12, 0);
        QTest::newRow("24h name starting with a dot")
            << British << win24(u"PROFIL~1", u"", u"1,024", u"05/06/97", u"08:30", u".profile")
            << u".profile"_s << 1024ull << QDate(1997, 6, 5) << QTime(8, 30);
        QTest::newRow("24h size with separators")
            << British << win24(u"BIG", u"DAT", u"1,234,567", u"05/06/97", u"08:30") << u"BIG.DAT"_s
            << 1234567ull << QDate(1997, 6, 5) << QTime(8, 30);
        QTest::newRow("24h size without separators")
            << British << win24(u"BIG", u"DAT", u"1234567", u"05/06/97", u"08:30") << u"BIG.DAT"_s
            << 1234567ull << QDate(1997, 6, 5) << QTime(8, 30);
        QTest::newRow("24h size of 2 GiB")
            << British << win24(u"HUGE", u"DAT", u"2,147,483,648", u"05/06/97", u"08:30")
            << u"HUGE.DAT"_s << 2147483648ull << QDate(1997, 6, 5) << QTime(8, 30);
        QTest::newRow("24h size of 4 GiB less a byte")
            << British << win24(u"HUGE", u"DAT", u"4,294,967,295", u"05/06/97", u"08:30")
            << u"HUGE.DAT"_s << 4294967295ull << QDate(1997, 6, 5) << QTime(8, 30);
        QTest::newRow("24h size filling the field")
            << British << win24(u"HUGE", u"DAT", u"12,345,678,901", u"05/06/97", u"08:30")
            << u"HUGE.DAT"_s << 12345678901ull << QDate(1997, 6, 5) << QTime(8, 30);
        QTest::newRow("24h one-digit hour")
            << British << win24(u"A", u"", u"1", u"05/06/97", u" 8:30") << u"A"_s << 1ull
            << QDate(1997, 6, 5) << QTime(8, 30);

        // Dates in the locale's order, with any separator; two-digit years from 1930 to 2029.
        QTest::newRow("US order") << American << win24(u"A", u"", u"1", u"08-24-96", u"11:11")
                                  << u"A"_s << 1ull << QDate(1996, 8, 24) << QTime(11, 11);
        QTest::newRow("dots") << British << win24(u"A", u"", u"1", u"24.08.96", u"11:11") << u"A"_s
                              << 1ull << QDate(1996, 8, 24) << QTime(11, 11);
        QTest::newRow("mixed separators")
            << British << win24(u"A", u"", u"1", u"24-08/96", u"11:11") << u"A"_s << 1ull
            << QDate(1996, 8, 24) << QTime(11, 11);
        QTest::newRow("one-digit day and month, four-digit year")
            << American << win24(u"A", u"", u"1", u"8/4/1996", u"11:11") << u"A"_s << 1ull
            << QDate(1996, 8, 4) << QTime(11, 11);
        QTest::newRow("year first") << Japanese << win24(u"A", u"", u"1", u"96/08/24", u"11:11")
                                    << u"A"_s << 1ull << QDate(1996, 8, 24) << QTime(11, 11);
        QTest::newRow("year 00") << British << win24(u"A", u"", u"1", u"29/02/00", u"11:11")
                                 << u"A"_s << 1ull << QDate(2000, 2, 29) << QTime(11, 11);
        QTest::newRow("year 29") << British << win24(u"A", u"", u"1", u"01/03/29", u"11:11")
                                 << u"A"_s << 1ull << QDate(2029, 3, 1) << QTime(11, 11);
        QTest::newRow("year 30") << British << win24(u"A", u"", u"1", u"01/03/30", u"11:11")
                                 << u"A"_s << 1ull << QDate(1930, 3, 1) << QTime(11, 11);
        QTest::newRow("year 99") << British << win24(u"A", u"", u"1", u"01/03/99", u"11:11")
                                 << u"A"_s << 1ull << QDate(1999, 3, 1) << QTime(11, 11);

        // Windows 95/98 with 12-hour times.
        QTest::newRow("12h morning")
            << American
            << win12(u"COMMAND", u"COM", u"93,890", u"08-24-96", u"11:11a", u"COMMAND.COM")
            << u"COMMAND.COM"_s << 93890ull << QDate(1996, 8, 24) << QTime(11, 11);
        QTest::newRow("12h one-digit hour")
            << American
            << win12(u"COMMAND", u"COM", u"93,890", u"08-24-96", u"1:05p", u"COMMAND.COM")
            << u"COMMAND.COM"_s << 93890ull << QDate(1996, 8, 24) << QTime(13, 5);
        QTest::newRow("12h short name") << British << win12(u"A", u"B", u"7", u"24/08/96", u"9:00a")
                                        << u"A.B"_s << 7ull << QDate(1996, 8, 24) << QTime(9, 0);
        QTest::newRow("12h 12a") << American << win12(u"A", u"", u"7", u"08-24-96", u"12:30a")
                                 << u"A"_s << 7ull << QDate(1996, 8, 24) << QTime(0, 30);
        QTest::newRow("12h 12p") << American << win12(u"A", u"", u"7", u"08-24-96", u"12:30p")
                                 << u"A"_s << 7ull << QDate(1996, 8, 24) << QTime(12, 30);
        QTest::newRow("12h 11p") << American << win12(u"A", u"", u"7", u"08-24-96", u"11:59p")
                                 << u"A"_s << 7ull << QDate(1996, 8, 24) << QTime(23, 59);
        QTest::newRow("12h big size")
            << American << win12(u"HUGE", u"DAT", u"4,294,967,295", u"08-24-96", u"9:00a")
            << u"HUGE.DAT"_s << 4294967295ull << QDate(1996, 8, 24) << QTime(9, 0);

        // MS-DOS 6.2: no long name, even where text follows.
        QTest::newRow("DOS 6.2") << American
                                 << dos62(u"COMMAND", u"COM", u"54,645", u"05-31-94", u"6:22a")
                                 << u"COMMAND.COM"_s << 54645ull << QDate(1994, 5, 31)
                                 << QTime(6, 22);
        QTest::newRow("DOS 6.2 evening")
            << British << dos62(u"AUTOEXEC", u"BAT", u"1,234,567", u"31/05/94", u"10:15p")
            << u"AUTOEXEC.BAT"_s << 1234567ull << QDate(1994, 5, 31) << QTime(22, 15);
        QTest::newRow("DOS 6.2 12a") << American << dos62(u"A", u"", u"0", u"05-31-94", u"12:01a")
                                     << u"A"_s << 0ull << QDate(1994, 5, 31) << QTime(0, 1);
        QTest::newRow("DOS 6.2 trailing text")
            << American << dos62(u"README", u"", u"10", u"05-31-94", u"6:22a") + u"  Readme file"_s
            << u"README"_s << 10ull << QDate(1994, 5, 31) << QTime(6, 22);

        // MS-DOS 5 and 6.0.
        QTest::newRow("DOS 5") << American
                               << dos5(u"COMMAND", u"COM", u"47845", u"04-09-91", u"5:00a")
                               << u"COMMAND.COM"_s << 47845ull << QDate(1991, 4, 9) << QTime(5, 0);
        QTest::newRow("DOS 5 12p")
            << American << dos5(u"CONFIG", u"SYS", u"4294967295", u"04-09-91", u"12:45p")
            << u"CONFIG.SYS"_s << 4294967295ull << QDate(1991, 4, 9) << QTime(12, 45);
        QTest::newRow("DOS 5 12a") << British << dos5(u"X", u"Y", u"1", u"09/04/91", u"12:00a")
                                   << u"X.Y"_s << 1ull << QDate(1991, 4, 9) << QTime(0, 0);
    }

    void entryLine() {
        QFETCH(QLocale, locale);
        QFETCH(QString, line);
        QFETCH(QString, name);
        QFETCH(qulonglong, size);
        QFETCH(QDate, date);
        QFETCH(QTime, time);

        SnapshotList list;
        const DosImportResult result =
            import(crlf({u" Directory of C:\\"_s, QString(), line}), list, locale);
        QVERIFY(!result.failed);
        QCOMPARE(list.size(), 1);
        const Entry &e = list.entry(0);
        QCOMPARE(list.name(0).toString(), name);
        QCOMPARE(list.folder(0), QString());
        QCOMPARE(e.attr, 0);
        QCOMPARE(e.size, size);
        QCOMPARE(e.modified, DateSerial::fromLocal(date, time));
    }

    void folderLine_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name"); // empty when the line is skipped

        QTest::newRow("24h") << British
                             << win24(u"WINDOWS", u"", Dir, u"01/01/98", u"12:00", u"Windows")
                             << u"Windows"_s;
        QTest::newRow("24h short name")
            << British << win24(u"SUB", u"DIR", Dir, u"01/01/98", u"12:00") << u"SUB.DIR"_s;
        QTest::newRow("24h dot") << British << win24(u".", u"", Dir, u"01/01/98", u"12:00", u".")
                                 << QString();
        QTest::newRow("24h dot dot")
            << British << win24(u"..", u"", Dir, u"01/01/98", u"12:00", u"..") << QString();
        QTest::newRow("24h name starting with a dot")
            << British << win24(u"CONFIG~1", u"", Dir, u"01/01/98", u"12:00", u".config")
            << u".config"_s;
        QTest::newRow("24h date not read")
            << British << win24(u"OLD", u"", Dir, u"99/99/99", u"12:00") << u"OLD"_s;
        QTest::newRow("12h") << American
                             << win12(u"PROGRA~1", u"", Dir, u"01-01-98", u"12:00a",
                                      u"Program Files")
                             << u"Program Files"_s;
        QTest::newRow("12h dot") << American << win12(u".", u"", Dir, u"01-01-98", u"12:00a", u".")
                                 << QString();
        QTest::newRow("DOS 6.2") << American << dos62(u"DOS", u"", Dir, u"03-12-97", u"10:15a")
                                 << u"DOS"_s;
        QTest::newRow("DOS 6.2 dot dot")
            << American << dos62(u"..", u"", Dir, u"03-12-97", u"10:15a") << QString();
        QTest::newRow("DOS 5") << American << dos5(u"WINDOWS", u"", Dir, u"03-12-93", u"10:15a")
                               << u"WINDOWS"_s;
        QTest::newRow("DOS 5 dot")
            << American << dos5(u".", u"", Dir, u"03-12-93", u"10:15a") << QString();
    }

    void folderLine() {
        QFETCH(QLocale, locale);
        QFETCH(QString, line);
        QFETCH(QString, name);

        SnapshotList list;
        const DosImportResult result =
            import(crlf({u" Directory of C:\\WINDOWS"_s, QString(), line}), list, locale);
        QVERIFY(!result.failed);
        if (name.isEmpty()) {
            QCOMPARE(list.size(), 0);
            QCOMPARE(limitTexts(list), QStringList{QString()});
            return;
        }
        QCOMPARE(list.size(), 1);
        const Entry &e = list.entry(0);
        QCOMPARE(list.name(0).toString(), name);
        QCOMPARE(e.attr, 16);
        QVERIFY(!e.hasTime());
        QCOMPARE(limitTexts(list), (QStringList{QString(), name + u'\\'}));
    }

    void columnTexts_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("texts"); // the twelve columns

        QTest::newRow("file") << British
                              << win24(u"READ", u"ME", u"1,234,567", u"24/08/96", u"11:11",
                                       u"ReadMe.TXT")
                              << QStringList{u"ReadMe.TXT"_s,
                                             u"SUB\\"_s,
                                             u"sub\\readme.txt"_s,
                                             u"1,234,567"_s,
                                             u"000001234567"_s,
                                             QString(),
                                             u"24/08/1996  11:11"_s,
                                             u"35301.4659722222"_s,
                                             QString(),
                                             QString(),
                                             u"0"_s,
                                             QString()};
        QTest::newRow("file, US") << American
                                  << win12(u"READ", u"ME", u"0", u"08-24-96", u"1:11p",
                                           u"ReadMe.TXT")
                                  << QStringList{u"ReadMe.TXT"_s,
                                                 u"SUB\\"_s,
                                                 u"sub\\readme.txt"_s,
                                                 u"0"_s,
                                                 u"000000000000"_s,
                                                 QString(),
                                                 u"8/24/96  1:11 PM"_s,
                                                 u"35301.5493055556"_s,
                                                 QString(),
                                                 QString(),
                                                 u"0"_s,
                                                 QString()};
        QTest::newRow("folder") << British << win24(u"DEEPER", u"", Dir, u"24/08/96", u"11:11")
                                << QStringList{u"DEEPER"_s, u"SUB\\"_s, u"sub\\deeper"_s,
                                               u"<dir>"_s,  QString(),  QString(),
                                               QString(),   QString(),  QString(),
                                               u"Dir"_s,    u"16"_s,    QString()};
    }

    void columnTexts() {
        QFETCH(QLocale, locale);
        QFETCH(QString, line);
        QFETCH(QStringList, texts);

        SnapshotList list;
        const DosImportResult result =
            import(crlf({u"Directory of D:\\"_s, u"Directory of D:\\SUB"_s, line}), list, locale);
        QVERIFY(!result.failed);
        QCOMPARE(list.size(), 1);
        const EntryFormatter format(locale);
        QStringList actual;
        for (int c = 0; c < Col::PlainCount; ++c)
            actual << format.text(list, 0, c);
        QCOMPARE(actual, texts);
    }

    void folders_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("limits");
        QTest::addColumn<QString>("source");

        const QString a = win24(u"A", u"TXT", u"1", u"01/01/98", u"10:00");
        const QString b = win24(u"B", u"TXT", u"2", u"01/01/98", u"10:00");
        const QString c = dos62(u"C", u"TXT", u"3", u"01-01-98", u"10:00a");

        QTest::newRow("root with backslash")
            << QStringList{u" Volume in drive C is SYSTEM"_s,
                           u" Directory of C:\\"_s,
                           QString(),
                           a,
                           win24(u"WINDOWS", u"", Dir, u"01/01/98", u"10:00", u"WINDOWS"),
                           u" Directory of C:\\WINDOWS"_s,
                           QString(),
                           b}
            << QStringList{u"|A.TXT|1"_s, u"|WINDOWS|<dir>"_s, u"WINDOWS\\|B.TXT|2"_s}
            << QStringList{QString(), u"WINDOWS\\"_s} << u"Imported Directory of C:\\"_s;
        QTest::newRow("root without backslash")
            << QStringList{u" Directory of C:\\WINDOWS"_s,
                           a,
                           win24(u"SYSTEM", u"", Dir, u"01/01/98", u"10:00", u"SYSTEM"),
                           u" Directory of C:\\WINDOWS\\SYSTEM"_s,
                           win24(u"IOSUBSYS", u"", Dir, u"01/01/98", u"10:00", u"IOSUBSYS"),
                           b,
                           u" Directory of C:\\WINDOWS\\SYSTEM\\IOSUBSYS"_s,
                           a}
            << QStringList{u"|A.TXT|1"_s, u"|SYSTEM|<dir>"_s, u"SYSTEM\\|IOSUBSYS|<dir>"_s,
                           u"SYSTEM\\|B.TXT|2"_s, u"SYSTEM\\IOSUBSYS\\|A.TXT|1"_s}
            << QStringList{QString(), u"SYSTEM\\"_s, u"SYSTEM\\IOSUBSYS\\"_s}
            << u"Imported Directory of C:\\WINDOWS"_s;
        QTest::newRow("DOS root with a trailing space")
            << QStringList{u" Directory of A:\\ "_s,
                           dos62(u"DOS", u"", Dir, u"03-12-97", u"10:15a"),
                           u" Directory of A:\\DOS"_s,
                           dos62(u"EDIT", u"COM", u"413", u"05-31-94", u"6:22a")}
            << QStringList{u"|DOS|<dir>"_s, u"DOS\\|EDIT.COM|413"_s}
            << QStringList{QString(), u"DOS\\"_s} << u"Imported Directory of A:\\"_s;
        QTest::newRow("DOS headers with trailing spaces")
            << QStringList{u" Directory of C:\\DOS   "_s, c, u" Directory of C:\\DOS\\SUB  "_s, c}
            << QStringList{u"|C.TXT|3"_s, u"SUB\\|C.TXT|3"_s} << QStringList{QString()}
            << u"Imported Directory of C:\\DOS"_s;
        QTest::newRow("entries before the first header")
            << QStringList{a, u" Directory of C:\\"_s, b, u" Directory of C:\\X"_s, a}
            << QStringList{u"|A.TXT|1"_s, u"|B.TXT|2"_s, u"X\\|A.TXT|1"_s} << QStringList{QString()}
            << u"Imported Directory of C:\\"_s;
        QTest::newRow("no headers")
            << QStringList{a, b, c} << QStringList{u"|A.TXT|1"_s, u"|B.TXT|2"_s, u"|C.TXT|3"_s}
            << QStringList{QString()} << QString();
        QTest::newRow("header in another case")
            << QStringList{u" directory of C:\\"_s, a, u" DIRECTORY OF C:\\X"_s, b}
            << QStringList{u"|A.TXT|1"_s, u"|B.TXT|2"_s} << QStringList{QString()} << QString();
        QTest::newRow("later header not under the root")
            << QStringList{u" Directory of C:\\WINDOWS"_s, a, u" Directory of D:\\ABCDEFGHIJ"_s, b}
            << QStringList{u"|A.TXT|1"_s, u"IJ\\|B.TXT|2"_s} << QStringList{QString()}
            << u"Imported Directory of C:\\WINDOWS"_s;
        QTest::newRow("later header shorter than the root")
            << QStringList{u" Directory of C:\\WINDOWS"_s, a, u" Directory of C:\\"_s, b}
            << QStringList{u"|A.TXT|1"_s, u"|B.TXT|2"_s} << QStringList{QString()}
            << u"Imported Directory of C:\\WINDOWS"_s;
        QTest::newRow("dot lines")
            << QStringList{u" Directory of C:\\X"_s,
                           win24(u".", u"", Dir, u"01/01/98", u"10:00", u"."),
                           win24(u"..", u"", Dir, u"01/01/98", u"10:00", u".."), a,
                           win24(u"PROFIL~1", u"", u"9", u"01/01/98", u"10:00", u".profile")}
            << QStringList{u"|A.TXT|1"_s, u"|.profile|9"_s} << QStringList{QString()}
            << u"Imported Directory of C:\\X"_s;
        QTest::newRow("three layouts mixed")
            << QStringList{u" Directory of C:\\"_s, a, c,
                           dos5(u"D", u"TXT", u"4", u"01-01-98", u"10:00p"),
                           win12(u"E", u"TXT", u"5", u"01-01-98", u"10:00p", u"e.txt")}
            << QStringList{u"|A.TXT|1"_s, u"|C.TXT|3"_s, u"|D.TXT|4"_s, u"|e.txt|5"_s}
            << QStringList{QString()} << u"Imported Directory of C:\\"_s;
        QTest::newRow("summary lines")
            << QStringList{u" Volume in drive C has no label"_s,
                           u" Volume Serial Number is 1A2B-3C4D"_s,
                           u" Directory of C:\\"_s,
                           a,
                           u"         1 file(s)              1 bytes"_s,
                           QString(),
                           u"     Total Files Listed:"_s,
                           u"         1 file(s)              1 bytes"_s,
                           u"         0 dir(s)     123,456,789 bytes free"_s}
            << QStringList{u"|A.TXT|1"_s} << QStringList{QString()}
            << u"Imported Directory of C:\\"_s;
    }

    void folders() {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, limits);
        QFETCH(QString, source);

        SnapshotList list;
        const DosImportResult result = import(crlf(lines), list, American);
        QVERIFY(!result.failed);
        QCOMPARE(entryTexts(list), entries);
        QCOMPARE(limitTexts(list), limits);
        QCOMPARE(list.source, source);
    }

    void ignoredLines_data() {
        QTest::addColumn<QString>("line");

        QTest::newRow("blank") << QString();
        QTest::newRow("spaces") << u"      "_s;
        QTest::newRow("volume") << u" Volume in drive C is WIN98"_s;
        QTest::newRow("Windows NT layout")
            << u"08/24/2004  11:11 AM            93,890 COMMAND.COM"_s;
        QTest::newRow("12h without date separators")
            << win12(u"A", u"", u"1", u"08 24 96", u"11:11a");
        QTest::newRow("12h separators elsewhere") << win12(u"A", u"", u"1", u"0824-96x", u"11:11a");
        QTest::newRow("colon without a or p") << win12(u"A", u"", u"1", u"08-24-96", u"11:11x");
        QTest::newRow("short line with a colon") << u"Total: 5"_s;
    }

    void ignoredLines() {
        QFETCH(QString, line);
        SnapshotList list;
        const DosImportResult result =
            import(crlf({u" Directory of C:\\"_s, line}), list, American);
        QVERIFY(!result.failed);
        QCOMPARE(list.size(), 0);
    }

    // Something that has not one directory header or entry line is not a listing: an error
    // rather than an empty snapshot. An empty folder's listing has its header, and is one.
    void notAListing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("listing");
        QByteArray binary("\x7F"
                          "ELF\x02\x01\x01");
        for (int k = 0; k < 20000; ++k)
            binary.append(static_cast<char>((k * 7919) >> 3));
        QTest::newRow("a program") << binary << false;
        QTest::newRow("an empty file") << QByteArray() << false;
        QTest::newRow("text") << QByteArray("Dear Sir,\r\n\r\nDirectory: none\r\n") << false;
        QTest::newRow("DIR's other lines only")
            << crlf({u" Volume in drive C is WIN98"_s, u" Volume Serial Number is 1A2B-3C4D"_s,
                     u"File not found"_s})
            << false;
        QTest::newRow("an empty folder") << crlf({u" Directory of C:\\EMPTY"_s, QString()}) << true;
        QTest::newRow("dot lines only")
            << crlf({win24(u".", u"", Dir, u"01/01/98", u"12:00", u"."),
                     win24(u"..", u"", Dir, u"01/01/98", u"12:00", u"..")})
            << true;
    }
    void notAListing() {
        QFETCH(QByteArray, content);
        QFETCH(bool, listing);
        SnapshotList list;
        const DosImportResult result = import(content, list);
        QCOMPARE(list.size(), 0);
        QCOMPARE(result.failed, !listing);
        QCOMPARE(result.title, listing ? QString() : u"Not a DIR /S listing"_s);
        QCOMPARE(result.failingLine, QString());
        QVERIFY(result.error.ok());
    }

    void failures_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("bad");

        QTest::newRow("31 February")
            << British << win24(u"BAD", u"TXT", u"1", u"31/02/96", u"10:00");
        QTest::newRow("month 13") << British << win24(u"BAD", u"TXT", u"1", u"01/13/96", u"10:00");
        QTest::newRow("day first in the US")
            << American << win24(u"BAD", u"TXT", u"1", u"24/08/96", u"10:00");
        QTest::newRow("letters in the date")
            << British << win24(u"BAD", u"TXT", u"1", u"ab/cd/ef", u"10:00");
        QTest::newRow("three-digit year")
            << British << win24(u"BAD", u"TXT", u"1", u" 1/1/996", u"10:00");
        QTest::newRow("no separators")
            << British << win24(u"BAD", u"TXT", u"1", u"01 01 96", u"10:00");
        QTest::newRow("empty date")
            << British << win24(u"BAD", u"TXT", u"1", u"        ", u"10:00");
        QTest::newRow("hour 24") << British << win24(u"BAD", u"TXT", u"1", u"01/01/96", u"24:00");
        QTest::newRow("minute 60") << British << win24(u"BAD", u"TXT", u"1", u"01/01/96", u"10:60");
        QTest::newRow("letters in the time")
            << British << win24(u"BAD", u"TXT", u"1", u"01/01/96", u"ab:cd");
        QTest::newRow("12h hour 13")
            << American << win12(u"BAD", u"TXT", u"1", u"01-01-96", u"13:00p");
        QTest::newRow("12h hour 0")
            << American << win12(u"BAD", u"TXT", u"1", u"01-01-96", u"0:00a");
        QTest::newRow("12h bad date")
            << American << win12(u"BAD", u"TXT", u"1", u"13-01-96", u"10:00a", u"Bad.txt");
        QTest::newRow("DOS 6.2 bad date")
            << American << dos62(u"BAD", u"TXT", u"1", u"02-30-94", u"10:00a");
        QTest::newRow("DOS 5 bad date")
            << American << dos5(u"BAD", u"TXT", u"1", u"02/30/94", u"10:00a");
        QTest::newRow("DOS 5 bad minutes")
            << American << dos5(u"BAD", u"TXT", u"1", u"02/03/94", u"10:7xa");
    }

    void failures() {
        QFETCH(QLocale, locale);
        QFETCH(QString, bad);

        const QString good = win24(u"GOOD", u"TXT", u"1", u"01/01/98", u"10:00");
        const QString after = win24(u"AFTER", u"TXT", u"1", u"01/01/98", u"10:00");
        SnapshotList list;
        const DosImportResult result = import(
            crlf({u" Directory of C:\\"_s, good, win24(u"SUB", u"", Dir, u"01/01/98", u"10:00"),
                  u" Directory of C:\\SUB"_s, u"   "_s + bad, after}),
            list, locale);
        QVERIFY(result.failed);
        QVERIFY(!result.error);
        QVERIFY(!result.title.isEmpty());
        QCOMPARE(result.failingLine, bad);
        QCOMPARE(entryTexts(list), (QStringList{u"|GOOD.TXT|1"_s, u"|SUB|<dir>"_s}));
        QCOMPARE(limitTexts(list), (QStringList{QString(), u"SUB\\"_s}));
        QCOMPARE(list.fileName, u"Untitled"_s);
        QCOMPARE(list.source, u"Imported Directory of C:\\"_s);
    }

    void metadata_data() {
        QTest::addColumn<bool>("relative");
        QTest::newRow("absolute path") << false;
        QTest::newRow("relative path") << true;
    }

    void metadata() {
        QFETCH(bool, relative);
        const QString path = write(crlf(
            {u" Directory of C:\\WINDOWS  "_s, win24(u"A", u"", u"1", u"01/01/98", u"10:00")}));
        const QString current = QDir::currentPath();
        if (relative)
            QVERIFY(QDir::setCurrent(m_dir.path()));
        SnapshotList list;
        const double start = DateSerial::now();
        const DosImportResult result =
            importDosListing(relative ? QFileInfo(path).fileName() : path, list, British);
        const double end = DateSerial::now();
        QDir::setCurrent(current);
        QVERIFY(!result.failed);
        QCOMPARE(list.description, QFileInfo(path).absoluteFilePath());
        QCOMPARE(list.fileName, u"Untitled"_s);
        QCOMPARE(list.source, u"Imported Directory of C:\\WINDOWS"_s);
        QVERIFY(list.created >= start && list.created <= end);
        QCOMPARE(limitTexts(list), QStringList{QString()});
    }

    void openFailure_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("code");
        QTest::newRow("missing file") << u"no such listing.txt"_s << int(FileError::FileNotFound);
        QTest::newRow("missing folder")
            << u"no such folder/listing.txt"_s << int(FileError::PathNotFound);
        QTest::newRow("a folder") << QString() << int(FileError::PathFileAccess);
    }

    void openFailure() {
        QFETCH(QString, name);
        QFETCH(int, code);
        SnapshotList list;
        list.description = u"old"_s;
        list.append(u"kept", u"", 0, 1, 0.0);
        const DosImportResult result =
            importDosListing(name.isEmpty() ? m_dir.path() : m_dir.filePath(name), list, British);
        QVERIFY(result.failed);
        QCOMPARE(result.error.code, code);
        QCOMPARE(result.title, result.error.message());
        QCOMPARE(result.failingLine, QString());
        QCOMPARE(list.description, u"old"_s);
        QCOMPARE(list.size(), 1);
    }

    void lineEnds_data() {
        QTest::addColumn<QByteArray>("content");

        const QByteArray h = "Directory of C:\\";
        const QByteArray a = win24(u"A", u"", u"1", u"01/01/98", u"10:00").toLatin1();
        const QByteArray b = win24(u"B", u"", u"2", u"01/01/98", u"10:00", u"Bee").toLatin1();
        QTest::newRow("CR LF") << h + "\r\n" + a + "\r\n" + b + "\r\n";
        QTest::newRow("LF") << h + "\n" + a + "\n" + b + "\n";
        QTest::newRow("CR") << h + "\r" + a + "\r" + b + "\r";
        QTest::newRow("no end on the last line") << h + "\r\n" + a + "\r\n" + b;
        QTest::newRow("blank lines") << h + "\r\n\r\n" + a + "\n\n" + b + "\r\r";
        QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + h + "\r\n" + a + "\r\n" + b;
    }

    void lineEnds() {
        QFETCH(QByteArray, content);
        SnapshotList list;
        const DosImportResult result = import(content, list);
        QVERIFY(!result.failed);
        QCOMPARE(entryTexts(list), (QStringList{u"|A|1"_s, u"|Bee|2"_s}));
        QCOMPARE(list.source, u"Imported Directory of C:\\"_s);
    }

    // The file is read in blocks; the padding moves the lines so that line ends, and the two
    // halves of a CR LF, fall on a block boundary.
    void longListing_data() {
        QTest::addColumn<int>("padding");
        for (int padding : {0, 1, 15, 16, 17, 18, 59})
            QTest::addRow("padding %d", padding) << padding;
    }

    void longListing() {
        QFETCH(int, padding);
        QByteArray content(padding, 'x');
        content += "\r\nDirectory of C:\\\r\n";
        const int n = 40000;
        const auto name = [](int i) { return u"F%1"_s.arg(i, 7, 10, QLatin1Char('0')); };
        for (int i = 0; i < n; ++i) {
            content += win24(name(i), u"DAT", QString::number(i), u"01/01/98", u"10:00").toLatin1();
            content += "\r\n";
        }
        SnapshotList list;
        const DosImportResult result = import(content, list);
        QVERIFY(!result.failed);
        QCOMPARE(list.size(), n);
        for (int i = 0; i < n; ++i) {
            if (list.name(i) != name(i) + u".DAT"_s || list.entry(i).size != std::uint64_t(i))
                QFAIL(qPrintable(u"entry %1 is %2"_s.arg(i).arg(list.name(i))));
        }
    }

    void encoding_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("failed");

        const QByteArray h = "Directory of C:\\\r\n";
        const auto line = [](const QByteArray &longName) {
            return win24(u"X", u"", u"1", u"01/01/98", u"10:00").toLatin1() + ' ' + longName +
                   "\r\n";
        };
        const QByteArray bad = win24(u"BAD", u"", u"1", u"31/02/98", u"10:00").toLatin1() + "\r\n";
        QTest::newRow("ASCII") << h + line("plain") << QStringList{u"plain"_s} << false;
        QTest::newRow("UTF-8") << h + line("Caf\xC3\xA9") + line("\xE2\x82\xAC")
                               << QStringList{u"Caf\u00E9"_s, u"\u20AC"_s} << false;
        QTest::newRow("Windows-1252") << h + line("Caf\xE9") + line("\x80")
                                      << QStringList{u"Caf\u00E9"_s, u"\u20AC"_s} << false;
        QTest::newRow("Windows-1252 after ASCII")
            << h + line("plain") + line("Caf\xE9") << QStringList{u"plain"_s, u"Caf\u00E9"_s}
            << false;
        QTest::newRow("Windows-1252 that starts like UTF-8")
            << h + line("\xC3\xA9") + line("Caf\xE9")
            << QStringList{u"\u00C3\u00A9"_s, u"Caf\u00E9"_s} << false;
        QTest::newRow("UTF-8 up to a failure")
            << h + line("Caf\xC3\xA9") + bad + line("\xE2\x82\xAC") << QStringList{u"Caf\u00E9"_s}
            << true;
        QTest::newRow("a character cut by the name's column")
            << h + win24(u"X", u"", u"1", u"01/01/98", u"10:00").toLatin1() +
                   "\xF0\x9F\x98\x80name\r\n"
            << QStringList{u"name"_s} << false;
        QTest::newRow("Windows-1252 after a failure")
            << h + line("\xC3\xA9") + bad + line("Caf\xE9") << QStringList{u"\u00C3\u00A9"_s}
            << true;
    }

    void encoding() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, names);
        QFETCH(bool, failed);

        SnapshotList list;
        const DosImportResult result = import(content, list);
        QCOMPARE(result.failed, failed);
        QStringList actual;
        for (int i = 0; i < list.size(); ++i)
            actual << list.name(i).toString();
        QCOMPARE(actual, names);
        QCOMPARE(limitTexts(list), QStringList{QString()});
        QCOMPARE(list.source, u"Imported Directory of C:\\"_s);
    }

    void progress() {
        Progress progress;
        SnapshotList list;
        const QString a = win24(u"A", u"", u"1", u"01/01/98", u"10:00");
        const DosImportResult result =
            import(crlf({u"Directory of C:\\"_s, a, a, u"Directory of C:\\X"_s, a}), list, British,
                   &progress);
        QVERIFY(!result.failed);
        QCOMPARE(list.size(), 3);
        QCOMPARE(progress.count.load(), 2);
    }

    void tolerance_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << u"0"_s << u"1"_s;
        QTest::newRow("five") << u"5"_s << u"5"_s;
        QTest::newRow("one") << u"1"_s << u"1"_s;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("double zero") << u"00"_s << u"00"_s;
        QTest::newRow("zero with a space") << u" 0"_s << u" 0"_s;
        QTest::newRow("decimal zero") << u"0.0"_s << u"0.0"_s;
    }

    void tolerance() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(presetTolerance(text), expected);
    }
};

QTEST_GUILESS_MAIN(TestDosImport)
#include "tst_dosimport.moc"
