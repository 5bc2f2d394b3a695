// The steps of a real session on one large tree, each timed and with its own peak memory:
// scan, save, open, compare against a changed copy, export, and the two sorts a user does most.
// Run it on trees of growing size (bench/scale.sh) to see how each step grows.
//
//   vistrel-bench-scale gen N TREE      makes a tree of N entries
//   vistrel-bench-scale TREE WORKDIR    runs the steps on it
//
// Prints one line per step: entries, seconds, microseconds per entry, the peak resident memory
// while the step ran and the resident memory when it started.

#include "compare/Comparison.h"
#include "files/CsvExport.h"
#include "files/SnapshotFile.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/LargeBlocks.h"
#include "snapshot/Scanner.h"
#include "snapshot/Workspace.h"
#include "sort/ColumnSorts.h"

#include "ProcStatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Starts a new peak: the kernel forgets the highest resident size so far.
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

template <typename Step> void measure(const char *name, Step step) {
    resetPeak();
    const long before = statusKb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    const int entries = step();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const long peak = statusKb("VmHWM:");
    std::printf("%-10s %9d %9.2f %8.3f %9.0f %9.0f\n", name, entries, seconds,
                seconds * 1e6 / std::max(entries, 1), peak / 1024.0, before / 1024.0);
    std::fflush(stdout);
}

void check(const FileError &err, const char *what) {
    if (err) {
        std::fprintf(stderr, "%s: %s\n", what, qPrintable(err.message()));
        std::exit(2);
    }
}

// The Final of a session: most entries as they were, every 50th file grown, every 97th entry
// gone and one new file per 100 entries.
void deriveFinal(const SnapshotList &from, SnapshotList &to) {
    to.reserve(static_cast<std::size_t>(from.size()) * 101 / 100);
    for (int i = 0; i < from.size(); ++i) {
        if (i % 97 == 96)
            continue;
        const Entry &e = from.entry(i);
        if (!e.isFolder() && i % 50 == 0)
            to.append(from.name(i), from.folder(i), e.attr, e.size + 1, e.modified);
        else
            to.appendCopy(from, i);
        if (i % 100 == 0)
            to.append(QStringLiteral("new%1.tmp").arg(i), from.folder(i), 32, 10, 45000.0);
    }
}

// A tree of n entries: folders of up to 20 files and 10 subfolders, breadth first, names of
// typical length, sizes up to 50 MB and times over twenty years. Sizes are set without writing
// data, so even millions of files take no room beyond their inodes.
int generateTree(int n, const QString &root) {
    static const char *const words[] = {"Setup",   "readme", "Network", "driver", "api",
                                        "core",    "Update", "help",    "Config", "data",
                                        "Library", "plugin", "theme",   "icon",   "locale",
                                        "service", "cache",  "backup",  "Media",  "codec"};
    static const char *const exts[] = {".dll", ".exe", ".txt", ".ini", ".dat", ".png", ".xml"};
    std::mt19937 rng(7);
    QDir().mkpath(root);
    int made = 0, folderNo = 0;
    std::vector<QByteArray> queue{QFile::encodeName(root)};
    for (std::size_t q = 0; made < n && q < queue.size(); ++q) {
        for (int f = 0; f < 20 && made < n; ++f, ++made) {
            const QByteArray path = queue[q] + '/' + words[rng() % 20] + '_' + words[rng() % 20] +
                                    QByteArray::number(f) + exts[rng() % 7];
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0) {
                std::perror(path.constData());
                return 2;
            }
            if (::ftruncate(fd, static_cast<off_t>(rng() % 50'000'000)) != 0)
                std::perror("ftruncate");
            const timespec times[2] = {
                {0, UTIME_OMIT}, {static_cast<time_t>(1'000'000'000 + rng() % 630'000'000), 0}};
            ::futimens(fd, times);
            ::close(fd);
        }
        for (int d = 0; d < 10 && made < n; ++d, ++made) {
            QByteArray sub = queue[q] + "/Folder" + QByteArray::number(folderNo++);
            ::mkdir(sub.constData(), 0755);
            queue.push_back(std::move(sub));
        }
    }
    std::printf("made %d entries under %s\n", made, qPrintable(root));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    returnLargeBlocksWhenFreed();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"gen")
        return generateTree(args[2].toInt(), args[3]);
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: vistrel-bench-scale gen N TREE\n"
                             "       vistrel-bench-scale TREE WORKDIR\n");
        return 2;
    }
    const QString tree = args[1];
    const QDir work(args[2]);
    const QString dirFile = work.filePath(QStringLiteral("scale.dir"));
    const QString csvFile = work.filePath(QStringLiteral("scale.csv"));
    const QString changedFile = work.filePath(QStringLiteral("changed.dir"));

    std::printf("%-10s %9s %9s %8s %9s %9s\n", "step", "entries", "seconds", "us/entry", "peak MB",
                "start MB");
    Workspace ws;
    {
        SnapshotList scanned;
        measure("scan", [&] {
            auto reader = makeDirectoryReader();
            if (!Scanner(*reader).readDirectory(tree, scanned, true)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(tree));
                std::exit(2);
            }
            return scanned.size();
        });
        measure("save", [&] {
            check(saveSnapshot(scanned, false, dirFile), "save");
            return scanned.size();
        });
    }
    measure("open", [&] {
        check(readSnapshot(dirFile, ws.list(ListId::Original)), "open");
        return ws.list(ListId::Original).size();
    });
    deriveFinal(ws.list(ListId::Original), ws.list(ListId::Final));
    CompareOptions options;
    options.reset(ListId::Original);
    measure("compare", [&] {
        runComparison(ws, options);
        return ws.list(ListId::Original).size() + ws.list(ListId::Final).size();
    });
    measure("save-res", [&] {
        check(saveSnapshot(ws.list(ListId::Changed), true, changedFile), "save result");
        return ws.list(ListId::Changed).size();
    });
    const EntryFormatter format;
    measure("export", [&] {
        check(exportCsv(ws.list(ListId::Original), csvFile, format), "export");
        return ws.list(ListId::Original).size();
    });
    measure("sort-name", [&] {
        sortList(ws.list(ListId::Original), Col::Name, 0);
        return ws.list(ListId::Original).size();
    });
    measure("sort-date", [&] {
        sortList(ws.list(ListId::Original), Col::DateKey, 1);
        return ws.list(ListId::Original).size();
    });
    QFile::remove(dirFile);
    QFile::remove(csvFile);
    QFile::remove(changedFile);
    return 0;
}
