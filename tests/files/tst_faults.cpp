// Saving, exporting, reading and importing when the system misbehaves: a full disk, a folder
// that refuses new files, a file held open elsewhere, and files that end or vanish while they
// are read. Each case ends with the fixed message of its error code or with a complete list,
// and never damages a file that was there before.

#include "files/CsvExport.h"
#include "files/DosImport.h"
#include "files/FileWriter.h"
#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Progress.h"
#include "snapshot/SnapshotList.h"
#include "support/TestFiles.h"
#include "support/TestLists.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QLocale enGB(QLocale::English, QLocale::UnitedKingdom);

QStringList filesIn(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// The process's umask as the kernel shows it, without setting it; -1 where it is not shown.
int umaskSeen() {
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[4096];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    text[n > 0 ? n : 0] = '\0';
    const char *line = std::strstr(text, "\nUmask:");
    return line ? int(std::strtol(line + 7, nullptr, 8)) : -1;
}

// Runs `body` with writes limited to `bytes` per file, as a nearly full disk would allow.
template <typename Body> void withFileSizeLimit(rlim_t bytes, Body body) {
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = bytes;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    body();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}

// A named pipe that the test writes while the program reads it, so the reader meets the end
// of its input (or the removal of its name) exactly where the test wants it.
class Feeder {
public:
    // The write end is opened at once: a reader that finds no writer would see an empty file.
    explicit Feeder(const QString &path) : m_path(QFile::encodeName(path)) {
        if (mkfifo(m_path.constData(), 0600) == 0)
            m_fd = ::open(m_path.constData(), O_RDWR | O_CLOEXEC);
    }
    bool ok() const { return m_fd >= 0; }
    // Writes the parts in order with a pause between, running `between` after the first.
    template <typename Between> void start(QList<QByteArray> parts, Between between) {
        m_thread = std::thread([this, parts, between] {
            const int fd = m_fd;
            for (qsizetype k = 0; k < parts.size(); ++k) {
                if (k == 1) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    between();
                }
                const QByteArray &part = parts[k];
                for (qsizetype done = 0; done < part.size();) {
                    const ssize_t n = ::write(fd, part.constData() + done,
                                              static_cast<std::size_t>(part.size() - done));
                    if (n <= 0)
                        break;
                    done += n;
                }
            }
            ::close(fd);
        });
    }
    ~Feeder() {
        if (m_thread.joinable())
            m_thread.join();
        else if (m_fd >= 0)
            ::close(m_fd);
        ::unlink(m_path.constData());
    }

private:
    QByteArray m_path;
    int m_fd = -1;
    std::thread m_thread;
};

// From here on, this thread's renameat2() refuses to exchange two names, as on NFS or FAT.
bool refuseExchangeOnThisThread() {
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[4])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, RENAME_EXCHANGE, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// vistrel-cli, started with the signals at their defaults whatever this test inherited, and
// `limit` on the size of the files it writes when given.
void startCli(QProcess &cli, const QStringList &args, rlim_t limit = RLIM_INFINITY) {
    cli.setChildProcessModifier([limit] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ})
            std::signal(signal, signal == SIGXFSZ && limit != RLIM_INFINITY ? SIG_IGN : SIG_DFL);
        const rlimit size{limit, limit};
        setrlimit(RLIMIT_FSIZE, &size);
    });
    cli.start(QStringLiteral(VISTREL_CLI), args);
}

