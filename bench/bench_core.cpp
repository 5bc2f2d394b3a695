// Figures for the core: saving, loading, exporting, sorting and comparing large lists, scanning
// trees, and the memory they take. Prints its figures; it does not judge them.
#include "compare/ChangeSummary.h"
#include "compare/Comparison.h"
#include "compare/MoveFinder.h"
#include "files/CsvExport.h"
#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/LargeBlocks.h"
#include "snapshot/Scanner.h"
#include "snapshot/Workspace.h"
#include "sort/ColumnSorts.h"

#include "ProcStatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Names as installers leave them: words, sometimes a number, an extension.
QString fileName(std::mt19937 &rng) {
    static const char *const words[] = {
        "Setup",  "readme", "Network", "driver", "api",     "core",    "Microsoft", "msvc",
        "Update", "help",   "Config",  "data",   "Library", "plugin",  "theme",     "icon",
        "font",   "locale", "Shell",   "win32",  "UI",      "service", "cache",     "log",
        "backup", "Print",  "scan",    "Media",  "player",  "codec",   "sync",      "index"};
    static const char *const exts[] = {".dll", ".exe", ".txt", ".ini", ".dat",
                                       ".png", ".xml", ".sys", ".cab", ""};
    QString name = QLatin1String(words[rng() % 32]);
    if (rng() % 2)
        name += u'_';
    name += QLatin1String(words[rng() % 32]);
    if (rng() % 3)
        name += QString::number(rng() % 5000);
    return name + QLatin1String(exts[rng() % 10]);
}

// A snapshot-like list: folders of 5 to 40 entries, nested three levels, names of typical length.
void generate(SnapshotList &list, int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> perFolder(5, 40);
    std::uniform_int_distribution<std::uint64_t> size(0, 50'000'000);
    std::uniform_int_distribution<int> secs(0, 20 * 365 * 86400);
    const double base = DateSerial::fromLocal(2005, 1, 1, 0, 0, 0);
    list.reserve(static_cast<std::size_t>(n));
    int folderNo = 0;
    QString folder;
    while (list.size() < n) {
        const int files = perFolder(rng);
        folder = QStringLiteral("Program Files\\Vendor %1\\Product %2\\Component%3\\")
                     .arg(folderNo / 400)
                     .arg(folderNo / 20)
                     .arg(folderNo);
        ++folderNo;
        list.append(QStringLiteral("Sub%1").arg(folderNo), folder, 16, 0, std::nan(""));
        for (int k = 0; k < files && list.size() < n; ++k) {
            const QString name = fileName(rng);
            list.append(name, folder, 32, size(rng), base + secs(rng) / 86400.0);
        }
    }
}

// The same list with about one entry in `every` changed, removed or added.
void derive(const SnapshotList &from, SnapshotList &to, int every, unsigned seed) {
    std::mt19937 rng(seed);
    to.reserve(static_cast<std::size_t>(from.size()));
    for (int i = 0; i < from.size(); ++i) {
        const Entry &e = from.entry(i);
        const unsigned r = rng() % static_cast<unsigned>(every * 3);
        if (r == 0)
            continue; // removed
        const std::uint64_t size = r == 1 ? e.size + 1 : e.size;
        to.append(from.name(i), from.folder(i), e.attr, size, e.modified);
        if (r == 2)
            to.append(from.name(i).toString() + QStringLiteral(".new"), from.folder(i), 32, 10,
                      e.modified);
    }
}

