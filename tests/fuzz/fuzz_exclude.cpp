// Exclusion patterns against the plain reference, which turns each pattern into a regular
// expression over whole paths: every entry is left out exactly when the reference says so,
// asked of one entry, of a folder as a whole, and folder after folder as a comparison follows
// them (each path sharing some of its folders with the one before).
//
// The input is text (UTF-8; other bytes read as U+FFFD), one item a line: patterns up to the
// first empty line, then paths, "\" between names, a folder's with a "\" at its end ("a\b\" the
// folder b in a, "a\b" the file b in it). Empty names are dropped from paths, as no folder holds
// one. At most 8 patterns of 64 characters and 64 paths of 256, so that no input takes long;
// a pattern of more than 6 "*" is left out, as the regular expressions of the reference need
// time exponential in their number to fail.

#include "FuzzInput.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/ExcludeReference.h"
#include "sort/TextKeys.h"

#include <QString>
#include <QStringList>

using namespace FuzzInput;
using namespace Qt::StringLiterals;

namespace {

// A text with its control characters as \uXXXX, so that a report shows all of it.
QString shown(const QString &text) {
    QString out;
    for (const QChar c : text)
        out +=
            c.unicode() < 0x20 ? u"\\u%1"_s.arg(c.unicode(), 4, 16, QLatin1Char('0')) : QString(c);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList lines = text.split(u'\n');
    QStringList patterns;
    qsizetype k = 0;
    for (; k < lines.size() && !lines[k].isEmpty(); ++k) {
        const QString pattern = lines[k].left(64);
        if (patterns.size() < 8 && pattern.count(u'*') <= 6)
            patterns << pattern;
    }
    const ExcludePatterns exclude(patterns);
    const ExcludeReference reference(patterns);
    ExcludePatterns::PathWalk walk(exclude);
    QString buffer;
    int paths = 0;
    for (++k; k < lines.size() && paths < 64; ++k) {
        const QString line = lines[k].left(256);
        const bool isFolder = line.endsWith(u'\\');
        QStringList names = line.split(u'\\', Qt::SkipEmptyParts);
        if (names.isEmpty())
            continue;
        ++paths;
        const QString name = names.takeLast();
        const QString inFolder = names.isEmpty() ? QString() : names.join(u'\\') + u'\\';
        const bool expected = reference.leavesOut(inFolder, name, isFolder);
        const QString detail = shown(patterns.join(u" | ") + u" on "_s + inFolder + name +
                                     (isFolder ? u"\\"_s : QString())) +
                               (expected ? u": expected left out"_s : u": expected kept"_s);
        check(exclude.leavesOut(inFolder, name, isFolder) == expected, "an entry", detail);
        const ExcludePatterns::FolderState &state = walk.stateOf(inFolder.toLower());
        check((state.leftOut ||
               exclude.matchesName(state, TextKeys::lowered(name, buffer), isFolder)) == expected,
              "an entry, folder after folder", detail);
        if (isFolder)
            check(exclude.leavesOutFolder(inFolder + name + u'\\') == expected, "a folder", detail);
    }
    return 0;
}
