#include "SameFile.h"

#include "Args.h"

#include "snapshot/NameCodec.h"

#include <sys/stat.h>

namespace {

bool statusOf(const QString &path, struct stat &st) {
    return ::stat(NameCodec::pathToBytes(path).constData(), &st) == 0;
}

} // namespace

void refuseInputAsOutput(const QStringList &outputs, const QStringList &inputs) {
    for (const QString &output : outputs) {
        struct stat out {};
        // Only a file is replaced; a terminal or a pipe may well be read and written.
        if (!statusOf(output, out) || !S_ISREG(out.st_mode))
            continue;
        for (const QString &input : inputs) {
            struct stat in {};
            if (statusOf(input, in) && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
                fail(
                    QStringLiteral("%1: the output would replace the input %2").arg(output, input));
        }
    }
}
