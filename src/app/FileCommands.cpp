#include "FileCommands.h"

#include "BusyPointer.h"
#include "CommandHost.h"
#include "Prompts.h"
#include "dialogs/PropertiesDialog.h"
#include "files/CsvExport.h"
#include "files/DosImport.h"
#include "files/FileError.h"
#include "files/ReadableFile.h"
#include "files/SnapshotFile.h"
#include "session/Session.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Progress.h"
#include "snapshot/RootPackages.h"

#include <QCoreApplication>

namespace {

const QString SnapshotFilter = QStringLiteral("Snapshots (*.dir)");
const QString CsvFilter = QStringLiteral("Comma-Separated Values (*.csv)");
const QString AllFilesFilter = QStringLiteral("All files (*)");
// A snapshot without its details, for programs that read only the plain format.
const QString PlainSnapshotFilter = QStringLiteral("Snapshot, plain format (*.dir)");
// The five fields and then the details a POSIX scan records.
const QString DetailedCsvFilter = QStringLiteral("CSV with details (*.csv)");

QString importNotice() {
    return QStringLiteral(
        "Vistrel can import a directory listing (a file created with the DIR command) into a "
        "snapshot. However, there are some considerations to be aware of:\r\n"
        "- The import file must have originated from the DIR/S command in DOS, Windows 95 or "
        "98\r\n"
        "- The file date must appear in the same form as the current Control Panel setting "
        "(dd/mm/yy or mm-dd-yy)\r\n"
        "- File attributes aren't known, therefore you will need to ignore them when comparing "
        "against a 'direct' snapshot\r\n"
        "- Vistrel will always show Hidden and System files, whereas DIR/S does not by default\r\n"
        "- Vistrel stores file times to the nearest second, but DIR only displays hours and "
        "minutes. Therefore the value of Time Stamp Tolerance in the Compare dialog box will be "
        "set to 1 minute.");
}

Session::Answer answerOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return Session::Answer::Yes;
    case QMessageBox::No:
        return Session::Answer::No;
    case QMessageBox::Cancel:
        return Session::Answer::Cancel;
    default:
        return Session::Answer::None;
    }
}

} // namespace

FileCommands::FileCommands(CommandHost &host)
    : QObject(&host), m_host(host), m_session(host.session()) {}

FileCommands::~FileCommands() = default;

bool FileCommands::fillList(ListId listNo, Progress &progress, bool cancellable,
                            const std::function<void()> &read) {
    m_session.aboutToFill(listNo);
    if (m_host.runJob(progress, cancellable, read))
        return true;
    // Half a list would pass for the whole snapshot.
    m_session.fillFailed(listNo);
    m_host.reportFileError(FileError::fromCode(FileError::OutOfMemory));
    return false;
}

// ---------------------------------------------------------------------------------------------
// Open

ListId FileCommands::pickTargetList() {
    const ListId target = m_session.pickTargetList(m_host.shownList());
    if (target == ListId::None)
        m_host.tell(Session::TargetRefusal);
    return target;
}

void FileCommands::openSnapshot(const QString &given) {
    const ListId target = pickTargetList();
    if (target == ListId::None)
        return;
    QString path = given;
    if (path.isEmpty()) {
        path = m_host.prompts().openFile(
            m_host.window(),
            QStringLiteral("Open ") + Workspace::listName(target) + QStringLiteral(" Snapshot"),
            m_session.rememberedFolders[0], SnapshotFilter + QStringLiteral(";;") + AllFilesFilter);
        if (path.isEmpty())
            return;
    }
    m_host.repaint();
    // The file is opened before the loaded snapshot is given up, so a file that cannot be read
    // leaves it untouched.
    ReadableFile file;
    for (;;) {
        const FileError error = file.open(path);
        if (error.ok())
            break;
        if (m_host.reportFileError(error) != QMessageBox::Retry) {
            m_host.say(QString());
            return;
        }
    }
    m_session.rememberFileFolder(path);
    if (querySave(target) == QMessageBox::Cancel)
        return;

    SnapshotList &list = m_session.list(target);
    m_session.beginOpen(target, path);
    m_host.show(target);
    m_host.say(QString());
    {
        BusyPointer busy;
        for (;;) {
            Progress progress;
            FileError error;
            if (!fillList(target, progress, false, [&] {
                    error = readSnapshot(file, list, &progress);
                    if (error.ok())
                        RootPackages::attach(list);
                }))
                break;
            if (error.ok() || m_host.reportFileError(error) != QMessageBox::Retry)
                break;
            list.clearEntries();
            if (!file.open(path).ok())
                break;
        }
    }
    m_session.opened(target);
    m_host.show(target);
    m_host.say(QString());
}

void FileCommands::open() {
    openSnapshot(QString());
}

// ---------------------------------------------------------------------------------------------
// Save As and Export

