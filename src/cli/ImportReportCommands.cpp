#include "ImportReportCommands.h"

#include "../files/DosImport.h"
#include "../files/SnapshotFile.h"
#include "../print/Report.h"
#include "../snapshot/EntryFormat.h"
#include "../snapshot/SnapshotList.h"
#include "../snapshot/Sorting.h"

#include <cstdio>
#include <string>

namespace {

int failure(const QString &message) {
    std::fprintf(stderr, "vistrel-cli: %s\n", message.toUtf8().constData());
    return 2;
}

// Splits the arguments into positional ones, the value of -o and the flags in `known`.
// Returns an error text for anything else.
QString parse(const QStringList &args, const QStringList &known, QStringList &positional,
              QString *output, QStringList &flags) {
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (output && a == u"-o") {
            if (i + 1 >= args.size())
                return QStringLiteral("option -o needs a value");
            *output = args[++i];
        } else if (known.contains(a)) {
            flags << a;
        } else if (a.startsWith(u'-') && a.size() > 1) {
            return QStringLiteral("unknown option %1").arg(a);
        } else {
            positional << a;
        }
    }
    return {};
}

} // namespace

int cmdImport(const QStringList &args) {
    QStringList positional, flags;
    QString output;
    const QString error = parse(args, {}, positional, &output, flags);
    if (!error.isEmpty())
        return failure(error);
    if (positional.size() != 1)
        return failure(QStringLiteral("import takes one listing"));
    if (output.isEmpty())
        return failure(QStringLiteral("missing -o"));
    const QString &listing = positional[0];
    SnapshotList list;
    const DosImportResult result = ImportDosListing(listing, list);
    if (result.failed) {
        if (result.error && result.failingLine.isEmpty())
            return failure(listing + QStringLiteral(": ") + result.title);
        return failure(result.title + QStringLiteral(": ") + result.failingLine);
    }
    if (const FileError err = SaveSnapshot(list, false, output))
        return failure(output + QStringLiteral(": ") + err.message());
    return 0;
}

int cmdReport(const QStringList &args) {
    const QString attributes = QStringLiteral("--attributes");
    QStringList positional, flags;
    const QString error = parse(args, {attributes}, positional, nullptr, flags);
    if (!error.isEmpty())
        return failure(error);
    if (positional.size() != 1)
        return failure(QStringLiteral("report takes one file"));
    const QString &path = positional[0];
    SnapshotList list;
    if (const FileError err = ReadSnapshot(path, list))
        return failure(path + QStringLiteral(": ") + err.message());
    SortList(list, Col::InFolder, 0);
    std::string out;
    writeReport(list, flags.contains(attributes), EntryFormatter(), [&out](const QString &line) {
        out += line.toStdString();
        out += '\n';
        if (out.size() >= (1u << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    });
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0)
        return failure(QStringLiteral("cannot write the report"));
    return 0;
}
