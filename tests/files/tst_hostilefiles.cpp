// Snapshot files and listings made to hurt: long folder texts shared by many entries, deep
// trees, input from a pipe. The readers, the comparison, the change summary and the window's
// dialogs take memory in proportion to the file; vistrel-cli under a memory limit ends with one
// line and status 2 when the memory runs out, never with an abort; a pipe reads as the file.
#include "compare/ChangeSummary.h"
#include "compare/Comparison.h"
#include "dialogs/ChangeSummaryDialog.h"
#include "dialogs/CompareDialog.h"
#include "files/DosImport.h"
#include "files/SnapshotFile.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/LargeBlocks.h"
#include "snapshot/Workspace.h"

#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QLocale British(QLocale::English, QLocale::UnitedKingdom);

QByteArray header(int entries) {
    return "\"hostile\",\"x\",0," + QByteArray::number(entries) + ",45000\r\n";
}

// One folder of `length` characters with `entries` entries in it named `name` and a number:
// folder entries, or (without the folder's closing backslash) files whose keys go on from it.
QByteArray oneFolder(int length, int entries, bool closed, const QByteArray &name = "d") {
    QByteArray out = header(entries);
    const QByteArray folder = closed ? QByteArray(length - 1, 'L') + '\\' : QByteArray(length, 'L');
    for (int k = 0; k < entries; ++k)
        out += '"' + name + QByteArray::number(k) + "\",\"" + (k ? QByteArray(" ") : folder) +
               (closed ? "\",16,0,0\r\n" : "\",32,1,45000\r\n");
    return out;
}

// `chains` files, each `depth` folders down a chain of its own.
QByteArray deepChains(int chains, int depth) {
    QByteArray out = header(chains);
    for (int k = 0; k < chains; ++k)
        out += "\"f\",\"c" + QByteArray::number(k) + '\\' + QByteArray("a\\").repeated(depth - 1) +
               "\",32,1,45000\r\n";
    return out;
}

QByteArray listingLine(const QByteArray &name, bool folder) {
    return name.left(8).leftJustified(12) + (folder ? "   <DIR>      " : "             1") +
           "  01/02/03  12:34 " + name + "\r\n";
}

const QByteArray ListingRoot = " Directory of C:\\R\r\n\r\n";

QByteArray wideListing(int length, int entries) {
    QByteArray out = ListingRoot + " Directory of C:\\R\\" + QByteArray(length, 'L') + "\r\n\r\n";
    for (int k = 0; k < entries; ++k)
        out += listingLine("d" + QByteArray::number(k), true);
    return out;
}

// A large snapshot that needs its memory honestly: many folders of long names.
QByteArray manyFolders(int entries) {
    QByteArray out = header(entries);
    for (int k = 0; k < entries; ++k)
        out += "\"name-" + QByteArray::number(k) + ".txt\",\"folder-" + QByteArray::number(k) +
               QByteArray(60, 'x') + "\\\",32,1,45000\r\n";
    return out;
}

QByteArray utf8Snapshot(int entries, const QByteArray &last) {
    QByteArray out = header(entries + 1) + "\"first\",\"f\\\",32,1,45000\r\n";
    for (int k = 1; k < entries; ++k)
        out += "\"n" + QByteArray::number(k) + "\",\" \",32,1,45000\r\n";
    return out + last;
}

qint64 statusKb(const char *field) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// How far the resident memory rose above where it stood while `work` ran, in MB. Memory the C
// library holds free is handed back first, or `work` would reuse it unseen.
double peakGrowthMb(const std::function<void()> &work) {
    releaseFreeMemory();
    QFile clear(u"/proc/self/clear_refs"_s);
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return -1; // the peak cannot be reset here
    clear.close();
    const qint64 before = statusKb("VmRSS:");
    work();
    return double(statusKb("VmHWM:") - before) / 1024;
}

QString written(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Each entry and limit as text, with the reader's error: what a read gave.
QStringList everything(const SnapshotList &list, int code) {
    QStringList out{QString::number(code), list.description, list.source};
    for (int i = 0; i < list.size(); ++i)
        out << list.folder(i) + u'|' + list.name(i).toString() + u'|' +
                   QString::number(list.entry(i).attr);
    for (std::size_t k = 0; k < list.limits.size(); ++k)
        out << u"limit "_s + list.limitText(k);
    return out;
}

// The bytes as a pipe gives them, by a path of it that can be opened, while `read` runs.
QStringList throughPipe(const QByteArray &bytes,
                        const std::function<QStringList(const QString &)> &read) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        qFatal("no pipe");
    std::thread writer([&] {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(ends[1], bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += n;
        }
        ::close(ends[1]);
    });
    const QStringList got = read(u"/dev/fd/%1"_s.arg(ends[0]));
    writer.join();
    ::close(ends[0]);
    return got;
}