bool FileCommands::saveOrExport(int kind, ListId listNo) {
    const Session::SaveTarget target = m_session.proposedSaveTarget(listNo);
    const Prompts::SaveChoice choice = m_host.prompts().saveFile(
        m_host.window(), target.title, target.folder, target.name,
        {SnapshotFilter, CsvFilter, AllFilesFilter, PlainSnapshotFilter, DetailedCsvFilter}, kind);
    if (choice.path.isEmpty())
        return false;
    if (choice.filter == 2 || choice.filter == 5) {
        const bool written =
            writeCsvFile(listNo, choice.path,
                         choice.filter == 5 ? CsvColumns::WithDetails : CsvColumns::Specified);
        m_session.rememberFileFolder(choice.path);
        return written;
    }
    return writeSnapshotFile(listNo, choice.path,
                             choice.filter == 4 ? DetailsInFile::LeaveOut : DetailsInFile::Keep);
}

bool FileCommands::writeSnapshotFile(ListId listNo, const QString &path, DetailsInFile details) {
    const SnapshotList &list = m_session.list(listNo);
    const bool written = writeFile(QStringLiteral("Saving..."), [&](Progress &progress) {
        return ::saveSnapshot(list, Lists::isResult(listNo), path, &progress, details);
    });
    if (written)
        m_session.saved(listNo, path);
    else
        m_session.rememberFileFolder(path);
    return written;
}

bool FileCommands::writeCsvFile(ListId listNo, const QString &path, CsvColumns columns) {
    // The views keep painting with the window's formatter; the worker has its own.
    const EntryFormatter format(m_host.formatter().locale());
    return writeFile(QStringLiteral("Exporting..."), [&](Progress &progress) {
        return ::exportCsv(m_session.list(listNo), path, format, &progress, columns);
    });
}

bool FileCommands::writeFile(const QString &status,
                             const std::function<FileError(Progress &)> &write) {
    bool written = false;
    m_host.say(status);
    {
        BusyPointer busy;
        for (;;) {
            Progress progress;
            FileError error;
            if (!m_host.runJob(progress, false, [&] { error = write(progress); }))
                error = FileError::fromCode(FileError::OutOfMemory);
            written = error.ok();
            if (written || m_host.reportFileError(error) != QMessageBox::Retry)
                break;
        }
    }
    m_host.say(QString());
    return written;
}

void FileCommands::saveAs() {
    saveOrExport(1, m_host.shownList());
}

void FileCommands::exportShown() {
    saveOrExport(2, m_host.shownList());
}

// ---------------------------------------------------------------------------------------------
// Close

QMessageBox::StandardButton FileCommands::querySave(ListId listNo) {
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    const QString question = m_session.saveQuestion(listNo);
    if (!question.isEmpty()) {
        answer = m_host.prompts().message(m_host.window(), QStringLiteral("Vistrel"), question,
                                          QMessageBox::NoIcon,
                                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Yes)
            saveOrExport(1, listNo);
        if (m_session.saveOutcome(listNo, answerOf(answer)) == Session::Answer::Cancel)
            answer = QMessageBox::Cancel;
    }
    if (answer == QMessageBox::Cancel)
        return answer;
    m_host.say(QStringLiteral("Please Wait..."));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    {
        BusyPointer busy;
        m_session.closeSnapshot(listNo);
    }
    m_host.say(QString());
    return answer;
}

void FileCommands::closeShown() {
    querySave(m_host.shownList());
}

// ---------------------------------------------------------------------------------------------
// Import

void FileCommands::importListing() {
    m_host.prompts().message(m_host.window(), QStringLiteral("Important"), importNotice());
    m_session.presetImportTolerance();
    const ListId target = pickTargetList();
    if (target == ListId::None)
        return;
    SnapshotList &list = m_session.list(target);
    const QString path = m_host.prompts().openFile(
        m_host.window(),
        QStringLiteral("Import ") + Workspace::listName(target) + QStringLiteral(" Snapshot"),
        m_session.rememberedFolders[0], AllFilesFilter);
    if (path.isEmpty())
        return;
    m_host.repaint();
    ReadableFile file;
    if (const FileError error = file.open(path)) {
        m_session.imported(target, true);
        m_host.prompts().message(m_host.window(), error.message(), QString());
        return;
    }
    m_session.rememberFileFolder(path);
    if (querySave(target) == QMessageBox::Cancel)
        return;

    m_host.show(target);
    DosImportResult result;
    {
        BusyPointer busy;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_host.say(QString());
        Progress progress;
        const QLocale locale = m_host.formatter().locale();
        fillList(target, progress, false,
                 [&] { result = importDosListing(file, path, list, locale, &progress); });
    }
    m_session.imported(target, result.failed);
    if (result.failed) {
        // A failure of the whole file (no listing at all, memory run out) names the file.
        m_host.prompts().message(m_host.window(), result.title,
                                 result.failingLine.isEmpty() ? path : result.failingLine);
        return;
    }
    m_host.show(target);
    m_host.say(QString());
}

// ---------------------------------------------------------------------------------------------
// Properties

void FileCommands::showProperties() {
    if (!m_properties)
        m_properties = new PropertiesDialog(m_host.formatter(), m_host.window());
    const ListId listNo = m_host.shownList();
    if (m_properties->run(m_session.list(listNo), listNo))
        m_session.setDescription(listNo, m_properties->description(), m_properties->edited());
}
