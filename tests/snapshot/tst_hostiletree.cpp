// A real folder tree full of names and files that break naive code: bytes that are not UTF-8,
// case twins, separators and control characters inside names, paths longer than PATH_MAX, a
// chain deeper than any call stack should go, special files, loops and mount points. Every
// check holds the scanner's view against what the file system (and find(1)) says is there.

#include "compare/Comparison.h"
#include "files/CsvExport.h"
#include "files/SnapshotFile.h"
#include "print/ReportLines.h"
#include "snapshot/DateSerial.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/NameBytes.h"
#include "snapshot/NameCodec.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"
#include "snapshot/Workspace.h"
#include "sort/ColumnSorts.h"
#include "sort/MatchKeys.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Every file, link and special file gets this modification time, so two trees built apart
// compare equal (15 June 2021 12:00 UTC).
constexpr std::int64_t Stamp = 1623758400;
constexpr int DeepLevels = 2000;
constexpr int LongLevels = 18; // of 250-byte names: a path of over 4,500 bytes

const QLocale enGB(QLocale::English, QLocale::UnitedKingdom);

std::string longName(int level) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "L%02d", level);
    return prefix + std::string(247, 'x');
}

const std::string Name255 = std::string(251, 'n') + ".txt";

// Texts of entries the checks name, as folder and name joined by a backslash.
QString deepFile() {
    QString path = QStringLiteral("deep\\");
    for (int k = 0; k < DeepLevels; ++k)
        path += QStringLiteral("d\\");
    return path + QStringLiteral("bottom.txt");
}

QString longFile() {
    QString path = QStringLiteral("long\\");
    for (int k = 0; k < LongLevels; ++k)
        path += QString::fromStdString(longName(k)) + u'\\';
    return path + QStringLiteral("end.txt");
}

const QString TmpfsPoint = QStringLiteral("tmpfs-mnt");
const QString BindPoint = QStringLiteral("loopy\\inner\\mnt");

// Creates tree parts by raw system calls, names as bytes, each folder reached through its
// parent's descriptor, so neither text conversion nor PATH_MAX gets in the way. Remembers the
// first failure instead of stopping, so the caller can report it once.
class TreeMaker {
public:
    QString error;

