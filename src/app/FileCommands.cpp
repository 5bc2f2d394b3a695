#include "FileCommands.h"

#include "BackgroundJob.h"
#include "BusyPointer.h"
#include "ListViews.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "RecoveryKeeper.h"
#include "StatusPanel.h"
#include "compare/Comparison.h"
#include "dialogs/CompareDialog.h"
#include "dialogs/NewSnapshotDialog.h"
#include "dialogs/PrintDialog.h"
#include "dialogs/PropertiesDialog.h"
#include "files/CsvExport.h"
#include "files/DosImport.h"
#include "files/FileError.h"
#include "files/ReadableFile.h"
#include "files/SnapshotFile.h"
#include "session/Session.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/LargeBlocks.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/Progress.h"
#include "snapshot/Scanner.h"
#include "sort/ColumnSorts.h"
#include "widgets/ReportPrinter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>

namespace {

const QString SnapshotFilter = QStringLiteral("Snapshots (*.dir)");
const QString CsvFilter = QStringLiteral("Comma-Separated Values (*.csv)");
const QString AllFilesFilter = QStringLiteral("All files (*)");

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

} // namespace

FileCommands::FileCommands(MainWindow &window, Session &session, Prompts &prompts)
    : m_window(window), m_session(session), m_prompts(prompts) {}

FileCommands::~FileCommands() = default;

// ---------------------------------------------------------------------------------------------
// Long operations

bool FileCommands::runJob(Progress &progress, bool cancellable, const std::function<void()> &work) {
    BackgroundJob job(progress, cancellable, m_window.cancelButton(),
                      [this, &progress] { showJobProgress(progress); });
    return job.run(work);
}

QString FileCommands::percentText(qint64 n, qint64 total) {
    const double ratio = (n + 1.0) / (total + 1.0);
    return QString::number(qRound(ratio * 100)) + u'%';
}

// The worker cannot ask for a list's size while it grows it, so the count comes from the
// progress: entries so far, or a percentage when the total is known.
void FileCommands::showJobProgress(Progress &progress) {
    const QString text = progress.takeText();
    if (!text.isEmpty())
        m_window.statusPanel(1)->setText(text);
    const std::int64_t count = progress.count.load();
    const std::int64_t total = progress.total.load();
    if (total > 0)
        m_window.statusPanel(2)->setText(percentText(count, total));
    else if (count > 0)
        m_window.statusPanel(2)->setText(m_window.countText(count));
}

void FileCommands::fillList(int listNo, Progress &progress, bool cancellable,
                            const std::function<void()> &read) {
    m_window.views().holdList(listNo);
    // Half a list would pass for the whole snapshot.
    const bool done = runJob(progress, cancellable, read);
    if (!done)
        m_session.list(listNo).clearAfterFailure();
    m_window.ListChanged(listNo);
    if (!done)
        ReportFileError(FileError::fromCode(FileError::OutOfMemory));
}

// ---------------------------------------------------------------------------------------------
// New

void FileCommands::FileNew_Click() {
    if (!PickTargetList())
        return;
    NewSnapshotState &state = m_window.newSnapshotState();
    if (!m_create) {
        m_create = new NewSnapshotDialog(
            m_session, [this](int n) { m_window.selectTab(n); }, state.separate, &m_window);
        m_create->setOtherVolumes(state.otherVolumes);
        m_create->setLeaveOut(state.leaveOut);
    }
    m_create->run(m_window.CurrentList());
    const bool confirmed = m_create->confirmed();
    state.separate = m_create->separate();
    state.otherVolumes = m_create->otherVolumes();
    state.leaveOut = m_create->leaveOut();
    const bool openExisting = m_create->openExistingChosen();
    const int target = m_create->whichList();
    const QString folder = m_create->snapPath();
    const bool append = m_create->appendTo();
    const bool includeSubs = m_create->includeSubs();
    const QString drive = m_create->driveText();
    writeNewSnapshotOptions();
    m_create->closed();
    if (openExisting) {
        OpenSnapshot(QString());
        m_window.TabStrip_Click();
        return;
    }
    if (!confirmed)
        return;
    m_window.repaint();

    m_window.setCurrentList(target);
    // The new name is taken only once the old snapshot is given up: saving it through the
    // question proposes its own name, and a Cancel leaves it as it was.
    if (!append && QuerySave(target) == QMessageBox::Cancel)
        return;
    ScanOrigin origin;
    origin.root = NewSnapshot::rootOf(folder);
    origin.drive = drive;
    origin.includeSubs = includeSubs;
    origin.otherVolumes = state.otherVolumes;
    origin.exclude = ExcludePatterns::split(state.leaveOut);
    m_session.beginScan(target, folder);
    scanInto(target, origin, append);
}

