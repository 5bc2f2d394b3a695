#include "RecoveryOffer.h"

#include "CommandHost.h"
#include "Prompts.h"
#include "files/RecoveryStore.h"
#include "session/RecoveryWriter.h"
#include "session/Session.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/RootPackages.h"

#include <QDir>

namespace {

QString question(const RecoveryStore::Leftover &leftover, const EntryFormatter &format) {
    const QString which =
        leftover.listNo == ListId::Final ? QStringLiteral("Final") : QStringLiteral("Original");
    return QStringLiteral("Restore the unsaved %1 Snapshot of %2 taken %3?")
        .arg(which, leftover.description, format.generalDate(leftover.created));
}

} // namespace

RecoveryOffer::RecoveryOffer(RecoveryWriter &writer, CommandHost &host)
    : m_writer(writer), m_host(host) {}

void RecoveryOffer::tellAboutFolder() {
    const QString folder = QDir::toNativeSeparators(m_writer.store().folder());
    if (const FileError &error = m_writer.openError()) {
        m_host.prompts().message(
            m_host.window(), QStringLiteral("Vistrel"),
            QStringLiteral("Unsaved snapshots cannot be kept for recovery in %1: %2")
                .arg(folder, error.message()),
            QMessageBox::Warning);
    } else if (m_writer.store().tightenedFolder()) {
        m_host.prompts().message(
            m_host.window(), QStringLiteral("Vistrel"),
            QStringLiteral("The folder of unsaved snapshots, %1, could be read by "
                           "other users. It is now readable by you alone.")
                .arg(folder),
            QMessageBox::Information);
    }
}

void RecoveryOffer::run() {
    tellAboutFolder();
    if (m_writer.openError())
        return;
    RecoveryStore &store = m_writer.store();
    Session &session = m_host.session();
    for (const RecoveryStore::Leftover &leftover : store.leftovers()) {
        const ListId target = session.recoveryTarget(leftover.listNo);
        // With both lists taken there is nowhere to put it: it waits for the next start.
        if (target == ListId::None)
            continue;
        if (m_host.prompts().message(m_host.window(), QStringLiteral("Vistrel"),
                                     question(leftover, m_host.formatter()), QMessageBox::Question,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) != QMessageBox::Yes) {
            store.discard(leftover);
            continue;
        }
        session.closeSnapshot(target); // as every load, with the options of a new snapshot
        session.aboutToFill(target);
        const FileError error = store.restore(leftover, session.list(target));
        if (!error.ok()) {
            session.fillFailed(target);
            m_host.prompts().message(m_host.window(), error.message(), leftover.path);
            continue;
        }
        RootPackages::attach(session.list(target));
        session.restored(target);
        // Kept as this run's before the old file goes, so it is on the disk all along; when it
        // cannot be written, the old file stays for the next start.
        m_host.show(target);
        // Told once the window has shown the restored list, so that its status stays.
        if (const FileError kept = m_writer.keepNow(target)) {
            QMetaObject::invokeMethod(
                &m_writer,
                [writer = &m_writer, text = RecoveryWriter::failureText(target, kept)] {
                    Q_EMIT writer->writeFailed(text);
                },
                Qt::QueuedConnection);
        } else {
            store.discard(leftover);
        }
    }
}
