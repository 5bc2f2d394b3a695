#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class SnapshotList;
struct FileError;
struct CommandInfo;

// A command that cannot go on: main() prints its message and exits with status 2. When the
// arguments themselves are wrong (`usage`), the usage follows the message.
struct Failure {
    QString message;
    bool usage = false;
};
[[noreturn]] void fail(const QString &message);
[[noreturn]] void failUsage(const QString &message);
// Fails with the file's path and the error's message.
void check(const FileError &err, const QString &path);
// Reads a snapshot file or fails.
void load(const QString &path, SnapshotList &list);

// A path argument made absolute, as the file system takes it and as texts show it: a path that
// is not UTF-8 is shown as a scanned name would be ("caf|E9").
struct PathArgument {
    QByteArray native;
    QString text;
};
PathArgument absolutePath(const QString &argument);

// A command's arguments, read by its options in the command table: positional ones, options
// that take the next argument as their value (the last value given counting, or every value in
// order for a repeatable one, such as --exclude) and flags; --help is a flag of every command.
// Anything else that starts with "-" fails. After "--" every argument is positional, so that
// a file named "--help" or "-o" can be named.
struct Args {
    QStringList positional;
    QHash<QString, QString> options;
    QHash<QString, QStringList> lists;
    QSet<QString> flags;

    Args(const QStringList &args, const CommandInfo &command);
    bool has(const char *flag) const { return flags.contains(QLatin1String(flag)); }
    // The value of an option that must be given.
    QString required(const QString &option) const;
};