bool FileCommands::scanInto(int target, const ScanOrigin &origin, bool append) {
    SnapshotList &list = m_session.list(target);
    const qsizetype unreadBefore = list.unreadable.size();
    m_window.ShowStatus(origin.root);
    Progress progress;
    {
        BusyPointer busy;
        fillList(target, progress, true, [&] {
            const std::unique_ptr<DirectoryReader> reader =
                makeDirectoryReader(origin.otherVolumes);
            Scanner scanner(*reader);
            scanner.setExclusions(ExcludePatterns(origin.exclude));
            if (origin.nativeRoot.isEmpty())
                scanner.ReadDirectory(origin.root, list, origin.includeSubs, &progress);
            else
                scanner.ReadDirectory(origin.nativeRoot, origin.root, list, origin.includeSubs,
                                      &progress);
            resort(list);
        });
    }
    m_window.selectTab(target);
    m_window.views().selectFirstEntry(target);
    m_session.scanned(target, origin.root, origin.drive, append);
    if (!append)
        m_session.rememberScan(target, origin);
    for (const QString &pattern : origin.exclude) {
        if (!list.leftOut.contains(pattern))
            list.leftOut << pattern;
    }
    m_window.recovery().keep(target, list);
    m_window.ShowStatus(origin.root);
    m_window.TabStrip_Click();
    if (progress.cancelled()) {
        m_window.ShowStatus(QStringLiteral("The scan was cancelled; the snapshot holds the %1 "
                                           "entries read so far")
                                .arg(m_window.countText(list.size())));
    }
    // Folders listed as empty that may not be: a later comparison would show their files as
    // added, so the user hears of them once, now.
    if (list.unreadable.size() > unreadBefore) {
        const QStringList unread = list.unreadable.mid(unreadBefore);
        m_prompts.message(&m_window, MainWindow::programName(),
                          NewSnapshot::unreadableCount(unread.size()) + QStringLiteral(":\n") +
                              NewSnapshot::unreadablePaths(origin.root, unread, 10).join(u'\n') +
                              QStringLiteral("\n\nThe snapshot lists them as empty."));
    }
    return !progress.cancelled();
}

void FileCommands::FileCompareNow_Click() {
    std::optional<ScanOrigin> plan = m_session.folderNowPlan();
    if (!plan)
        return;
    // A snapshot file does not say what its scan left out; the patterns the user keeps for new
    // snapshots are the best guess, and mostly the very ones.
    if (plan->fromSource) {
        plan->exclude = ExcludePatterns::split(m_window.newSnapshotState().leaveOut);
        plan->drive = NewSnapshot::volumeText(plan->root);
    }
    const CompareOptions options = m_session.options();
    m_window.setCurrentList(ListNo::Final);
    if (QuerySave(ListNo::Final) == QMessageBox::Cancel) {
        m_window.TabStrip_Click();
        return;
    }
    m_window.repaint();
    m_session.beginScan(ListNo::Final, plan->root);
    const bool complete = scanInto(ListNo::Final, *plan, false);
    // The same folder read again: the options the user set still hold.
    m_session.keepOptions(options);
    // Half a folder would show the rest as gone; the user sees the cancelled scan instead.
    if (complete)
        compareAndOffer();
    m_window.TabStrip_Click();
    if (!complete)
        m_window.ShowStatus(QStringLiteral("The scan was cancelled, so nothing was compared"));
}

// The dialog's own options are written as soon as it closes, not only at exit.
void FileCommands::writeNewSnapshotOptions() {
    const NewSnapshotState &state = m_window.newSnapshotState();
    AppSettings::writeFlag(m_window.settings(), SettingsKey::Separate, state.separate);
    AppSettings::writeFlag(m_window.settings(), SettingsKey::OtherVolumes, state.otherVolumes);
    AppSettings::writeText(m_window.settings(), SettingsKey::LeaveOut, state.leaveOut);
}

// ---------------------------------------------------------------------------------------------
// Open

bool FileCommands::PickTargetList() {
    const int target = m_session.PickTargetList(m_window.CurrentList());
    if (target == 0) {
        m_prompts.message(&m_window, MainWindow::programName(), Session::TargetRefusal);
        return false;
    }
    m_window.setCurrentList(target);
    return true;
}

