#include "CommandHost.h"

#include "BackgroundJob.h"
#include "Prompts.h"
#include "files/FileError.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Progress.h"

#include <QWidget>

CommandHost::CommandHost(Session &session, Prompts &prompts, const EntryFormatter &format,
                         QWidget *window, QAbstractButton *cancelButton)
    : QObject(window), m_session(session), m_prompts(prompts), m_format(format), m_window(window),
      m_cancelButton(cancelButton) {}

void CommandHost::repaint() {
    m_window->repaint();
}

QMessageBox::StandardButton CommandHost::tell(const QString &text) {
    return m_prompts.message(m_window, QStringLiteral("Vistrel"), text);
}

QMessageBox::StandardButton CommandHost::reportFileError(const FileError &error) {
    const QMessageBox::StandardButtons buttons =
        error.code == FileError::DriveNotReady
            ? QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore
            : QMessageBox::StandardButtons(QMessageBox::Ok);
    return m_prompts.message(m_window, QStringLiteral("Error"), error.message(),
                             QMessageBox::Warning, buttons);
}

bool CommandHost::runJob(Progress &progress, bool cancellable, const std::function<void()> &work) {
    BackgroundJob job(progress, cancellable, m_cancelButton,
                      [this, &progress] { showJobProgress(progress); });
    return job.run(work);
}

QString CommandHost::percentText(qint64 n, qint64 total) {
    const double ratio = (n + 1.0) / (total + 1.0);
    return QString::number(qRound(ratio * 100)) + u'%';
}

// The worker cannot ask for a list's size while it grows it, so the count comes from the
// progress: entries so far, or a percentage when the total is known.
void CommandHost::showJobProgress(Progress &progress) {
    const std::int64_t count = progress.count.load();
    const std::int64_t total = progress.total.load();
    QString countText;
    if (total > 0)
        countText = percentText(count, total);
    else if (count > 0)
        countText = m_format.sizeText(static_cast<std::uint64_t>(count));
    Q_EMIT progressChanged(progress.takeText(), countText);
}
