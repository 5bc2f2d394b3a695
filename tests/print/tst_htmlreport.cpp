// The HTML report: its packed data read back against the lists it was made of and against the
// program's own sort, its markup against hostile descriptions, and the page itself in a headless
// Chromium: what it shows, filters, sorts and prints, that no name in it runs, and that nothing
// leaves the file.
#include "compare/ByteScale.h"
#include "compare/ChangeSummary.h"
#include "compare/Comparison.h"
#include "print/HtmlReport.h"
#include "snapshot/Columns.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ListFilter.h"
#include "snapshot/NameCodec.h"
#include "snapshot/Workspace.h"
#include "sort/ColumnSorts.h"
#include "support/TestLists.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

// Names as a scan reads them from bytes, each of a kind that has broken pages before.
const char *const HostileBytes[] = {
    "<img src=\"http://127.0.0.1:9/leak\" onerror=\"document.title='pwned'\">",
    "</script><script>document.title='pwned'</script>",
    "a&amp;b \"quoted\" 'single'",
    "esc\x1b[31mred",
    "line\nbreak",
    "caf\xe9.txt",
    "\xf0\x9f\x93\xa6 box",
    "\xe2\x80\xaetxt.exe",
    "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d.txt",
    "{{script}}",
};

const QString Description = u"before </title><script>document.title='pwned'</script> & {{csp}}"_s;

void add(SnapshotList &list, const QString &folder, const QString &name, int attr,
         std::uint64_t size) {
    const bool isFolder = attr & 16;
    list.append(name, folder, attr, isFolder ? 0 : size, isFolder ? std::nan("") : 45000.5);
}

// A comparison whose Changed list holds every kind of name: what lies in Été\ matches the
// filter "ÉTÉ" (by its folder, some by their names too); summer.txt and Ete-3.txt do not.
void comparePair(Workspace &ws) {
    SnapshotList &o = ws.list(ListId::Original), &f = ws.list(ListId::Final);
    o.description = Description;
    f.description = u"after \u202Eright-to-left"_s;
    for (SnapshotList *list : {&o, &f}) {
        list->addLimit(u"");
        const bool final = list == &f;
        add(*list, u""_s, u"Été"_s, 16, 0);
        add(*list, u""_s, u"<svg onload=alert(1)>$&"_s, 16, 0);
        add(*list, u"<svg onload=alert(1)>$&\\"_s, u"grown.txt"_s, 32, final ? 3 : 1);
        add(*list, u""_s, u"summer.txt"_s, 32, final ? 6 : 5);
        add(*list, u""_s, u"Ete-3.txt"_s, 32, final ? 8 : 7);
        add(*list, u""_s, u"same.txt"_s, 32, 3);
        add(*list, u""_s, u"été-1.txt"_s, 32, final ? 5 : 4); // by name, equal to Été\'s
        add(*list, u""_s, final ? u"new.txt"_s : u"<b>gone</b>.txt"_s, 32, 1);
        const QString ete = u"Été\\"_s;
        add(*list, ete, u"été-1.txt"_s, 32, final ? 20 : 10);
        add(*list, ete, u"ÉTÉ-2.TXT"_s, 32, final ? 3000000 : 10);
        add(*list, ete, u"tie-a.txt"_s, 32, final ? 25 : 10);
        add(*list, ete, u"tie-b.txt"_s, 32, final ? 25 : 10);
        add(*list, ete, u"sub"_s, final ? 17 : 16, 0);
        add(*list, ete, u"quiet.bin"_s, 32, 50);
        for (int k = 0; k < int(std::size(HostileBytes)); ++k)
            add(*list, ete, NameCodec::fromBytes(HostileBytes[k]), 32,
                final ? 200 + k * 3 : 100 + k);
        // quiet.bin: the same size and time, other contents.
        Digest digest{};
        digest[0] = final ? 2 : 1;
        for (int i = 0; i < list->size(); ++i) {
            if (list->name(i) == u"quiet.bin")
                list->setDigest(i, digest);
        }
    }
    CompareOptions options;
    options.reset(ListId::Original);
    runComparison(ws, options);
}