const QByteArray SmallFile = "\"d\",\"s\",0,3,45000\r\n"
                             "\"a.txt\",\"\",32,1234,45000.5\r\n"
                             "\"Sub\",\" \",16,0,0\r\n"
                             "\"b.log\",\"Sub\\\",32,56,45001.25\r\n";

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exportToFullDisk() {
        const SnapshotList list = sampleList(10);
        const FileError err = exportCsv(list, QStringLiteral("/dev/full"), EntryFormatter(enGB));
        QCOMPARE(err.code, 61);
        QCOMPARE(err.message(), QStringLiteral("Out of disk space"));
    }

    // The disk fills part way through: the earlier file stays whole and no temporary is left.
    void diskFillsDuringWrite_data() {
        QTest::addColumn<bool>("csv");
        QTest::newRow("snapshot") << false;
        QTest::newRow("csv export") << true;
    }
    void diskFillsDuringWrite() {
        QFETCH(bool, csv);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keep.out"));
        writeFile(path, SmallFile);
        const SnapshotList big = sampleList(100000);
        FileError err;
        withFileSizeLimit(256 * 1024, [&] {
            err = csv ? exportCsv(big, path, EntryFormatter(enGB)) : saveSnapshot(big, false, path);
        });
        QCOMPARE(err.code, 61);
        QCOMPARE(err.message(), QStringLiteral("Out of disk space"));
        QCOMPARE(readAll(path), SmallFile);
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("keep.out")});
    }

    // A folder of the kernel's own file system takes no new file, not even from root.
    void saveIntoFolderThatRefusesFiles() {
        if (!QFileInfo(QStringLiteral("/sys/kernel")).isDir())
            QSKIP("no sysfs here");
        const SnapshotList list = sampleList(3);
        const QString path = QStringLiteral("/sys/vistrel-fault-test.dir");
        FileError err = saveSnapshot(list, false, path);
        QCOMPARE(err.code, 70);
        QCOMPARE(err.message(), QStringLiteral("Permission denied"));
        err = exportCsv(list, QStringLiteral("/sys/vistrel-fault-test.csv"), EntryFormatter(enGB));
        QCOMPARE(err.code, 70);
        QVERIFY(!QFileInfo::exists(path));
    }

    // A folder whose permissions forbid writing; root is let through, so this is shown only
    // when the tests run as another user.
    void saveIntoReadOnlyFolder() {
        if (geteuid() == 0)
            QSKIP("root ignores permission bits; see saveIntoFolderThatRefusesFiles");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.dir"));
        writeFile(path, SmallFile);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const FileError err = saveSnapshot(sampleList(3), false, path);
        const FileError created =
            saveSnapshot(sampleList(3), false, dir.filePath(QStringLiteral("new.dir")));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(err.code, 70);
        QCOMPARE(created.code, 70);
        QCOMPARE(readAll(path), SmallFile);
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("old.dir")});
    }

    // Saves on several threads at once, as a Save As beside a background write: the process's
    // umask never changes meanwhile (another thread would create its files with a wrong mode),
    // and every new file gets the mode the umask allows.
    void savesOnSeveralThreads() {
        if (umaskSeen() < 0)
            QSKIP("this kernel does not show the umask in /proc/self/status");
        QTemporaryDir dir;
        const SnapshotList list = sampleList(1);
        const mode_t old = umask(027);
        std::atomic<bool> done{false};
        std::atomic<int> otherMasks{0};
        std::thread watcher([&] {
            while (!done.load())
                otherMasks += umaskSeen() != 027;
        });
        std::vector<std::thread> savers;
        std::atomic<int> failures{0};
        for (int t = 0; t < 2; ++t) {
            savers.emplace_back([&, t] {
                for (int k = 0; k < 200; ++k) {
                    const QString name = QStringLiteral("%1-%2.dir").arg(t).arg(k);
                    failures += !saveSnapshot(list, false, dir.filePath(name)).ok();
                }
            });
        }
        for (std::thread &saver : savers)
            saver.join();
        done = true;
        watcher.join();
        const mode_t after = umask(old);
        QCOMPARE(failures.load(), 0);
        QCOMPARE(otherMasks.load(), 0);
        QCOMPARE(after, mode_t(027));
        const QStringList names = filesIn(dir.path());
        QCOMPARE(names.size(), 400);
        for (const QString &name : names) {
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(dir.filePath(name)).constData(), &st), 0);
            QVERIFY2((st.st_mode & 07777) == 0640, qPrintable(name));
        }
    }

    // Another program holds the file open, reading and writing: the save replaces the file
    // under its name, and the other program keeps the whole earlier contents.
    void saveOverFileOpenElsewhere() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shared.dir"));
        writeFile(path, SmallFile);
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QFile writer(path);
        QVERIFY(writer.open(QIODevice::ReadWrite));
        const SnapshotList list = sampleList(500);
        QVERIFY(saveSnapshot(list, false, path).ok());
        QCOMPARE(reader.readAll(), SmallFile);
        writer.seek(0);
        writer.write("late write by the other program");
        writer.close();
        SnapshotList back;
        QVERIFY(readSnapshot(path, back).ok());
        QCOMPARE(entryTexts(back), entryTexts(list));
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("shared.dir")});
    }

    // Links met on the way to the target, in a folder everybody may write: followed by the
    // kernel's rule for sticky folders (the link must be the writer's or the folder owner's;
    // a file there too), and through a link nothing but a regular file is written. The new
    // file never takes over set-user-ID or set-group-ID bits. Each row: the shared folder's
    // mode and owner, the owner of the link (or file) in it, the writer, and what the link
    // leads to ("nothing": no link, the file itself lies there).
    void linksOnTheWay_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("written");
        QTest::newRow("another user's link in /tmp") << u"1777 root other root file"_s << false;
        QTest::newRow("the same to a folder on the way")
            << u"1777 root other root folder"_s << false;
        QTest::newRow("the writer's own link") << u"1777 root root root file"_s << true;
        QTest::newRow("the link of a user who writes") << u"1777 root other other file"_s << true;
        QTest::newRow("the folder owner's link") << u"1777 other other root file"_s << true;
        QTest::newRow("no sticky bit") << u"777 root other root file"_s << true;
        QTest::newRow("another user's file in /tmp") << u"1777 root other root nothing"_s << false;
        QTest::newRow("the same, no sticky bit") << u"777 root other root nothing"_s << true;
        QTest::newRow("own link to a named pipe") << u"1777 root root root pipe"_s << false;
        QTest::newRow("own link to a device") << u"1777 root root root device"_s << false;
    }
    void linksOnTheWay() {
        QFETCH(QString, setup);
        QFETCH(bool, written);
        if (geteuid() != 0)
            QSKIP("making links of other users needs root");
        const QStringList f = setup.split(u' ');
        auto uid = [](const QString &who) { return who == u"root" ? 0 : 65534; };
        const int folderOwner = uid(f[1]), linkOwner = uid(f[2]), writer = uid(f[3]);
        const QString &to = f[4];
        QTemporaryDir dir;
        const QByteArray base = QFile::encodeName(dir.path());
        const QByteArray shared = base + "/shared", real = base + "/real";
        const bool plain = to == u"nothing";
        const QByteArray link = shared + "/link", victim = plain ? link : real + "/victim.dir";
        QVERIFY(::chmod(base, 0755) == 0 && ::mkdir(shared, 0) == 0 && ::mkdir(real, 0) == 0);
        QVERIFY(::chown(shared, folderOwner, folderOwner) == 0 &&
                ::chmod(shared, f[0].toUInt(nullptr, 8)) == 0);
        QVERIFY(::chmod(real, 0777) == 0 && ::mkfifo(real + "/pipe", 0666) == 0);
        writeFile(QFile::decodeName(victim), SmallFile);
        const int victimOwner = plain ? linkOwner : writer;
        QVERIFY(::chown(victim, victimOwner, victimOwner) == 0 && ::chmod(victim, 06755) == 0);
        const QByteArray target = to == u"file"     ? victim
                                  : to == u"folder" ? real
                                  : to == u"pipe"   ? real + "/pipe"
                                                    : QByteArray("/dev/full");
        if (!plain)
            QVERIFY(::symlink(target, link) == 0 && ::lchown(link, linkOwner, linkOwner) == 0);

        QVERIFY(::setegid(writer) == 0 && ::seteuid(writer) == 0);
        const FileError err = saveSnapshot(
            sampleList(3), false, QFile::decodeName(to == u"folder" ? link + "/victim.dir" : link));
        QVERIFY(::seteuid(0) == 0 && ::setegid(0) == 0);
        struct stat st {};
        QVERIFY(::lstat(link, &st) == 0 && S_ISLNK(st.st_mode) != plain);
        QVERIFY(::stat(victim, &st) == 0);
        if (written) {
            QVERIFY2(err.ok(), qPrintable(err.message()));
            SnapshotList back;
            QVERIFY(readSnapshot(QFile::decodeName(victim), back).ok());
            QCOMPARE(entryTexts(back), entryTexts(sampleList(3)));
            QCOMPARE(st.st_mode & 07777, mode_t(0755));
        } else {
            QCOMPARE(err.code, 70);
            QVERIFY(err.message() != u"Permission denied"); // says why
            QCOMPARE(readAll(QFile::decodeName(victim)), SmallFile);
        }
        // No temporary is left where the file would have been replaced.
        QCOMPARE(filesIn(QFile::decodeName(plain ? shared : real)),
                 plain ? QStringList{u"link"_s} : (QStringList{u"pipe"_s, u"victim.dir"_s}));
    }

    // Files replaced together (the four results of a comparison): when one cannot take its
    // place, those replaced already get their earlier files back, whether the file system
    // exchanges two names in one step or not.
    void replacedTogetherOrNotAtAll_data() {
        QTest::addColumn<bool>("exchange");
        QTest::newRow("names exchanged") << true;
        QTest::newRow("no exchange, as on NFS") << false;
    }
    void replacedTogetherOrNotAtAll() {
        QFETCH(bool, exchange);
        QTemporaryDir dir;
        const QStringList names = {u"a.dir"_s, u"new.dir"_s, u"c.dir"_s, u"d.dir"_s};
        for (const int k : {0, 2, 3})
            writeFile(dir.filePath(names[k]), "old");
        // The place of the writer that failed, or -1. When `spoil`, the temporary of the third
        // file vanishes before its turn.
        auto replace = [&](bool spoil) {
            std::array<FileWriter, 4> writers;
            for (std::size_t k = 0; k < writers.size(); ++k) {
                writers[k].open(dir.filePath(names[int(k)]));
                writers[k].buffer() = "new";
                writers[k].finish();
            }
            for (const QString &name : filesIn(dir.path()).filter(u"c.dir.vistrel-"_s)) {
                if (spoil)
                    QFile::remove(dir.filePath(name));
            }
            FileWriter *failed = nullptr;
            const FileError err = FileWriter::replaceAll(
                {&writers[0], &writers[1], &writers[2], &writers[3]}, &failed);
            return err ? failed - writers.data() : std::ptrdiff_t(-1);
        };
        auto contents = [&] {
            QStringList out;
            for (const QString &name : filesIn(dir.path()))
                out << name + u'=' + QString::fromUtf8(readAll(dir.filePath(name)));
            return out.join(u' ');
        };
        std::ptrdiff_t failed = 0, none = 0;
        QString spoiled, whole;
        std::thread worker([&] {
            if (!exchange && !refuseExchangeOnThisThread())
                return;
            failed = replace(true);
            spoiled = contents();
            none = replace(false);
            whole = contents();
        });
        worker.join();
        QCOMPARE(failed, std::ptrdiff_t(2));
        QCOMPARE(spoiled, u"a.dir=old c.dir=old d.dir=old"_s);
        QCOMPARE(none, std::ptrdiff_t(-1));
        QCOMPARE(whole, u"a.dir=new c.dir=new d.dir=new new.dir=new"_s);
    }

    // The disk fills while the last of the four result files is written: all four stay as
    // they were, and no temporary is left.
    void comparisonResultsAllOrNone() {
        QTemporaryDir dir;
        const QString original = dir.filePath(u"original.dir"_s),
                      final = dir.filePath(u"final.dir"_s);
        QVERIFY(saveSnapshot(sampleList(3000), false, original).ok());
        QVERIFY(saveSnapshot(sampleList(3001), false, final).ok());
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(QDir().mkdir(out));
        const QStringList results = {u"changed.dir"_s, u"only-in-final.dir"_s,
                                     u"only-in-original.dir"_s, u"unchanged.dir"_s};
        for (const QString &name : results)
            writeFile(out + u'/' + name, SmallFile);
        QProcess cli;
        startCli(cli, {u"compare"_s, original, final, u"--out"_s, out}, 64 * 1024);
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY2(cli.readAllStandardError().contains("unchanged.dir: Out of disk space"),
                 "expected the full disk to be told");
        QCOMPARE(filesIn(out), results);
        for (const QString &name : results)
            QCOMPARE(readAll(out + u'/' + name), SmallFile);
    }

    // A signal that ends the program in the middle of a save removes the temporary file.
    void interruptedSaveLeavesNothing_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void interruptedSaveLeavesNothing() {
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString big = dir.filePath(u"big.dir"_s);
        QVERIFY(saveSnapshot(sampleList(300000), false, big).ok());
        const int watch = inotify_init1(IN_CLOEXEC);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(dir.path()), IN_CREATE) >= 0);
        QProcess cli;
        startCli(cli, {u"export"_s, big, u"-o"_s, dir.filePath(u"big.csv"_s)});
        pollfd ready{watch, POLLIN, 0};
        QVERIFY(::poll(&ready, 1, 60000) == 1);
        ::kill(pid_t(cli.processId()), signal);
        ::close(watch);
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        QCOMPARE(filesIn(dir.path()), QStringList{u"big.dir"_s});
    }

    // The input ends early while it is read: at any point inside a line, or at a line end
    // before the last, that is "Not a valid Vistrel file" and no entries.
    void snapshotCutWhileRead_data() {
        QTest::addColumn<int>("cut");
        QTest::newRow("inside the header") << 9;
        QTest::newRow("after the header") << 19;
        QTest::newRow("inside a name") << 23;
        QTest::newRow("inside a size") << 35;
        QTest::newRow("before the last line end") << int(SmallFile.size()) - 2;
    }
    void snapshotCutWhileRead() {
        QFETCH(int, cut);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pipe.dir"));
        Feeder feeder(path);
        QVERIFY(feeder.ok());
        feeder.start({SmallFile.left(cut / 2), SmallFile.mid(cut / 2, cut - cut / 2)}, [] {});
        SnapshotList list;
        const FileError err = readSnapshot(path, list);
        if (cut == 19) {
            // Cut at a line end: the header's count tells what is missing.
            QCOMPARE(err.code, int(FileError::WrongEntryCount));
            QCOMPARE(err.message(), QStringLiteral("Not a valid Vistrel file: the header's entry "
                                                   "count is 3, but the file holds 0"));
            QCOMPARE(list.size(), 0);
            return;
        }
        if (cut == SmallFile.size() - 2) {
            // Only the line end is missing: every field is there.
            QVERIFY(err.ok());
            QCOMPARE(list.size(), 3);
            return;
        }
        QCOMPARE(err.code, 62);
        QCOMPARE(err.message(), QStringLiteral("Not a valid Vistrel file"));
        QCOMPARE(list.size(), 0);
    }

    // The file's name is removed while it is read: what was opened is read to its end.
    void snapshotRemovedWhileRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("vanishing.dir"));
        Feeder feeder(path);
        QVERIFY(feeder.ok());
        const QByteArray bytes = [] {
            QTemporaryDir tmp;
            const QString p = tmp.filePath(QStringLiteral("x.dir"));
            saveSnapshot(sampleList(20000), false, p);
            return readAll(p);
        }();
        const QByteArray name = QFile::encodeName(path);
        feeder.start({bytes.left(bytes.size() / 3), bytes.mid(bytes.size() / 3)},
                     [name] { ::unlink(name.constData()); });
        SnapshotList list;
        const FileError err = readSnapshot(path, list);
        QVERIFY(err.ok());
        QCOMPARE(entryTexts(list), entryTexts(sampleList(20000)));
        QVERIFY(!QFileInfo::exists(path));
    }

    // Another program truncates a large snapshot file while it is read. The reader either
    // had read past the cut already (the whole list) or meets the end inside a line (the
    // message and no entries); it never returns a part of the list as if it were all.
    void snapshotTruncatedWhileRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.dir"));
        const SnapshotList original = sampleList(300000);
        QVERIFY(saveSnapshot(original, false, path).ok());
        const QByteArray bytes = readAll(path);
        // Inside the name of an entry far enough on that the reader has not reached it yet.
        const qsizetype cut = bytes.indexOf("\"file", bytes.size() * 3 / 4) + 3;
        Progress progress;
        std::atomic<bool> cutDone{false};
        std::thread cutter([&] {
            while (progress.count.load() < 1024)
                std::this_thread::yield();
            cutDone = ::truncate(QFile::encodeName(path).constData(), cut) == 0;
        });
        SnapshotList list;
        const FileError err = readSnapshot(path, list, &progress);
        cutter.join();
        QVERIFY(cutDone);
        if (err.ok()) {
            QCOMPARE(list.size(), original.size());
        } else {
            QCOMPARE(err.code, 62);
            QCOMPARE(list.size(), 0);
        }
    }

    // A DOS listing that ends inside an entry line: the lines before it are imported, the
    // cut line is not taken for an entry.
    void listingCutWhileRead() {
        const QByteArray listing = " Directory of C:\\DATA\r\n"
                                   "\r\n"
                                   "A        TXT             1  01/02/99  10:30 a.txt\r\n"
                                   "SUB            <DIR>        01/02/99  10:30 SUB\r\n"
                                   "B        TXT        12,345  01/02/99  10:31 b.txt\r\n";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("listing.txt"));
        Feeder feeder(path);
        QVERIFY(feeder.ok());
        const qsizetype cut = listing.indexOf("01/02/99  10:31") + 5;
        feeder.start({listing.left(40), listing.mid(40, cut - 40)}, [] {});
        SnapshotList list;
        const DosImportResult result = importDosListing(path, list, enGB);
        QVERIFY(!result.failed);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.name(0), u"a.txt");
        QCOMPARE(list.name(1), u"SUB");
        QCOMPARE(list.limits.size(), std::size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