    bool must(bool ok, const char *what, const std::string &name) {
        if (!ok && error.isEmpty())
            error = QStringLiteral("%1 \"%2\": %3")
                        .arg(QLatin1String(what), QString::fromLocal8Bit(name.c_str()),
                             QString::fromLocal8Bit(std::strerror(errno)));
        return ok;
    }
    void stamp(int dir, const std::string &name, std::int64_t time = Stamp) {
        const timespec times[2] = {{time, 0}, {time, 0}};
        must(utimensat(dir, name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0, "utimensat", name);
    }
    // A new folder; returns its descriptor (or -1), which the caller closes.
    int folder(int parent, const std::string &name) {
        if (!must(mkdirat(parent, name.c_str(), 0755) == 0, "mkdirat", name))
            return -1;
        const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        must(fd >= 0, "openat", name);
        return fd;
    }
    void emptyFolder(int parent, const std::string &name) {
        const int fd = folder(parent, name);
        if (fd >= 0)
            ::close(fd);
    }
    void file(int dir, const std::string &name, const std::string &content = "x") {
        const int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (!must(fd >= 0, "create", name))
            return;
        must(::write(fd, content.data(), content.size()) == ssize_t(content.size()), "write", name);
        ::close(fd);
        stamp(dir, name);
    }
    void fifo(int dir, const std::string &name) {
        must(mkfifoat(dir, name.c_str(), 0644) == 0, "mkfifoat", name);
        stamp(dir, name);
    }
    void symlink(int dir, const std::string &target, const std::string &name) {
        must(symlinkat(target.c_str(), dir, name.c_str()) == 0, "symlinkat", name);
        stamp(dir, name);
    }
    // A socket path is limited to about 100 bytes; bound relative to the folder, any folder
    // will do.
    void socket(int dir, const std::string &name) {
        const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (must(here >= 0 && s >= 0 && fchdir(dir) == 0, "socket", name)) {
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::memcpy(addr.sun_path, name.c_str(), name.size() + 1);
            must(::bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0, "bind", name);
            must(fchdir(here) == 0, "fchdir back from", name);
            stamp(dir, name);
        }
        if (s >= 0)
            ::close(s);
        if (here >= 0)
            ::close(here);
    }
    // A chain of folders, each inside the last, with a file at the bottom.
    void chain(int parent, const std::string &top, const std::vector<std::string> &names,
               const std::string &bottom) {
        int fd = folder(parent, top);
        for (const std::string &name : names) {
            if (fd < 0)
                return;
            const int next = folder(fd, name);
            ::close(fd);
            fd = next;
        }
        if (fd >= 0) {
            file(fd, bottom);
            ::close(fd);
        }
    }
};

// The tree every check reads. Mount points are left as empty folders; the caller mounts.
void buildTree(TreeMaker &m, const QByteArray &rootPath) {
    if (!m.must(::mkdir(rootPath.constData(), 0755) == 0, "mkdir", rootPath.toStdString()))
        return;
    const int root = ::open(rootPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!m.must(root >= 0, "open", rootPath.toStdString()))
        return;

    // Latin-1 twins that differ only in their bad byte, and other broken UTF-8.
    for (const char *name : {"caf\xE9", "caf\xC9"}) {
        const int fd = m.folder(root, name);
        if (fd >= 0) {
            m.file(fd, "inside.txt");
            m.file(fd, "gone.txt");
            ::close(fd);
        }
    }
    if (const int fd = m.folder(root, "\xFF\xFE"); fd >= 0) {
        m.file(fd, "\xE2\x82");
        ::close(fd);
    }
    if (const int fd = m.folder(root, "cut\xE2\x82"); fd >= 0) {
        m.file(fd, "f");
        ::close(fd);
    }
    m.file(root, "bad\xE9.txt");

    // Unicode that lower-casing and normalising treat in unusual ways.
    for (const char *name :
         {"İstanbul.txt", "istanbul.txt", "ISTANBUL.txt", "ß", "ẞ", "ss", "\xF0\x9F\x98\x80.txt",
          "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", "e\xCC\x81", "\xC3\xA9", "Ä", "ä", "Σ", "σ"})
        m.file(root, name);
    if (const int fd = m.folder(root, "Data"); fd >= 0) {
        m.file(fd, "f.txt", "upper");
        m.file(fd, "upper-only.txt");
        ::close(fd);
    }
    if (const int fd = m.folder(root, "data"); fd >= 0) {
        m.file(fd, "f.txt", "lower!");
        m.file(fd, "lower-only.txt");
        ::close(fd);
    }

    // Separators and control characters inside names.
    if (const int fd = m.folder(root, "a"); fd >= 0) {
        m.file(fd, "b\\c", "one");
        ::close(fd);
    }
    if (const int fd = m.folder(root, "a\\b"); fd >= 0) {
        m.file(fd, "c", "two!");
        ::close(fd);
    }
    m.file(root, "x|41");
    m.file(root, "xA");
    m.file(root, "line\nbreak");
    m.file(root, "tab\there");
    m.file(root, "say \"hi\".txt");
    // Terminal commands: an OSC that retitles the window, a CSI as C1 (UTF-8 of U+009B), DEL, a
    // next line (U+0085).
    m.file(root, "esc\x1B]0;pwned\x07");
    m.file(root, "csi\xC2\x9B"
                 "2J");
    m.file(root, "del\x7F");
    m.file(root, "pipe|name.txt");
    if (const int fd = m.folder(root, "nel\xC2\x85"
                                      "dir\x1B[31m");
        fd >= 0) {
        m.file(fd, "in\x9B");
        ::close(fd);
    }
    if (const int fd = m.folder(root, "folder\nwith break"); fd >= 0) {
        m.file(fd, "in\rside");
        ::close(fd);
    }

    // Lengths.
    m.file(root, Name255);
    std::vector<std::string> names;
    for (int k = 0; k < LongLevels; ++k)
        names.push_back(longName(k));
    m.chain(root, "long", names, "end.txt");
    m.chain(root, "deep", std::vector<std::string>(DeepLevels, "d"), "bottom.txt");

    // Things that are neither files nor folders, loops, and a folder nobody may read.
    m.fifo(root, "fifo");
    m.socket(root, "sock");
    if (const int fd = m.folder(root, "loop"); fd >= 0) {
        m.symlink(fd, "b", "a");
        m.symlink(fd, "a", "b");
        m.symlink(fd, "..", "up");
        ::close(fd);
    }
    if (const int fd = m.folder(root, "locked"); fd >= 0) {
        m.file(fd, "secret.txt");
        m.must(fchmod(fd, 0) == 0, "fchmod", "locked");
        ::close(fd);
    }

    // Mount points (see MountGuard).
    m.emptyFolder(root, TmpfsPoint.toStdString());
    if (const int fd = m.folder(root, "loopy"); fd >= 0) {
        if (const int inner = m.folder(fd, "inner"); inner >= 0) {
            m.file(inner, "keep.txt");
            m.emptyFolder(inner, "mnt");
            ::close(inner);
        }
        ::close(fd);
    }
    ::close(root);
}

// Unmounts whatever was mounted, in reverse order, also when a check fails midway.
class MountGuard {
public:
    MountGuard() = default;
    MountGuard(const MountGuard &) = delete;
    MountGuard &operator=(const MountGuard &) = delete;
    ~MountGuard() { release(); }

