#include "ImportReportCommands.h"

#include "Args.h"

#include "files/DosImport.h"
#include "files/SnapshotFile.h"
#include "print/Report.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/Sorting.h"

#include <cstdio>
#include <string>

int cmdImport(const QStringList &argv) {
    const Args args(argv, {QStringLiteral("-o")}, {});
    if (args.positional.size() != 1)
        fail(QStringLiteral("import takes one listing"));
    const QString output = args.required(QStringLiteral("-o"));
    const QString &listing = args.positional[0];
    SnapshotList list;
    const DosImportResult result = ImportDosListing(listing, list);
    if (result.failed) {
        if (result.error && result.failingLine.isEmpty())
            fail(listing + QStringLiteral(": ") + result.title);
        fail(result.title + QStringLiteral(": ") + result.failingLine);
    }
    check(SaveSnapshot(list, false, output), output);
    return 0;
}

int cmdReport(const QStringList &argv) {
    const QString attributes = QStringLiteral("--attributes");
    const Args args(argv, {}, {attributes});
    if (args.positional.size() != 1)
        fail(QStringLiteral("report takes one file"));
    SnapshotList list;
    load(args.positional[0], list);
    SortList(list, Col::InFolder, 0);
    std::string out;
    writeReport(list, args.flags.contains(attributes), EntryFormatter(),
                [&out](const QString &line) {
                    out += line.toStdString();
                    out += '\n';
                    if (out.size() >= (1u << 20)) {
                        std::fwrite(out.data(), 1, out.size(), stdout);
                        out.clear();
                    }
                });
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0)
        fail(QStringLiteral("cannot write the report"));
    return 0;
}
