#include "Args.h"

#include "files/FileError.h"
#include "files/SnapshotFile.h"

void fail(const QString &message) {
    throw Failure{message};
}

void check(const FileError &err, const QString &path) {
    if (err)
        fail(path + QStringLiteral(": ") + err.message());
}

void load(const QString &path, SnapshotList &list) {
    check(ReadSnapshot(path, list), path);
}

Args::Args(const QStringList &args, const QSet<QString> &valued, const QSet<QString> &known,
           const QSet<QString> &repeatable) {
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (valued.contains(a) || repeatable.contains(a)) {
            if (i + 1 >= args.size())
                fail(QStringLiteral("option %1 needs a value").arg(a));
            if (repeatable.contains(a))
                lists[a] << args[++i];
            else
                options.insert(a, args[++i]);
        } else if (known.contains(a)) {
            flags.insert(a);
        } else if (a.startsWith(u'-') && a.size() > 1) {
            fail(QStringLiteral("unknown option %1").arg(a));
        } else {
            positional << a;
        }
    }
}

QString Args::required(const QString &option) const {
    if (!options.contains(option))
        fail(QStringLiteral("missing %1").arg(option));
    return options.value(option);
}
