#pragma once

#include "files/FileError.h"
#include "snapshot/ListId.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class RecoveryStore;
class Session;

// Keeps every snapshot taken and not yet saved in a recovery file, so that the program ending
// at any moment costs no scan: it follows the session, writing a list anew in the background
// (from a copy) when a snapshot is taken, and removing its file when it is saved or closed.
class RecoveryWriter : public QObject {
    Q_OBJECT
public:
    // Opens the store in `folder`; without it the program still works, it only keeps no copies
    // (openError() says why).
    RecoveryWriter(const QString &folder, Session &session);
    ~RecoveryWriter() override;

    RecoveryStore &store() { return *m_store; }
    const FileError &openError() const { return m_openError; }

    // List 1 or 2 holds a snapshot not yet saved: its recovery file is written anew in the
    // background; a failure is told by writeFailed().
    void keep(ListId listNo);
    // The same at once, for a snapshot brought back from an earlier run's file, which may go
    // only once this one is written.
    FileError keepNow(ListId listNo);
    // List 1 or 2 was saved or closed: nothing to recover any more.
    void drop(ListId listNo);
    // Waits for the writes under way (tests, and the end of the program).
    void finishWrites();

    // The text the user is told when a snapshot could not be kept.
    static QString failureText(ListId listNo, const FileError &error);

Q_SIGNALS:
    // On the thread that made the writer, once a background write has failed.
    void writeFailed(const QString &text);

private:
    struct Writer {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void joinFinished();

    Session &m_session;
    std::unique_ptr<RecoveryStore> m_store;
    FileError m_openError;
    std::vector<Writer> m_writers;
};