QStringList snapshotEntries(const QString &path) {
    SnapshotList list;
    const FileError err = readSnapshot(path, list);
    return everything(list, err.code);
}

QStringList importListing(const QString &path) {
    SnapshotList list;
    const DosImportResult result = importDosListing(path, list, British);
    QStringList out = everything(list, result.error.code);
    out.removeAt(1); // the description is the path read
    return out << result.title << result.failingLine;
}

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Each file a few hundred kilobytes; before, each of these took from 200 MB to 1.5 GB.
    void memoryInProportion_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("work");
        const QByteArray wide = oneFolder(50000, 2000, true), deep = deepChains(50, 2000);
        const QByteArray open = oneFolder(50000, 2000, false);
        const QByteArray cut = oneFolder(50000, 2000, false, "n\\\\x");
        QTest::newRow("long folder, read") << wide << u"read"_s;
        QTest::newRow("long folder, compared") << wide << u"compare"_s;
        QTest::newRow("long folder, Compare dialog") << wide << u"dialog"_s;
        QTest::newRow("deep, summary") << deep << u"summary"_s;
        QTest::newRow("deep, Change Summary window") << deep << u"window"_s;
        QTest::newRow("open folder, compared") << open << u"compare"_s;
        QTest::newRow("names with backslashes, compared") << cut << u"compare"_s;
        QTest::newRow("long folder, listing") << wideListing(50000, 2000) << u"import"_s;
    }
    void memoryInProportion() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer holds freed memory for a while: the resident size tells nothing");
