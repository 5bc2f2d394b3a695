#include "RecoveryStore.h"

#include "FileWriter.h"
#include "SnapshotFile.h"
#include "snapshot/NameCodec.h"
#include "snapshot/SnapshotList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

// A place is named "<process id>-<8 hex digits>": the process id tells a person which copy it
// was, the random digits keep apart two stores of one process, and a copy that later gets the
// same process id.
const QRegularExpression OwnerOfName(QStringLiteral("^(\\d+-[0-9a-f]{8})[.-]"));
const QRegularExpression
    RecoveryFileName(QStringLiteral("^(\\d+-[0-9a-f]{8})-(original|final)\\.dir$"));

QString listName(ListId listNo) {
    return listNo == ListId::Original ? QStringLiteral("original") : QStringLiteral("final");
}

FileError refused(const char *why) {
    return FileError::fromCode(FileError::PermissionDenied, QString::fromLatin1(why));
}

// Makes the folder and those above it that are missing, for the user alone: a snapshot lists
// the names of the user's files. An existing folder must be the user's own, not a link to one
// (which another could point elsewhere), and is made the user's alone when it is not.
FileError prepareFolder(const QString &folder, bool &tightened) {
    const QByteArray path = NameCodec::pathToBytes(QDir(folder).absolutePath());
    struct stat st {};
    for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
        const QByteArray prefix = end < 0 ? path : path.left(end);
        if (::stat(prefix.constData(), &st) != 0 && ::mkdir(prefix.constData(), 0700) != 0 &&
            errno != EEXIST)
            return FileError::fromErrno(errno, folder);
        if (end < 0)
            break;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return refused("A symbolic link, not a folder of your own");
        return FileError::fromErrno(err, folder);
    }
    FileError error;
    if (::fstat(fd, &st) != 0)
        error = FileError::fromErrno(errno, folder);
    else if (st.st_uid != ::geteuid())
        error = refused("A folder of another user");
    else if ((st.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0)
        error = FileError::fromErrno(errno, folder);
    else
        tightened = (st.st_mode & 07777) != 0700;
    ::close(fd);
    return error;
}

} // namespace

// A place's lock: a file held with flock(2), which the kernel lets go of when the process that
// holds it ends, however it ends. So a lock nobody holds is stale whatever the file holds
// (nothing, a half-written text, an older version's), and one a running copy holds is never
// taken, however old it is. A lock held by another store of this process is held too.
class OwnerLock {
public:
    OwnerLock(QByteArray path, int fd) : m_path(std::move(path)), m_fd(fd) {}
    // Removed while still held, so that nobody finds it unheld in between.
    ~OwnerLock() {
        ::unlink(m_path.constData());
        ::close(m_fd);
    }
    OwnerLock(const OwnerLock &) = delete;
    OwnerLock &operator=(const OwnerLock &) = delete;

    // A new place's lock, held before its name appears: a copy looking meanwhile must not
    // find it unheld and take the place for one that is gone.
    static FileError create(const QByteArray &path, std::unique_ptr<OwnerLock> &lock) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray hidden = path.left(slash + 1) + '.' + path.mid(slash + 1);
        const int fd =
            ::open(hidden.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return FileError::fromErrno(errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
            ::rename(hidden.constData(), path.constData()) != 0) {
            const int err = errno;
            ::unlink(hidden.constData());
            ::close(fd);
            return FileError::fromErrno(err);
        }
        lock = std::make_unique<OwnerLock>(path, fd);
        return {};
    }

    // The lock of a place whose copy is gone (made anew when it is missing); null while a
    // running copy holds it.
    static std::unique_ptr<OwnerLock> claim(const QByteArray &path) {
        const int flags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
        int fd = ::open(path.constData(), flags, 0600);
        struct stat named {};
        struct stat held {};
        if (fd < 0 && errno == EACCES && ::lstat(path.constData(), &named) == 0 &&
            S_ISREG(named.st_mode) && ::chmod(path.constData(), 0600) == 0)
            fd = ::open(path.constData(), flags, 0600);
        if (fd < 0)
            return nullptr;
        // A lock let go of and removed between the two steps stood for a place that is free
        // now, not one left behind.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
            ::lstat(path.constData(), &named) != 0 || held.st_dev != named.st_dev ||
            held.st_ino != named.st_ino) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<OwnerLock>(path, fd);
    }

private:
    QByteArray m_path;
    int m_fd;
};

RecoveryStore::RecoveryStore(QString folder) : m_folder(std::move(folder)) {}

RecoveryStore::~RecoveryStore() = default;

QString RecoveryStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recovery");
}

FileError RecoveryStore::open() {
    if (m_lock)
        return {};
    if (FileError err = prepareFolder(m_folder, m_tightened))
        return err;
    const QDir folder(m_folder);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString owner = QStringLiteral("%1-%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
        if (!folder.entryList({owner + u'*'}, QDir::Files | QDir::Hidden | QDir::System).isEmpty())
            continue;
        std::unique_ptr<OwnerLock> lock;
        if (FileError err = OwnerLock::create(NameCodec::pathToBytes(lockPathOf(owner)), lock))
            return err;
        m_owner = owner;
        m_lock = std::move(lock);
        return {};
    }
    return FileError::fromCode(FileError::FileAlreadyOpen);
}

