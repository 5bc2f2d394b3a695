// The rules of exclusion patterns, checked on examples of each rule and against a plain
// reference (the patterns as regular expressions over whole paths) over random paths.
#include "files/ExcludeFile.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/ExcludeReference.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <random>

using namespace Qt::StringLiterals;

namespace {

// An entry given as its path: "a\b\" is the folder b in a, "a\b" the file b in a.
struct Path {
    QString inFolder;
    QString name;
    bool isFolder;
};

Path pathOf(const QString &text) {
    const bool isFolder = text.endsWith(u'\\');
    const QString path = isFolder ? text.chopped(1) : text;
    const qsizetype cut = path.lastIndexOf(u'\\') + 1;
    return {path.left(cut), path.mid(cut), isFolder};
}

// Pieces of names and patterns that meet: case twins, an accent, the escaped backslash, a dot,
// and the letter whose lower case is two code units.
const QStringList NamePieces = {u"a"_s, u"A"_s,   u"b"_s, u"é"_s, u"É"_s,
                                u"."_s, u"|5C"_s, u"x"_s, u"İ"_s, u"i"_s};
const QStringList GlobPieces = {u"a"_s, u"B"_s, u"é"_s, u"."_s,      u"|5c"_s,
                                u"x"_s, u"*"_s, u"*"_s, u"i\u0307"_s};

template <typename Rng> int pick(Rng &rng, int n) {
    return static_cast<int>(rng() % static_cast<unsigned>(n));
}

QString randomName(std::mt19937 &rng) {
    QString name;
    for (int k = pick(rng, 3) + 1; k > 0; --k)
        name += NamePieces[pick(rng, NamePieces.size())];
    return name;
}

QString randomGlob(std::mt19937 &rng) {
    if (pick(rng, 6) == 0)
        return pick(rng, 4) ? u"**"_s : u"***"_s;
    QString glob;
    for (int k = pick(rng, 4) + 1; k > 0; --k)
        glob += GlobPieces[pick(rng, GlobPieces.size())];
    return glob;
}

QString randomPattern(std::mt19937 &rng) {
    QString pattern = pick(rng, 8) == 0 ? u"\\"_s : QString();
    for (int k = pick(rng, 3); k >= 0; --k) {
        pattern += randomGlob(rng);
        if (k > 0)
            pattern += pick(rng, 2) ? u'\\' : u'/';
    }
    if (pick(rng, 3) == 0)
        pattern += pick(rng, 2) ? u'\\' : u'/';
    return pick(rng, 6) == 0 ? u"  "_s + pattern + u'\t' : pattern;
}

} // namespace

