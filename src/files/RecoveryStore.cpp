#include "RecoveryStore.h"

#include "FileWriter.h"
#include "SnapshotFile.h"
#include "snapshot/SnapshotList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <tuple>

namespace {

// A place is named "<process id>-<8 hex digits>": the process id tells a person which copy it
// was, the random digits keep apart two stores of one process, and a copy that later gets the
// same process id.
const QRegularExpression OwnerOfName(QStringLiteral("^(\\d+-[0-9a-f]{8})[.-]"));
const QRegularExpression
    RecoveryFileName(QStringLiteral("^(\\d+-[0-9a-f]{8})-(original|final)\\.dir$"));

QString listName(int listNo) {
    return listNo == ListNo::Original ? QStringLiteral("original") : QStringLiteral("final");
}

bool isSnapshotList(int listNo) {
    return listNo == ListNo::Original || listNo == ListNo::Final;
}

// The places the stores of this process hold. A lock that names this process but none of these
// was left by an earlier copy that had the same process id, as in a sandbox where every copy
// starts with the same small one: the lock file alone cannot tell that copy from this one.
struct HeldHere {
    QMutex mutex;
    QSet<QString> owners;
};

HeldHere &heldHere() {
    static HeldHere held;
    return held;
}

void hold(const QString &owner) {
    QMutexLocker lock(&heldHere().mutex);
    heldHere().owners.insert(owner);
}

void release(const QString &owner) {
    QMutexLocker lock(&heldHere().mutex);
    heldHere().owners.remove(owner);
}

bool isHeldHere(const QString &owner) {
    QMutexLocker lock(&heldHere().mutex);
    return heldHere().owners.contains(owner);
}

bool leftByEarlierTwin(const QLockFile &lock, const QString &owner) {
    qint64 pid = 0;
    QString host, application;
    return lock.getLockInfo(&pid, &host, &application) &&
           pid == QCoreApplication::applicationPid() && host == QSysInfo::machineHostName() &&
           !isHeldHere(owner);
}

// Makes the folder and those above it that are missing, for the user alone: a snapshot lists
// the names of the user's files.
FileError makeFolder(const QString &folder) {
    const QByteArray path = QFile::encodeName(QDir(folder).absolutePath());
    struct stat st {};
    for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
        const QByteArray prefix = end < 0 ? path : path.left(end);
        if (::stat(prefix.constData(), &st) != 0 && ::mkdir(prefix.constData(), 0700) != 0 &&
            errno != EEXIST)
            return FileError::fromErrno(errno, folder);
        if (end < 0)
            break;
    }
    if (::stat(path.constData(), &st) != 0)
        return FileError::fromErrno(errno, folder);
    return S_ISDIR(st.st_mode) ? FileError{} : FileError::fromErrno(ENOTDIR, folder);
}

FileError lockError(const QLockFile &lock) {
    return FileError::fromCode(lock.error() == QLockFile::PermissionError
                                   ? FileError::PermissionDenied
                                   : FileError::DeviceIO);
}

} // namespace

RecoveryStore::RecoveryStore(QString folder) : m_folder(std::move(folder)) {}

RecoveryStore::~RecoveryStore() {
    for (const auto &[owner, lock] : m_claimed)
        release(owner);
    m_claimed.clear();
    if (m_lock)
        release(m_owner);
}

QString RecoveryStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/recovery");
}

FileError RecoveryStore::open() {
    if (m_lock)
        return {};
    if (FileError err = makeFolder(m_folder))
        return err;
    const QDir folder(m_folder);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString owner = QStringLiteral("%1-%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
        if (!folder.entryList({owner + u'*'}, QDir::Files | QDir::Hidden | QDir::System).isEmpty())
            continue;
        auto lock = std::make_unique<QLockFile>(lockPathOf(owner));
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::LockFailedError)
                continue;
            return lockError(*lock);
        }
        hold(owner);
        m_owner = owner;
        m_lock = std::move(lock);
        return {};
    }
    return FileError::fromCode(FileError::FileAlreadyOpen);
}

FileError RecoveryStore::write(int listNo, const SnapshotList &list) {
    if (!isSnapshotList(listNo))
        return FileError::fromCode(FileError::BadFileNameOrNumber);
    if (!m_lock)
        return FileError::fromCode(FileError::PathNotFound);
    std::uint64_t &latest = m_latest[std::size_t(listNo - 1)];
    std::uint64_t ticket;
    {
        std::lock_guard lock(m_mutex);
        ticket = ++latest;
    }
    FileWriter writer;
    if (FileError err = writer.open(pathOf(m_owner, listNo)))
        return err;
    if (FileError err = WriteSnapshot(list, false, writer))
        return err;
    if (FileError err = writer.finish())
        return err;
    // Only the rename waits for the owning thread's remove(), never the writing.
    std::lock_guard lock(m_mutex);
    if (ticket != latest)
        return {}; // overtaken: the temporary file goes with the writer
    return writer.replace();
}

void RecoveryStore::remove(int listNo) {
    if (!isSnapshotList(listNo) || !m_lock)
        return;
    std::lock_guard lock(m_mutex);
    ++m_latest[std::size_t(listNo - 1)];
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
    if (FileError err = ReadSnapshot(leftover.path, into))
        return err;
    into.unsaved = true;
    return {};
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

QString RecoveryStore::pathOf(const QString &owner, int listNo) const {
    return m_folder + u'/' + owner + u'-' + listName(listNo) + QStringLiteral(".dir");
}

QString RecoveryStore::lockPathOf(const QString &owner) const {
    return m_folder + u'/' + owner + QStringLiteral(".lock");
}

// A place whose lock is stale (its process is gone) or missing is taken over.
bool RecoveryStore::claimForeign(const QString &owner) {
    auto lock = std::make_unique<QLockFile>(lockPathOf(owner));
    // However old a lock is, a running owner keeps it.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (!leftByEarlierTwin(*lock, owner))
            return false;
        lock->removeStaleLockFile();
        if (!lock->tryLock(0))
            return false;
    }
    hold(owner);
    m_claimed[owner] = std::move(lock);
    return true;
}

void RecoveryStore::offerFilesOf(const QString &owner, std::vector<Leftover> &out) const {
    for (const int listNo : {ListNo::Original, ListNo::Final}) {
        Leftover leftover;
        leftover.listNo = listNo;
        leftover.path = pathOf(owner, listNo);
        if (!QFileInfo::exists(leftover.path))
            continue;
        SnapshotHeader header;
        if (ReadSnapshotHeader(leftover.path, header).ok()) {
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
    if (QFileInfo::exists(pathOf(owner, ListNo::Original)) ||
        QFileInfo::exists(pathOf(owner, ListNo::Final)))
        return;
    m_claimed.erase(owner);
    release(owner);
}