void FileCommands::OpenSnapshot(const QString &given) {
    if (!PickTargetList())
        return;
    const int target = m_window.CurrentList();
    QString path = given;
    if (path.isEmpty()) {
        path = m_prompts.openFile(
            &m_window,
            QStringLiteral("Open ") + Workspace::ListName(target) + QStringLiteral(" Snapshot"),
            m_session.DefPath[0], SnapshotFilter + QStringLiteral(";;") + AllFilesFilter);
        if (path.isEmpty())
            return;
    }
    m_window.repaint();
    // The file is opened before the loaded snapshot is given up, so a file that cannot be read
    // leaves it untouched.
    ReadableFile file;
    for (;;) {
        const FileError error = file.open(path);
        if (error.ok())
            break;
        if (ReportFileError(error) != QMessageBox::Retry) {
            m_window.ShowStatus(QString());
            return;
        }
    }
    m_session.rememberFileFolder(path);
    if (QuerySave(target) == QMessageBox::Cancel)
        return;

    SnapshotList &list = m_session.list(target);
    m_session.beginOpen(target, path);
    m_window.selectTab(target);
    m_window.ShowStatus(QString());
    {
        BusyPointer busy;
        for (;;) {
            Progress progress;
            FileError error;
            fillList(target, progress, false, [&] { error = ReadSnapshot(file, list, &progress); });
            if (error.ok())
                break;
            if (ReportFileError(error) != QMessageBox::Retry)
                break;
            list.clearEntries();
            if (!file.open(path).ok())
                break;
        }
    }
    m_window.views().selectFirstEntry(target);
    m_window.selectTab(target);
    // Start-up opens a file without a command around it, so the commands are brought up to
    // date here too.
    m_window.TabStrip_Click();
}

QMessageBox::StandardButton FileCommands::ReportFileError(const FileError &error) {
    const QMessageBox::StandardButtons buttons =
        error.code == FileError::DriveNotReady
            ? QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore
            : QMessageBox::StandardButtons(QMessageBox::Ok);
    return m_prompts.message(&m_window, QStringLiteral("Error"), error.message(),
                             QMessageBox::Warning, buttons);
}

void FileCommands::FileOpen_Click() {
    OpenSnapshot(QString());
    m_window.TabStrip_Click();
}

// ---------------------------------------------------------------------------------------------
// Save As and Export

bool FileCommands::SaveOrExport(int kind, int listNo) {
    const Session::SaveTarget target = m_session.proposedSaveTarget(listNo);
    const Prompts::SaveChoice choice =
        m_prompts.saveFile(&m_window, target.title, target.folder, target.name,
                           {SnapshotFilter, CsvFilter, AllFilesFilter}, kind);
    if (choice.path.isEmpty())
        return false;
    const bool written =
        choice.filter == 2 ? ExportCsv(listNo, choice.path) : SaveSnapshot(listNo, choice.path);
    m_session.rememberFileFolder(choice.path);
    return written;
}

bool FileCommands::SaveSnapshot(int listNo, const QString &path) {
    SnapshotList &list = m_session.list(listNo);
    const bool written = writeFile(QStringLiteral("Saving..."), [&](Progress &progress) {
        return ::SaveSnapshot(list, listNo >= ListNo::OnlyInOriginal, path, &progress);
    });
    if (written) {
        list.unsaved = false;
        if (listNo <= ListNo::Final)
            m_window.recovery().drop(listNo);
    }
    return written;
}

bool FileCommands::ExportCsv(int listNo, const QString &path) {
    // The views keep painting with the window's formatter; the worker has its own.
    const EntryFormatter format(m_window.formatter().locale());
    return writeFile(QStringLiteral("Exporting..."), [&](Progress &progress) {
        return ::ExportCsv(m_session.list(listNo), path, format, &progress);
    });
}

bool FileCommands::writeFile(const QString &status,
                             const std::function<FileError(Progress &)> &write) {
    bool written = false;
    m_window.ShowStatus(status);
    {
        BusyPointer busy;
        for (;;) {
            Progress progress;
            FileError error;
            if (!runJob(progress, false, [&] { error = write(progress); }))
                error = FileError::fromCode(FileError::OutOfMemory);
            written = error.ok();
            if (written || ReportFileError(error) != QMessageBox::Retry)
                break;
        }
    }
    m_window.ShowStatus(QString());
    m_window.UpdateCommands(m_window.CurrentList());
    return written;
}

void FileCommands::FileSaveAs_Click() {
    SaveOrExport(1, m_window.CurrentList());
}

