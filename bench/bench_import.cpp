// Times the import of a DIR /S listing of a million lines (Windows 95/98, 24-hour times, many
// folders). Usage: vistrel-bench-import [runs]
#include "files/DosImport.h"
#include "snapshot/SnapshotList.h"

#include "ProcStatus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const QLocale British(QLocale::English, QLocale::UnitedKingdom);

// Peak resident memory of the process so far, in MiB.
double peakRssMiB() {
    return static_cast<double>(peakRssKb()) / 1024.0;
}

std::string grouped(unsigned long long n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

void appendPadded(std::string &out, const std::string &text, std::size_t width, bool right) {
    if (right && text.size() < width)
        out.append(width - text.size(), ' ');
    out += text;
    if (!right && text.size() < width)
        out.append(width - text.size(), ' ');
}

void appendEntry(std::string &out, const std::string &base, const std::string &ext,
                 const std::string &size, int serial, const std::string &longName) {
    appendPadded(out, base, 8, false);
    out += ' ';
    appendPadded(out, ext, 3, false);
    if (size == "<DIR>")
        appendPadded(out, "   <DIR>", 14, false);
    else
        appendPadded(out, size, 14, true);
    char when[32];
    const int year = (80 + serial / 336 % 40) % 100; // 1980 to 2019
    std::snprintf(when, sizeof when, "  %02d/%02d/%02d  %02d:%02d ", serial % 28 + 1,
                  serial / 28 % 12 + 1, year, serial % 24, serial * 7 % 60);
    out += when;
    out += longName;
    out += "\r\n";
}

void appendDots(std::string &out) {
    appendEntry(out, ".", "", "<DIR>", 5, ".");
    appendEntry(out, "..", "", "<DIR>", 5, "..");
}

// Writes the listing; returns the number of lines.
long long writeListing(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    std::string out;
    long long lines = 0;
    auto flush = [&] {
        file.write(out.data(), static_cast<qint64>(out.size()));
        out.clear();
    };
    auto header = [&](const std::string &folder) {
        out += "\r\n Directory of C:\\DATA" + folder + "\r\n\r\n";
        lines += 3;
    };
    constexpr int Top = 200, Sub = 100, Files = 48;
    int serial = 0;
    out += " Volume in drive C is DATA\r\n Volume Serial Number is 1A2B-3C4D\r\n";
    header("");
    for (int t = 0; t < Top; ++t) {
        const std::string name = "Project " + std::to_string(t);
        appendEntry(out, "PROJEC~" + std::to_string(t % 10), "", "<DIR>", serial++, name);
        ++lines;
    }
    for (int t = 0; t < Top; ++t) {
        const std::string top = "\\Project " + std::to_string(t);
        header(top);
        appendDots(out);
        for (int s = 0; s < Sub; ++s)
            appendEntry(out, "SUBFOL~" + std::to_string(s % 10), "", "<DIR>", serial++,
                        "Subfolder " + std::to_string(s));
        lines += Sub + 2;
        for (int s = 0; s < Sub; ++s) {
            header(top + "\\Subfolder " + std::to_string(s));
            appendDots(out);
            for (int f = 0; f < Files; ++f) {
                const unsigned long long size =
                    static_cast<unsigned long long>(serial) * 2654435761ull % 50000000ull;
                appendEntry(out, "FILE" + std::to_string(f), "TXT", grouped(size), serial++,
                            "Document number " + std::to_string(f) + " of the project.txt");
            }
            out += "        " + std::to_string(Files) + " file(s)     123,456,789 bytes\r\n";
            out += "         2 dir(s)   1,234,567,890 bytes free\r\n";
            lines += 2 + Files + 2;
            if (out.size() >= (1u << 20))
                flush();
        }
    }
    flush();
    return lines;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("listing.txt"));
    const long long lines = writeListing(path);
    std::printf("listing: %lld lines, %.1f MiB\n", lines,
                static_cast<double>(QFile(path).size()) / (1 << 20));
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
        SnapshotList list;
        QElapsedTimer timer;
        timer.start();
        const DosImportResult result = importDosListing(path, list, British);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        best = std::min(best, seconds);
        if (result.failed) {
            std::printf("import failed: %s: %s\n", qPrintable(result.title),
                        qPrintable(result.failingLine));
            return 1;
        }
        std::printf("run %d: %d entries, %zu limit folders, %.3f s\n", r + 1, list.size(),
                    list.limits.size(), seconds);
    }
    std::printf("best: %.3f s; peak RSS %.1f MiB\n", best, peakRssMiB());
    return 0;
}
