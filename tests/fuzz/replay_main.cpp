// Feeds files to a fuzz target's entry point without the fuzzing engine, so the saved corpus is
// checked by every test run with any compiler. Arguments are files or folders of files, after
// an optional -rss_limit_mb=N: as libFuzzer's option of that name does, an input that makes
// the resident memory grow by more than N megabytes fails (here: above what it was before the
// first input, so that a sanitizer's own memory does not count).

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>
#include <sys/resource.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long limitKb = 0;
long baseKb = 0;

bool replay(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = f.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                           static_cast<std::size_t>(bytes.size()));
    if (limitKb > 0 && peakKb() - baseKb > limitKb) {
        std::fprintf(stderr, "%s: the resident memory grew by %ld MB, more than %ld MB\n",
                     qPrintable(path), (peakKb() - baseKb) >> 10, limitKb >> 10);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    int files = 0;
    int first = 1;
    const QByteArray rssLimit = "-rss_limit_mb=";
    if (argc > 1 && QByteArray(argv[1]).startsWith(rssLimit)) {
        limitKb = QByteArray(argv[1]).mid(rssLimit.size()).toLong() << 10;
        ++first;
    }
    baseKb = peakKb();
    for (int k = first; k < argc; ++k) {
        const QString arg = QFile::decodeName(argv[k]);
        if (QFileInfo(arg).isDir()) {
            QStringList paths;
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                paths << it.next();
            paths.sort(); // the same order on every system, so a failure repeats
            for (const QString &p : paths) {
                if (!replay(p))
                    return 1;
                ++files;
            }
        } else {
            if (!replay(arg))
                return 1;
            ++files;
        }
    }
    if (files == 0) {
        // An empty corpus would pass while checking nothing.
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::printf("%d inputs replayed\n", files);
    return 0;
}
