#include "FuzzInput.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace FuzzInput {

namespace {

struct Scratch {
    std::map<int, QByteArray> paths;
    ~Scratch() {
        for (const auto &[slot, path] : paths)
            ::unlink(path.constData());
    }
};

Scratch &scratch() {
    static Scratch s;
    return s;
}

} // namespace

QString scratchPath(int slot) {
    QByteArray &path = scratch().paths[slot];
    if (path.isEmpty()) {
        struct stat st {};
        const char *dir = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
        path = QByteArray(dir) + "/vistrel-fuzz-" + QByteArray::number(::getpid()) + '-' +
               QByteArray::number(slot);
    }
    return QFile::decodeName(path);
}

QString writeScratch(const std::uint8_t *data, std::size_t size, int slot) {
    const QString path = scratchPath(slot);
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        fail("cannot create the scratch file", path);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            fail("cannot write the scratch file", path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return path;
}

std::string readAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail("cannot read back a saved file", path);
    const QByteArray bytes = f.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void fail(const char *what, const QString &detail) {
    std::fprintf(stderr, "property broken: %s %s\n", what, detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

} // namespace FuzzInput