#endif
        // Each row runs alone in a process of this test: memory an earlier row gave back would
        // be used again unseen.
        if (!qEnvironmentVariableIsSet("VISTREL_ROW_ALONE")) {
            QProcess alone;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"VISTREL_ROW_ALONE"_s, u"1"_s);
            alone.setProcessEnvironment(environment);
            alone.start(QCoreApplication::applicationFilePath(),
                        {u"memoryInProportion:"_s + QLatin1String(QTest::currentDataTag())});
            QVERIFY(alone.waitForFinished(300000));
            QVERIFY2(alone.exitStatus() == QProcess::NormalExit && alone.exitCode() == 0,
                     alone.readAllStandardOutput().constData());
            return;
        }
        QFETCH(QByteArray, bytes);
        QFETCH(QString, work);
        const QString path = written(m_dir, u"hostile"_s, bytes);
        Workspace ws;
        CompareOptions options;
        options.reset(ListId::Original);
        const EntryFormatter format(British);
        auto read = [&](int n) {
            QVERIFY(readSnapshot(path, ws.list(Lists::atIndex(std::size_t(n - 1)))).ok());
        };
        const double mb = peakGrowthMb([&] {
            if (work == u"import") {
                QVERIFY(!importDosListing(path, ws.list(ListId::Original), British).failed);
                return;
            }
            read(1);
            if (work == u"compare") {
                read(2);
                runComparison(ws, options);
            } else if (work == u"summary" || work == u"window") {
                runComparison(ws, options);
                ChangeSummary summary = ChangeSummary::build(ws);
                if (work == u"window") {
                    ChangeSummaryDialog window(format);
                    window.setSummary(std::move(summary));
                    window.show();
                    QCoreApplication::processEvents();
                }
            } else if (work == u"dialog") {
                read(2);
                CompareDialog dialog;
                dialog.load(ws, options);
                dialog.limitedTo(ListId::Original)->setCurrentIndex(1000);
                dialog.show();
                QCoreApplication::processEvents();
                QCOMPARE(dialog.limitedTo(ListId::Original)->currentText().size(),
                         50000 + 5); // and "d999\"
            }
        });
        if (mb < 0)
            QSKIP("the peak resident memory cannot be reset here");
        // The lists, trees and windows of a few hundred kilobytes of text, and what a window
        // itself takes: far from one text per entry or one path per folder.
        QVERIFY2(mb < 64,
                 qPrintable(u"%1 MB for a file of %2 KB"_s.arg(mb).arg(bytes.size() >> 10)));
    }

    // vistrel-cli in a process of its own, its address space limited: what fits succeeds, what
    // does not ends with one line and status 2.
    void underMemoryLimit_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("limitMb");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // a pattern of the whole of standard error
        const QString wide = written(m_dir, u"wide.dir"_s, oneFolder(100000, 2000, true));
        const QString deep = written(m_dir, u"deep.dir"_s, deepChains(100, 2000));
        const QString empty = written(m_dir, u"empty.dir"_s, header(0));
        const QString listing = written(m_dir, u"wide.txt"_s, wideListing(100000, 2000));
        const QString big = written(m_dir, u"big.dir"_s, manyFolders(200000));
        const QString out = m_dir.filePath(u"out.dir"_s);
        QTest::newRow("list") << QStringList{u"list"_s, wide} << 400 << 0 << QString();
        QTest::newRow("compare") << QStringList{u"compare"_s, wide, wide} << 400 << 0 << QString();
        QTest::newRow("summary") << QStringList{u"compare"_s, deep, empty, u"--summary"_s} << 400
                                 << 1 << QString();
        QTest::newRow("import") << QStringList{u"import"_s, listing, u"-o"_s, out} << 400 << 0
                                << QString();
        // The reader's own error, as the window shows it too.
        QTest::newRow("a large file, read") << QStringList{u"list"_s, big} << 100 << 2
                                            << u"^vistrel-cli: .*big.dir: Out of memory\n$"_s;
        // Which error depends on the program's bytes: none of its lines may look like an entry
        // line, or one may and its date then fails. Either is one line.
        QTest::newRow("a program imported")
            << QStringList{u"import"_s, QCoreApplication::applicationFilePath(), u"-o"_s, out}
            << 400 << 2 << u"^vistrel-cli: [^\n]+\n$"_s;
    }
    void underMemoryLimit() {
        QFETCH(QStringList, args);
        QFETCH(int, limitMb);
        QFETCH(int, status);
        QFETCH(QString, error);
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer needs more address space than any limit here allows");
#endif
        QProcess cli;
        cli.setChildProcessModifier([limitMb] {
            const rlimit limit{rlim_t(limitMb) << 20, rlim_t(limitMb) << 20};
            ::setrlimit(RLIMIT_AS, &limit);
        });
        cli.setStandardOutputFile(QProcess::nullDevice());
        cli.start(QStringLiteral(VISTREL_CLI), args);
        QVERIFY(cli.waitForFinished(120000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit); // not killed by an abort
        QVERIFY2(cli.exitCode() == status, qPrintable(err));
        if (error.isEmpty())
            QCOMPARE(err, QString());
        else
            QVERIFY2(QRegularExpression(error).match(err).hasMatch(), qPrintable(err));
    }

    // A snapshot file or listing read from a pipe gives what the file gives, also when its text
    // turns out not to be UTF-8 after a megabyte of it was read.
    void pipeReadsAsTheFile_data() {
        QTest::addColumn<bool>("listing");
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray h = header(1);
        QTest::newRow("Windows-1252") << false << h + "\"caf\xE9\",\"\",32,1,45000\r\n";
        QTest::newRow("Windows-1252 in the header")
            << false << QByteArray("\"caf\xE9\",\"x\",0,1,45000\r\n\"a\",\"\",32,1,45000\r\n");
        QTest::newRow("Windows-1252 after 90,000 entries")
            << false << utf8Snapshot(90000, "\"caf\xE9\",\"\",32,1,45000\r\n");
        QTest::newRow("UTF-8, 90,000 entries")
            << false << utf8Snapshot(90000, "\"caf\xC3\xA9\",\"\",32,1,45000\r\n");
        const QByteArray dir = " Directory of C:\\R\r\n";
        QByteArray many = dir;
        for (int k = 0; k < 40000; ++k)
            many += listingLine("F" + QByteArray::number(k), false);
        QTest::newRow("listing, UTF-8 up to 40,000 lines, then Windows-1252")
            << true << many + listingLine("\xC3\xA9", false) + listingLine("caf\xE9", false);
    }
    void pipeReadsAsTheFile() {
        QFETCH(bool, listing);
        QFETCH(QByteArray, bytes);
        const auto read = listing ? importListing : snapshotEntries;
        const QStringList fromFile = read(written(m_dir, u"piped"_s, bytes));
        QVERIFY(fromFile.size() > 3 || fromFile.value(0) != u"0");
        const QStringList fromPipe = throughPipe(bytes, read);
        QCOMPARE(fromPipe.size(), fromFile.size());
        QCOMPARE(fromPipe, fromFile);
    }
};

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
