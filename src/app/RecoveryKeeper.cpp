#include "RecoveryKeeper.h"

#include "MainWindow.h"
#include "Prompts.h"
#include "files/RecoveryStore.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/SnapshotList.h"

#include <QDir>

namespace {

// From the writing thread: the window shows it when it next handles its events, or never when
// it is gone by then.
void tellFailedWrite(MainWindow *window, int listNo, const FileError &error) {
    const QString text =
        QStringLiteral("The unsaved %1 Snapshot could not be kept for recovery: %2")
            .arg(listNo == ListNo::Final ? QStringLiteral("Final") : QStringLiteral("Original"),
                 error.message());
    QMetaObject::invokeMethod(
        window, [window, text] { window->ShowStatus(text); }, Qt::QueuedConnection);
}

} // namespace

RecoveryKeeper::RecoveryKeeper(const QString &folder, MainWindow &window)
    : m_store(std::make_unique<RecoveryStore>(folder)), m_window(window) {
    // Without a folder to write to the program still works; it only cannot keep copies.
    m_openError = m_store->open();
}

RecoveryKeeper::~RecoveryKeeper() {
    finishWrites();
}

void RecoveryKeeper::joinFinished() {
    for (auto it = m_writers.begin(); it != m_writers.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_writers.erase(it);
        } else {
            ++it;
        }
    }
}

void RecoveryKeeper::finishWrites() {
    for (Writer &w : m_writers)
        w.thread.join();
    m_writers.clear();
}

void RecoveryKeeper::keep(int listNo, const SnapshotList &list) {
    if (m_openError || list.isEmpty() || !list.unsaved)
        return;
    joinFinished();
    // The copy shares the list's names (they never change) and costs its entries only; the
    // user may sort or close the list while the copy is written.
    auto copy = std::make_shared<SnapshotList>(list);
    auto done = std::make_shared<std::atomic<bool>>(false);
    RecoveryStore *store = m_store.get();
    MainWindow *window = &m_window;
    m_writers.push_back({std::thread([store, window, listNo, copy, done] {
                             const FileError error = store->write(listNo, *copy);
                             if (error)
                                 tellFailedWrite(window, listNo, error);
                             done->store(true);
                         }),
                         done});
}

void RecoveryKeeper::drop(int listNo) {
    if (!m_openError)
        m_store->remove(listNo);
}

namespace {

QString question(const RecoveryStore::Leftover &leftover, const EntryFormatter &format) {
    const QString which =
        leftover.listNo == ListNo::Final ? QStringLiteral("Final") : QStringLiteral("Original");
    return QStringLiteral("Restore the unsaved %1 Snapshot of %2 taken %3?")
        .arg(which, leftover.description, format.generalDate(leftover.created));
}

} // namespace

void RecoveryKeeper::tellAboutFolder(Prompts &prompts) {
    const QString folder = QDir::toNativeSeparators(m_store->folder());
    if (m_openError) {
        prompts.message(&m_window, MainWindow::programName(),
                        QStringLiteral("Unsaved snapshots cannot be kept for recovery in %1: %2")
                            .arg(folder, m_openError.message()),
                        QMessageBox::Warning);
    } else if (m_store->tightenedFolder()) {
        prompts.message(&m_window, MainWindow::programName(),
                        QStringLiteral("The folder of unsaved snapshots, %1, could be read by "
                                       "other users. It is now readable by you alone.")
                            .arg(folder),
                        QMessageBox::Information);
    }
}

void RecoveryKeeper::offerLeftovers(MainWindow &window, Prompts &prompts) {
    tellAboutFolder(prompts);
    if (m_openError)
        return;
    for (const RecoveryStore::Leftover &leftover : m_store->leftovers()) {
        const int wanted = leftover.listNo == ListNo::Final ? ListNo::Final : ListNo::Original;
        const int other = wanted == ListNo::Final ? ListNo::Original : ListNo::Final;
        Session &session = window.session();
        const int target = session.list(wanted).isEmpty()  ? wanted
                           : session.list(other).isEmpty() ? other
                                                           : 0;
        // With both lists taken there is nowhere to put it: it waits for the next start.
        if (target == 0)
            continue;
        if (prompts.message(&window, MainWindow::programName(),
                            question(leftover, window.formatter()), QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Yes) != QMessageBox::Yes) {
            m_store->discard(leftover);
            continue;
        }
        session.CloseSnapshot(target); // as every load, with the options of a new snapshot
        SnapshotList &list = session.list(target);
        const FileError error = m_store->restore(leftover, list);
        window.ListChanged(target);
        if (!error.ok()) {
            prompts.message(&window, error.message(), leftover.path);
            continue;
        }
        // Kept as this run's before the old file goes, so it is on the disk all along; when it
        // cannot be written, the old file stays for the next start.
        if (const FileError kept = m_store->write(target, list))
            tellFailedWrite(&window, target, kept);
        else
            m_store->discard(leftover);
        window.selectTab(target);
    }
    window.TabStrip_Click();
}