FileError RecoveryStore::write(ListId listNo, const SnapshotList &list) {
    if (!Lists::isSnapshot(listNo))
        return FileError::fromCode(FileError::BadFileNameOrNumber);
    if (!m_lock)
        return FileError::fromCode(FileError::PathNotFound);
    std::uint64_t &latest = m_latest[Lists::indexOf(listNo)];
    std::uint64_t ticket;
    {
        std::lock_guard lock(m_mutex);
        ticket = ++latest;
    }
    FileWriter writer;
    if (FileError err = writer.open(pathOf(m_owner, listNo), FileWriter::Access::OwnerOnly))
        return err;
    if (FileError err = writeSnapshot(list, false, writer))
        return err;
    if (FileError err = writer.finish())
        return err;
    // Only the rename waits for the owning thread's remove(), never the writing.
    std::lock_guard lock(m_mutex);
    if (ticket != latest)
        return {}; // overtaken: the temporary file goes with the writer
    return writer.replace();
}

void RecoveryStore::remove(ListId listNo) {
    if (!Lists::isSnapshot(listNo) || !m_lock)
        return;
    std::lock_guard lock(m_mutex);
    ++m_latest[Lists::indexOf(listNo)];
    QFile::remove(pathOf(m_owner, listNo));
}

std::vector<RecoveryStore::Leftover> RecoveryStore::leftovers() {
    QSet<QString> owners;
    const QStringList names =
        QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = OwnerOfName.match(name);
        if (match.hasMatch() && match.captured(1) != m_owner)
            owners.insert(match.captured(1));
    }
    std::vector<Leftover> out;
    for (const QString &owner : owners) {
        if (m_claimed.count(owner) == 0 && !claimForeign(owner))
            continue;
        removeTemporariesOf(owner);
        offerFilesOf(owner, out);
        releaseIfEmpty(owner);
    }
    std::sort(out.begin(), out.end(), [](const Leftover &a, const Leftover &b) {
        return std::tie(a.created, a.listNo, a.path) < std::tie(b.created, b.listNo, b.path);
    });
    return out;
}

FileError RecoveryStore::restore(const Leftover &leftover, SnapshotList &into) {
    into = SnapshotList();
    return readSnapshot(leftover.path, into);
}

void RecoveryStore::discard(const Leftover &leftover) {
    const QRegularExpressionMatch match =
        RecoveryFileName.match(QFileInfo(leftover.path).fileName());
    if (!match.hasMatch() || m_claimed.count(match.captured(1)) == 0)
        return;
    const QString owner = match.captured(1);
    QFile::remove(pathOf(owner, leftover.listNo));
    releaseIfEmpty(owner);
}

QString RecoveryStore::pathOf(const QString &owner, ListId listNo) const {
    return m_folder + u'/' + owner + u'-' + listName(listNo) + QStringLiteral(".dir");
}

QString RecoveryStore::lockPathOf(const QString &owner) const {
    return m_folder + u'/' + owner + QStringLiteral(".lock");
}

// A place whose lock nobody holds (its process is gone) or that has none is taken over.
bool RecoveryStore::claimForeign(const QString &owner) {
    std::unique_ptr<OwnerLock> lock = OwnerLock::claim(NameCodec::pathToBytes(lockPathOf(owner)));
    if (!lock)
        return false;
    m_claimed[owner] = std::move(lock);
    return true;
}

void RecoveryStore::offerFilesOf(const QString &owner, std::vector<Leftover> &out) const {
    for (const ListId listNo : Lists::Snapshots) {
        Leftover leftover;
        leftover.listNo = listNo;
        leftover.path = pathOf(owner, listNo);
        if (!QFileInfo::exists(leftover.path))
            continue;
        SnapshotHeader header;
        if (readSnapshotHeader(leftover.path, header).ok()) {
            leftover.description = header.description;
            leftover.source = header.source;
            leftover.created = header.created;
            leftover.entries = header.entries;
        }
        out.push_back(leftover);
    }
}

// A write that was under way when its copy ended left its temporary file, which may end
// anywhere; the recovery file beside it is whole.
void RecoveryStore::removeTemporariesOf(const QString &owner) const {
    const QDir folder(m_folder);
    for (const QString &name : folder.entryList({owner + QStringLiteral("-*.dir.vistrel-*")},
                                                QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(folder.filePath(name));
}

void RecoveryStore::releaseIfEmpty(const QString &owner) {
    if (QFileInfo::exists(pathOf(owner, ListId::Original)) ||
        QFileInfo::exists(pathOf(owner, ListId::Final)))
        return;
    m_claimed.erase(owner);
}
