// Feeds files to a fuzz target's entry point without the fuzzing engine, so the saved corpus is
// checked by every test run with any compiler. Arguments are files or folders of files.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

bool replay(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = f.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                           static_cast<std::size_t>(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    int files = 0;
    for (int k = 1; k < argc; ++k) {
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
