#include "HtmlReport.h"

#include "compare/ByteScale.h"
#include "compare/ChangeSummary.h"
#include "files/FileWriter.h"
#include "files/TextCodec.h"
#include "snapshot/Columns.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/NameCodec.h"
#include "snapshot/Progress.h"
#include "snapshot/WhatChanged.h"
#include "snapshot/Workspace.h"
#include "sort/SortEngine.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <mutex>
#include <numeric>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Ten bars, as the Change Summary window draws them.
constexpr int ChartBars = 10;

QString resourceText(const char *name) {
    QFile file(QStringLiteral(":/report/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Text for the page's markup: printable first (a description may hold control characters),
// then every character that could end an element or an attribute written as an entity.
QString escapeHtml(const QString &text) {
    const QString shown = NameCodec::printable(text);
    QString out;
    out.reserve(shown.size() + shown.size() / 8);
    for (const QChar c : shown) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A list's or column's name in the page's address ("Only in Original" is only-in-original),
// so that a view can be shared as report.html#list=changed&sort=size-desc.
QString slugOf(const QString &caption) {
    QString slug;
    for (const QChar c : caption.toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            slug += c;
        else if (!slug.isEmpty() && !slug.endsWith(u'-'))
            slug += u'-';
    }
    while (slug.endsWith(u'-'))
        slug.chop(1);
    return slug;
}

// The zlib stream of the bytes, in base64: what the page's DecompressionStream("deflate")
// takes. qCompress puts the length in four bytes before the stream, which the page has no use
// for. Level 3 of 9: packing takes much of the time a report takes to write, and the usual 6
// takes half as long again to save a tenth of the size.
QByteArray packed(const char *data, std::size_t size) {
    // qCompress makes no stream of nothing (an empty list's column): this is zlib's own.
    if (size == 0)
        return QByteArrayLiteral("\x78\x9C\x03\x00\x00\x00\x00\x01").toBase64();
    const QByteArray z =
        qCompress(reinterpret_cast<const uchar *>(data), static_cast<qsizetype>(size), 3);
    return z.sliced(4).toBase64();
}

QByteArray packed(const QByteArray &bytes) {
    return packed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The page splits a column's texts at line breaks. A name comes printable and holds none; a
// text from elsewhere (a user name from the system) is made printable here if it does.
void appendLine(std::string &out, const QString &text) {
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; }))
        TextCodec::appendUtf8(out, NameCodec::printable(text));
    else
        TextCodec::appendUtf8(out, text);
    out.push_back('\n');
}

// One column of one list as the page reads it.
struct Field {
    ListId listNo;
    int column;
    // A column shown: its texts, as a dictionary (each distinct text once, and for every entry
    // the number of its text in `width` bytes) or, width 0, every entry's text in turn. A
    // hidden key column, which only sorts: `ranks`, every entry's place in its order, in
    // `width` bytes.
    bool ranks = false;
    int width = 0;
    qsizetype distinct = 0;
    QByteArray block;
};

// Counts the entries done, a batch at a time.
void countDone(Progress *progress, int i) {
    if (progress && (i & 0xFFFF) == 0xFFFF)
        progress->count.fetch_add(0x10000, std::memory_order_relaxed);
}

void countRest(Progress *progress, int n) {
    if (progress)
        progress->count.fetch_add(n & 0xFFFF, std::memory_order_relaxed);
}

int widthFor(qsizetype distinct) {
    return distinct <= 0x100 ? 1 : distinct <= 0x10000 ? 2 : distinct <= 0x1000000 ? 3 : 4;
}

// Each number in `width` bytes, the lowest bytes of all of them first: numbers that differ
// little from entry to entry then leave long runs for the compression.
void appendPlanes(std::string &out, const std::vector<quint32> &numbers, int width) {
    for (int b = 0; b < width; ++b) {
        for (const quint32 k : numbers)
            out.push_back(static_cast<char>((k >> (8 * b)) & 0xFF));
    }
}

// The texts of a shown column, as a dictionary while few of them repeat over many entries (In
// Folder, Attributes, the Orig columns), else one after the other. The page filters and sorts
// a dictionary by its distinct texts, and holds each once.
void encodeTexts(Field &field, const SnapshotList &list, const EntryFormatter &format,
                 Progress *progress) {
    const int n = list.size();
    // Names, sizes and times are nearly all different: a look at the first entries tells.
    const int sample = std::min(n, 4096);
    const qsizetype giveUp = std::max(256, n / 4);
    QHash<QString, quint32> numbers;
    std::vector<QString> distinct;
    std::vector<quint32> index;
    std::string texts;
    bool dictionary = true;
    for (int i = 0; i < n; ++i) {
        countDone(progress, i);
        const QString text = format.text(list, i, field.column);
        if (dictionary) {
            auto found = numbers.constFind(text);
            if (found == numbers.constEnd() && numbers.size() < giveUp &&
                (i >= sample || numbers.size() < 16 || numbers.size() * 2 < sample)) {
                found = numbers.insert(text, static_cast<quint32>(distinct.size()));
                distinct.push_back(text);
                appendLine(texts, text);
            }
            if (found != numbers.constEnd()) {
                index.push_back(*found);
                continue;
            }
            // Too many distinct texts to gain anything: the texts so far, one after the other,
            // with room for the rest at their length so far.
            std::size_t bytes = 0;
            for (const quint32 k : index)
                bytes += std::size_t(distinct[k].size()) + 1;
            texts.clear();
            texts.reserve((bytes + 16) * std::size_t(n) / std::size_t(i + 1) * 9 / 8);
            for (const quint32 k : index)
                appendLine(texts, distinct[k]);
            dictionary = false;
            numbers = {};
            distinct = {};
            index = {};
        }
        appendLine(texts, text);
    }
    countRest(progress, n);
    if (!dictionary) {
        field.block = packed(texts.data(), texts.size());
        return;
    }
    field.distinct = static_cast<qsizetype>(distinct.size());
    field.width = widthFor(field.distinct);
    std::string bytes;
    bytes.reserve(index.size() * static_cast<std::size_t>(field.width) + texts.size());
    appendPlanes(bytes, index, field.width);
    bytes += texts;
    field.block = packed(bytes.data(), bytes.size());
}

// A hidden key column compares as plain text: its texts are put in that order here, once, and
// the page gets each entry's place in it (equal texts share one). That is half the bytes of the
// texts, and the page sorts a million entries by it at once.
void encodeRanks(Field &field, const SnapshotList &list, const EntryFormatter &format,
                 Progress *progress) {
    const int n = list.size();
    std::vector<char16_t> chars;
    chars.reserve(std::size_t(n) * 16); // key texts are short: digits, mostly
    std::vector<std::size_t> starts{0};
    starts.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i < n; ++i) {
        countDone(progress, i);
        const QString text = format.text(list, i, field.column);
        chars.insert(chars.end(), text.utf16(), text.utf16() + text.size());
        starts.push_back(chars.size());
    }
    auto key = [&](quint32 i) {
        return QStringView(chars.data() + starts[i], qsizetype(starts[i + 1] - starts[i]));
    };
    // The plain order of texts, by the sort every column of the lists comes down to.
    const std::vector<std::uint32_t> order = SortEngine::sortByChunks(
        static_cast<std::size_t>(n), false,
        [&](std::uint32_t i, int chunk, std::uint64_t *prefix) {
            const QStringView text = key(i);
            return SortEngine::packUnits(&text, 1, chunk * SortEngine::PrefixUnits, prefix);
        },
        [](std::uint32_t, std::uint32_t) { return 0; });
    std::vector<quint32> rank(order.size());
    quint32 r = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && key(order[k]) != key(order[k - 1]))
            ++r;
        rank[order[k]] = r;
    }
    countRest(progress, n);
    field.distinct = n > 0 ? qsizetype(r) + 1 : 0;
    field.width = widthFor(field.distinct);
    std::string bytes;
    bytes.reserve(rank.size() * static_cast<std::size_t>(field.width));
    appendPlanes(bytes, rank, field.width);
    field.block = packed(bytes.data(), bytes.size());
}