class TestExcludePatterns : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rules_data() {
        QTest::addColumn<QStringList>("patterns");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("leftOut");
        const QStringList tmp = {u"*.tmp"_s};
        QTest::newRow("name at the root") << tmp << u"x.tmp"_s << true;
        QTest::newRow("name at any depth") << tmp << u"a\\b\\x.tmp"_s << true;
        QTest::newRow("name that only contains it") << tmp << u"a\\x.tmp.txt"_s << false;
        QTest::newRow("folder named so, with its contents") << tmp << u"a\\x.tmp\\y.txt"_s << true;
        const QStringList cache = {u"var\\cache\\"_s};
        QTest::newRow("anchored folder") << cache << u"var\\cache\\"_s << true;
        QTest::newRow("below an anchored folder") << cache << u"var\\cache\\apt\\x.bin"_s << true;
        QTest::newRow("anchored folder elsewhere") << cache << u"usr\\var\\cache\\"_s << false;
        QTest::newRow("its parent stays") << cache << u"var\\"_s << false;
        QTest::newRow("a file of the name is no folder") << cache << u"var\\cache"_s << false;
        QTest::newRow("leading backslash anchors one name")
            << QStringList{u"\\build"_s} << u"build\\"_s << true;
        QTest::newRow("anchored name not deeper")
            << QStringList{u"\\build"_s} << u"src\\build\\"_s << false;
        const QStringList starred = {u"var\\*\\log"_s};
        QTest::newRow("star within one name") << starred << u"var\\app\\log"_s << true;
        QTest::newRow("star never crosses a folder") << starred << u"var\\app\\sub\\log"_s << false;
        QTest::newRow("star matches nothing at all")
            << QStringList{u"log*"_s} << u"d\\log"_s << true;
        QTest::newRow("star runs are one star") << QStringList{u"a**b"_s} << u"axyb"_s << true;
        QTest::newRow("start and end never overlap")
            << QStringList{u"ab*ba"_s} << u"aba"_s << false;
        QTest::newRow("stars around a middle") << QStringList{u"a*x*b"_s} << u"a-x-b"_s << true;
        QTest::newRow("a middle that is not there") << QStringList{u"a*x*b"_s} << u"ayb"_s << false;
        const QStringList nodeModules = {u"**\\node_modules\\"_s};
        QTest::newRow("** at the start, top") << nodeModules << u"node_modules\\"_s << true;
        QTest::newRow("** at the start, deep") << nodeModules << u"a\\b\\node_modules\\"_s << true;
        QTest::newRow("** at the start, folders only")
            << nodeModules << u"a\\node_modules"_s << false;
        const QStringList middle = {u"a\\**\\b"_s};
        QTest::newRow("** in the middle, no folder") << middle << u"a\\b"_s << true;
        QTest::newRow("** in the middle, folders") << middle << u"a\\x\\y\\b"_s << true;
        QTest::newRow("** in the middle, not from a") << middle << u"x\\a\\b"_s << false;
        QTest::newRow("** in the middle, whole names") << middle << u"a\\xb"_s << false;
        const QStringList below = {u"a\\**"_s};
        QTest::newRow("** at the end leaves the folder") << below << u"a\\"_s << false;
        QTest::newRow("** at the end, a file below") << below << u"a\\f"_s << true;
        QTest::newRow("** at the end, deep below") << below << u"a\\x\\y\\"_s << true;
        QTest::newRow("** at the end, other folder") << below << u"ab\\f"_s << false;
        QTest::newRow("** alone, a file") << QStringList{u"**"_s} << u"f"_s << true;
        QTest::newRow("** alone, deep folder") << QStringList{u"**"_s} << u"a\\b\\"_s << true;
        const QStringList logs = {u"logs\\"_s};
        QTest::newRow("trailing \\ skips a file") << logs << u"a\\logs"_s << false;
        QTest::newRow("trailing \\ takes a folder") << logs << u"a\\logs\\"_s << true;
        QTest::newRow("trailing \\ takes what is below") << logs << u"logs\\x\\y.txt"_s << true;
        QTest::newRow("pattern case") << QStringList{u"CACHE\\"_s} << u"Cache\\"_s << true;
        QTest::newRow("name case") << tmp << u"X.TMP"_s << true;
        QTest::newRow("case beyond ASCII") << QStringList{u"É*"_s} << u"d\\é.txt"_s << true;
        QTest::newRow("lower case of two code units")
            << QStringList{u"İstanbul"_s} << u"i\u0307stanbul"_s << true;
        QTest::newRow("escaped backslash in a name")
            << QStringList{u"a|5Cb"_s} << u"a|5Cb"_s << true;
        QTest::newRow("escaped backslash in lower case")
            << QStringList{u"*|5c*"_s} << u"d\\x|5Cy"_s << true;
        QTest::newRow("a separator is no escaped backslash")
            << QStringList{u"a\\b"_s} << u"a|5Cb"_s << false;
        QTest::newRow("slash typed") << QStringList{u"var/cache/"_s} << u"var\\cache\\x"_s << true;
        QTest::newRow("blanks around") << QStringList{u"  *.log\t"_s} << u"x.log"_s << true;
        QTest::newRow("blank patterns") << QStringList{QString(), u"  "_s} << u"x"_s << false;
        QTest::newRow("only separators") << QStringList{u"/"_s, u"\\\\"_s} << u"x\\"_s << false;
        QTest::newRow("question mark is a character") << QStringList{u"a?"_s} << u"ab"_s << false;
        QTest::newRow("brackets are characters") << QStringList{u"[ab]"_s} << u"[ab]"_s << true;
        QTest::newRow("several patterns")
            << QStringList{u"*.tmp"_s, u"cache\\"_s} << u"x\\cache\\y.txt"_s << true;
    }
    void rules() {
        QFETCH(QStringList, patterns);
        QFETCH(QString, path);
        QFETCH(bool, leftOut);
        const ExcludePatterns exclude(patterns);
        const Path p = pathOf(path);
        QCOMPARE(exclude.leavesOut(p.inFolder, p.name, p.isFolder), leftOut);
        if (p.isFolder)
            QCOMPARE(exclude.leavesOutFolder(path), leftOut);
    }

    void cleaned_data() {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("patterns");
        QTest::newRow("none") << QStringList{} << QStringList{};
        QTest::newRow("blank ones dropped")
            << QStringList{QString(), u" \t"_s, u"a"_s} << QStringList{u"a"_s};
        QTest::newRow("blanks around") << QStringList{u"  a b  "_s} << QStringList{u"a b"_s};
        QTest::newRow("slashes") << QStringList{u"var/log/"_s} << QStringList{u"var\\log\\"_s};
    }
    void cleaned() {
        QFETCH(QStringList, given);
        QFETCH(QStringList, patterns);
        const ExcludePatterns exclude(given);
        QCOMPARE(exclude.patterns(), patterns);
        QCOMPARE(exclude.isEmpty(), patterns.isEmpty());
    }

    // Random paths and patterns: each entry, and each folder as a whole, is left out exactly
    // when the reference says so; also when the folders are followed one after another, each
    // sharing some of its folders with the one before, as a comparison follows them.
    void againstReference_data() {
        QTest::addColumn<int>("seed");
        for (int seed = 1; seed <= 100; ++seed)
            QTest::addRow("seed %d", seed) << seed;
    }
    void againstReference() {
        QFETCH(int, seed);
        std::mt19937 rng(static_cast<unsigned>(seed));
        QStringList patterns;
        for (int k = pick(rng, 4) + 1; k > 0; --k)
            patterns << randomPattern(rng);
        const ExcludePatterns exclude(patterns);
        const ExcludeReference reference(patterns);
        ExcludePatterns::PathWalk walk(exclude);
        QStringList folders;
        for (int n = 0; n < 400; ++n) {
            folders.resize(pick(rng, folders.size() + 1));
            for (int k = pick(rng, 3); k > 0 && folders.size() < 5; --k)
                folders << randomName(rng);
            const QString inFolder = folders.isEmpty() ? QString() : folders.join(u'\\') + u'\\';
            const QString name = randomName(rng);
            const bool isFolder = pick(rng, 2);
            const bool expected = reference.leavesOut(inFolder, name, isFolder);
            if (exclude.leavesOut(inFolder, name, isFolder) != expected)
                QFAIL(qPrintable(u"%1 on %2%3%4: expected %5"_s.arg(
                    patterns.join(u" | "), inFolder, name, isFolder ? u"\\"_s : QString(),
                    expected ? u"left out"_s : u"kept"_s)));
            const ExcludePatterns::FolderState &state = walk.stateOf(inFolder.toLower());
            QCOMPARE(state.leftOut || exclude.matchesName(state, name.toLower(), isFolder),
                     expected);
            if (isFolder)
                QCOMPARE(exclude.leavesOutFolder(inFolder + name + u'\\'), expected);
        }
    }

    void fileLines_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("patterns");
        QTest::newRow("empty") << QString() << QStringList{};
        QTest::newRow("comments and blank lines")
            << u"# caches\n\n*.tmp\n  # indented\n\t\ncache/\n"_s
            << QStringList{u"*.tmp"_s, u"cache/"_s};
        QTest::newRow("CR LF and no last line end")
            << u"a\r\nb\\c\r\nd"_s << QStringList{u"a"_s, u"b\\c"_s, u"d"_s};
        QTest::newRow("# inside a pattern") << u"a#b\n"_s << QStringList{u"a#b"_s};
    }
    void fileLines() {
        QFETCH(QString, text);
        QFETCH(QStringList, patterns);
        QCOMPARE(excludeFileLines(text), patterns);
    }

    void readFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"exclude.txt"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF*.tmp\r\n# c\r\ncaf\xC3\xA9\\\r\n");
        file.close();
        QStringList patterns{u"given"_s};
        QVERIFY(!readExcludeFile(path, patterns));
        QCOMPARE(patterns, (QStringList{u"given"_s, u"*.tmp"_s, u"café\\"_s}));

        const FileError missing = readExcludeFile(dir.filePath(u"missing.txt"_s), patterns);
        QCOMPARE(missing.code, int(FileError::FileNotFound));
        QCOMPARE(patterns.size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestExcludePatterns)
#include "tst_excludepatterns.moc"
