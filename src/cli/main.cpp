#include "Args.h"
#include "CommandTable.h"
#include "ImportReportCommands.h"
#include "OutputBuffer.h"
#include "SameFile.h"
#include "TsvLines.h"
#include "compare/ChangeSummary.h"
#include "compare/Comparison.h"
#include "compare/PackageSummary.h"
#include "compare/TimeShift.h"
#include "files/ChecksumExport.h"
#include "files/CsvExport.h"
#include "files/ExcludeFile.h"
#include "files/FileWriter.h"
#include "files/JsonLines.h"
#include "files/MtreeExport.h"
#include "files/PendingFiles.h"
#include "files/SnapshotFile.h"
#include "print/HtmlReport.h"
#include "snapshot/ContentsHasher.h"
#include "snapshot/DateSerial.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/LargeBlocks.h"
#include "snapshot/NameCodec.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/RootPackages.h"
#include "snapshot/Scanner.h"
#include "snapshot/SideBySide.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/WhatChanged.h"
#include "snapshot/Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <unistd.h>
#include <unordered_map>

namespace {

// Texts of the program's own; what came from outside is made printable before it gets here.
void print(const QString &text, std::FILE *to) {
    std::fputs(text.toUtf8().constData(), to);
}

// An error message echoes paths, arguments and lines of the files read.
void printError(const QString &message) {
    print(QStringLiteral("vistrel-cli: ") + NameCodec::printable(message) + u'\n', stderr);
}

// Help that cannot be written (a full disk, a closed pipe) is an error like any other output.
int printHelp(const QString &text, const char *what) {
    print(text, stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        printError(QStringLiteral("cannot write the %1").arg(QLatin1String(what)));
        return 2;
    }
    return 0;
}

// More threads than this only cost memory and descriptors: the disk sets the pace long before.
constexpr int MaxThreads = 256;

// The patterns given with --exclude and those of the files --exclude-from names.
QStringList exclusionsOf(const Args &args) {
    QStringList patterns = args.lists.value(QStringLiteral("--exclude"));
    for (const QString &file : args.lists.value(QStringLiteral("--exclude-from")))
        check(readExcludeFile(file, patterns), file);
    return patterns;
}

// Reads the contents of every file of a scanned list, but for those `earlier` (when given) read
// and that have not changed since; says which could not be read.
void hashContents(const PathArgument &root, SnapshotList &list, const SnapshotList *earlier) {
    ContentsHasher hasher;
    hasher.reuseFrom(earlier);
    hasher.hash(root.native, list, ContentsHasher::threadsFor(root.native));
    const qsizetype n = hasher.unreadable().size();
    if (n == 0)
        return;
    QString text = QStringLiteral("vistrel-cli: ") +
                   (n == 1 ? QStringLiteral("1 file could not be read:")
                           : QStringLiteral("%1 files could not be read:").arg(n));
    for (const QString &path :
         NewSnapshot::unreadablePaths(root.text, hasher.unreadable(), INT_MAX))
        text += QStringLiteral("\n  ") + NameCodec::printable(path);
    print(text + u'\n', stderr);
}

// What a scan reads of the files: nothing, or their contents, taking the digests of an earlier
// snapshot for files unchanged since.
struct ContentsWanted {
    bool wanted = false;
    const SnapshotList *earlier = nullptr;
    QString earlierFile; // the earlier snapshot's file, read while the folder is scanned
};

// Scans a folder as the snapshot command does: --no-subdirs, --all-volumes and the exclusions,
// and the contents when asked. `includeSubs` false reads the root alone whatever the arguments
// say.
void scan(const PathArgument &root, const Args &args, const QStringList &exclude,
          SnapshotList &list, bool includeSubs = true, ContentsWanted contents = {}) {
    auto reader = makeDirectoryReader(args.has("--all-volumes"));
    Scanner scanner(*reader);
    scanner.setExclusions(ExcludePatterns(exclude));
    scanner.setKeepChangeTimes(contents.wanted);
    // The file is the same whatever the number; it is there to measure what the threads bring.
    if (args.options.contains(QStringLiteral("--threads"))) {
        bool ok = false;
        const int threads = args.options.value(QStringLiteral("--threads")).toInt(&ok);
        if (!ok || threads < 1 || threads > MaxThreads)
            failUsage(QStringLiteral("--threads takes a number from 1 to %1").arg(MaxThreads));
        scanner.setReadThreads(threads);
    }
    bool rootRead = false;
    auto readFolder = [&] {
        rootRead = scanner.readDirectory(root.native, root.text, list,
                                         includeSubs && !args.has("--no-subdirs"));
    };
    SnapshotList fromFile;
    if (contents.earlierFile.isEmpty()) {
        readFolder();
    } else {
        runSideBySide([&] { load(contents.earlierFile, fromFile); }, readFolder);
        contents.earlier = &fromFile;
    }
    if (!rootRead)
        fail(root.text + QStringLiteral(": cannot read this folder"));
    // Said, not failed: the snapshot holds what could be read, and scripts rely on status 0.
    if (!list.unreadable.isEmpty()) {
        QString text = QStringLiteral("vistrel-cli: ") +
                       NewSnapshot::unreadableCount(list.unreadable.size()) + u':';
        for (const QString &path :
             NewSnapshot::unreadablePaths(root.text, list.unreadable, INT_MAX))
            text += QStringLiteral("\n  ") + NameCodec::printable(path);
        print(text + u'\n', stderr);
    }
    if (contents.wanted)
        hashContents(root, list, args.has("--rehash") ? nullptr : contents.earlier);
    list.description = root.text;
    list.created = DateSerial::now();
    list.source = NewSnapshot::sourceText(NewSnapshot::volumeText(root.text), root.text);
}

int cmdSnapshot(const Args &args) {
    if (args.positional.size() != 1)
        failUsage(QStringLiteral("snapshot takes one folder"));
    const PathArgument root = absolutePath(args.positional[0]);
    const QString out = args.required(QStringLiteral("-o"));
    refuseInputAsOutput({out}, args.lists.value(QStringLiteral("--exclude-from")));
    const QString reuse = args.options.value(QStringLiteral("--reuse"));
    SnapshotList list;
    scan(root, args, exclusionsOf(args), list, true,
         {args.has("--contents") || !reuse.isEmpty() || args.has("--rehash"), nullptr,
          args.has("--rehash") ? QString() : reuse});
    if (args.has("--packages")) {
        if (const QString problem = RootPackages::attach(list, root.native); !problem.isEmpty())
            fail(NameCodec::printable(root.text) + QStringLiteral(": ") + problem);
    }
    check(saveSnapshot(list, false, out), out);
    return 0;
}

// Memory that runs out while a stream writes must not be needed again by the stream's last
// flush, in its destructor: unwinding lets the stream go without it.
class DropOnUnwind {
public:
    explicit DropOnUnwind(QTextStream &out) : m_out(out) {}
    ~DropOnUnwind() {
        if (std::uncaught_exceptions() > m_exceptions)
            m_out.setStatus(QTextStream::WriteFailed);
    }

private:
    QTextStream &m_out;
    const int m_exceptions = std::uncaught_exceptions();
};

// A full disk or a closed pipe is an error, not a success with less output.
void finishText(QTextStream &out, const char *what) {
    out.flush();
    if (out.status() != QTextStream::Ok || std::fflush(stdout) != 0)
        fail(QStringLiteral("cannot write the %1").arg(QLatin1String(what)));
}

// The columns a script reads: the plain twelve, then the details where the list holds them,
// and for the results of a comparison what changed, in rpm -V letters.
int columnsOf(const SnapshotList &list, bool results) {
    return !list.hasDetails() ? Col::PlainCount : results ? Col::DetailsCount : Col::WhatChanged;
}

// Gives a snapshot the packages that own its entries, or fails saying why it has none.
void attachPackages(SnapshotList &snapshot, const QString &file) {
    if (const QString problem = RootPackages::attach(snapshot); !problem.isEmpty())
        fail(file + QStringLiteral(": ") + problem);
}

int cmdList(const Args &args) {
    if (args.positional.size() != 1)
        failUsage(QStringLiteral("list takes one file"));
    SnapshotList list;
    load(args.positional[0], list);
    // The column comes when asked for, also from a file that recorded the owners.
    if (args.has("--packages"))
        attachPackages(list, args.positional[0]);
    else
        list.setPackages(nullptr, {});
    if (args.has("--json")) {
        OutputBuffer out;
        JsonLines lines(NameCodec::printable(args.positional[0]));
        for (int i = 0; i < list.size(); ++i)
            out.appendWith([&](std::string &text) { lines.append(text, list, i); });
        out.finish("list");
        return 0;
    }
    const int columns = columnsOf(list, false);
    QStringList header;
    for (int c = 0; c < columns; ++c)
        header << columnName(c);
    if (list.hasPackages())
        header << columnHeader(Col::Package);
    OutputBuffer out;
    out.append((header.join(u'\t') + u'\n').toUtf8());
    TsvLines lines(list, columns);
    const std::string none;
    std::unordered_map<std::uint32_t, std::string> ownerTexts;
    const EntryFormatter format;
    for (int i = 0; i < list.size(); ++i) {
        out.appendWith([&](std::string &text) {
            lines.append(text, none, i);
            if (!list.hasPackages())
                return;
            // The column after the others, before the line's end.
            text.back() = '\t';
            std::string &owner = ownerTexts[list.packageSet(i)];
            if (owner.empty())
                owner = format.text(list, i, Col::Package).toStdString();
            text += owner;
            text.push_back('\n');
        });
    }
    out.finish("list");
    return 0;
}

// The --ignore list: attributes and details that do not count. A list that names no attribute
// leaves the attributes as they are by default (only archive ignored).
void setIgnored(const QString &text, CompareOptions &options) {
    if (text == u"none") {
        options.ignoreAttr = {};
        return;
    }
    static const char *const attributes[6] = {"read-only", "hidden",    "system",
                                              "na",        "directory", "archive"};
    const std::pair<const char *, bool CompareOptions::*> details[] = {
        {"mode", &CompareOptions::ignoreMode},       {"owner", &CompareOptions::ignoreOwner},
        {"group", &CompareOptions::ignoreGroup},     {"link", &CompareOptions::ignoreLink},
        {"caps", &CompareOptions::ignoreCapability}, {"contents", &CompareOptions::ignoreContents}};
    std::array<bool, 6> ignored{};
    bool anyAttribute = false;
    for (const QString &listed : text.split(u',')) {
        const QString item = listed.trimmed();
        const auto attribute =
            std::find_if(std::begin(attributes), std::end(attributes),
                         [&](const char *name) { return item == QLatin1String(name); });
        const auto detail =
            std::find_if(std::begin(details), std::end(details),
                         [&](const auto &d) { return item == QLatin1String(d.first); });
        if (attribute != std::end(attributes)) {
            ignored[static_cast<std::size_t>(attribute - std::begin(attributes))] = true;
            anyAttribute = true;
        } else if (detail != std::end(details)) {
            options.*(detail->second) = true;
        } else {
            failUsage(QStringLiteral("unknown item %1 in --ignore").arg(listed));
        }
    }
    if (anyAttribute)
        options.ignoreAttr = ignored;
}

QString checkedLimit(const SnapshotList &list, const QString &limit, const QString &file) {
    if (list.findLimit(limit) >= 0)
        return limit;
    fail(QStringLiteral("%1: no folder %2 to limit the comparison to").arg(file, limit));
}

// On standard error, so that what a script reads from the output stays as it was.
void printTimeShift(const TimeShiftHint &hint) {
    if (hint.kind == TimeShiftHint::None)
        return;
    const QString flag =
        hint.kind == TimeShiftHint::WholeHours
            ? QStringLiteral("--ignore-hour-shifts to ignore the shift")
            : QStringLiteral("--tolerance %1 to allow for them").arg(hint.tolerance);
    print(NameCodec::printable(hint.message()) + QStringLiteral("\nCompare again with ") +
              NameCodec::printable(flag) + QStringLiteral(".\n"),
          stderr);
}

// How deep --summary goes: every folder unless --depth gives a whole number.
int summaryDepth(const Args &args) {
    const QString depth = QStringLiteral("--depth");
    if (!args.options.contains(depth))
        return -1;
    if (!args.has("--summary"))
        failUsage(QStringLiteral("--depth needs --summary"));
    const QString text = args.options.value(depth);
    bool ok = !text.isEmpty() &&
              std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int n = ok ? text.toInt(&ok) : 0;
    if (!ok)
        failUsage(QStringLiteral("--depth takes a whole number, not %1").arg(text));
    return n;
}

// The result lists a comparison gives: the four, and the moved entries when looked for.
std::vector<ListId> resultLists(const CompareOptions &options) {
    std::vector<ListId> lists(Lists::FourResults.begin(), Lists::FourResults.end());
    if (options.findMoves)
        lists.push_back(ListId::Moved);
    return lists;
}

void writeCounts(QTextStream &out, const Workspace &ws, const CompareOptions &options) {
    for (const ListId n : resultLists(options))
        out << Workspace::tabCaption(n) << ": " << ws.list(n).size() << '\n';
}

// The columns of a result list's lines: the Moved list's say where each entry came from and
// how it was matched.
std::vector<int> tsvColumns(const SnapshotList &list, ListId n) {
    std::vector<int> columns;
    for (int c = 0; c < columnsOf(list, true); ++c)
        columns.push_back(c);
    if (n == ListId::Moved)
        columns.insert(columns.end(), {Col::From, Col::HowMatched});
    return columns;
}

void writeTsv(const Workspace &ws, const CompareOptions &options) {
    OutputBuffer out;
    for (const ListId n : resultLists(options)) {
        const SnapshotList &list = ws.list(n);
        TsvLines lines(list, tsvColumns(list, n));
        const std::string caption = Workspace::tabCaption(n).toStdString() + '\t';
        for (int i = 0; i < list.size(); ++i)
            out.appendWith([&](std::string &text) { lines.append(text, caption, i); });
    }
    out.finish("results");
}

void writeJson(const Workspace &ws, const CompareOptions &options) {
    OutputBuffer out;
    for (const ListId n : resultLists(options)) {
        const SnapshotList &list = ws.list(n);
        JsonLines lines(Workspace::tabCaption(n), n);
        for (int i = 0; i < list.size(); ++i)
            out.appendWith([&](std::string &text) { lines.append(text, list, i); });
    }
    out.finish("results");
}

// The paths of the result files in the folder --out names, in the order of Lists::Results: the
// four, and the moved entries when moves are looked for.
QStringList resultPaths(const QString &folder, bool moves) {
    const QDir dir(folder);
    QStringList paths;
    for (const char *name :
         {"only-in-original.dir", "only-in-final.dir", "changed.dir", "unchanged.dir", "moved.dir"})
        paths << dir.filePath(QLatin1String(name));
    if (!moves)
        paths.removeLast();
    return paths;
}

// All files are written before any takes its place, and then all of them take their places or
// none: results of two comparisons never mix.
void saveResults(const Workspace &ws, const QStringList &paths) {
    std::vector<FileWriter> writers(std::size_t(paths.size()));
    std::vector<FileWriter *> all;
    for (std::size_t k = 0; k < writers.size(); ++k) {
        FileWriter &writer = writers[k];
        const QString &path = paths[qsizetype(k)];
        check(writer.open(path), path);
        check(writeSnapshot(ws.list(Lists::Results[k]), true, writer), path);
        check(writer.finish(), path);
        all.push_back(&writer);
    }
    FileWriter *failed = nullptr;
    const FileError err = FileWriter::replaceAll(all, &failed);
    check(err, failed ? failed->path() : QString());
}

// The two snapshots to compare: two files read side by side, or with --with-folder a file and
// the folder it was taken of (or the one named) read again as it is now.
void readPair(const Args &args, const QStringList &exclude, Workspace &ws) {
    const bool withFolder = args.has("--with-folder");
    for (const char *flag : {"--no-subdirs", "--all-volumes"}) {
        if (!withFolder && args.has(flag))
            failUsage(QStringLiteral("%1 needs --with-folder").arg(QLatin1String(flag)));
    }
    if (withFolder) {
        if (args.positional.isEmpty() || args.positional.size() > 2)
            failUsage(
                QStringLiteral("compare --with-folder takes one file, and a folder if it names "
                               "none"));
        load(args.positional[0], ws.list(ListId::Original));
        QString folder = args.positional.value(1);
        if (folder.isEmpty())
            folder = NewSnapshot::rootFromSource(ws.list(ListId::Original).source);
        if (folder.isEmpty())
            fail(args.positional[0] + QStringLiteral(": names no folder it was taken of; give "
                                                     "the folder after the file"));
        // Read as it was taken: without subfolders when it was taken so (else all below would
        // show as new), with contents when it has them.
        const SnapshotList &original = ws.list(ListId::Original);
        scan(absolutePath(folder), args, exclude, ws.list(ListId::Final),
             !NewSnapshot::takenWithoutSubfolders(original),
             {original.hasContents(), &original, {}});
        return;
    }
    if (args.positional.size() != 2)
        failUsage(QStringLiteral("compare takes two files"));
    FileError finalError;
    FileError originalError;
    runSideBySide(
        [&] { finalError = readSnapshot(args.positional[1], ws.list(ListId::Final)); },
        [&] { originalError = readSnapshot(args.positional[0], ws.list(ListId::Original)); });
    check(originalError, args.positional[0]);
    check(finalError, args.positional[1]);
}

int cmdCompare(const Args &args) {
    const QString limitO = QStringLiteral("--limit-original"),
                  limitF = QStringLiteral("--limit-final"), ignore = QStringLiteral("--ignore"),
                  tolerance = QStringLiteral("--tolerance"), outDir = QStringLiteral("--out");
    if (args.has("--json") && (args.has("--tsv") || args.has("--summary")))
        failUsage(QStringLiteral("--json goes with neither --tsv nor --summary"));
    const int depth = summaryDepth(args);
    const bool byPackage = args.has("--packages");
    if (byPackage && !args.has("--summary"))
        failUsage(QStringLiteral("--packages needs --summary"));
    if (byPackage && depth >= 0)
        failUsage(QStringLiteral("--depth goes with the summary by folder, not --packages"));
    const QString toleranceText = args.options.value(tolerance, QStringLiteral("0"));
    if (!isValidTolerance(toleranceText))
        failUsage(
            QStringLiteral("--tolerance takes a number of minutes, not \"%1\"").arg(toleranceText));
    if (args.has("--moves") && args.has("--no-moves"))
        failUsage(QStringLiteral("--moves and --no-moves go apart"));
    const bool moves = !args.has("--no-moves");
    const QStringList results = args.options.contains(outDir)
                                    ? resultPaths(args.options.value(outDir), moves)
                                    : QStringList();
    const QString htmlOption = QStringLiteral("--html");
    const bool wantsHtml = args.options.contains(htmlOption);
    const QString html = args.options.value(htmlOption);
    refuseInputAsOutput(wantsHtml ? results + QStringList{html} : results,
                        args.positional + args.lists.value(QStringLiteral("--exclude-from")));
    const QStringList exclude = exclusionsOf(args);
    Workspace ws;
    readPair(args, exclude, ws);
    if (byPackage) {
        SnapshotList &original = ws.list(ListId::Original);
        attachPackages(original, args.positional[0]);
        attachPackages(ws.list(ListId::Final),
                       args.positional.value(1, ws.list(ListId::Final).description));
    }
    CompareOptions options;
    options.reset(ListId::Original);
    if (args.options.contains(ignore))
        setIgnored(args.options.value(ignore), options);
    options.ignoreSize = args.has("--ignore-size");
    options.ignoreStamp = args.has("--ignore-time");
    options.tolerance = toleranceText;
    options.ignoreHourShifts = args.has("--ignore-hour-shifts");
    options.exclude = exclude;
    options.findMoves = moves;
    if (args.options.contains(limitO))
        options.limitOriginal =
            checkedLimit(ws.list(ListId::Original), args.options.value(limitO), args.positional[0]);
    if (args.options.contains(limitF))
        options.limitFinal =
            checkedLimit(ws.list(ListId::Final), args.options.value(limitF),
                         args.positional.value(1, ws.list(ListId::Final).description));
    runComparison(ws, options);

    if (args.has("--json")) {
        writeJson(ws, options);
    } else if (args.has("--tsv") && !args.has("--summary")) {
        writeTsv(ws, options);
    } else {
        QTextStream out(stdout);
        const DropOnUnwind dropOnUnwind(out);
        out.setEncoding(QStringConverter::Utf8);
        if (byPackage) {
            PackageSummary::build(ws).writeTsv(out);
        } else if (args.has("--summary")) {
            ChangeSummary::build(ws).writeTsv(out, depth);
        } else {
            writeCounts(out, ws, options);
        }
        finishText(out, "results");
    }
    if (!results.isEmpty())
        saveResults(ws, results);
    if (wantsHtml)
        check(HtmlReport(ws, ChangeSummary::build(ws), EntryFormatter()).write(html), html);
    printTimeShift(detectTimeShift(ws.list(ListId::Changed), options));
    const bool differ = !ws.list(ListId::OnlyInOriginal).isEmpty() ||
                        !ws.list(ListId::OnlyInFinal).isEmpty() ||
                        !ws.list(ListId::Changed).isEmpty();
    return differ ? 1 : 0;
}

int cmdExport(const Args &args) {
    if (args.positional.size() != 1)
        failUsage(QStringLiteral("export takes one file"));
    const QString out = args.required(QStringLiteral("-o"));
    refuseInputAsOutput({out}, {args.positional[0]});
    SnapshotList list;
    load(args.positional[0], list);
    if (args.has("--sha256sum")) {
        if (!list.hasContents())
            fail(args.positional[0] + QStringLiteral(": holds no digests; take the snapshot "
                                                     "with --contents"));
        check(exportSha256sum(list, out), out);
        return 0;
    }
    if (args.has("--mtree")) {
        check(exportMtree(list, out), out);
        return 0;
    }
    check(exportCsv(list, out, EntryFormatter(), nullptr,
                    args.has("--details") ? CsvColumns::WithDetails : CsvColumns::Specified),
          out);
    return 0;
}

int run(const QString &command, const Args &args) {
    if (command == u"snapshot")
        return cmdSnapshot(args);
    if (command == u"list")
        return cmdList(args);
    if (command == u"export")
        return cmdExport(args);
    if (command == u"compare")
        return cmdCompare(args);
    if (command == u"import")
        return cmdImport(args);
    return cmdReport(args);
}

} // namespace