void FileCommands::FileExport_Click() {
    SaveOrExport(2, m_window.CurrentList());
    m_window.TabStrip_Click();
}

// ---------------------------------------------------------------------------------------------
// Close

QMessageBox::StandardButton FileCommands::QuerySave(int listNo) {
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    const QString question = m_session.saveQuestion(listNo);
    if (!question.isEmpty()) {
        answer =
            m_prompts.message(&m_window, MainWindow::programName(), question, QMessageBox::NoIcon,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        // A save that fails, is cancelled or writes CSV instead leaves the snapshot unsaved;
        // closing it then would lose it, so that counts as Cancel.
        if (answer == QMessageBox::Yes) {
            SaveOrExport(1, listNo);
            if (m_session.list(listNo).unsaved)
                answer = QMessageBox::Cancel;
        }
    }
    if (answer != QMessageBox::Cancel)
        CloseSnapshot(listNo);
    return answer;
}

void FileCommands::CloseSnapshot(int listNo) {
    m_window.ShowStatus(QStringLiteral("Please Wait..."));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    {
        BusyPointer busy;
        m_session.CloseSnapshot(listNo);
        m_window.recovery().drop(listNo);
        m_window.ListChanged(listNo);
        for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n)
            m_window.ListChanged(n);
        m_window.UpdateCommands(m_window.CurrentList());
    }
    m_window.ShowStatus(QString());
}

void FileCommands::FileClose_Click() {
    if (QuerySave(m_window.CurrentList()) == QMessageBox::Cancel)
        return;
    m_window.UpdateCommands(m_window.CurrentList());
    m_window.TabStrip_Click();
}

// ---------------------------------------------------------------------------------------------
// Import

void FileCommands::FileImport_Click() {
    importDosListing();
    m_window.TabStrip_Click();
}

void FileCommands::importDosListing() {
    m_prompts.message(&m_window, QStringLiteral("Important"), importNotice());
    m_session.presetImportTolerance();
    if (!PickTargetList())
        return;
    const int target = m_window.CurrentList();
    SnapshotList &list = m_session.list(target);
    const QString path = m_prompts.openFile(
        &m_window,
        QStringLiteral("Import ") + Workspace::ListName(target) + QStringLiteral(" Snapshot"),
        m_session.DefPath[0], AllFilesFilter);
    if (path.isEmpty())
        return;
    m_window.repaint();
    ReadableFile file;
    if (const FileError error = file.open(path)) {
        list.unsaved = true;
        m_prompts.message(&m_window, error.message(), QString());
        return;
    }
    m_session.rememberFileFolder(path);
    if (QuerySave(target) == QMessageBox::Cancel)
        return;

    m_window.selectTab(target);
    DosImportResult result;
    {
        BusyPointer busy;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_window.ShowStatus(QString());
        Progress progress;
        const QLocale locale = m_window.formatter().locale();
        fillList(target, progress, false,
                 [&] { result = ImportDosListing(file, path, list, locale, &progress); });
    }
    if (result.failed) {
        // A failure of the whole file (no listing at all, memory run out) names the file.
        m_prompts.message(&m_window, result.title,
                          result.failingLine.isEmpty() ? path : result.failingLine);
        return;
    }
    m_window.views().selectFirstEntry(target);
    m_window.selectTab(target);
    m_window.ShowStatus(QString());
    m_window.recovery().keep(target, list);
}

// ---------------------------------------------------------------------------------------------
// Properties

void FileCommands::FileProps_Click() {
    if (!m_properties)
        m_properties = new PropertiesDialog(m_window.formatter(), &m_window);
    const int listNo = m_window.CurrentList();
    if (m_properties->run(m_session.list(listNo), listNo))
        m_session.setDescription(listNo, m_properties->description(), m_properties->edited());
    m_window.TabStrip_Click();
}

// ---------------------------------------------------------------------------------------------
// Compare

CompareDialog *FileCommands::compareDialog() {
    if (!m_compareDialog)
        m_compareDialog = new CompareDialog(&m_window);
    return m_compareDialog;
}

void FileCommands::FileCompare_Click() {
    CompareDialog *dialog = compareDialog();
    // The options may have been reset or changed since the last showing.
    dialog->load(m_session.workspace(), m_session.options());
    const bool ok = dialog->exec() == QDialog::Accepted;
    // Cancel keeps whatever the user changed, as OK does.
    dialog->store(m_session.options());
    if (ok)
        compareAndOffer();
    m_window.TabStrip_Click();
}

