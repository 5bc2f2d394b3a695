#include "RecoveryWriter.h"

#include "Session.h"
#include "files/RecoveryStore.h"
#include "snapshot/SnapshotList.h"

RecoveryWriter::RecoveryWriter(const QString &folder, Session &session)
    : QObject(&session), m_session(session), m_store(std::make_unique<RecoveryStore>(folder)) {
    m_openError = m_store->open();
    connect(&session, &Session::snapshotTaken, this, &RecoveryWriter::keep);
    connect(&session, &Session::snapshotSaved, this, &RecoveryWriter::drop);
    connect(&session, &Session::snapshotClosed, this, &RecoveryWriter::drop);
}

RecoveryWriter::~RecoveryWriter() {
    finishWrites();
}

QString RecoveryWriter::failureText(ListId listNo, const FileError &error) {
    return QStringLiteral("The unsaved %1 Snapshot could not be kept for recovery: %2")
        .arg(Workspace::listName(listNo), error.message());
}

void RecoveryWriter::joinFinished() {
    for (auto it = m_writers.begin(); it != m_writers.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_writers.erase(it);
        } else {
            ++it;
        }
    }
}

void RecoveryWriter::finishWrites() {
    for (Writer &w : m_writers)
        w.thread.join();
    m_writers.clear();
}

void RecoveryWriter::keep(ListId listNo) {
    const SnapshotList &list = m_session.list(listNo);
    if (m_openError || list.isEmpty() || !list.unsaved)
        return;
    joinFinished();
    // The copy shares the list's names (they never change) and costs its entries only; the
    // user may sort or close the list while the copy is written.
    auto copy = std::make_shared<SnapshotList>(list);
    auto done = std::make_shared<std::atomic<bool>>(false);
    RecoveryStore *store = m_store.get();
    m_writers.push_back(
        {std::thread([this, store, listNo, copy, done] {
             const FileError error = store->write(listNo, *copy);
             // Told on this object's thread when it next handles its events:
             // finishWrites() joins every writer before the object goes.
             if (error)
                 QMetaObject::invokeMethod(
                     this, [this, text = failureText(listNo, error)] { Q_EMIT writeFailed(text); },
                     Qt::QueuedConnection);
             done->store(true);
         }),
         done});
}

FileError RecoveryWriter::keepNow(ListId listNo) {
    if (m_openError)
        return m_openError;
    return m_store->write(listNo, m_session.list(listNo));
}

void RecoveryWriter::drop(ListId listNo) {
    if (!m_openError)
        m_store->remove(listNo);
}