// The list with the details and digests a POSIX scan with contents would give, made from each
// entry's path, so that an entry of the Original and its partner in the Final get the same. In
// the Final about one file in 200 has other contents with its size and time kept, and one in
// 300 another mode.
void addDetails(const SnapshotList &from, SnapshotList &to, bool final) {
    to.reserve(static_cast<std::size_t>(from.size()));
    for (int i = 0; i < from.size(); ++i) {
        const Entry &e = from.entry(i);
        const std::size_t h = qHash(from.name(i), 0) ^ (qHash(from.folder(i), 0) * 31);
        Details d;
        d.mode = e.isFolder() ? 040755 : h % 20 == 0 ? 0120777 : 0100644;
        if (final && h % 300 == 1)
            d.mode ^= 0111;
        d.uid = d.gid = h % 7 == 0 ? 1000 : 0;
        d.links = e.isFolder() ? 2 : 1;
        d.device = 2049;
        d.inode = 1000 + static_cast<std::uint64_t>(i);
        d.nanoseconds = static_cast<std::uint32_t>(h % 1'000'000'000);
        if ((d.mode & 0170000) == 0120000)
            d.linkTarget = QStringLiteral("/opt/target/") + from.name(i).toString();
        to.append(from.name(i), to.internFolder(from.folder(i)), e.attr, e.size, e.modified, d);
        if ((d.mode & 0170000) == 0100000) {
            Digest digest{};
            const std::size_t salt = final && h % 200 == 0 ? 1 : 0;
            for (std::size_t k = 0; k < digest.size(); ++k)
                digest[k] = static_cast<std::uint8_t>((h >> (k % 8 * 8)) + e.size + salt + k);
            to.setDigest(to.size() - 1, digest);
        }
    }
}

template <typename F> double seconds(F &&f) {
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

void check(const FileError &err) {
    if (err) {
        std::fprintf(stderr, "error: %s\n", qPrintable(err.message()));
        std::exit(2);
    }
}

// The change summary of the comparison in the workspace, against the comparison on sorted lists
// (the anchor: the summary reads the same result lists once more).
void printSummary(const Workspace &ws, double anchor) {
    std::size_t folders = 0;
    const double t = seconds([&] { folders = ChangeSummary::build(ws).folders().size(); });
    std::printf("summary:          %.3f s (%.2f x compare again, %zu folders)\n", t, t / anchor,
                folders);
}

int runAll(int n) {
    QTemporaryDir dir;
    const QString file1 = dir.filePath(QStringLiteral("original.dir"));
    const QString file2 = dir.filePath(QStringLiteral("final.dir"));
    {
        SnapshotList a, b;
        generate(a, n, 1);
        derive(a, b, 100, 2);
        std::printf("entries: %d original, %d final\n", a.size(), b.size());
        std::printf("save:             %.3f s\n",
                    seconds([&] { check(saveSnapshot(a, false, file1)); }));
        check(saveSnapshot(b, false, file2));
        std::printf("file size:        %.1f MB\n", QFileInfo(file1).size() / 1e6);
    }
    Workspace ws;
    std::printf("load:             %.3f s\n",
                seconds([&] { check(readSnapshot(file1, ws.list(ListId::Original))); }));
    check(readSnapshot(file2, ws.list(ListId::Final)));
    const QString csv = dir.filePath(QStringLiteral("original.csv"));
    std::printf(
        "export csv:       %.3f s\n", seconds([&] {
            check(exportCsv(ws.list(ListId::Original), csv,
                            EntryFormatter(QLocale(QLocale::English, QLocale::UnitedKingdom))));
        }));
    const int keys[] = {Col::Name,    Col::InFolder, Col::MatchKey,
                        Col::SizeKey, Col::DateKey,  Col::AttrBits};
    for (int key : keys) {
        SnapshotList copy;
        check(readSnapshot(file2, copy));
        std::printf("sort by %-9s %.3f s\n", qPrintable(columnName(key) + u':'),
                    seconds([&] { sortList(copy, key, 0); }));
    }
    CompareOptions options;
    options.reset(ListId::Original);
    std::printf("compare:          %.3f s (sorts included)\n",
                seconds([&] { runComparison(ws, options); }));
    const double again = seconds([&] { runComparison(ws, options); });
    std::printf("compare again:    %.3f s (lists already sorted)\n", again);
    for (const ListId k : Lists::Results)
        std::printf("  %-17s %d\n", qPrintable(Workspace::tabCaption(k) + u':'), ws.list(k).size());
    printSummary(ws, again);
    std::printf("peak RSS:         %.1f MB\n", peakRssKb() / 1024.0);
    return 0;
}

// Wall and processor (user + system) seconds of one step.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

double cpuSeconds(const rusage &u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <typename F> Timing timed(F &&f) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    Timing t;
    t.wall = seconds(f);
    getrusage(RUSAGE_SELF, &after);
    t.cpu = cpuSeconds(after) - cpuSeconds(before);
    return t;
}

// Runs a command (no shell) and times it, its own processor time from wait4().
Timing timedCommand(const std::vector<QByteArray> &argv, const QByteArray &output = {}) {
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!output.isEmpty()) {
            const int fd = ::open(output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, 1);
        }
        std::vector<char *> args;
        for (const QByteArray &a : argv)
            args.push_back(const_cast<char *>(a.constData()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Timing t;
    t.wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    t.cpu = cpuSeconds(usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "error: %s failed\n", argv[0].constData());
        std::exit(2);
    }
    return t;
}

void keepBest(Timing &best, const Timing &t) {
    if (best.wall == 0 || t.wall < best.wall)
        best = t;
}

// Opening and saving a snapshot file beside the tools that only read or write its bytes, in
// the same rounds: awk summing the size column reads the file as the anchor of a load, dd
// writing the same bytes and syncing them (as a save does) the anchor of a save.
int runLoadSave(const QString &file, int rounds) {
    const QByteArray path = QFile::encodeName(file);
    const QString copy = file + QStringLiteral(".bench-save");
    const QByteArray copyPath = QFile::encodeName(copy);
    Timing awk, load, dd, save;
    int entries = 0;
    for (int r = 0; r < rounds; ++r) {
        keepBest(awk, timedCommand({"awk", "-F,", "{s+=$4}", path}));
        SnapshotList list;
        keepBest(load, timed([&] { check(readSnapshot(file, list)); }));
        entries = list.size();
        keepBest(dd, timedCommand({"dd", "if=" + path, "of=" + copyPath, "bs=1M", "conv=fdatasync",
                                   "status=none"}));
        QFile::remove(copy);
        keepBest(save, timed([&] { check(saveSnapshot(list, false, copy)); }));
        QFile::remove(copy);
    }
    std::printf("%d entries, %.1f MB, best of %d rounds (wall s, user+sys s)\n", entries,
                QFileInfo(file).size() / 1e6, rounds);
    std::printf("awk -F, '{s+=$4}':  %.3f  %.3f\n", awk.wall, awk.cpu);
    std::printf("load:               %.3f  %.3f  %.2f x awk\n", load.wall, load.cpu,
                load.wall / awk.wall);
    std::printf("dd conv=fdatasync:  %.3f  %.3f\n", dd.wall, dd.cpu);
    std::printf("save:               %.3f  %.3f  %.2f x dd\n", save.wall, save.cpu,
                save.wall / dd.wall);
    return 0;
}

// Peak memory of one list loaded from a file, against the same process with nothing loaded.
int runMemory(const QString &file) {
    const long before = peakRssKb();
    SnapshotList list;
    check(readSnapshot(file, list));
    const long after = peakRssKb();
    std::printf("entries %d, peak RSS before %.1f MB, after %.1f MB, %.1f bytes per entry\n",
                list.size(), before / 1024.0, after / 1024.0,
                (after - before) * 1024.0 / std::max(1, list.size()));
    return 0;
}

int runScanMemory(const QString &root, const QStringList &exclude) {
    const long before = peakRssKb();
    SnapshotList list;
    auto reader = makeDirectoryReader();
    Scanner scanner(*reader);
    scanner.setExclusions(ExcludePatterns(exclude));
    const double t = seconds([&] { scanner.readDirectory(root, list, true); });
    const long after = peakRssKb();
    std::printf("scanned %d entries in %.3f s, peak RSS before %.1f MB, after %.1f MB, %.1f bytes "
                "per entry\n",
                list.size(), t, before / 1024.0, after / 1024.0,
                (after - before) * 1024.0 / std::max(1, list.size()));
    return 0;
}

int runCompare(const QString &original, const QString &final, int times) {
    Workspace ws;
    check(readSnapshot(original, ws.list(ListId::Original)));
    check(readSnapshot(final, ws.list(ListId::Final)));
    CompareOptions options;
    options.reset(ListId::Original);
    for (int k = 0; k < times; ++k) {
        options.findMoves = true;
        const double withMoves = seconds([&] { runComparison(ws, options); });
        const int rows = ws.list(ListId::Moved).size();
        options.findMoves = false;
        const double without = seconds([&] { runComparison(ws, options); });
        const double pairing = seconds([&] { findMoves(ws); });
        std::printf("compare: %.3f s, without looking for moves %.3f s, pairing them alone "
                    "%.3f s (%d moved rows)\n",
                    withMoves, without, pairing, rows);
    }
    return 0;
}

int runSummary(const QString &original, const QString &final, int times) {
    Workspace ws;
    check(readSnapshot(original, ws.list(ListId::Original)));
    check(readSnapshot(final, ws.list(ListId::Final)));
    CompareOptions options;
    options.reset(ListId::Original);
    runComparison(ws, options); // leaves the lists sorted, so the anchor below is the walk alone
    const double anchor = seconds([&] { runComparison(ws, options); });
    std::printf("compare again:    %.3f s (lists already sorted)\n", anchor);
    for (int k = 0; k < times; ++k)
        printSummary(ws, anchor);
    return 0;
}

int runSort(const QString &file, int key, int times) {
    for (int k = 0; k < times; ++k) {
        SnapshotList list;
        check(readSnapshot(file, list));
        std::printf("sort by %s: %.3f s\n", qPrintable(columnName(key)),
                    seconds([&] { sortList(list, key, 0); }));
    }
    return 0;
}

// With `details`, both lists as a POSIX scan with contents would give them (see addDetails).
// Moves about `moves` files of a list each to the folder of an entry far from it, name, size
// and time kept.
void moveFiles(SnapshotList &list, int moves) {
    if (moves <= 0 || list.size() < 2)
        return;
    const int step = std::max(1, list.size() / moves);
    SnapshotList moved;
    moved.reserve(std::size_t(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        const Entry &e = list.entry(i);
        const bool move = i % step == 0 && !e.isFolder();
        const int there = (i + list.size() / 2) % list.size();
        moved.append(list.name(i), move ? list.folder(there) : list.folder(i), e.attr, e.size,
                     e.modified);
    }
    list.clearEntries();
    for (int i = 0; i < moved.size(); ++i)
        list.appendCopy(moved, i);
}

int runGenDir(int n, const QString &file, const QString &final, bool details, int moves) {
    SnapshotList a;
    generate(a, n, 1);
    auto save = [&](const SnapshotList &list, const QString &path, bool isFinal) {
        if (!details)
            return check(saveSnapshot(list, false, path));
        SnapshotList detailed;
        addDetails(list, detailed, isFinal);
        check(saveSnapshot(detailed, false, path));
    };
    save(a, file, false);
    if (!final.isEmpty()) {
        SnapshotList b;
        derive(a, b, 100, 2);
        moveFiles(b, moves);
        save(b, final, true);
    }
    return 0;
}

// A real tree of about n entries: folders of 20 files, ten subfolders each.
int runGenTree(int n, const QString &root) {
    QDir().mkpath(root);
    int made = 0, folderNo = 0;
    std::vector<QString> queue{root};
    for (std::size_t q = 0; made < n && q < queue.size(); ++q) {
        const QByteArray base = QFile::encodeName(queue[q]);
        for (int f = 0; f < 20 && made < n; ++f, ++made) {
            const QByteArray path = base + "/file" + QByteArray::number(f) + ".txt";
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                if (f % 3 == 0 && ::write(fd, "data\n", 5) < 0)
                    std::perror("write");
                ::close(fd);
            }
        }
        for (int d = 0; d < 10 && made < n; ++d, ++made) {
            const QString sub = queue[q] + QStringLiteral("/dir%1").arg(folderNo++);
            ::mkdir(QFile::encodeName(sub).constData(), 0755);
            queue.push_back(sub);
        }
    }
    std::printf("made %d entries under %s\n", made, qPrintable(root));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    returnLargeBlocksWhenFreed();
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const QString cmd = args.value(1);
    if (cmd == u"all")
        return runAll(args.value(2, QStringLiteral("1000000")).toInt());
    if (cmd == u"load-save" && args.size() >= 3)
        return runLoadSave(args[2], args.value(3, QStringLiteral("5")).toInt());
    if (cmd == u"memory" && args.size() == 3)
        return runMemory(args[2]);
    if (cmd == u"scan-memory" && args.size() >= 3)
        return runScanMemory(args[2], args.mid(3));
    if (cmd == u"gen-dir" && args.size() >= 4) {
        const bool details = args.removeAll(QStringLiteral("--details")) > 0;
        int moves = 0;
        if (const qsizetype at = args.indexOf(QStringLiteral("--moves")); at > 0) {
            moves = args.value(at + 1).toInt();
            args.remove(at, std::min<qsizetype>(2, args.size() - at));
        }
        return runGenDir(args[2].toInt(), args[3], args.value(4), details, moves);
    }
    if (cmd == u"compare" && args.size() >= 4)
        return runCompare(args[2], args[3], args.value(4, QStringLiteral("3")).toInt());
    if (cmd == u"summary" && args.size() >= 4)
        return runSummary(args[2], args[3], args.value(4, QStringLiteral("3")).toInt());
    if (cmd == u"sort" && args.size() >= 4)
        return runSort(args[3], args[2].toInt(), args.value(4, QStringLiteral("3")).toInt());
    if (cmd == u"gen-tree" && args.size() == 4)
        return runGenTree(args[2].toInt(), args[3]);
    std::fprintf(stderr, "usage: vistrel-bench all [N]\n"
                         "       vistrel-bench load-save FILE.dir [ROUNDS]\n"
                         "       vistrel-bench memory FILE.dir\n"
                         "       vistrel-bench scan-memory FOLDER [EXCLUDE PATTERN...]\n"
                         "       vistrel-bench gen-dir N FILE.dir [FINAL.dir] [--details] "
                         "[--moves M]\n"
                         "       vistrel-bench gen-tree N FOLDER\n"
                         "       vistrel-bench compare ORIGINAL.dir FINAL.dir [TIMES]\n"
                         "       vistrel-bench summary ORIGINAL.dir FINAL.dir [TIMES]\n"
                         "       vistrel-bench sort COLUMN FILE.dir [TIMES]\n");
    return 2;
}
