#pragma once

#include <QString>
#include <vector>

// One option of a command: its name, the name of the value it takes (none for a flag), whether
// it may be given more than once, and a line of help.
struct OptionInfo {
    const char *name;
    const char *value;
    bool repeatable;
    const char *help;
};

// A command of vistrel-cli. Its forms are the usage lines after "vistrel-cli "; a "\n" in a form
// continues it on the next line. What the parser accepts, what --help shows and what the manual
// page and the completion must name all come from this table.
struct CommandInfo {
    const char *name;
    std::vector<const char *> forms;
    const char *summary;
    std::vector<OptionInfo> options;
    const char *notes = nullptr;

    const OptionInfo *option(const QString &name) const;
};

const std::vector<CommandInfo> &commandTable();
const CommandInfo *findCommand(const QString &name);

// The usage of one command, or of all; the help of a command (usage, options, notes); the help of
// the program (usage, the options of its own).
QString commandUsage(const CommandInfo &command, bool first = true);
QString programUsage();
QString commandHelp(const CommandInfo &command);
QString programHelp();
QString versionText();
