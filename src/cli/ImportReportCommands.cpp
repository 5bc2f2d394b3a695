#include "ImportReportCommands.h"

#include "Args.h"
#include "OutputBuffer.h"
#include "SameFile.h"

#include "files/DosImport.h"
#include "files/SnapshotFile.h"
#include "print/Report.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"
#include "sort/ColumnSorts.h"

int cmdImport(const Args &args) {
    if (args.positional.size() != 1)
        failUsage(QStringLiteral("import takes one listing"));
    const QString output = args.required(QStringLiteral("-o"));
    const QString &listing = args.positional[0];
    refuseInputAsOutput({output}, {listing});
    SnapshotList list;
    const DosImportResult result = importDosListing(listing, list);
    if (result.failed) {
        if (result.failingLine.isEmpty())
            fail(listing + QStringLiteral(": ") + result.title);
        fail(result.title + QStringLiteral(": ") + result.failingLine);
    }
    // Described by its own path even when that is not UTF-8, which Qt's file information loses.
    list.description = absolutePath(listing).text;
    check(saveSnapshot(list, false, output), output);
    return 0;
}

int cmdReport(const Args &args) {
    if (args.positional.size() != 1)
        failUsage(QStringLiteral("report takes one file"));
    SnapshotList list;
    load(args.positional[0], list);
    sortList(list, Col::InFolder, 0);
    OutputBuffer out;
    writeReport(list, args.has("--attributes"), EntryFormatter(), [&out](const QString &line) {
        out.append(line.toUtf8());
        out.append("\n");
    });
    out.finish("report");
    return 0;
}