// Runs job(k, formatter) for every k below n on a thread per core, each thread with its own
// formatter (one caches its texts). The first exception (memory running out) is thrown again
// here, once every thread has stopped.
void forEachOnThreads(std::size_t n, const QLocale &locale,
                      const std::function<void(std::size_t, const EntryFormatter &)> &job) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto work = [&] {
        try {
            const EntryFormatter format(locale);
            for (std::size_t k; !stop.load() && (k = next.fetch_add(1)) < n;)
                job(k, format);
        } catch (...) {
            const std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
            stop = true;
        }
    };
    const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1,
                                                        std::max<std::size_t>(n, 1));
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error &) {
            break; // fewer threads do the same work
        }
    }
    work();
    for (std::thread &t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
}

double rounded(double fraction) {
    return std::round(fraction * 10000) / 10000;
}

QString exactBytes(std::uint64_t bytes, const EntryFormatter &format) {
    return format.sizeText(bytes) +
           (bytes == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

// A folder's cell of the summary as the page shows it, and its tooltip: counts as the window
// writes numbers, bytes in readable units with the exact number in the tooltip.
std::pair<QString, QString> summaryCell(const FolderChange &f, int column,
                                        const EntryFormatter &format) {
    const QLocale &locale = format.locale();
    switch (column) {
    case ChangeSummary::OnlyInOriginal:
        return {format.sizeText(static_cast<std::uint64_t>(f.onlyOriginal)), {}};
    case ChangeSummary::OnlyInFinal:
        return {format.sizeText(static_cast<std::uint64_t>(f.onlyFinal)), {}};
    case ChangeSummary::Changed:
        return {format.sizeText(static_cast<std::uint64_t>(f.changed)), {}};
    case ChangeSummary::BytesRemoved:
        return {ByteScale::readable(f.bytesRemoved, locale), exactBytes(f.bytesRemoved, format)};
    case ChangeSummary::BytesAdded:
        return {ByteScale::readable(f.bytesAdded, locale), exactBytes(f.bytesAdded, format)};
    case ChangeSummary::NetChange: {
        const QString sign = f.netBytes() == 0 ? QString() : f.netNegative() ? u"-"_s : u"+"_s;
        return {sign + ByteScale::readable(f.netBytes(), locale),
                sign + exactBytes(f.netBytes(), format)};
    }
    case ChangeSummary::ContentsOnly:
        return {format.sizeText(static_cast<std::uint64_t>(f.contentsOnly)), {}};
    case ChangeSummary::Moved:
        return {format.sizeText(static_cast<std::uint64_t>(f.moved)), {}};
    default:
        return {};
    }
}

// The chart of a folder: its subfolders with the most bytes changed, on the logarithmic scale
// of the largest, each bar its length and where its removed part ends.
QJsonArray chartOf(const ChangeSummary &summary, int folder, const EntryFormatter &format) {
    const auto &folders = summary.folders();
    QJsonArray bars;
    std::uint64_t largest = 0;
    for (const int k : summary.topChildren(folder, ChartBars)) {
        const FolderChange &f = folders[static_cast<std::size_t>(k)];
        const std::uint64_t bytes = f.bytesChanged();
        if (bytes == 0)
            break;
        largest = std::max(largest, bytes);
        const double length = ByteScale::fraction(bytes, largest);
        // In floating point: the two parts may add up past any 64-bit number.
        const double removed =
            length * double(f.bytesRemoved) / (double(f.bytesRemoved) + double(f.bytesAdded));
        bars.append(QJsonArray{k, rounded(length), rounded(removed),
                               ByteScale::readable(bytes, format.locale()),
                               exactBytes(bytes, format)});
    }
    if (bars.isEmpty())
        return {};
    QJsonArray ticks;
    for (const ByteScale::Tick &tick : ByteScale::ticks(largest))
        ticks.append(QJsonArray{rounded(tick.at), tick.label});
    return QJsonArray{folder, bars, ticks};
}

QJsonObject summaryData(const ChangeSummary &summary, const EntryFormatter &format) {
    QJsonArray headers;
    for (int c = 0; c < ChangeSummary::ColumnCount; ++c)
        headers.append(ChangeSummary::columnHeader(c));
    QJsonArray folders;
    QJsonArray charts;
    const auto &all = summary.folders();
    for (std::size_t k = 0; k < all.size(); ++k) {
        const FolderChange &f = all[k];
        QJsonArray children;
        for (const int child : f.children)
            children.append(child);
        QJsonArray texts, tips;
        for (int c = 1; c < ChangeSummary::ColumnCount; ++c) {
            const auto [text, tip] = summaryCell(f, c, format);
            texts.append(text);
            tips.append(tip);
        }
        // The root is "\", as the window shows it; a folder text from a damaged file may lack
        // its closing "\", which its path then lacks too.
        folders.append(QJsonArray{f.parent < 0 ? u"\\"_s : NameCodec::printable(f.name), f.parent,
                                  f.closed ? 1 : 0, children, texts, tips,
                                  f.contentsOnly > 0 ? 1 : 0});
        if (!f.children.empty()) {
            const QJsonArray chart = chartOf(summary, static_cast<int>(k), format);
            if (!chart.isEmpty())
                charts.append(chart);
        }
    }
    return {
        {u"headers"_s, headers},
        {u"folders"_s, folders},
        {u"charts"_s, charts},
        {u"legend"_s, QLatin1String(ByteScale::Legend)},
        {u"contentsColumn"_s, int(ChangeSummary::ContentsOnly)},
        {u"contentsTip"_s, u"Files whose contents changed while their size and time did not"_s}};
}

// The page folds letter case as the lists' filter and text order do (simple case folding,
// character by character), which a browser has no function for: the table of every character
// that folding changes goes with the data, a few thousand numbers.
QJsonArray foldingTable() {
    QJsonArray table;
    for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const char32_t folded = QChar::toCaseFolded(c);
        if (folded != c) {
            table.append(static_cast<qint64>(c));
            table.append(static_cast<qint64>(folded));
        }
    }
    return table;
}

// A Changed entry's words for what changed are worth showing with or without details; the
// lists show them only beside details.
bool reportShows(ListId listNo, const SnapshotList &list, int c) {
    if (isHiddenColumn(c))
        return false;
    return showsColumn(listNo, c, ListHolds::of(list)) || (column(c).changedOnly && list.hasOrig());
}

// One result list: its columns, the fields that hold their texts and sort keys, and the blocks
// the fields go into.
struct ListPlan {
    ListId listNo;
    std::vector<int> columns;
    std::vector<int> fieldColumns;   // the columns whose texts go in, shown ones and sort keys
    std::vector<std::size_t> fields; // their places among all fields
    QByteArray marks;                // a byte per entry: 1 where it is marked red
};

int fieldOf(const ListPlan &plan, int column) {
    const auto at = std::find(plan.fieldColumns.begin(), plan.fieldColumns.end(), column);
    return at == plan.fieldColumns.end() ? -1 : static_cast<int>(at - plan.fieldColumns.begin());
}

ListPlan planList(ListId listNo, const SnapshotList &list) {
    ListPlan plan{listNo, {}, {}, {}, {}};
    for (int c = 0; c < Col::Count; ++c) {
        if (!reportShows(listNo, list, c))
            continue;
        plan.columns.push_back(c);
        for (const int f : {c, headerSortKey(listNo, c)}) {
            if (f >= 0 && fieldOf(plan, f) < 0)
                plan.fieldColumns.push_back(f);
        }
    }
    // Contents changed behind an unchanged size and time: marked, as the lists mark it.
    if (list.hasOrig()) {
        QByteArray marks(list.size(), '\0');
        bool any = false;
        for (int i = 0; i < list.size(); ++i) {
            if (isQuietContentsChange(list.orig(i).differ)) {
                marks[i] = 1;
                any = true;
            }
        }
        if (any)
            plan.marks = marks;
    }
    return plan;
}

QString blockId(std::size_t n) {
    return QStringLiteral("vistrel-%1").arg(n);
}

QJsonObject listData(const ListPlan &plan, const SnapshotList &list,
                     const std::vector<Field> &fields, const QString &marksBlock,
                     const EntryFormatter &format) {
    QJsonArray columns;
    int sortedColumn = -1;
    for (const int c : plan.columns) {
        const int key = headerSortKey(plan.listNo, c);
        const double width = designWidth(plan.listNo, c);
        if (sortedColumn < 0 && list.sort.sorted() && key == list.sort.key)
            sortedColumn = static_cast<int>(columns.size());
        const QString header = columnHeader(plan.listNo, c);
        columns.append(QJsonObject{
            {u"header"_s, header},
            {u"slug"_s, slugOf(header)},
            {u"field"_s, fieldOf(plan, c)},
            {u"sortField"_s, key < 0 ? -1 : fieldOf(plan, key)},
            {u"right"_s, column(c).alignRight},
            {u"old"_s, column(c).partner >= 0},
            // Twips as the lists lay them out, in CSS pixels (1,440 twips and 96 pixels an
            // inch) half as wide again for the page's larger type; a column that starts hidden
            // in the window gets a width of its own.
            {u"width"_s, width > 0 ? std::round(width / 10) : 160.0},
        });
    }
    QJsonArray fieldData;
    for (const std::size_t k : plan.fields) {
        const Field &f = fields[k];
        fieldData.append(QJsonObject{{u"block"_s, blockId(k)},
                                     {u"ranks"_s, f.ranks},
                                     {u"width"_s, f.width},
                                     {u"distinct"_s, f.distinct}});
    }
    const QString caption = Workspace::tabCaption(plan.listNo);
    QJsonObject data{
        {u"caption"_s, caption},
        {u"slug"_s, slugOf(caption)},
        {u"rows"_s, list.size()},
        {u"countText"_s, format.sizeText(static_cast<std::uint64_t>(list.size()))},
        {u"columns"_s, columns},
        {u"fields"_s, fieldData},
        {u"filter"_s, QJsonArray{fieldOf(plan, Col::Name), fieldOf(plan, Col::InFolder)}},
        {u"sortRefusal"_s, QLatin1String(SortRefusal)}};
    if (!marksBlock.isEmpty())
        data.insert(u"marks"_s, marksBlock);
    if (sortedColumn >= 0)
        data.insert(u"sorted"_s, QJsonObject{{u"column"_s, sortedColumn},
                                             {u"descending"_s, list.sort.order == 1}});
    return data;
}

// The part of the page that reads without its script: title, the two snapshots and the counts.
QString staticHeader(const Workspace &ws, const EntryFormatter &format) {
    QString html = QStringLiteral("<table class=\"snapshots\">\n<thead><tr><th></th>"
                                  "<th>Description</th><th>Taken</th><th>Source</th>"
                                  "<th class=\"number\">Entries</th></tr></thead>\n<tbody>\n");
    for (const ListId n : Lists::Snapshots) {
        const SnapshotList &list = ws.list(n);
        html += QStringLiteral("<tr><th>%1</th><td>%2</td><td>%3</td><td>%4</td>"
                               "<td class=\"number\">%5</td></tr>\n")
                    .arg(escapeHtml(Workspace::tabCaption(n)), escapeHtml(list.description),
                         escapeHtml(format.generalDate(list.created)), escapeHtml(list.source),
                         escapeHtml(format.sizeText(static_cast<std::uint64_t>(list.size()))));
    }
    html += QStringLiteral("</tbody>\n</table>\n<table class=\"counts\">\n<tbody>\n");
    for (const ListId n : Lists::Results) {
        html +=
            QStringLiteral("<tr><th>%1</th><td class=\"number\">%2</td></tr>\n")
                .arg(escapeHtml(Workspace::tabCaption(n)),
                     escapeHtml(format.sizeText(static_cast<std::uint64_t>(ws.list(n).size()))));
    }
    return html + QStringLiteral("</tbody>\n</table>\n");
}

QString cspHash(const QString &text) {
    return QStringLiteral("'sha256-%1'")
        .arg(QString::fromLatin1(
            QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toBase64()));
}

// Walks the page's template: text as it is, and each {{name}} handed to `fill`. What a
// placeholder is filled with is never looked at again, so a description that reads
// "{{script}}" stays that text.
void forEachPart(const QString &page, const std::function<void(QStringView)> &text,
                 const std::function<void(QStringView)> &fill) {
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = page.indexOf(QLatin1String("{{"), from);
        const qsizetype close = open < 0 ? -1 : page.indexOf(QLatin1String("}}"), open + 2);
        if (close < 0) {
            text(QStringView(page).sliced(from));
            return;
        }
        text(QStringView(page).sliced(from, open - from));
        fill(QStringView(page).sliced(open + 2, close - open - 2));
        from = close + 2;
    }
}

} // namespace

