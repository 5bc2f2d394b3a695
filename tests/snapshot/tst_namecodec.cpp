#include "snapshot/NameBytes.h"
#include "snapshot/NameCodec.h"

#include <QRandomGenerator>
#include <QTest>
#include <set>

using namespace Qt::StringLiterals;

class TestNameCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Any bytes come back from their text, so no two names share a text; and a text never holds
    // a backslash, a control character or a "|" that does not start an escape.
    void everyNameComesBack() {
        QRandomGenerator rng(11);
        // Bytes that make valid and broken UTF-8 alike.
        const char pieces[][5] = {"a",
                                  "Z",
                                  "|",
                                  "\\",
                                  "\n",
                                  "\x7F",
                                  "\xC3\xA9",
                                  "\xE9",
                                  "\xC3",
                                  "\xF0\x9F\x98\x80",
                                  "\xED\xA0\x80",
                                  "\xC0\xAF",
                                  "\xF4\x90\x80",
                                  "41",
                                  "|4",
                                  "\xE2\x82"};
        std::set<QString> texts;
        std::set<QByteArray> names;
        for (int k = 0; k < 20000; ++k) {
            QByteArray bytes;
            const int n = rng.bounded(6);
            for (int p = 0; p < n; ++p)
                bytes += pieces[rng.bounded(int(std::size(pieces)))];
            if (rng.bounded(4) == 0)
                bytes += char(rng.bounded(1, 256));
            const QString text = NameCodec::fromBytes(
                std::string_view(bytes.constData(), std::size_t(bytes.size())));
            QCOMPARE(nameBytes(text), bytes);
            QCOMPARE(NameCodec::toBytes(text), bytes);
            for (qsizetype i = 0; i < text.size(); ++i) {
                const char16_t c = text[i].unicode();
                QVERIFY(c >= 0x20 && c != 0x7F && c != u'\\');
                if (c == u'|') {
                    QVERIFY(i + 2 < text.size());
                    QVERIFY(QStringLiteral("0123456789ABCDEF").contains(text[i + 1]));
                    QVERIFY(QStringLiteral("0123456789ABCDEF").contains(text[i + 2]));
                }
                // Surrogates only in pairs: the text is valid UTF-16.
                if (QChar::isHighSurrogate(c))
                    QVERIFY(i + 1 < text.size() && QChar::isLowSurrogate(text[++i].unicode()));
                else
                    QVERIFY(!QChar::isLowSurrogate(c));
            }
            names.insert(bytes);
            texts.insert(text);
        }
        QCOMPARE(texts.size(), names.size());
    }

    // Valid UTF-8 that needs no escape is its own text, as QString reads it.
    void plainNamesAreTheirText() {
        for (const char *name : {"readme.txt", "Grüße", "日本語", "😀 x", "İ", "quo\"te"}) {
            QCOMPARE(NameCodec::fromBytes(name), QString::fromUtf8(name));
            QCOMPARE(nameBytes(QString::fromUtf8(name)), QByteArray(name));
        }
    }

    // A path given as bytes comes back as those bytes, whatever they are; where they are UTF-8
    // its text is what Qt reads from them.
    void everyPathComesBack() {
        QRandomGenerator rng(5);
        const char pieces[][5] = {"a",
                                  "/",
                                  "\\",
                                  "|",
                                  "\xC3\xA9",
                                  "\xE9",
                                  "\xF0\x9F\x98\x80",
                                  "\xED\xB2\x80",
                                  "\xC0\xAF",
                                  "\xE2\x82"};
        for (int k = 0; k < 20000; ++k) {
            QByteArray bytes;
            for (int p = rng.bounded(8); p > 0; --p)
                bytes += pieces[rng.bounded(int(std::size(pieces)))];
            const QString text = NameCodec::pathFromBytes(bytes.toStdString());
            QCOMPARE(NameCodec::pathToBytes(text), bytes);
            if (QString::fromUtf8(bytes).toUtf8() == bytes)
                QCOMPARE(text, QString::fromUtf8(bytes));
        }
    }

    // What reaches a terminal: no control character, no lone surrogate; the rest as it is.
    void printable_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const auto utf16 = [](std::initializer_list<char16_t> units) {
            return QString(reinterpret_cast<const QChar *>(std::data(units)),
                           qsizetype(units.size()));
        };
        QTest::newRow("plain, | and \\ as they are")
            << QStringLiteral("a|7Cb\\c d\u00A0\u2028") << QStringLiteral("a|7Cb\\c d\u00A0\u2028");
        QTest::newRow("C0, DEL and C1") << utf16({0, 0x1B, u'[', 10, 0x7F, 0x80, 0x9B, 0x9F})
                                        << QStringLiteral("|00|1B[|0A|7F|80|9B|9F");
        QTest::newRow("a pair; a byte of a path")
            << utf16({0xD83D, 0xDE00, 0xDCE9, 0xDC80})
            << utf16({0xD83D, 0xDE00, u'|', u'E', u'9', u'|', u'8', u'0'});
        QTest::newRow("other lone surrogates")
            << utf16({0xD83D, u'a', 0xDC00, 0xDE00}) << utf16({0xFFFD, u'a', 0xFFFD, 0xFFFD});
    }
    void printable() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(NameCodec::printable(text), shown);
        QString appended = QStringLiteral(">");
        NameCodec::appendPrintable(appended, text);
        QCOMPARE(appended, u'>' + shown);
    }

    // Paths for other tools, made of a snapshot that may come from elsewhere: what no file
    // system holds as a name yields none, so nothing leads out of the root.
    void pathBytes_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("plain") << u"a\\b\\"_s << u"c"_s << QByteArray("a/b/c");
        QTest::newRow("root") << QString() << u"c"_s << QByteArray("c");
        QTest::newRow("byte not UTF-8") << u"caf|E9\\"_s << u"x"_s << QByteArray("caf\xe9/x");
        QTest::newRow("dots in a name") << QString() << u"..."_s << QByteArray("...");
        QTest::newRow("up a folder") << u"a\\..\\..\\"_s << u"etc"_s << QByteArray();
        QTest::newRow("this folder") << u".\\"_s << u"x"_s << QByteArray();
        QTest::newRow("slash in a name") << QString() << u"../etc/passwd"_s << QByteArray();
        QTest::newRow("slash as an escape") << u"a|2F..\\"_s << u"x"_s << QByteArray();
        QTest::newRow("NUL") << QString() << u"a|00b"_s << QByteArray();
        QTest::newRow("no name") << u"a\\"_s << QString() << QByteArray();
    }
    void pathBytes() {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QByteArray, path);
        QCOMPARE(NameCodec::pathBytes(folder, name), path);
    }
};

QTEST_GUILESS_MAIN(TestNameCodec)
#include "tst_namecodec.moc"
