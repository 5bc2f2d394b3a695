#include "CommandTable.h"

#include <QStringList>

namespace {

const OptionInfo Exclude{"--exclude", "PATTERN", true,
                         "leave out what the pattern matches (as often as needed)"};
const OptionInfo ExcludeFrom{"--exclude-from", "FILE", true,
                             "leave out what the file's patterns match, one a line"};
const OptionInfo NoSubdirs{"--no-subdirs", nullptr, false, "read ROOT's own entries only"};
const OptionInfo AllVolumes{"--all-volumes", nullptr, false,
                            "read other volumes mounted below ROOT too"};

const OptionInfo Rehash{"--rehash", nullptr, false,
                        "read every file's contents, taking no digest from before"};

const char PatternNotes[] =
    "PATTERN: a path from the root (var\\cache\\), or a name at any depth (*.tmp,\n"
    "  __pycache__\\); * within a name, ** any folders, a trailing \\ for folders only.\n"
    "  Quote patterns in a shell. FILE: one pattern a line; # starts a comment.\n";

std::vector<CommandInfo> makeTable() {
    return {
        {"snapshot",
         {"snapshot ROOT -o FILE.dir [--no-subdirs] [--all-volumes]\n"
          "[--contents [--reuse EARLIER.dir | --rehash]] [--packages]\n"
          "[--exclude PATTERN]... [--exclude-from FILE]... [--threads N]"},
         "scan a folder and save its snapshot",
         {{"-o", "FILE.dir", false, "the snapshot file to write"},
          NoSubdirs,
          AllVolumes,
          {"--contents", nullptr, false, "record the SHA-256 digest of every file"},
          {"--reuse", "EARLIER.dir", false,
           "keep its digests of files unchanged since (implies --contents)"},
          Rehash,
          {"--packages", nullptr, false,
           "record the installed packages that own each entry, as they are now"},
          Exclude,
          ExcludeFrom,
          {"--threads", "N", false, "read folders with N threads (default: one per core)"}},
         PatternNotes},
        {"list",
         {"list FILE.dir [--json] [--packages]"},
         "print every entry of a snapshot",
         {{"--json", nullptr, false, "one JSON object a line instead of tab-separated columns"},
          {"--packages", nullptr, false, "add the installed package that owns each entry"}}},
        {"export",
         {"export FILE.dir -o FILE.csv [--details]", "export FILE.dir --sha256sum -o FILE.sha256",
          "export FILE.dir --mtree -o FILE.mtree"},
         "write a snapshot as CSV, its digests for sha256sum to check, or as an mtree file",
         {{"-o", "FILE", false, "the file to write"},
          {"--details", nullptr, false,
           "CSV with Permissions, Owner, Group, Link Target and SHA-256 after the five fields"},
          {"--sha256sum", nullptr, false,
           "the digests of the files, as sha256sum writes them (from the root: ./sub/name)"},
          {"--mtree", nullptr, false,
           "the entries as an mtree file, for mtree to check the folder against"}}},
        {"compare",
         {"compare ORIGINAL.dir FINAL.dir [--limit-original FOLDER]\n"
          "[--limit-final FOLDER] [--ignore LIST] [--ignore-size]\n"
          "[--ignore-time] [--tolerance MINUTES] [--ignore-hour-shifts]\n"
          "[--moves | --no-moves] [--exclude PATTERN]... [--exclude-from FILE]...\n"
          "[--out DIR] [--html FILE.html]\n"
          "[--tsv | --json | --summary [--depth N | --packages]]",
          "compare ORIGINAL.dir --with-folder [ROOT] [--no-subdirs]\n"
          "[--all-volumes] [--rehash] [the options of compare above]"},
         "compare two snapshots, or a snapshot with its folder as it is now",
         {{"--limit-original", "FOLDER", false, "compare only this folder of the Original"},
          {"--limit-final", "FOLDER", false, "compare only this folder of the Final"},
          {"--ignore", "LIST", false,
           "the attributes and details that do not count (default: archive)"},
          {"--ignore-size", nullptr, false, "sizes do not count"},
          {"--ignore-time", nullptr, false, "modified times do not count"},
          {"--tolerance", "MINUTES", false, "times this far apart are the same (0: 6 seconds)"},
          {"--ignore-hour-shifts", nullptr, false, "times 1 to 14 whole hours apart are the same"},
          {"--moves", nullptr, false, "find entries moved or renamed (the default)"},
          {"--no-moves", nullptr, false, "do not look for moved or renamed entries"},
          Exclude,
          ExcludeFrom,
          {"--out", "DIR", false,
           "save the result lists as snapshot files in DIR (four, and moved.dir with moves)"},
          {"--html", "FILE.html", false, "write a report of the comparison for a browser"},
          {"--tsv", nullptr, false, "print every result entry, tab-separated"},
          {"--json", nullptr, false, "print every result entry as a JSON object a line"},
          {"--summary", nullptr, false, "print the changes per folder"},
          {"--depth", "N", false, "with --summary, no folders more than N levels down"},
          {"--packages", nullptr, false, "with --summary, the changes per owning package"},
          {"--with-folder", nullptr, false, "compare with ROOT (or the snapshot's folder) now"},
          NoSubdirs,
          AllVolumes,
          Rehash},
         "LIST: comma-separated read-only,hidden,system,na,directory,archive, or none.\n"
         "FOLDER: one of that snapshot's folders, such as sub\\.\n"
         "Exit status: 0 the snapshots are the same, 1 they differ, 2 trouble.\n"},
        {"import",
         {"import LISTING -o FILE.dir"},
         "read a DOS DIR /S listing and save it as a snapshot",
         {{"-o", "FILE.dir", false, "the snapshot file to write"}}},
        {"report",
         {"report FILE.dir [--attributes]"},
         "print the report of a snapshot, grouped by folder",
         {{"--attributes", nullptr, false, "show each entry's attributes"}}},
    };
}

// A form's lines: the first after the program's name, the others indented under it.
QString formLines(const char *form, const char *lead) {
    const QString indent(14, u' ');
    QString text;
    const QStringList lines = QString::fromUtf8(form).split(u'\n');
    for (qsizetype k = 0; k < lines.size(); ++k)
        text +=
            (k ? indent : QLatin1String(lead) + QLatin1String("vistrel-cli ")) + lines[k] + u'\n';
    return text;
}

} // namespace