HtmlReport::HtmlReport(const Workspace &ws, const ChangeSummary &summary,
                       const EntryFormatter &format)
    : m_ws(ws), m_summary(summary), m_format(format) {}

FileError HtmlReport::write(const QString &path, Progress *progress) const {
    FileWriter writer;
    if (FileError err = writer.open(path))
        return err;
    if (FileError err = write(writer, progress))
        return err;
    return writer.commit();
}

FileError HtmlReport::write(FileWriter &writer, Progress *progress) const {
    const QString page = resourceText("report.html");
    const QString style = resourceText("report.css");
    const QString script = resourceText("report.js");
    if (page.isEmpty() || style.isEmpty() || script.isEmpty())
        return FileError::fromCode(FileError::FileNotFound, QStringLiteral("report template"));

    std::vector<ListPlan> plans;
    std::vector<Field> fields;
    std::int64_t total = 0;
    for (const ListId n : Lists::Results) {
        ListPlan plan = planList(n, m_ws.list(n));
        for (const int c : plan.fieldColumns) {
            plan.fields.push_back(fields.size());
            fields.push_back({n, c, isHiddenColumn(c), 0, 0, {}});
            total += m_ws.list(n).size();
        }
        plans.push_back(std::move(plan));
    }
    if (progress) {
        progress->total = total;
        progress->count = 0;
    }
    // The longest lists first, so that the threads finish together.
    std::vector<std::size_t> order(fields.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return m_ws.list(fields[a].listNo).size() > m_ws.list(fields[b].listNo).size();
    });
    forEachOnThreads(fields.size(), m_format.locale(),
                     [&](std::size_t k, const EntryFormatter &format) {
                         Field &field = fields[order[k]];
                         const SnapshotList &list = m_ws.list(field.listNo);
                         if (field.ranks)
                             encodeRanks(field, list, format, progress);
                         else
                             encodeTexts(field, list, format, progress);
                     });

    std::vector<QByteArray> blocks;
    blocks.reserve(fields.size() + plans.size());
    for (Field &f : fields)
        blocks.push_back(std::move(f.block));
    QJsonArray lists;
    for (const ListPlan &plan : plans) {
        QString marks;
        if (!plan.marks.isEmpty()) {
            marks = blockId(blocks.size());
            blocks.push_back(packed(plan.marks));
        }
        lists.append(listData(plan, m_ws.list(plan.listNo), fields, marks, m_format));
    }
    const SnapshotList &original = m_ws.list(ListId::Original);
    const SnapshotList &final = m_ws.list(ListId::Final);
    const QJsonObject header{
        {u"lists"_s, lists},
        {u"summary"_s, summaryData(m_summary, m_format)},
        {u"fold"_s, foldingTable()},
        {u"groupSeparator"_s, m_format.groupSeparator()},
        {u"written"_s, m_format.generalDate(DateSerial::now())},
    };
    const QByteArray headerBlock = packed(QJsonDocument(header).toJson(QJsonDocument::Compact));

    const QString csp = QStringLiteral("default-src 'none'; script-src %1; style-src %2; "
                                       "base-uri 'none'; form-action 'none'")
                            .arg(cspHash(script), cspHash(style));
    // A snapshot without a description goes by its list's name.
    auto named = [](const SnapshotList &list, ListId n) {
        return list.description.isEmpty() ? Workspace::tabCaption(n) : list.description;
    };
    const QString title = QStringLiteral("%1 compared with %2")
                              .arg(named(original, ListId::Original), named(final, ListId::Final));
    // Each description isolated, so that right-to-left marks in one reorder nothing around it.
    const QString heading = QStringLiteral("<bdi>%1</bdi> compared with <bdi>%2</bdi>")
                                .arg(escapeHtml(named(original, ListId::Original)),
                                     escapeHtml(named(final, ListId::Final)));
    std::string &out = writer.buffer();
    FileError error;
    auto appendBlock = [&](const QString &id, const QByteArray &block) {
        // Base64 holds no "<", so no block can end its element early.
        out += "<script type=\"application/octet-stream\" id=\"";
        out += id.toStdString();
        out += "\">";
        for (qsizetype from = 0; from < block.size() && !error; from += 1 << 20) {
            const QByteArray part =
                block.sliced(from, std::min<qsizetype>(1 << 20, block.size() - from));
            out.append(part.constData(), static_cast<std::size_t>(part.size()));
            error = writer.flushIfFull();
        }
        out += "</script>\n";
    };
    forEachPart(
        page, [&](QStringView text) { TextCodec::appendUtf8(out, text); },
        [&](QStringView name) {
            if (name == u"csp")
                TextCodec::appendUtf8(out, csp);
            else if (name == u"title")
                TextCodec::appendUtf8(out, escapeHtml(title));
            else if (name == u"heading")
                TextCodec::appendUtf8(out, heading);
            else if (name == u"style")
                TextCodec::appendUtf8(out, style);
            else if (name == u"script")
                TextCodec::appendUtf8(out, script);
            else if (name == u"snapshots")
                TextCodec::appendUtf8(out, staticHeader(m_ws, m_format));
            else if (name == u"data") {
                appendBlock(QStringLiteral("vistrel-header"), headerBlock);
                for (std::size_t k = 0; k < blocks.size() && !error; ++k)
                    appendBlock(blockId(k), blocks[k]);
            }
        });
    if (error)
        return error;
    return writer.flushIfFull();
}
