// Recovery files: a snapshot taken and not saved stays on the disk until it is saved or closed,
// and however the copy of the program that took it ends, the next copy offers it whole, while
// no running copy's files are ever taken for leftovers.

#include "ChurnSettings.h"
#include "files/RecoveryStore.h"
#include "files/SnapshotFile.h"
#include "snapshot/DateSerial.h"
#include "snapshot/SnapshotList.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

using namespace Qt::StringLiterals;

namespace {

bool near(double a, double b) {
    // A date serial goes through the file as 15 significant digits.
    return (std::isnan(a) && std::isnan(b)) || std::abs(a - b) < 1e-9;
}

// Names a snapshot file must carry through escapes: bytes that are not UTF-8 (as the scanner
// writes them), line breaks, quotes, pipes, emoji.
const QStringList OddNames = {QStringLiteral("caf|E9.txt"),  QStringLiteral("two\nlines"),
                              QStringLiteral("say \"hi\""),  QStringLiteral("a|7Cb|"),
                              QStringLiteral("📷 photo.jpg"), QStringLiteral("tab\there")};

SnapshotList sampleSnapshot(const QString &tag, int files, double created) {
    SnapshotList list;
    list.description = tag + QStringLiteral(" of /home \"ana\" 📷");
    list.source = QStringLiteral("/ - /home/%1/*.*").arg(tag);
    list.created = created;
    for (int k = 0; k < files; ++k) {
        const QString folder = QStringLiteral("%1 %2\\").arg(tag).arg(k / 50);
        if (k % 50 == 0)
            list.append(folder.chopped(1), u"", 16, 0, std::nan(""));
        const QString name = k % 7 == 0 ? OddNames[(k / 7) % OddNames.size()] + QString::number(k)
                                        : QStringLiteral("file%1.txt").arg(k);
        list.append(name, folder, 32, std::uint64_t(k) * 1013,
                    DateSerial::fromLocal(2023, 1 + k % 12, 1 + k % 28, k % 24, k % 60, k % 59));
    }
    return list;
}

// What differs between a list read back and the list written; empty when nothing does.
QString differences(const SnapshotList &got, const SnapshotList &want) {
    QStringList out;
    if (got.description != want.description)
        out << QStringLiteral("description \"%1\"").arg(got.description);
    if (got.source != want.source)
        out << QStringLiteral("source \"%1\"").arg(got.source);
    if (!near(got.created, want.created))
        out << QStringLiteral("created %1").arg(got.created, 0, 'f', 10);
    if (got.size() != want.size())
        return (out << QStringLiteral("%1 entries, not %2").arg(got.size()).arg(want.size()))
            .join(u", ");
    for (int i = 0; i < got.size(); ++i) {
        const Entry &a = got.entry(i);
        const Entry &b = want.entry(i);
        if (got.name(i) != want.name(i) || got.folder(i) != want.folder(i) || a.attr != b.attr ||
            a.size != b.size || !near(a.modified, b.modified)) {
            out << QStringLiteral("entry %1: \"%2%3\"").arg(i).arg(got.folder(i), got.name(i));
            break;
        }
    }
    return out.join(u", ");
}

QString ownerOf(const QString &path) {
    const QString name = QFileInfo(path).fileName();
    return name.left(name.lastIndexOf(u'-'));
}

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Makes each lock in the folder look an hour old.
bool ageLocks(const QString &folder) {
    const time_t hourAgo = ::time(nullptr) - 3600;
    const utimbuf times{hourAgo, hourAgo};
    const QStringList locks = QDir(folder).entryList({QStringLiteral("*.lock")}, QDir::Files);
    for (const QString &name : locks) {
        if (::utime(QFile::encodeName(folder + u'/' + name).constData(), &times) != 0)
            return false;
    }
    return !locks.isEmpty();
}

bool sameSettings(const AppSettings &a, const AppSettings &b) {
    return a.mainLeft == b.mainLeft && a.mainTop == b.mainTop && a.mainWidth == b.mainWidth &&
           a.mainHeight == b.mainHeight && a.maximized == b.maximized && a.viewGrid == b.viewGrid &&
           a.linkCols == b.linkCols && a.defPath == b.defPath && a.separate == b.separate &&
           a.otherVolumes == b.otherVolumes;
}

// The recovery writer (recovery_writer.cpp) in a process of its own, killed when this goes.
class Writer {
public:
    Writer(const char *mode, const QString &folder, const QString &original, const QString &final) {
        const QByteArray program = RECOVERY_WRITER;
        const QByteArray args[] = {QFile::encodeName(folder), QFile::encodeName(original),
                                   QFile::encodeName(final)};
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::execl(program.constData(), program.constData(), mode, args[0].constData(),
                    args[1].constData(), args[2].constData(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        m_out = out[0];
    }
    ~Writer() {
        kill();
        if (m_out >= 0)
            ::close(m_out);
    }
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Whether the writer said "ready" within the time; false when it ended first.
    bool waitReady(int milliseconds) {
        QByteArray said;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!said.contains("ready\n")) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{m_out, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                return false;
            char buffer[64];
            const ssize_t n = ::read(m_out, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            said.append(buffer, n);
        }
        return true;
    }
    // Ends the writer as a crash would, and tells whether the kill ended it (not a failure of
    // its own before).
    bool kill() {
        if (m_pid <= 0)
            return false;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_config; // the user's settings folder for this test and the writers it starts
    SnapshotList m_original;
    SnapshotList m_final;
    QString m_originalPath;
    QString m_finalPath;

private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        m_config = m_dir.filePath(QStringLiteral("config"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
        // The Final was taken first, so the oldest-first order differs from the list order.
        m_original = sampleSnapshot(QStringLiteral("Original"), 30000,
                                    DateSerial::fromLocal(2024, 3, 2, 10, 0, 0));
        m_final = sampleSnapshot(QStringLiteral("Final"), 20000,
                                 DateSerial::fromLocal(2024, 3, 1, 9, 30, 15));
        m_originalPath = m_dir.filePath(QStringLiteral("original.dir"));
        m_finalPath = m_dir.filePath(QStringLiteral("final.dir"));
        QVERIFY(saveSnapshot(m_original, false, m_originalPath).ok());
        QVERIFY(saveSnapshot(m_final, false, m_finalPath).ok());
    }

    // Files are offered only once the copy that wrote them is gone, however it went; while
    // one store offers them, no other does.
    void offeredOnlyWhenOwnerIsGone_data() {
        QTest::addColumn<bool>("ownerHere"); // the owner is a store of this process
        QTest::addColumn<bool>("agedLock");
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("offered");
        QTest::newRow("owner runs in another process") << false << false << "" << false;
        QTest::newRow("owner runs in this process") << true << false << "" << false;
        QTest::newRow("owner in another process, lock an hour old") << false << true << "" << false;
        QTest::newRow("owner in this process, lock an hour old") << true << true << "" << false;
        QTest::newRow("owner killed") << false << false << "kill" << true;
        QTest::newRow("owner killed, lock an hour old") << false << true << "kill" << true;
        QTest::newRow("owner ended without removing them") << true << false << "end" << true;
        QTest::newRow("left by a copy that had this process's id")
            << true << false << "twin" << true;
        // Whatever the lock file holds, nobody holds the lock.
        QTest::newRow("owner killed, lock emptied") << false << false << "kill empty" << true;
        QTest::newRow("owner killed, lock of garbage") << false << false << "kill garbage" << true;
        QTest::newRow("owner killed, lock unreadable")
            << false << false << "kill unreadable" << true;
    }
    void offeredOnlyWhenOwnerIsGone() {
        QFETCH(bool, ownerHere);
        QFETCH(bool, agedLock);
        QFETCH(QString, end);
        QFETCH(bool, offered);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("made/by/the/store"));
        std::unique_ptr<RecoveryStore> owner;
        std::unique_ptr<Writer> writer;
        if (ownerHere) {
            owner = std::make_unique<RecoveryStore>(folder);
            QVERIFY(owner->open().ok());
            QVERIFY(owner->write(ListId::Original, m_original).ok());
            QVERIFY(owner->write(ListId::Final, m_final).ok());
        } else {
            writer = std::make_unique<Writer>("hold", folder, m_originalPath, m_finalPath);
            QVERIFY(writer->waitReady(20000));
        }
        if (agedLock)
            QVERIFY(ageLocks(folder));
        if (end.startsWith(u"kill")) {
            QVERIFY(writer->kill());
            spoilLock(folder, end.mid(5));
        }
        if (end == u"end")
            owner.reset();
        // The owner still runs and keeps its own files; only the copies are offered.
        if (end == u"twin")
            copyAsEarlierTwin(folder);

        RecoveryStore store(folder);
        QVERIFY(store.open().ok());
        const std::vector<RecoveryStore::Leftover> found = store.leftovers();
        QCOMPARE(found.size(), offered ? std::size_t(2) : std::size_t(0));
        if (!offered)
            return;
        QCOMPARE(found[0].listNo, ListId::Final);
        QCOMPARE(found[1].listNo, ListId::Original);
        for (const RecoveryStore::Leftover &leftover : found) {
            const SnapshotList &want = leftover.listNo == ListId::Original ? m_original : m_final;
            QCOMPARE(leftover.description, want.description);
            QCOMPARE(leftover.source, want.source);
            QVERIFY(near(leftover.created, want.created));
            QCOMPARE(leftover.entries, want.size());
            SnapshotList back;
            back.fileName = QStringLiteral("/somewhere/else.dir");
            QVERIFY(store.restore(leftover, back).ok());
            QVERIFY2(differences(back, want).isEmpty(), qPrintable(differences(back, want)));
            QVERIFY(back.fileName.isEmpty());
        }

        RecoveryStore another(folder);
        QVERIFY(another.open().ok());
        QCOMPARE(another.leftovers().size(), std::size_t(0));

        const QString gone = ownerOf(found[0].path);
        for (const RecoveryStore::Leftover &leftover : found)
            store.discard(leftover);
        QCOMPARE(QDir(folder).entryList({gone + u'*'}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(store.leftovers().size(), std::size_t(0));
    }

    // Each list's file holds its last write until it is removed; what the owner leaves is what
    // the next copy finds.
    void removeTakesTheFile_data() {
        QTest::addColumn<QString>("steps"); // w1: write list 1, r2: remove list 2, ...
        QTest::addColumn<QList<int>>("left");
        QTest::newRow("both written") << "w1 w2" << QList<int>{1, 2};
        QTest::newRow("Original removed") << "w1 w2 r1" << QList<int>{2};
        QTest::newRow("Final removed") << "w1 w2 r2" << QList<int>{1};
        QTest::newRow("written again after its removal") << "w1 r1 w1" << QList<int>{1};
        QTest::newRow("written twice, the second stays") << "w2 w2" << QList<int>{2};
        QTest::newRow("written twice and removed") << "w2 w2 r2 w1 r1" << QList<int>{};
        QTest::newRow("a list never written removed") << "r2 w1" << QList<int>{1};
    }
    void removeTakesTheFile() {
        QFETCH(QString, steps);
        QFETCH(QList<int>, left);
        QTemporaryDir dir;
        const SnapshotList samples[] = {
            sampleSnapshot(QStringLiteral("one"), 40, DateSerial::fromLocal(2024, 1, 1, 8, 0, 0)),
            sampleSnapshot(QStringLiteral("two"), 60, DateSerial::fromLocal(2024, 1, 2, 8, 0, 0)),
            sampleSnapshot(QStringLiteral("three"), 20,
                           DateSerial::fromLocal(2024, 1, 3, 8, 0, 0))};
        std::map<int, int> lastWritten;
        {
            RecoveryStore owner(dir.path());
            QVERIFY(owner.open().ok());
            int k = 0;
            for (const QString &step : steps.split(u' ')) {
                const int listNo = step.mid(1).toInt();
                const ListId id = Lists::atIndex(std::size_t(listNo - 1));
                if (step.startsWith(u'w')) {
                    QVERIFY(owner.write(id, samples[k % 3]).ok());
                    lastWritten[listNo] = k % 3;
                } else {
                    owner.remove(id);
                }
                ++k;
            }
            QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.dir")}, QDir::Files).size(),
                     left.size());
        }
        RecoveryStore next(dir.path());
        QVERIFY(next.open().ok());
        QList<int> found;
        for (const RecoveryStore::Leftover &leftover : next.leftovers()) {
            found << int(leftover.listNo);
            SnapshotList back;
            QVERIFY(next.restore(leftover, back).ok());
            const SnapshotList &want = samples[lastWritten[int(leftover.listNo)]];
            QVERIFY2(differences(back, want).isEmpty(), qPrintable(differences(back, want)));
        }
        std::sort(found.begin(), found.end());
        QCOMPARE(found, left);
    }

    // Texts a snapshot file must escape come back as they were, in names, folders and the
    // description.
    void hostileTextsSurvive_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("not UTF-8, as the scanner names it") << QStringLiteral("caf|E9 d|FF|FE");
        QTest::newRow("line breaks") << QStringLiteral("two\nlines\r\nthree");
        QTest::newRow("emoji") << QStringLiteral("Fotos 🎉📷");
        QTest::newRow("quotes, pipes and commas") << QStringLiteral("say \"hi\", a|7C|b");
        QTest::newRow("control characters") << QStringLiteral("tab\there\x01\x7f");
        QTest::newRow("a single space") << QStringLiteral(" ");
    }
    void hostileTextsSurvive() {
        QFETCH(QString, text);
        QTemporaryDir dir;
        SnapshotList list;
        list.description = text;
        list.source = QStringLiteral("/ - /") + text;
        list.created = DateSerial::fromLocal(2024, 6, 7, 8, 9, 10);
        list.append(text, u"", 16, 0, std::nan(""));
        list.append(text, text + u'\\', 32, 123, DateSerial::fromLocal(2020, 1, 2, 3, 4, 5));
        list.append(QStringLiteral("plain.txt"), text, 32, 7,
                    DateSerial::fromLocal(2020, 1, 2, 3, 4, 6));
        {
            RecoveryStore owner(dir.path());
            QVERIFY(owner.open().ok());
            QVERIFY(owner.write(ListId::Final, list).ok());
        }
        RecoveryStore next(dir.path());
        QVERIFY(next.open().ok());
        const std::vector<RecoveryStore::Leftover> found = next.leftovers();
        QCOMPARE(found.size(), std::size_t(1));
        QCOMPARE(found[0].description, text);
        SnapshotList back;
        QVERIFY(next.restore(found[0], back).ok());
        QVERIFY2(differences(back, list).isEmpty(), qPrintable(differences(back, list)));
    }

    // The list is removed (saved) while a write of it is under way on another thread: the
    // write, overtaken, leaves nothing.
    void removedWhileWritten() {
        QTemporaryDir dir;
        RecoveryStore store(dir.path());
        QVERIFY(store.open().ok());
        const SnapshotList big = sampleSnapshot(QStringLiteral("big"), 300000, 45000);
        FileError result = FileError::fromCode(FileError::DeviceIO);
        std::thread worker([&] { result = store.write(ListId::Original, big); });
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (filesIn(dir.path()).filter(QStringLiteral(".vistrel-")).isEmpty() &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        store.remove(ListId::Original);
        worker.join();
        QVERIFY(result.ok());
        const QStringList left = filesIn(dir.path());
        QCOMPARE(left.size(), 1);
        QVERIFY2(left[0].endsWith(QStringLiteral(".lock")), qPrintable(left.join(u' ')));
    }

    // Writers killed at random moments, amid writes of both lists and of the settings: every
    // recovery file there reads back as the previous or the new snapshot, whole, the settings
    // file holds one whole set, and nothing of the writer stays once its files are discarded.
    void killedAtRandomMoments() {
        const int Kills = 40;
        const int MaxDelayMicroseconds = 40000;
        QTemporaryDir dir;
        RecoveryStore store(dir.path());
        QVERIFY(store.open().ok());
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        int underWay = 0; // kills that met a write under way
        for (int kill = 0; kill < Kills; ++kill) {
            const QString why = QStringLiteral("kill %1, seed %2").arg(kill).arg(seed);
            Writer writer("churn", dir.path(), m_originalPath, m_finalPath);
            QVERIFY2(writer.waitReady(20000), qPrintable(why));
            std::this_thread::sleep_for(
                std::chrono::microseconds(random.bounded(MaxDelayMicroseconds)));
            QVERIFY2(writer.kill(), qPrintable(why));
            removeEmptySettingsLock();

            const QStringList files = filesIn(dir.path());
            underWay += !files.filter(QStringLiteral(".vistrel-")).isEmpty();
            const QStringList written = files.filter(QRegularExpression(QStringLiteral("\\.dir$")));
            QCOMPARE(written.size(), 2);
            for (const QString &name : written)
                QVERIFY2(holdsOneSample(dir.filePath(name)), qPrintable(name + u' ' + why));
            QVERIFY2(settingsWhole(kill), qPrintable(why));

            const std::vector<RecoveryStore::Leftover> found = store.leftovers();
            QCOMPARE(found.size(), std::size_t(2));
            for (const RecoveryStore::Leftover &leftover : found) {
                SnapshotList back;
                QVERIFY(store.restore(leftover, back).ok());
                QVERIFY(differences(back, m_original).isEmpty() ||
                        differences(back, m_final).isEmpty());
                store.discard(leftover);
            }
            const QStringList left = filesIn(dir.path());
            QCOMPARE(left.size(), 1);
            QVERIFY2(left[0].endsWith(QStringLiteral(".lock")), qPrintable(left.join(u' ')));
        }
        qInfo("%d of %d kills met a write under way", underWay, Kills);
        QVERIFY(underWay > 0);
    }

    // The folder of recovery files is the user's alone: made so, or made so when others could
    // read it; a link or another user's folder is not used at all.
    void folderForTheUserAlone_data() {
        QTest::addColumn<QString>("there");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("tightened");
        QTest::newRow("made anew") << "" << 0 << false;
        QTest::newRow("open to others") << "0755" << 0 << true;
        QTest::newRow("a link to the user's own folder") << "link" << 70 << false;
        QTest::newRow("another user's folder") << "other" << 70 << false;
    }
    void folderForTheUserAlone() {
        QFETCH(QString, there);
        QFETCH(int, code);
        QFETCH(bool, tightened);
        if (there == u"other" && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("recovery"));
        const QByteArray path = QFile::encodeName(folder);
        const QByteArray own = QFile::encodeName(dir.filePath(QStringLiteral("own")));
        if (there == u"link")
            QVERIFY(::mkdir(own, 0700) == 0 && ::symlink(own, path) == 0);
        else if (!there.isEmpty())
            QVERIFY(::mkdir(path, 0) == 0 && ::chmod(path, 0755) == 0);
        if (there == u"other")
            QVERIFY(::chown(path, 65534, 65534) == 0);
        const mode_t mask = ::umask(022);
        RecoveryStore store(folder);
        const FileError err = store.open();
        const bool written = err.ok() && store.write(ListId::Final, m_final).ok();
        ::umask(mask);
        QCOMPARE(err.code, code);
        QCOMPARE(store.tightenedFolder(), tightened);
        if (code != 0) {
            QCOMPARE(filesIn(folder), QStringList());
            return;
        }
        QVERIFY(written);
        // The folder, then the lock and the Final's file.
        QStringList modes;
        for (const QString &name : QStringList{QString()} + filesIn(folder)) {
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(folder + u'/' + name), &st) == 0);
            modes << QString::number(st.st_mode & 07777, 8);
        }
        QCOMPARE(modes, (QStringList{u"700"_s, u"600"_s, u"600"_s}));
    }

private:
    // Leaves the lock of a place whose copy is gone emptied, holding garbage, or unreadable.
    void spoilLock(const QString &folder, const QString &how) {
        const QStringList locks = QDir(folder).entryList({QStringLiteral("*.lock")}, QDir::Files);
        QCOMPARE(locks.size(), 1);
        QFile lock(folder + u'/' + locks[0]);
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(how == u"garbage" ? "\xff\xfe not a lock" : "");
        QVERIFY(how != u"unreadable" || lock.setPermissions({}));
    }

    // A copy of the owner's files under a place that names this process, as an earlier copy
    // with the same process id leaves them.
    void copyAsEarlierTwin(const QString &folder) {
        const QStringList locks = QDir(folder).entryList({QStringLiteral("*.lock")}, QDir::Files);
        QCOMPARE(locks.size(), 1);
        const QString owner = locks[0].chopped(5);
        const QString twin = QStringLiteral("%1-0badf00d").arg(::getpid());
        for (const QString &name : filesIn(folder)) {
            QString copy = name;
            copy.replace(owner, twin);
            QVERIFY(QFile::copy(folder + u'/' + name, folder + u'/' + copy));
        }
    }

    QString settingsPath() const { return m_config + QStringLiteral("/Vistrel/Vistrel.conf"); }

    // Killed while Qt made its lock for the settings, a writer leaves the lock empty, which Qt
    // takes for stale only 30 seconds after it was made. The next writer here writes at once;
    // the program writes its settings when it closes.
    void removeEmptySettingsLock() {
        const QString lock = settingsPath() + QStringLiteral(".lock");
        if (QFileInfo(lock).size() == 0)
            QFile::remove(lock);
    }

    bool holdsOneSample(const QString &path) {
        SnapshotList back;
        const FileError err = readSnapshot(path, back);
        if (err) {
            qWarning("%s: %s", qPrintable(path), qPrintable(err.message()));
            return false;
        }
        return differences(back, m_original).isEmpty() || differences(back, m_final).isEmpty();
    }

    // The settings file parses and holds one of the writer's two sets. Read from a copy, so
    // that no cached reading of an earlier round answers.
    bool settingsWhole(int round) {
        const QString copy = m_dir.filePath(QStringLiteral("settings-%1.conf").arg(round));
        if (!QFile::copy(settingsPath(), copy))
            return false;
        QSettings read(copy, QSettings::IniFormat);
        const AppSettings back = AppSettings::read(read);
        return read.status() == QSettings::NoError &&
               (sameSettings(back, churnSettings(0)) || sameSettings(back, churnSettings(1)));
    }
};

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