    enum class Result { Mounted, NotPermitted, Failed };
    Result mount(const QByteArray &source, const QByteArray &target, const char *type,
                 unsigned long flags, const char *options) {
        if (::mount(source.constData(), target.constData(), type, flags, options) == 0) {
            m_targets.push_back(target);
            return Result::Mounted;
        }
        return errno == EPERM ? Result::NotPermitted : Result::Failed;
    }
    bool release() {
        bool ok = true;
        while (!m_targets.empty()) {
            if (umount2(m_targets.back().constData(), MNT_DETACH) != 0) {
                qWarning("cannot unmount %s: %s", m_targets.back().constData(),
                         std::strerror(errno));
                ok = false;
            }
            m_targets.pop_back();
        }
        return ok;
    }

private:
    std::vector<QByteArray> m_targets;
};

bool scanTree(const QByteArray &root, bool otherVolumes, SnapshotList &list) {
    auto reader = makeDirectoryReader(otherVolumes);
    Scanner scanner(*reader);
    const bool ok = scanner.readDirectory(root, QString::fromUtf8(root), list, true);
    list.description = QString::fromUtf8(root);
    return ok;
}

QString pathText(const SnapshotList &list, int i) {
    return list.folder(i) + list.name(i).toString();
}

QStringList pathTexts(const SnapshotList &list) {
    QStringList out;
    out.reserve(list.size());
    for (int i = 0; i < list.size(); ++i)
        out << pathText(list, i);
    return out;
}

// The bytes of an entry's path below the root, as the file system names it.
QByteArray pathBytes(const QString &text) {
    QByteArray out;
    for (const QString &part : text.split(u'\\', Qt::SkipEmptyParts)) {
        if (!out.isEmpty())
            out += '/';
        out += nameBytes(part);
    }
    return out;
}

struct Found {
    QList<QByteArray> paths; // relative to the root
    QString error;
};

// What find(1) lists below the root; it walks by descriptors, so long paths are no problem.
Found findPaths(const QByteArray &root, bool oneVolume) {
    Found out;
    QStringList args{QString::fromUtf8(root)};
    if (oneVolume)
        args << QStringLiteral("-xdev");
    args << QStringLiteral("-mindepth") << QStringLiteral("1") << QStringLiteral("-print0");
    QProcess find;
    find.start(QStringLiteral("find"), args);
    if (!find.waitForFinished(120000) || find.exitStatus() != QProcess::NormalExit) {
        out.error = QStringLiteral("find did not run: ") + find.errorString();
        return out;
    }
    // find exits 1 after its warnings about the loop and the unreadable folder; what it
    // printed is still complete.
    const QByteArray all = find.readAllStandardOutput();
    const QByteArray prefix = root + '/';
    qsizetype start = 0;
    for (qsizetype end; (end = all.indexOf('\0', start)) >= 0; start = end + 1) {
        const QByteArray path = all.mid(start, end - start);
        if (!path.startsWith(prefix)) {
            out.error = QStringLiteral("find printed a path outside the root");
            return out;
        }
        out.paths << path.mid(prefix.size());
    }
    if (start != all.size())
        out.error = QStringLiteral("find's output does not end in NUL");
    return out;
}

QString textOfPath(const QByteArray &path) {
    QStringList parts;
    for (const QByteArray &part : path.split('/'))
        parts << NameCodec::fromBytes(std::string_view(part.constData(), std::size_t(part.size())));
    return parts.join(u'\\');
}

QString cli() {
    return QStringLiteral(VISTREL_CLI);
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList &args) {
    QProcess p;
    p.start(cli(), args);
    Run r;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

bool hasControl(QStringView text) {
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// The fields of a line of the CSV export, every one quoted; empty when the line is malformed.
QStringList csvFields(const QByteArray &line) {
    QStringList fields;
    qsizetype i = 0;
    while (i < line.size()) {
        if (line[i++] != '"')
            return {};
        QByteArray field;
        for (;;) {
            if (i >= line.size())
                return {};
            if (line[i] == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            field += line[i++];
        }
        fields << QString::fromUtf8(field);
        if (i < line.size() && line[i++] != ',')
            return {};
    }
    return fields;
}

// Runs vistrel-cli with its arguments as bytes, so a path that is not UTF-8 stays one, in the
// folder `dir`, where its output and errors go through files: any amount fits.
Run runBytes(const QList<QByteArray> &args, const QByteArray &dir) {
    const QByteArray program = QFile::encodeName(cli());
    const QByteArray outFile = dir + "/.stdout", errFile = dir + "/.stderr";
    std::vector<const char *> argv{program.constData()};
    for (const QByteArray &a : args)
        argv.push_back(a.constData());
    argv.push_back(nullptr);
    Run r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::chdir(dir.constData()) != 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0)
            ::_exit(126);
        ::execv(argv[0], const_cast<char *const *>(argv.data()));
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    QFile out(QFile::decodeName(outFile)), err(QFile::decodeName(errFile));
    if (out.open(QIODevice::ReadOnly))
        r.out = out.readAll();
    if (err.open(QIODevice::ReadOnly))
        r.err = err.readAll();
    return r;
}

bool writeBytes(const QByteArray &path, const QByteArray &content) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool ok = fd >= 0 && ::write(fd, content.constData(), std::size_t(content.size())) ==
                                   ssize_t(content.size());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// What a terminal would take for a command in `bytes`, as a terminal filter sees it: bytes
// that are not UTF-8, the C0 controls but tab and line feed, DEL and the C1 controls. Empty
// when there is nothing.
QString terminalFault(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return QStringLiteral("not UTF-8");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F))
            return QStringLiteral("U+%1 in line %2")
                .arg(int(c), 4, 16, QLatin1Char('0'))
                .arg(text.left(i).count(u'\n') + 1);
    }
    return {};
}