void FileCommands::compareAndOffer() {
    const int shown = compareNow();
    if (shown < 0)
        return;
    showComparison(shown);
    const TimeShiftHint hint = m_session.takeTimeShiftHint();
    if (hint.kind != TimeShiftHint::None &&
        m_prompts.message(&m_window, MainWindow::programName(),
                          hint.message() + QStringLiteral("\n\n") + hint.offer(),
                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Yes) == QMessageBox::Yes) {
        acceptTimeShift(hint, m_session.options());
        const int again = compareNow();
        if (again >= 0)
            showComparison(again);
    }
}

int FileCommands::compareNow() {
    int shown = 0;
    m_window.ShowStatus(QStringLiteral("Comparing..."));
    {
        BusyPointer busy;
        // Two million-entry snapshots take a while: the window stays painted meanwhile,
        // and the views keep off the lists the comparison rewrites.
        for (int n = 1; n <= ListNo::Count; ++n)
            m_window.views().holdList(n);
        // The count panel shows the walk's progress from the start.
        Progress progress;
        progress.total =
            m_session.list(ListNo::Original).size() + m_session.list(ListNo::Final).size();
        if (!runJob(progress, false, [&] { shown = m_session.compare(&progress); })) {
            for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n)
                m_session.list(n).clearAfterFailure();
            shown = -1;
        }
        // The comparison left both snapshots sorted by their match keys.
        for (int n = 1; n <= ListNo::Count; ++n)
            m_window.ListChanged(n);
        if (shown < 0)
            ReportFileError(FileError::fromCode(FileError::OutOfMemory));
        // The comparison's working memory was freed on three threads and the views' old rows
        // with it: all of it goes back now, not when the program ends.
        releaseFreeMemory();
    }
    m_window.ShowStatus(QString());
    return shown;
}

void FileCommands::showComparison(int shown) {
    m_window.comparisonDone();
    if (shown)
        m_window.selectTab(shown);
    else
        m_prompts.message(&m_window, MainWindow::programName(), QLatin1String(NoDifferences));
}

// ---------------------------------------------------------------------------------------------
// Print

QPrinter &FileCommands::printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

PrintDialog *FileCommands::printDialog() {
    if (!m_printDialog)
        m_printDialog = new PrintDialog(
            printer(), [this](int listNo) { return m_session.list(listNo).size(); }, &m_window);
    return m_printDialog;
}

void FileCommands::FilePrint_Click() {
    PrintDialog *dialog = printDialog();
    dialog->activate(m_window.CurrentList());
    if (dialog->exec() != QDialog::Accepted)
        return;
    const int listNo = dialog->chosenList();
    if (m_session.list(listNo).isEmpty())
        return;
    // Without a printer the report goes to a PDF file; no file, no printout.
    if (printer().outputFormat() == QPrinter::PdfFormat) {
        const QString last = printer().outputFileName();
        const Prompts::SaveChoice file = m_prompts.saveFile(
            &m_window, QStringLiteral("Print to PDF File"),
            last.isEmpty() ? m_session.DefPath[0] : QFileInfo(last).absolutePath(),
            Workspace::TabCaption(listNo) + QStringLiteral(".pdf"),
            {QStringLiteral("PDF files (*.pdf)")}, 1);
        if (file.path.isEmpty())
            return;
        printer().setOutputFileName(file.path);
    }
    m_window.ShowStatus(QStringLiteral("Printing..."));
    FileError error;
    {
        BusyPointer busy;
        m_session.inFolderOrder(listNo, [&] { error = FilePrint(listNo); });
        m_window.ListChanged(listNo);
    }
    if (error)
        ReportFileError(error);
    m_window.ShowStatus(QString());
}

FileError FileCommands::FilePrint(int listNo) {
    const SnapshotList &list = m_session.list(listNo);
    Progress progress;
    // A long report would freeze the window for seconds: it is drawn on a worker thread (Qt
    // paints on printers from any thread), with its own formatter. Esc ends it early; what was
    // drawn by then is printed.
    const EntryFormatter format(m_window.formatter().locale());
    const bool attributes = printDialog()->includeAttributes();
    FileError error;
    if (!runJob(progress, true, [&] {
            error = ReportPrinter(printer()).print(list, attributes, format, &progress);
        }))
        return FileError::fromCode(FileError::OutOfMemory);
    return error;
}

void FileCommands::FilePageSetup_Click() {
    // The printer set-up of the Print dialog: the printer itself is chosen here too, besides the
    // paper and its orientation.
    QPrintDialog setup(&printer(), &m_window);
    setup.exec();
}