static int runProgram(int argc, char **argv) {
    PendingFiles::removeOnSignals();
    returnLargeBlocksWhenFreed();
    QCoreApplication app(argc, argv);
    // Every argument by its bytes: a path that is not UTF-8 still names its own file.
    QStringList args;
    for (int k = 1; k < argc; ++k)
        args << NameCodec::pathFromBytes(argv[k]);
    if (args.isEmpty()) {
        print(QStringLiteral("vistrel-cli: missing command\n") + programUsage(), stderr);
        return 2;
    }
    if (args[0] == u"--help" || args[0] == u"-h")
        return printHelp(programHelp(), "help");
    if (args[0] == u"--version")
        return printHelp(versionText(), "version");
    const QString name = args.takeFirst();
    const CommandInfo *command = findCommand(name);
    try {
        if (!command)
            failUsage((name.startsWith(u'-') ? QStringLiteral("unknown option %1")
                                             : QStringLiteral("unknown command %1"))
                          .arg(name));
        const Args parsed(args, *command);
        if (parsed.has("--help"))
            return printHelp(commandHelp(*command), "help");
        return run(name, parsed);
    } catch (const Failure &f) {
        printError(f.message);
        if (f.usage)
            print(command ? commandUsage(*command) : programUsage(), stderr);
        return 2;
    }
}

int main(int argc, char **argv) {
    // Memory that runs out anywhere ends the command with one line, as any failure does.
    try {
        return runProgram(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fputs("vistrel-cli: out of memory\n", stderr);
        return 2;
    }
}
