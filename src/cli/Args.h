#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class SnapshotList;
struct FileError;

// A command that cannot go on: main() prints its message and exits with status 2.
struct Failure {
    QString message;
};
[[noreturn]] void fail(const QString &message);
// Fails with the file's path and the error's message.
void check(const FileError &err, const QString &path);
// Reads a snapshot file or fails.
void load(const QString &path, SnapshotList &list);

// A command's arguments: positional ones, options that take the next argument as their value
// (`valued`, such as -o, the last value given counting; `repeatable` ones, such as --exclude,
// keep every value in order) and flags (`known`); anything else that starts with "-" fails.
struct Args {
    QStringList positional;
    QHash<QString, QString> options;
    QHash<QString, QStringList> lists;
    QSet<QString> flags;

    Args(const QStringList &args, const QSet<QString> &valued, const QSet<QString> &known,
         const QSet<QString> &repeatable = {});
    // The value of an option that must be given.
    QString required(const QString &option) const;
};