// A text as a terminal may show it, written apart from the program: every C0 control, DEL and
// C1 control as "|" and two hex digits.
QString shown(const QString &text) {
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            out += QStringLiteral("|%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

double stampSerial(std::int64_t seconds = Stamp) {
    double serial = 0;
    DateSerial::fromUnixTime(seconds, serial);
    return serial;
}

} // namespace

class TestHostileTree : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_root;  // the tree every check reads
    QByteArray m_final; // its changed copy
    std::vector<QByteArray> m_locked;
    MountGuard m_mounts;
    bool m_tmpfs = false;
    bool m_bind = false;
    SnapshotList m_oneVolume;
    SnapshotList m_allVolumes;
    QString m_cliOriginal;

    const SnapshotList &scanned(bool otherVolumes) const {
        return otherVolumes ? m_allVolumes : m_oneVolume;
    }

    void mountParts() {
        // Mounts made in a mount namespace of this process's own vanish with it, even when it
        // dies before the clean-up; without the right to one they are simply shared.
        if (unshare(CLONE_NEWNS) == 0)
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        const QByteArray tmpfs = m_root + '/' + TmpfsPoint.toUtf8();
        switch (m_mounts.mount("vistrel-test", tmpfs, "tmpfs", 0, "size=1m")) {
        case MountGuard::Result::Mounted: {
            m_tmpfs = true;
            TreeMaker m;
            const int fd = ::open(tmpfs.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (m.must(fd >= 0, "open", tmpfs.toStdString())) {
                m.file(fd, "on-tmpfs.txt");
                ::close(fd);
            }
            QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
            break;
        }
        case MountGuard::Result::NotPermitted:
            qInfo("no tmpfs: mounting is not permitted here; its checks are skipped");
            break;
        case MountGuard::Result::Failed:
            QFAIL(qPrintable(QStringLiteral("mount tmpfs: ") + qt_error_string(errno)));
        }
        const QByteArray loopy = m_root + "/loopy";
        switch (m_mounts.mount(loopy, loopy + "/inner/mnt", nullptr, MS_BIND, nullptr)) {
        case MountGuard::Result::Mounted:
            m_bind = true;
            break;
        case MountGuard::Result::NotPermitted:
            qInfo("no bind mount: mounting is not permitted here; its checks are skipped");
            break;
        case MountGuard::Result::Failed:
            QFAIL(qPrintable(QStringLiteral("bind mount: ") + qt_error_string(errno)));
        }
    }

    // The entries find(1) lists as texts, with the folder it leaves out: find drops the bind
    // mount point as the end of a loop, where the scanner lists it without entering it.
    QStringList expectedTexts(bool otherVolumes, QString &error) {
        const Found found = findPaths(m_root, !otherVolumes);
        error = found.error;
        QStringList texts;
        for (const QByteArray &path : found.paths)
            texts << textOfPath(path);
        if (m_bind)
            texts << BindPoint;
        return texts;
    }

    QString cliSnapshot(const QByteArray &root, const QString &name) {
        const QString out = m_dir.filePath(name);
        const Run r = runCli(
            {QStringLiteral("snapshot"), QString::fromUtf8(root), QStringLiteral("-o"), out});
        if (r.exitCode != 0) {
            qWarning("vistrel-cli snapshot %s: %s", root.constData(), r.err.constData());
            return {};
        }
        return out;
    }

    // Files for the outputs' checks, in a folder of their own: the CLI's snapshot of the tree,
    // two snapshot files whose escapes decode to terminal commands, listings, and names that
    // are not UTF-8.
    QByteArray m_outputs;
    bool prepareOutputs() {
        const QByteArray dir = QFile::encodeName(m_dir.filePath(QStringLiteral("outputs")));
        if (!m_outputs.isEmpty() || ::mkdir(dir.constData(), 0755) != 0)
            return !m_outputs.isEmpty();
        SnapshotList crafted, changed;
        crafted.description = changed.description = QStringLiteral("desc \x1B]0;pwned\x07");
        for (const char16_t *name : {u"esc\x1B[2J", u"bel\x07",
                                     u"csi\u009B"
                                     u"31m",
                                     u"del\x7F", u"nel\u0085", u"cr\rlf\n", u"@SUM(1;1)"}) {
            for (const char16_t *folder : {u"", u"dir\x1B[31m\\"}) {
                crafted.append(name, folder, 32, 5, stampSerial());
                changed.append(name, folder, 32, 6, stampSerial());
            }
        }
        SnapshotList back;
        const QString to = QFile::decodeName(dir);
        const QByteArray entry = "FOO      TXT         1 01-02-96  10:00a\r\n";
        const QByteArray bad = "F\x1B[\xC2\x9BO    TXT         1 41-42-96  10:00a\r\n";
        const bool ok = !saveSnapshot(crafted, false, to + QStringLiteral("/crafted.dir")) &&
                        !saveSnapshot(changed, false, to + QStringLiteral("/crafted2.dir")) &&
                        !readSnapshot(to + QStringLiteral("/crafted.dir"), back) &&
                        back.description.contains(QChar(0x1B)) &&
                        runBytes({"snapshot", m_root, "-o", "tree.dir"}, dir).exitCode == 0 &&
                        ::mkdir(dir + "/d\xE9", 0755) == 0 && writeBytes(dir + "/ex\xE9", "*\n") &&
                        writeBytes(dir + "/list\xE9.txt", " Directory of C:\\\r\n\r\n" + entry) &&
                        writeBytes(dir + "/listing.txt", " Directory of C:\\\r\n\r\n" + bad) &&
                        ::link(dir + "/tree.dir", dir + "/in\xE9.dir") == 0;
        m_outputs = ok ? dir : QByteArray();
        return ok;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_root = QFile::encodeName(m_dir.filePath(QStringLiteral("tree")));
        m_final = QFile::encodeName(m_dir.filePath(QStringLiteral("final")));
        TreeMaker m;
        buildTree(m, m_root);
        m_locked.push_back(m_root + "/locked");
        QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
        mountParts();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(scanTree(m_root, false, m_oneVolume));
        QVERIFY(scanTree(m_root, true, m_allVolumes));
    }

    void cleanupTestCase() {
        // The tree goes only once nothing is mounted in it: removing through the bind mount
        // would reach what lies outside it.
        if (!m_mounts.release())
            return;
        for (const QByteArray &path : m_locked)
            ::chmod(path.constData(), 0755);
        // Neither QDir nor a walk by paths gets past PATH_MAX; rm walks by descriptors.
        QProcess rm;
        rm.start(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir.path()});
        QVERIFY(rm.waitForFinished(120000));
        QCOMPARE(rm.exitCode(), 0);
    }

    // The snapshot holds exactly what find lists, no entry more or less, each path once.
    void sameEntriesAsFind_data() {
        QTest::addColumn<bool>("otherVolumes");
        QTest::newRow("one volume") << false;
        QTest::newRow("all volumes") << true;
    }
    void sameEntriesAsFind() {
        QFETCH(bool, otherVolumes);
        QString error;
        QStringList expected = expectedTexts(otherVolumes, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList actual = pathTexts(scanned(otherVolumes));
        QCOMPARE(actual.size(), expected.size());
        expected.sort();
        actual.sort();
        QCOMPARE(actual, expected);
        QVERIFY(actual.contains(deepFile()));
        QVERIFY(actual.contains(longFile()));
    }

    // A mount point is listed as a folder; only a walk across volumes enters the tmpfs, and
    // no walk enters the bind mount of a folder above it.
    void mountPoints_data() {
        QTest::addColumn<bool>("otherVolumes");
        QTest::newRow("one volume") << false;
        QTest::newRow("all volumes") << true;
    }
    void mountPoints() {
        QFETCH(bool, otherVolumes);
        if (!m_tmpfs || !m_bind)
            QSKIP("mounting is not permitted here");
        const SnapshotList &list = scanned(otherVolumes);
        QStringList underTmpfs, underBind;
        bool tmpfsFolder = false, bindFolder = false;
        for (int i = 0; i < list.size(); ++i) {
            const QString text = pathText(list, i);
            if (text == TmpfsPoint)
                tmpfsFolder = list.entry(i).isFolder();
            if (text == BindPoint)
                bindFolder = list.entry(i).isFolder();
            if (list.folder(i).startsWith(TmpfsPoint + u'\\'))
                underTmpfs << text;
            if (list.folder(i).startsWith(BindPoint + u'\\'))
                underBind << text;
        }
        QVERIFY(tmpfsFolder);
        QVERIFY(bindFolder);
        QCOMPARE(underTmpfs, otherVolumes
                                 ? QStringList{TmpfsPoint + QStringLiteral("\\on-tmpfs.txt")}
                                 : QStringList());
        QCOMPARE(underBind, QStringList());
    }

    // What the scanner records of each kind of file system object.
    void kinds_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("kind"); // 16 folder, 32 file, 1024 link, 4 anything else
        QTest::addColumn<qint64>("size");
        QTest::newRow("fifo") << QStringLiteral("fifo") << 4 << qint64(0);
        QTest::newRow("socket") << QStringLiteral("sock") << 4 << qint64(0);
        QTest::newRow("link loop") << QStringLiteral("loop\\a") << 1024 << qint64(1);
        QTest::newRow("link to parent") << QStringLiteral("loop\\up") << 1024 << qint64(2);
        QTest::newRow("unreadable folder") << QStringLiteral("locked") << 16 << qint64(0);
        QTest::newRow("Latin-1 folder") << QStringLiteral("caf|E9") << 16 << qint64(0);
        QTest::newRow("Latin-1 file") << QStringLiteral("bad|E9.txt") << 32 << qint64(1);
        QTest::newRow("cut sequence in bad folder")
            << QStringLiteral("|FF|FE\\|E2|82") << 32 << qint64(1);
        QTest::newRow("backslash in file") << QStringLiteral("a\\b|5Cc") << 32 << qint64(3);
        QTest::newRow("backslash in folder") << QStringLiteral("a|5Cb\\c") << 32 << qint64(4);
        QTest::newRow("bar") << QStringLiteral("x|7C41") << 32 << qint64(1);
        QTest::newRow("line break") << QStringLiteral("line|0Abreak") << 32 << qint64(1);
        QTest::newRow("tab") << QStringLiteral("tab|09here") << 32 << qint64(1);
        QTest::newRow("return in folder with break")
            << QStringLiteral("folder|0Awith break\\in|0Dside") << 32 << qint64(1);
        QTest::newRow("upper case twin") << QStringLiteral("Data\\f.txt") << 32 << qint64(5);
        QTest::newRow("lower case twin") << QStringLiteral("data\\f.txt") << 32 << qint64(6);
        QTest::newRow("255 bytes") << QString::fromStdString(Name255) << 32 << qint64(1);
        QTest::newRow("past PATH_MAX") << longFile() << 32 << qint64(1);
        QTest::newRow("2000 deep") << deepFile() << 32 << qint64(1);
    }
    void kinds() {
        QFETCH(QString, path);
        QFETCH(int, kind);
        QFETCH(qint64, size);
        const SnapshotList &list = m_oneVolume;
        const int i = int(pathTexts(list).indexOf(path));
        QVERIFY2(i >= 0, qPrintable(path.left(80)));
        const Entry &e = list.entry(i);
        QCOMPARE(e.attr & (16 | 32 | 1024 | 4), kind);
        QCOMPARE(qint64(e.size), size);
        if (kind == 16) {
            QVERIFY(!e.hasTime());
        } else {
            QVERIFY(e.hasTime());
            QCOMPARE(e.modified, stampSerial());
        }
    }

    // Paths are unique, case twins are the only entries sharing a match key, every folder
    // named is in the list, and every folder read is a limit, after the limits below it.
    void consistency_data() {
        QTest::addColumn<bool>("otherVolumes");
        QTest::newRow("one volume") << false;
        QTest::newRow("all volumes") << true;
    }
    void consistency() {
        QFETCH(bool, otherVolumes);
        const SnapshotList &list = scanned(otherVolumes);
        const QStringList texts = pathTexts(list);
        QCOMPARE(QSet<QString>(texts.begin(), texts.end()).size(), texts.size());

        QHash<QString, QStringList> byKey;
        for (int i = 0; i < list.size(); ++i)
            byKey[MatchKeys::text(list, i)] << texts[i];
        QList<QStringList> twins;
        for (QStringList &group : byKey) {
            if (group.size() > 1) {
                group.sort();
                twins << group;
            }
        }
        std::sort(twins.begin(), twins.end());
        const QList<QStringList> expectedTwins{
            {QStringLiteral("Data"), QStringLiteral("data")},
            {QStringLiteral("Data\\f.txt"), QStringLiteral("data\\f.txt")},
            {QStringLiteral("ISTANBUL.txt"), QStringLiteral("istanbul.txt")},
            {QStringLiteral("Ä"), QStringLiteral("ä")},
            {QStringLiteral("Σ"), QStringLiteral("σ")},
            {QStringLiteral("ß"), QStringLiteral("ẞ")},
        };
        QList<QStringList> sortedExpected = expectedTwins;
        std::sort(sortedExpected.begin(), sortedExpected.end());
        QCOMPARE(twins, sortedExpected);

        QSet<QString> folders{QString()};
        QStringList expectedLimits{QString()};
        for (int i = 0; i < list.size(); ++i) {
            if (!list.entry(i).isFolder())
                continue;
            folders << texts[i] + u'\\';
            const bool mountPoint = (texts[i] == BindPoint && m_bind) ||
                                    (texts[i] == TmpfsPoint && m_tmpfs && !otherVolumes);
            if (!mountPoint)
                expectedLimits << texts[i] + u'\\';
        }
        for (int i = 0; i < list.size(); ++i)
            QVERIFY2(folders.contains(list.folder(i)), qPrintable(texts[i].left(80)));

        QStringList limits;
        QHash<QString, std::size_t> position;
        for (std::size_t k = 0; k < list.limits.size(); ++k) {
            limits << list.limitText(k);
            position.insert(limits.last(), k);
        }
        QCOMPARE(limits.last(), QString());
        for (std::size_t k = 0; k + 1 < list.limits.size(); ++k) {
            const QString &limit = limits[qsizetype(k)];
            const QString parent = limit.left(limit.lastIndexOf(u'\\', -2) + 1);
            QVERIFY2(position.value(parent, 0) > k, qPrintable(limit.left(80)));
        }
        limits.sort();
        expectedLimits.sort();
        QCOMPARE(limits, expectedLimits);
    }

    // A saved snapshot reads back entry for entry, and each name's text leads back to the
    // bytes on disk.
    void roundTrip() {
        const SnapshotList &list = m_oneVolume;
        const QString file = m_dir.filePath(QStringLiteral("roundtrip.dir"));
        QVERIFY2(!saveSnapshot(list, false, file), qPrintable(file));
        SnapshotList back;
        QVERIFY2(!readSnapshot(file, back), qPrintable(file));
        QCOMPARE(back.size(), list.size());
        auto second = [](const Entry &e) {
            return e.hasTime() ? std::llround(e.modified * 86400) : -1;
        };
        for (int i = 0; i < list.size(); ++i) {
            const Entry &a = list.entry(i), &b = back.entry(i);
            const QByteArray text = pathText(list, i).left(80).toUtf8();
            const char *where = text.constData();
            QVERIFY2(back.name(i) == list.name(i), where);
            QVERIFY2(back.folder(i) == list.folder(i), where);
            QVERIFY2(b.attr == a.attr, where);
            QVERIFY2(b.size == a.size, where);
            QVERIFY2(second(b) == second(a), where);
        }
        // A file holds no limits of its own: every folder in it becomes one, also a folder the
        // walk did not enter.
        QStringList limits{QString()}, backLimits;
        for (int i = 0; i < list.size(); ++i) {
            if (list.entry(i).isFolder())
                limits << pathText(list, i) + u'\\';
        }
        for (std::size_t k = 0; k < back.limits.size(); ++k)
            backLimits << back.limitText(k);
        limits.sort();
        backLimits.sort();
        QCOMPARE(backLimits, limits);

        const Found found = findPaths(m_root, true);
        QVERIFY2(found.error.isEmpty(), qPrintable(found.error));
        QList<QByteArray> onDisk = found.paths;
        if (m_bind)
            onDisk << pathBytes(BindPoint);
        QList<QByteArray> fromTexts;
        for (int i = 0; i < back.size(); ++i)
            fromTexts << pathBytes(pathText(back, i));
        std::sort(onDisk.begin(), onDisk.end());
        std::sort(fromTexts.begin(), fromTexts.end());
        QVERIFY(fromTexts == onDisk);
    }

    // Nothing changed, nothing differs: in process and through the command line.
    // A root that is not UTF-8 reaches the command line only as bytes: vistrel-cli takes it
    // as it is given and reads the folder's contents.
    void cliRootNotUtf8() {
        const QByteArray root = m_root + "/caf\xE9";
        const QByteArray out = QFile::encodeName(m_dir.filePath(QStringLiteral("cafe.dir")));
        QCOMPARE(runBytes({"snapshot", root, "-o", out}, QFile::encodeName(m_dir.path())).exitCode,
                 0);
        SnapshotList list;
        QVERIFY(readSnapshot(QFile::decodeName(out), list).ok());
        QVERIFY2(list.description.endsWith(QStringLiteral("/caf|E9")),
                 qPrintable(list.description));
        QStringList names;
        for (int i = 0; i < list.size(); ++i)
            names << list.name(i).toString();
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("gone.txt"), QStringLiteral("inside.txt")}));
    }

    void sameTreeTwice() {
        Workspace ws;
        ws.list(ListId::Original) = m_oneVolume;
        QVERIFY(scanTree(m_root, false, ws.list(ListId::Final)));
        CompareOptions options;
        options.reset(ListId::Original);
        runComparison(ws, options);
        QCOMPARE(ws.list(ListId::OnlyInOriginal).size(), 0);
        QCOMPARE(ws.list(ListId::OnlyInFinal).size(), 0);
        QCOMPARE(ws.list(ListId::Changed).size(), 0);
        QStringList unchanged = pathTexts(ws.list(ListId::Unchanged));
        QStringList all = pathTexts(m_oneVolume);
        unchanged.sort();
        all.sort();
        QCOMPARE(unchanged, all);

        m_cliOriginal = cliSnapshot(m_root, QStringLiteral("cli-1.dir"));
        const QString again = cliSnapshot(m_root, QStringLiteral("cli-2.dir"));
        QVERIFY(!m_cliOriginal.isEmpty() && !again.isEmpty());
        const Run r = runCli({QStringLiteral("compare"), m_cliOriginal, again});
        QVERIFY2(r.exitCode == 0, (r.out + r.err).constData());
    }

    // A copy of the tree changed in known ways gives exactly those differences.
    void changedCopy() {
        TreeMaker m;
        buildTree(m, m_final);
        m_locked.push_back(m_final + "/locked");
        QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
        const int root = ::open(m_final.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        QVERIFY(root >= 0);
        QCOMPARE(unlinkat(root, "caf\xE9/gone.txt", 0), 0);
        m.file(root, "ISTANBUL.TXT");
        m.file(root, "new\xA0.txt");
        const int grown = openat(root, "a\\b/c", O_WRONLY | O_APPEND | O_CLOEXEC);
        QVERIFY(grown >= 0);
        QCOMPARE(::write(grown, "more", 4), ssize_t(4));
        ::close(grown);
        m.stamp(root, "a\\b/c");
        m.stamp(root, "e\xCC\x81", Stamp + 3600);
        ::close(root);
        QVERIFY2(m.error.isEmpty(), qPrintable(m.error));

        Workspace ws;
        ws.list(ListId::Original) = m_oneVolume;
        QVERIFY(scanTree(m_final, false, ws.list(ListId::Final)));
        CompareOptions options;
        options.reset(ListId::Original);
        runComparison(ws, options);

        const QString gone = QStringLiteral("caf|E9\\gone.txt");
        const QString grownText = QStringLiteral("a|5Cb\\c");
        const QString touched = QStringLiteral("e\u0301");
        auto sorted = [](QStringList l) {
            l.sort();
            return l;
        };
        QCOMPARE(sorted(pathTexts(ws.list(ListId::OnlyInOriginal))), QStringList{gone});
        QCOMPARE(sorted(pathTexts(ws.list(ListId::OnlyInFinal))),
                 sorted({QStringLiteral("ISTANBUL.TXT"), QStringLiteral("new|A0.txt")}));
        const SnapshotList &changed = ws.list(ListId::Changed);
        // The folder a tmpfs is mounted on in the Original is a plain folder in the copy: only
        // its mode differs (the tmpfs root's 1777).
        QCOMPARE(sorted(pathTexts(changed)), sorted({grownText, touched, TmpfsPoint}));
        for (int i = 0; i < changed.size(); ++i) {
            if (pathText(changed, i) == TmpfsPoint) {
                QCOMPARE(changed.orig(i).differ, Differ::Mode);
                continue;
            }
            const bool isGrown = pathText(changed, i) == grownText;
            QCOMPARE(changed.orig(i).differ, isGrown ? Differ::Size : Differ::Stamp);
            QCOMPARE(changed.entry(i).size, quint64(isGrown ? 8 : 1));
            QCOMPARE(changed.orig(i).size, quint64(isGrown ? 4 : 1));
        }
        QStringList unchanged = pathTexts(m_oneVolume);
        unchanged.removeOne(gone);
        unchanged.removeOne(grownText);
        unchanged.removeOne(touched);
        unchanged.removeOne(TmpfsPoint);
        QCOMPARE(unchanged.size(), m_oneVolume.size() - 4);
        QCOMPARE(sorted(pathTexts(ws.list(ListId::Unchanged))), sorted(unchanged));

        if (m_cliOriginal.isEmpty())
            m_cliOriginal = cliSnapshot(m_root, QStringLiteral("cli-1.dir"));
        const QString final = cliSnapshot(m_final, QStringLiteral("cli-final.dir"));
        QVERIFY(!m_cliOriginal.isEmpty() && !final.isEmpty());
        const Run r = runCli({QStringLiteral("compare"), m_cliOriginal, final});
        QVERIFY2(r.exitCode == 1, (r.out + r.err).constData());
        QByteArray counts;
        for (const ListId n : Lists::Results)
            counts += Workspace::tabCaption(n).toUtf8() + ": " +
                      QByteArray::number(ws.list(n).size()) + '\n';
        QCOMPARE(r.out, counts);
    }

    // One CSV line per entry, whatever the names hold, each giving back its name and folder.
    void csvExport() {
        const SnapshotList &list = m_oneVolume;
        const QString file = m_dir.filePath(QStringLiteral("tree.csv"));
        QVERIFY2(!exportCsv(list, file, EntryFormatter(enGB)), qPrintable(file));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray all = f.readAll();
        QVERIFY(all.endsWith("\r\n"));
        all.chop(2);
        const QList<QByteArray> lines = all.split('\n');
        QCOMPARE(lines.size(), qsizetype(list.size()));
        for (int i = 0; i < list.size(); ++i) {
            QByteArray line = lines[i];
            QVERIFY2(i == list.size() - 1 || line.endsWith('\r'), line.left(80).constData());
            if (line.endsWith('\r'))
                line.chop(1);
            QVERIFY2(!hasControl(QString::fromUtf8(line)), line.left(80).constData());
            const QStringList fields = csvFields(line);
            QVERIFY2(fields.size() == 5, line.left(80).constData());
            QVERIFY2(fields[0] == list.name(i), line.left(80).constData());
            QVERIFY2(fields[1] == list.folder(i), line.left(80).constData());
            QVERIFY2(fields[4] == QString::number(list.entry(i).attr), line.left(80).constData());
        }
    }

    // The report sorted by In Folder: one heading per folder, one line per file under it.
    void report() {
        SnapshotList list = m_oneVolume;
        sortList(list, Col::InFolder, 0);
        const QStringList lines = reportLines(list, false, EntryFormatter(enGB));
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.first(), list.description);
        QSet<QString> headings;
        QString heading;
        int file = 0; // the list entry the next file line stands for
        auto nextFile = [&] {
            while (file < list.size() && list.entry(file).isFolder())
                ++file;
        };
        nextFile();
        for (qsizetype k = 1; k < lines.size(); ++k) {
            const QString &line = lines[k];
            QVERIFY2(terminalFault(line.toUtf8()).isEmpty(), qPrintable(line.left(80)));
            if (line.isEmpty()) {
                QVERIFY(k + 1 < lines.size());
                heading = lines[++k];
                QVERIFY2(!headings.contains(heading), qPrintable(heading.left(80)));
                headings << heading;
                continue;
            }
            QVERIFY2(file < list.size(), qPrintable(line.left(80)));
            QVERIFY2(shown(list.folder(file)) == heading, qPrintable(line.left(80)));
            QVERIFY2(line.endsWith(QStringLiteral("  ") + shown(list.name(file).toString())),
                     qPrintable(line.left(80)));
            ++file;
            nextFile();
        }
        QCOMPARE(file, list.size());
        QSet<QString> folders;
        for (int i = 0; i < list.size(); ++i) {
            if (!list.folder(i).isEmpty())
                folders << shown(list.folder(i));
        }
        QCOMPARE(headings, folders);
    }

    // Every text output over the tree and over files made to attack a terminal, read back
    // through a terminal filter (errors too), and every path argument taken by its bytes. "&&"
    // runs one command after another; what the last prints is checked.
    void cliOutputs_data() {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("said");
        const auto row = [](const QByteArray &name, QList<QByteArray> args, int status,
                            const char *said = "") {
            QTest::newRow(name.constData()) << args << status << QByteArray(said);
        };
        const QByteArray t = "tree.dir", c = "crafted.dir", c2 = "crafted2.dir";
        for (const auto &[a, b] : {std::pair{t, c}, std::pair{c, c2}}) {
            row(a + " list", {"list", a}, 0);
            row(a + " list --json", {"list", a, "--json"}, 0);
            row(a + " report", {"report", a, "--attributes"}, 0);
            row(a + " compare --tsv", {"compare", a, b, "--tsv"}, 1);
            row(a + " compare --json", {"compare", a, b, "--json"}, 1);
            row(a + " compare --summary", {"compare", a, b, "--summary"}, 1);
        }
        row("missing file", {"list", "no\x1B]0;x\x07\xC2\x9B.dir"}, 2);
        row("unknown option", {"list", c, "--\x1B[2J"}, 2);
        row("unknown limit", {"compare", c, c2, "--limit-original", "\x1B[2J\\"}, 2);
        row("bad tolerance", {"compare", c, c2, "--tolerance", "\x1B[2J"}, 2);
        row("bad listing line", {"import", "listing.txt", "-o", "x.dir"}, 2, "|1B[|9BO ");
        row("list not UTF-8", {"list", "in\xE9.dir", "--json"}, 0, "\"list\":\"in|E9.dir\"");
        row("import -o not UTF-8",
            {"import", "list\xE9.txt", "-o", "i\xE9.dir", "&&", "report", "i\xE9.dir"}, 0,
            "/outputs/list|E9.txt\n");
        row("--out not UTF-8",
            {"compare", t, "in\xE9.dir", "--out", "d\xE9", "&&", "list", "d\xE9/unchanged.dir"}, 0,
            "\nxA\t");
        row("--exclude-from not UTF-8", {"compare", t, c, "--exclude-from", "ex\xE9"}, 0,
            "Only in Original: 0\nOnly in Final: 0\n");
        row("missing file in a folder not UTF-8", {"list", "d\xE9/none.dir"}, 2,
            " d|E9/none.dir: File not found\n");
    }
    void cliOutputs() {
        QFETCH(QList<QByteArray>, args);
        QFETCH(int, status);
        QFETCH(QByteArray, said);
        QVERIFY(prepareOutputs());
        Run r;
        for (qsizetype from = 0, end; from < args.size(); from = end + 1) {
            end = args.indexOf("&&", from) < 0 ? args.size() : args.indexOf("&&", from);
            r = runBytes(args.mid(from, end - from), m_outputs);
            QVERIFY2(end == args.size() || r.exitCode == 0, r.err.constData());
        }
        QCOMPARE(r.exitCode, status);
        QVERIFY(!(status == 2 ? r.err : r.out).isEmpty());
        const QString fault = terminalFault(r.out) + terminalFault(r.err);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QVERIFY2((r.out + r.err).contains(said), said.constData());
    }

    // A name and its folder have one text in the list's columns, JSON and CSV (which keep what a
    // terminal would not show, so as shown there); report() holds the report to it too.
    void sameTextsEverywhere() {
        QVERIFY(prepareOutputs());
        const Run json = runBytes({"list", "tree.dir", "--json"}, m_outputs),
                  tsv = runBytes({"list", "tree.dir"}, m_outputs);
        QCOMPARE(runBytes({"export", "tree.dir", "-o", "tree.csv"}, m_outputs).exitCode, 0);
        QFile file(QFile::decodeName(m_outputs + "/tree.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList fromJson, fromTsv, fromCsv;
        for (const QByteArray &line : json.out.trimmed().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            fromJson << o.value(u"folder").toString() + o.value(u"name").toString();
        }
        for (const QByteArray &line : tsv.out.split('\n').mid(1, fromJson.size())) {
            const QString text = QString::fromUtf8(line);
            fromTsv << text.section(u'\t', 1, 1) + text.section(u'\t', 0, 0);
        }
        for (const QByteArray &line : file.readAll().trimmed().split('\n')) {
            const QStringList fields = csvFields(line.trimmed());
            fromCsv << fields.value(1) + fields.value(0);
        }
        QVERIFY(fromJson.size() > 100);
        QCOMPARE(fromCsv, fromJson);
        for (QString &text : fromJson)
            text = shown(text);
        QCOMPARE(fromTsv, fromJson);
    }
};

QTEST_GUILESS_MAIN(TestHostileTree)
#include "tst_hostiletree.moc"