QString writeReport(const Workspace &ws, const QString &folder) {
    const QString path = folder + u"/report.html"_s;
    const FileError error = HtmlReport(ws, ChangeSummary::build(ws), EntryFormatter()).write(path);
    return error.ok() ? path : QString();
}

QString readText(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The report's blocks, unpacked as the page unpacks them.
QHash<QString, QByteArray> blocksOf(const QString &html) {
    QHash<QString, QByteArray> blocks;
    static const QRegularExpression block(
        u"<script type=\"application/octet-stream\" id=\"([^\"]+)\">([A-Za-z0-9+/=]*)</script>"_s);
    for (const QRegularExpressionMatch &m : block.globalMatch(html)) {
        // qUncompress wants the length first; a small one makes it grow as needed.
        blocks.insert(m.captured(1), qUncompress(QByteArray("\0\0\0\1", 4) +
                                                 QByteArray::fromBase64(m.captured(2).toLatin1())));
    }
    return blocks;
}

// Numbers of `width` bytes, a byte plane at a time.
std::vector<quint32> numbersOf(const QByteArray &bytes, int count, int width) {
    std::vector<quint32> numbers(static_cast<std::size_t>(count));
    for (int b = 0; b < width; ++b) {
        for (int i = 0; i < count; ++i)
            numbers[std::size_t(i)] |= quint32(quint8(bytes[b * count + i])) << (8 * b);
    }
    return numbers;
}

QStringList linesOf(const QByteArray &bytes) {
    QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    lines.removeLast();
    return lines;
}

// A field's texts, one per row.
QStringList textsOf(const QJsonObject &field, const QByteArray &bytes, int rows) {
    const int width = field[u"width"_s].toInt();
    if (width == 0)
        return linesOf(bytes);
    const QStringList values = linesOf(bytes.sliced(qsizetype(rows) * width));
    QStringList texts;
    for (const quint32 k : numbersOf(bytes, rows, width))
        texts << values.value(qsizetype(k), u"(no such text)re"_s);
    return texts;
}

int columnOfHeader(const QString &header, ListId listNo = ListId::Changed) {
    for (int c = 0; c < Col::Count; ++c) {
        if (!isHiddenColumn(c) && columnHeader(listNo, c) == header)
            return c;
    }
    return -1;
}

// Each entry as the page names it apart from the others: its folder and name.
QStringList entryNames(const SnapshotList &list, const std::vector<quint32> &order) {
    QStringList names;
    const EntryFormatter format;
    for (const quint32 i : order)
        names << format.text(list, int(i), Col::InFolder) + format.text(list, int(i), Col::Name);
    return names;
}

QString chromium() {
    for (const char *name : {"chromium", "chromium-browser", "google-chrome"}) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

// Runs a headless Chromium on the page with a profile of its own; returns what it printed.
QByteArray runChromium(const QString &profile, const QStringList &arguments) {
    QProcess browser;
    browser.setProcessChannelMode(QProcess::SeparateChannels);
    browser.start(chromium(),
                  QStringList{u"--headless"_s, u"--no-sandbox"_s, u"--disable-gpu"_s,
                              u"--no-first-run"_s, u"--user-data-dir="_s + profile,
                              u"--window-size=1400,1000"_s, u"--virtual-time-budget=10000"_s} +
                      arguments);
    if (!browser.waitForFinished(60000))
        browser.kill();
    return browser.readAllStandardOutput();
}

// Text as an HTML serialisation leaves it: &, <, > and " written as entities.
QString unescaped(QString text) {
    return text.replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&nbsp;"_s, u"\u00a0"_s)
        .replace(u"&amp;"_s, u"&"_s);
}

// The rows a list's panel shows, each as its cells' texts, and the panel's column headers.
QList<QStringList> shownRows(const QString &dom, const QString &slug, QStringList &headers) {
    const qsizetype from = dom.indexOf(u"data-list=\""_s + slug + u'"');
    const qsizetype next = dom.indexOf(u"role=\"tabpanel\""_s, from + 1);
    const QString panel = dom.mid(from, next < 0 ? -1 : next - from);
    static const QRegularExpression header(u"role=\"columnheader\"[^>]*>([^<]*)<span"_s);
    for (const QRegularExpressionMatch &m : header.globalMatch(panel))
        headers << unescaped(m.captured(1));
    static const QRegularExpression row(
        u"<div class=\"row[^\"]*\" role=\"row\"((?: [a-z-]+=\"[^\"]*\")*)>((?:<div class=\"cell[^\"]*\" role=\"cell\"(?: title=\"[^\"]*\")?>[^<]*</div>)+)</div>"_s);
    static const QRegularExpression cell(u"role=\"cell\"(?: title=\"[^\"]*\")?>([^<]*)</div>"_s);
    QList<QStringList> rows;
    for (const QRegularExpressionMatch &m : row.globalMatch(panel)) {
        if (m.captured(1).contains(u" hidden="_s))
            continue;
        QStringList cells;
        for (const QRegularExpressionMatch &c : cell.globalMatch(m.captured(2)))
            cells << unescaped(c.captured(1));
        rows << cells;
    }
    return rows;
}

} // namespace

class TestHtmlReport : public QObject {
    Q_OBJECT

    Workspace ws;
    QTemporaryDir dir;
    QString report;
    QString dom; // the page as Chromium left it, after it printed it

    // One run of the browser for the tests that need it: it opens the page on the Changed list
    // filtered and sorted by the address, then prints it and tells what it fetched.
    const QString &browse() {
        if (dom.isEmpty()) {
            QTemporaryDir profile;
            dom = QString::fromUtf8(runChromium(
                profile.path(),
                {u"--log-net-log="_s + dir.filePath(u"net.json"_s), u"--no-pdf-header-footer"_s,
                 u"--print-to-pdf="_s + dir.filePath(u"report.pdf"_s), u"--dump-dom"_s,
                 QUrl::fromLocalFile(report).toString() +
                     u"#list=changed&filter=%C3%89T%C3%89&sort=name-desc"_s}));
        }
        return dom;
    }

private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        comparePair(ws);
        QVERIFY(ws.list(ListId::Changed).size() > 15);
        report = writeReport(ws, dir.path());
        QVERIFY(!report.isEmpty());
    }

    // Every text of every list comes back as the lists show it, and the order the page sorts
    // a hidden key column by is the program's own sort of it.
    void dataMatchesTheLists_data() {
        QTest::addColumn<int>("rows");
        QTest::newRow("hostile") << 0;
        QTest::newRow("1,500 entries") << 1500;   // folders repeat, names do not
        QTest::newRow("70,000 entries") << 70000; // more than 65,536 distinct texts
    }
    void dataMatchesTheLists() {
        QFETCH(int, rows);
        Workspace sample;
        QTemporaryDir folder;
        QString path = report;
        if (rows > 0) {
            sample.list(ListId::Original) = sampleList(rows);
            sample.list(ListId::Final) = sampleList(rows + 10);
            sample.list(ListId::Final).description = u"grown"_s;
            CompareOptions options;
            options.reset(ListId::Original);
            options.ignoreStamp = true;
            runComparison(sample, options);
            path = writeReport(sample, folder.path());
        }
        const Workspace &w = rows > 0 ? sample : ws;
        const QHash<QString, QByteArray> blocks = blocksOf(readText(path));
        const QJsonObject header = QJsonDocument::fromJson(blocks[u"vistrel-header"_s]).object();
        const QJsonArray lists = header[u"lists"_s].toArray();
        QCOMPARE(lists.size(), qsizetype(Lists::Results.size()));
        const EntryFormatter format;
        for (qsizetype n = 0; n < lists.size(); ++n) {
            const QJsonObject data = lists[n].toObject();
            const ListId listNo = Lists::Results[std::size_t(n)];
            const SnapshotList &list = w.list(listNo);
            QCOMPARE(data[u"caption"_s].toString(), Workspace::tabCaption(listNo));
            QCOMPARE(data[u"rows"_s].toInt(), list.size());
            const QJsonArray fields = data[u"fields"_s].toArray();
            auto bytesOf = [&](int f) {
                return blocks[fields[f].toObject()[u"block"_s].toString()];
            };
            for (const QJsonValue &value : data[u"columns"_s].toArray()) {
                const QJsonObject column = value.toObject();
                const int c = columnOfHeader(column[u"header"_s].toString(), listNo);
                QVERIFY2(c >= 0, qPrintable(column[u"header"_s].toString()));
                const int f = column[u"field"_s].toInt();
                const QStringList texts = textsOf(fields[f].toObject(), bytesOf(f), list.size());
                QCOMPARE(texts.size(), qsizetype(list.size()));
                for (int i = 0; i < list.size(); ++i)
                    QCOMPARE(texts[i], format.text(list, i, c));
                const int s = column[u"sortField"_s].toInt();
                if (s < 0 || !fields[s].toObject()[u"ranks"_s].toBool())
                    continue;
                std::vector<quint32> order(std::size_t(list.size()));
                std::iota(order.begin(), order.end(), 0u);
                const std::vector<quint32> ranks =
                    numbersOf(bytesOf(s), list.size(), fields[s].toObject()[u"width"_s].toInt());
                std::stable_sort(order.begin(), order.end(),
                                 [&](quint32 a, quint32 b) { return ranks[a] < ranks[b]; });
                SnapshotList sorted = list;
                sortList(sorted, headerSortKey(listNo, c), 0);
                std::vector<quint32> identity(order.size());
                std::iota(identity.begin(), identity.end(), 0u);
                QCOMPARE(entryNames(list, order), entryNames(sorted, identity));
            }
        }
        if (rows > 0)
            return;
        // The Changed list shows the Original's values beside the Final's, and what changed.
        QStringList changed;
        for (const QJsonValue &value : lists[2].toObject()[u"columns"_s].toArray())
            changed << value.toObject()[u"header"_s].toString();
        QVERIFY(changed.indexOf(u"Orig Size"_s) == changed.indexOf(u"Size"_s) + 1);
        QVERIFY(changed.contains(u"What Changed"_s));
    }

    // What the file says in its own markup is escaped; its one script is the one the policy
    // lets run, and the policy lets nothing be fetched.
    void markupAndPolicy() {
        const QString html = readText(report);
        QVERIFY(html.startsWith(u"<!DOCTYPE html>"_s));
        const QString escaped =
            u"before &lt;/title&gt;&lt;script&gt;document.title=&#39;pwned&#39;&lt;/script&gt; "
            "&amp; {{csp}}"_s;
        QVERIFY(html.contains(u"<title>"_s + escaped +
                              u" compared with after \u202Eright-to-left</title>"_s));
        QVERIFY(!html.contains(Description));
        QCOMPARE(html.count(u"<script>"_s), 1);
        const qsizetype start = html.indexOf(u"<script>"_s) + 8;
        const QString script = html.mid(start, html.indexOf(u"</script>"_s, start) - start);
        const QString hash = QString::fromLatin1(
            QCryptographicHash::hash(script.toUtf8(), QCryptographicHash::Sha256).toBase64());
        static const QRegularExpression policy(
            u"<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src '([^']+)';"_s);
        const QRegularExpressionMatch m = policy.match(html);
        QVERIFY(m.hasMatch());
        QCOMPARE(m.captured(1), u"sha256-"_s + hash);
    }

    // The page in a browser, opened on the Changed list filtered and sorted by its address: the
    // rows are those the program's own filter keeps, in the order of its own sort; the names
    // show as text; the chart's bars are the summary's; and no request leaves the file.
    void pageInABrowser() {
        if (chromium().isEmpty())
            QSKIP("Chromium is not installed");
        const QString &dom = browse();
        QVERIFY2(dom.contains(u"data-ready-ms="_s), qPrintable(dom.left(2000)));

        SnapshotList sorted = ws.list(ListId::Changed);
        sortList(sorted, Col::Name, 1);
        const std::vector<int> kept = ListFilter(u"ÉTÉ").apply(sorted);
        QStringList headers;
        const QList<QStringList> rows = shownRows(dom, u"changed"_s, headers);
        QCOMPARE(rows.size(), qsizetype(kept.size()));
        const EntryFormatter format;
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QStringList expected;
            for (const QString &header : headers)
                expected << format.text(sorted, kept[std::size_t(r)], columnOfHeader(header));
            QCOMPARE(rows[r], expected);
        }
        // The hostile names are among them, as text; none became an element.
        for (const char *bytes : HostileBytes) {
            const QString name = NameCodec::printable(NameCodec::fromBytes(bytes));
            QVERIFY2(std::any_of(rows.begin(), rows.end(),
                                 [&](const QStringList &row) { return row.first() == name; }),
                     qPrintable(name));
        }
        QVERIFY(!dom.contains(u"<img"_s));
        QVERIFY(!dom.contains(u"<svg"_s));
        QVERIFY(!dom.contains(u"<b>"_s));
        QCOMPARE(dom.count(u"<script>"_s), 1);
        QVERIFY(dom.contains(u"<title>before &lt;/title&gt;"_s));

        // The chart of the root: its subfolders with the most bytes changed, largest first.
        const ChangeSummary summary = ChangeSummary::build(ws);
        QStringList bars, expectedBars;
        static const QRegularExpression bar(
            u"<div class=\"bar\"><span class=\"label\" title=\"[^\"]*\">([^<]*)</span><span class=\"track\">(?:<span [^>]*></span>)*</span><span class=\"value\" title=\"([^\"]*)\">([^<]*)</span>"_s);
        for (const QRegularExpressionMatch &m : bar.globalMatch(dom))
            bars << unescaped(m.captured(1)) + u'|' + m.captured(2) + u'|' + m.captured(3);
        for (const int k : summary.topChildren(0, 10)) {
            const FolderChange &f = summary.folders()[std::size_t(k)];
            expectedBars << f.name + u'|' + format.sizeText(f.bytesChanged()) + u" bytes|"_s +
                                ByteScale::readable(f.bytesChanged());
        }
        QCOMPARE(bars, expectedBars);
        QVERIFY(dom.contains(QLatin1String(ByteScale::Legend)));

        // Chromium fetches things of its own ("not an origin"); the page fetched nothing.
        const QJsonObject log =
            QJsonDocument::fromJson(readText(dir.filePath(u"net.json"_s)).toUtf8()).object();
        QVERIFY(!log.isEmpty());
        static const QRegularExpression network(u"^(https?|wss?|ftp)://"_s);
        for (const QJsonValue &event : log[u"events"_s].toArray()) {
            const QJsonObject params = event[u"params"_s].toObject();
            const QString url = params[u"url"_s].toString();
            QVERIFY2(!network.match(url).hasMatch() ||
                         params[u"initiator"_s].toString(u"not an origin"_s) == u"not an origin",
                     qPrintable(url));
        }
    }

    // On paper every list is there, whichever the screen showed, each in the view it has.
    void printsEveryList() {
        if (chromium().isEmpty() || QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("Chromium or pdftotext is not installed");
        browse();
        QProcess text;
        text.start(u"pdftotext"_s, {u"-layout"_s, dir.filePath(u"report.pdf"_s), u"-"_s});
        QVERIFY(text.waitForFinished(30000));
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        for (const QString &expected : {u"Change Summary"_s, u"<b>gone</b>.txt"_s, u"new.txt"_s,
                                        u"same.txt"_s, u"tie-b.txt"_s, u"esc|1B[31mred"_s})
            QVERIFY2(printed.contains(expected), qPrintable(expected + u"\n"_s + printed));
        // The Changed list as filtered on the screen.
        QVERIFY(!printed.contains(u"summer.txt"_s));
    }
};

QTEST_GUILESS_MAIN(TestHtmlReport)
#include "tst_htmlreport.moc"
