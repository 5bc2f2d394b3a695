// The main window's file commands: New, Open, Save As, Export, Import, Close, Properties, and
// the routines they share.

#include "BackgroundJob.h"
#include "BusyPointer.h"
#include "ListModel.h"
#include "ListPane.h"
#include "MainWindow.h"
#include "Prompts.h"
#include "StatusPanel.h"
#include "compare/Comparison.h"
#include "dialogs/NewSnapshotDialog.h"
#include "dialogs/PropertiesDialog.h"
#include "files/CsvExport.h"
#include "files/DosImport.h"
#include "files/FileError.h"
#include "files/ReadableFile.h"
#include "files/SnapshotFile.h"
#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/Progress.h"
#include "snapshot/Scanner.h"
#include "snapshot/Sorting.h"
#include <QPushButton>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>

namespace {

// The folder a file lies in: the path without its last part and the separator before it.
QString folderOf(const QString &path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return cut >= 0 ? path.left(cut) : QString();
}

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

// ---------------------------------------------------------------------------------------------
// Long operations

void MainWindow::runJob(Progress &progress, bool cancellable, const std::function<void()> &work) {
    m_jobProgress = &progress;
    BackgroundJob job(progress, cancellable, m_cancelButton,
                      [this, &progress] { showJobProgress(progress); });
    job.run(work);
    m_jobProgress = nullptr;
}

// The worker cannot ask for a list's size while it grows it, so the count comes from the
// progress: entries so far, or a percentage when the total is known.
void MainWindow::showJobProgress(Progress &progress) {
    const QString text = progress.takeText();
    if (!text.isEmpty())
        m_status->setText(text);
    const std::int64_t count = progress.count.load();
    const std::int64_t total = progress.total.load();
    if (total > 0)
        m_count->setText(percentText(count, total));
    else if (count > 0)
        m_count->setText(countText(count));
}

void MainWindow::fillList(int listNo, Progress &progress, bool cancellable,
                          const std::function<void()> &read) {
    ListModel *model = m_models[static_cast<std::size_t>(listNo - 1)];
    model->hold();
    runJob(progress, cancellable, read);
    model->listChanged();
    pane(listNo)->showSortState(m_ws.list(listNo).sort.key, m_ws.list(listNo).sort.order);
}

void MainWindow::selectFirstEntry(int listNo) {
    if (!m_ws.list(listNo).isEmpty())
        pane(listNo)->details()->setCurrentIndex(pane(listNo)->model()->index(0, 0));
}

// ---------------------------------------------------------------------------------------------
// New

void MainWindow::FileNew_Click() {
    if (!PickTargetList())
        return;
    if (!m_create) {
        m_create = new NewSnapshotDialog(
            m_ws, [this](int n) { selectTab(n); }, m_newSnapshot.separate, this);
        m_create->setOtherVolumes(m_newSnapshot.otherVolumes);
    }
    m_create->run(m_ws.CurrentList);
    const bool confirmed = m_create->confirmed();
    m_newSnapshot.separate = m_create->separate();
    m_newSnapshot.otherVolumes = m_create->otherVolumes();
    const bool openExisting = m_create->openExistingChosen();
    const int target = m_create->whichList();
    const QString folder = m_create->snapPath();
    const bool append = m_create->appendTo();
    const bool includeSubs = m_create->includeSubs();
    const QString drive = m_create->driveText();
    m_settings.setValue(QLatin1String(SettingsKey::Section) + u'/' +
                            QLatin1String(SettingsKey::Separate),
                        m_newSnapshot.separate ? QStringLiteral("1") : QStringLiteral("0"));
    m_settings.setValue(QLatin1String(SettingsKey::Section) + u'/' +
                            QLatin1String(SettingsKey::OtherVolumes),
                        m_newSnapshot.otherVolumes ? QStringLiteral("1") : QStringLiteral("0"));
    m_create->closed();
    if (openExisting) {
        OpenSnapshot(QString());
        TabStrip_Click();
        return;
    }
    if (!confirmed)
        return;
    repaint();

    m_ws.CurrentList = target;
    SnapshotList &list = m_ws.list(target);
    // The new name is taken only once the old snapshot is given up: saving it through the
    // question proposes its own name, and a Cancel leaves it as it was.
    if (!append && QuerySave(target) == QMessageBox::Cancel)
        return;
    list.fileName = LastPathPart(folder);
    const QString root = NewSnapshot::rootOf(folder);
    ShowStatus(root);
    Progress progress;
    {
        BusyPointer busy;
        fillList(target, progress, true, [&] {
            const std::unique_ptr<DirectoryReader> reader =
                makeDirectoryReader(m_newSnapshot.otherVolumes);
            Scanner(*reader).ReadDirectory(root, list, includeSubs, &progress);
            resort(list);
        });
    }
    selectTab(target);
    selectFirstEntry(target);
    list.unsaved = true;
    if (append) {
        list.description += QStringLiteral(" + ") + root;
    } else {
        list.description = root;
        list.created = DateSerial::now();
        list.source = NewSnapshot::sourceText(drive, root);
    }
    ShowStatus(root);
    TabStrip_Click();
    if (progress.cancelled()) {
        ShowStatus(QStringLiteral("The scan was cancelled; the snapshot holds the %1 entries "
                                  "read so far")
                       .arg(countText(list.size())));
    }
}

// ---------------------------------------------------------------------------------------------
// Open

bool MainWindow::PickTargetList() {
    if (m_ws.list(ListNo::Original).isEmpty()) {
        m_ws.CurrentList = ListNo::Original;
        return true;
    }
    if (m_ws.list(ListNo::Final).isEmpty()) {
        m_ws.CurrentList = ListNo::Final;
        return true;
    }
    if (m_ws.CurrentList == ListNo::Original || m_ws.CurrentList == ListNo::Final)
        return true;
    m_prompts.message(this, programName(),
                      QStringLiteral("Original and Final Snapshots are already loaded. You need "
                                     "to select either the Original or Final Snapshot tab before "
                                     "you can create or open another."));
    return false;
}

void MainWindow::OpenSnapshot(const QString &given) {
    if (!PickTargetList())
        return;
    const int target = m_ws.CurrentList;
    QString path = given;
    if (path.isEmpty()) {
        path = m_prompts.openFile(
            this,
            QStringLiteral("Open ") + Workspace::ListName(target) + QStringLiteral(" Snapshot"),
            m_ws.DefPath[0], SnapshotFilter + QStringLiteral(";;") + AllFilesFilter);
        if (path.isEmpty())
            return;
    }
    repaint();
    // The file is opened before the loaded snapshot is given up, so a file that cannot be read
    // leaves it untouched.
    ReadableFile file;
    for (;;) {
        const FileError error = file.open(path);
        if (error.ok())
            break;
        if (ReportFileError(error) != QMessageBox::Retry) {
            ShowStatus(QString());
            return;
        }
    }
    m_ws.DefPath[0] = folderOf(path);
    if (QuerySave(target) == QMessageBox::Cancel)
        return;

    SnapshotList &list = m_ws.list(target);
    list.fileName = QFileInfo(path).absoluteFilePath();
    selectTab(target);
    ShowStatus(QString());
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
    selectFirstEntry(target);
    selectTab(target);
    // Start-up opens a file without a command around it, so the commands are brought up to
    // date here too.
    TabStrip_Click();
}

QMessageBox::StandardButton MainWindow::ReportFileError(const FileError &error) {
    const QMessageBox::StandardButtons buttons =
        error.code == FileError::DriveNotReady
            ? QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore
            : QMessageBox::StandardButtons(QMessageBox::Ok);
    return m_prompts.message(this, QStringLiteral("Error"), error.message(), QMessageBox::Warning,
                             buttons);
}

void MainWindow::FileOpen_Click() {
    OpenSnapshot(QString());
    TabStrip_Click();
}

// ---------------------------------------------------------------------------------------------
// Save As and Export

bool MainWindow::SaveOrExport(int kind, int listNo) {
    const SnapshotList &list = m_ws.list(listNo);
    QString folder = m_ws.DefPath[0];
    QString proposed;
    if (listNo == ListNo::Original || listNo == ListNo::Final) {
        if (list.fileName.isEmpty()) {
            proposed = QStringLiteral("Untitled");
        } else {
            // A snapshot opened from a file proposes that file, in its own folder.
            if (QFileInfo(list.fileName).isAbsolute())
                folder = folderOf(list.fileName);
            proposed = LastPathPart(list.fileName);
        }
    } else {
        proposed = Workspace::TabCaption(listNo);
    }
    const qsizetype period = proposed.indexOf(u'.');
    if (period >= 0)
        proposed.truncate(period);

    const Prompts::SaveChoice choice =
        m_prompts.saveFile(this, QStringLiteral("Save/Export ") + Workspace::TabCaption(listNo),
                           folder, proposed, {SnapshotFilter, CsvFilter, AllFilesFilter}, kind);
    if (choice.path.isEmpty())
        return false;
    const bool written =
        choice.filter == 2 ? ExportCsv(listNo, choice.path) : SaveSnapshot(listNo, choice.path);
    m_ws.DefPath[0] = folderOf(choice.path);
    return written;
}

bool MainWindow::SaveSnapshot(int listNo, const QString &path) {
    SnapshotList &list = m_ws.list(listNo);
    const bool written = writeFile(QStringLiteral("Saving..."), [&](Progress &progress) {
        return ::SaveSnapshot(list, listNo >= ListNo::OnlyInOriginal, path, &progress);
    });
    if (written)
        list.unsaved = false;
    return written;
}

bool MainWindow::ExportCsv(int listNo, const QString &path) {
    // The views keep painting with the window's formatter; the worker has its own.
    const EntryFormatter format(m_formatter.locale());
    return writeFile(QStringLiteral("Exporting..."), [&](Progress &progress) {
        return ::ExportCsv(m_ws.list(listNo), path, format, &progress);
    });
}

bool MainWindow::writeFile(const QString &status,
                           const std::function<FileError(Progress &)> &write) {
    bool written = false;
    ShowStatus(status);
    {
        BusyPointer busy;
        for (;;) {
            Progress progress;
            FileError error;
            runJob(progress, false, [&] { error = write(progress); });
            written = error.ok();
            if (written || ReportFileError(error) != QMessageBox::Retry)
                break;
        }
    }
    ShowStatus(QString());
    UpdateCommands(m_ws.CurrentList);
    return written;
}

void MainWindow::FileSaveAs_Click() {
    SaveOrExport(1, m_ws.CurrentList);
}

void MainWindow::FileExport_Click() {
    SaveOrExport(2, m_ws.CurrentList);
    TabStrip_Click();
}

// ---------------------------------------------------------------------------------------------
// Close

QMessageBox::StandardButton MainWindow::QuerySave(int listNo) {
    const SnapshotList &list = m_ws.list(listNo);
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    if (list.unsaved) {
        answer = m_prompts.message(this, programName(),
                                   Workspace::ListName(listNo) +
                                       QStringLiteral(" Snapshot has not been saved, save it now?"),
                                   QMessageBox::NoIcon,
                                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        // A save that fails, is cancelled or writes CSV instead leaves the snapshot unsaved;
        // closing it then would lose it, so that counts as Cancel.
        if (answer == QMessageBox::Yes) {
            SaveOrExport(1, listNo);
            if (list.unsaved)
                answer = QMessageBox::Cancel;
        }
    }
    if (answer != QMessageBox::Cancel)
        CloseSnapshot(listNo);
    return answer;
}

void MainWindow::CloseSnapshot(int listNo) {
    ShowStatus(QStringLiteral("Please Wait..."));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    {
        BusyPointer busy;
        SnapshotList &list = m_ws.list(listNo);
        list.unsaved = false;
        list.description.clear();
        list.clearEntries();
        ListChanged(listNo);
        for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n) {
            m_ws.list(n).clearEntries();
            m_ws.list(n).description.clear();
            ListChanged(n);
        }
        m_compare.reset(listNo);
        UpdateCommands(m_ws.CurrentList);
    }
    ShowStatus(QString());
}

void MainWindow::FileClose_Click() {
    if (QuerySave(m_ws.CurrentList) == QMessageBox::Cancel)
        return;
    UpdateCommands(m_ws.CurrentList);
    TabStrip_Click();
}

void MainWindow::FileExit_Click() {
    close();
}

// ---------------------------------------------------------------------------------------------
// Import

void MainWindow::FileImport_Click() {
    importDosListing();
    TabStrip_Click();
}

void MainWindow::importDosListing() {
    m_prompts.message(this, QStringLiteral("Important"), importNotice());
    m_compare.tolerance = presetTolerance(m_compare.tolerance);
    if (!PickTargetList())
        return;
    const int target = m_ws.CurrentList;
    SnapshotList &list = m_ws.list(target);
    const QString path = m_prompts.openFile(
        this, QStringLiteral("Import ") + Workspace::ListName(target) + QStringLiteral(" Snapshot"),
        m_ws.DefPath[0], AllFilesFilter);
    if (path.isEmpty())
        return;
    repaint();
    ReadableFile file;
    if (const FileError error = file.open(path)) {
        list.unsaved = true;
        m_prompts.message(this, error.message(), QString());
        return;
    }
    m_ws.DefPath[0] = folderOf(path);
    if (QuerySave(target) == QMessageBox::Cancel)
        return;

    selectTab(target);
    DosImportResult result;
    {
        BusyPointer busy;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        ShowStatus(QString());
        Progress progress;
        fillList(target, progress, false, [&] {
            result = ImportDosListing(file, path, list, m_formatter.locale(), &progress);
        });
    }
    if (result.failed) {
        m_prompts.message(this, result.title, result.failingLine);
        return;
    }
    selectFirstEntry(target);
    selectTab(target);
    ShowStatus(QString());
}

// ---------------------------------------------------------------------------------------------
// Properties

void MainWindow::FileProps_Click() {
    if (!m_properties)
        m_properties = new PropertiesDialog(m_formatter, this);
    const int listNo = m_ws.CurrentList;
    if (m_properties->run(m_ws.list(listNo), listNo) && m_compare.compared)
        SetResultDescriptions(m_ws, m_compare);
    TabStrip_Click();
}
