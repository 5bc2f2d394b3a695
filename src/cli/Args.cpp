#include "Args.h"

#include "CommandTable.h"

#include "files/FileError.h"
#include "files/SnapshotFile.h"
#include "snapshot/NameCodec.h"

#include <QDir>
#include <cstdlib>
#include <memory>
#include <unistd.h>

void fail(const QString &message) {
    throw Failure{message};
}

void failUsage(const QString &message) {
    throw Failure{message, true};
}

void check(const FileError &err, const QString &path) {
    if (err)
        fail(path + QStringLiteral(": ") + err.message());
}

void load(const QString &path, SnapshotList &list) {
    check(readSnapshot(path, list), path);
}

PathArgument absolutePath(const QString &argument) {
    // Made absolute by hand: Qt's file information would convert the path and lose its bytes.
    QString path = argument;
    if (!path.startsWith(u'/')) {
        std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        path = (cwd ? NameCodec::pathFromBytes(cwd.get()) : QString()) + u'/' + path;
    }
    path = QDir::cleanPath(path);
    const QByteArray native = NameCodec::pathToBytes(path);
    if (QString::fromUtf8(native) == path)
        return {native, path};
    return {native,
            NameCodec::fromBytes(std::string_view(native.constData(), std::size_t(native.size())))};
}

Args::Args(const QStringList &args, const CommandInfo &command) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--") {
            positional << args.mid(i + 1);
            break;
        }
        const OptionInfo *option = command.option(a);
        if (option && option->value) {
            if (i + 1 >= args.size())
                failUsage(QStringLiteral("option %1 needs a value").arg(a));
            if (option->repeatable)
                lists[a] << args[++i];
            else
                options.insert(a, args[++i]);
        } else if (option || a == u"--help") {
            flags.insert(a);
        } else if (a.startsWith(u'-') && a.size() > 1) {
            failUsage(QStringLiteral("unknown option %1").arg(a));
        } else {
            positional << a;
        }
    }
}

QString Args::required(const QString &option) const {
    if (!options.contains(option))
        failUsage(QStringLiteral("missing %1").arg(option));
    return options.value(option);
}