const OptionInfo *CommandInfo::option(const QString &optionName) const {
    for (const OptionInfo &o : options) {
        if (optionName == QLatin1String(o.name))
            return &o;
    }
    return nullptr;
}

const std::vector<CommandInfo> &commandTable() {
    static const std::vector<CommandInfo> table = makeTable();
    return table;
}

const CommandInfo *findCommand(const QString &name) {
    for (const CommandInfo &c : commandTable()) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

QString commandUsage(const CommandInfo &command, bool first) {
    QString text;
    for (const char *form : command.forms) {
        text += formLines(form, first ? "usage: " : "       ");
        first = false;
    }
    return text;
}

QString programUsage() {
    QString text;
    bool first = true;
    for (const CommandInfo &c : commandTable()) {
        text += commandUsage(c, first);
        first = false;
    }
    text += QLatin1String("       vistrel-cli --help | --version | COMMAND --help\n");
    return text;
}

QString commandHelp(const CommandInfo &command) {
    QString summary = QLatin1String(command.summary);
    summary[0] = summary[0].toUpper();
    QString text = commandUsage(command) + u'\n' + summary + QLatin1String(".\n\n");
    for (const OptionInfo &o : command.options) {
        QString left = QLatin1String("  ") + QLatin1String(o.name);
        if (o.value)
            left += u' ' + QLatin1String(o.value);
        text += left.leftJustified(28) + u' ' + QLatin1String(o.help) + u'\n';
    }
    text += QStringLiteral("  --help").leftJustified(28) + QLatin1String(" show this help\n");
    if (command.notes)
        text += u'\n' + QLatin1String(command.notes);
    return text;
}

QString programHelp() {
    QString text = programUsage() + QLatin1String("\nCommands:\n");
    for (const CommandInfo &c : commandTable())
        text += (QLatin1String("  ") + QLatin1String(c.name)).leftJustified(12) +
                QLatin1String(c.summary) + u'\n';
    text += QLatin1String("\n"
                          "vistrel-cli COMMAND --help shows a command's options; man vistrel-cli "
                          "tells more.\n"
                          "Exit status: 0 success (compare: the same), 1 compare found "
                          "differences,\n"
                          "2 an error, with a line on standard error.\n");
    return text;
}

QString versionText() {
    return QStringLiteral("vistrel-cli %1.%2.%3\n")
        .arg(VISTREL_VERSION_MAJOR)
        .arg(VISTREL_VERSION_MINOR)
        .arg(VISTREL_VERSION_PATCH);
}
