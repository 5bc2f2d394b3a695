#pragma once

#include <QMessageBox>
#include <QObject>
#include <functional>
#include <memory>

class CompareDialog;
class MainWindow;
class NewSnapshotDialog;
class PrintDialog;
class Progress;
class Prompts;
class PropertiesDialog;
class QPrinter;
class Session;
struct FileError;
struct ScanOrigin;

// The commands of the File menu: New, Open, Save As, Export, Import, Close, Compare,
// Properties, Print and Page Setup, and the questions before a snapshot is given up. They ask
// the user through Prompts, run their long work as background jobs, leave the rules to the
// session and show the outcome in the window.
class FileCommands : public QObject {
    Q_OBJECT
public:
    FileCommands(MainWindow &window, Session &session, Prompts &prompts);
    ~FileCommands() override;

    // Makes list 1 or 2 the window's current list as the target of a New, Open or Import;
    // false (after saying why) when both are loaded and a result tab is shown.
    bool PickTargetList();
    // Loads a snapshot file into the Original or Final list; an empty path asks for the file.
    void OpenSnapshot(const QString &path);
    // Shows the message of a file error; returns the button pressed.
    QMessageBox::StandardButton ReportFileError(const FileError &error);
    // Asks for a file and writes list `listNo` to it: kind 1 proposes a snapshot file, kind 2
    // a CSV file; the filter chosen decides. True when a file was written.
    bool SaveOrExport(int kind, int listNo);
    // Writes a list as a snapshot file or as CSV; errors are reported. True on success.
    bool SaveSnapshot(int listNo, const QString &path);
    bool ExportCsv(int listNo, const QString &path);
    // When list 1 or 2 has not been saved, asks whether to save it; then closes it unless the
    // answer was Cancel. Returns the answer, or NoButton when nothing was asked. A Yes whose
    // save fails or is cancelled returns Cancel, and the list stays.
    QMessageBox::StandardButton QuerySave(int listNo);
    // Empties list 1 or 2, the result lists and the Compare options that depend on the list.
    void CloseSnapshot(int listNo);
    // Runs `work` on a worker thread; the window stays painted and takes no input meanwhile,
    // and the status bar shows the progress. A cancellable job stops on Esc or Cancel. False
    // when memory ran out.
    bool runJob(Progress &progress, bool cancellable, const std::function<void()> &work);
    // Prints list n's report on the printer; the document is ended before a failure returns.
    FileError FilePrint(int listNo);
    // The one printer of the program, as the printer set-up leaves it.
    QPrinter &printer();
    // The dialogs, made on first use and kept.
    CompareDialog *compareDialog();
    PrintDialog *printDialog();

    Prompts &prompts() { return m_prompts; }

    // Item n of `total` as a percentage, as the count panel shows a long job's progress.
    static QString percentText(qint64 n, qint64 total);

public Q_SLOTS:
    void FileNew_Click();
    void FileOpen_Click();
    void FileClose_Click();
    void FileSaveAs_Click();
    void FileExport_Click();
    void FileImport_Click();
    void FileCompare_Click();
    // Reads the Original's folder again into the Final and compares, in one step.
    void FileCompareNow_Click();
    void FileProps_Click();
    void FilePrint_Click();
    void FilePageSetup_Click();

private:
    void showJobProgress(Progress &progress);
    // Reads a list on a worker thread while its views look away; `read` fills it.
    void fillList(int listNo, Progress &progress, bool cancellable,
                  const std::function<void()> &read);
    // Writes a file on a worker thread, with `status` shown and Retry repeating a failure;
    // true when it was written.
    bool writeFile(const QString &status, const std::function<FileError(Progress &)> &write);
    void importDosListing();
    void writeNewSnapshotOptions();
    // Scans a folder into list 1 or 2 with progress and Cancel; false when the scan was
    // cancelled (the list keeps what was read).
    bool scanInto(int target, const ScanOrigin &origin, bool append);
    // Compares, shows the result, and offers to compare again when the clock moved.
    void compareAndOffer();
    // Runs the comparison with the options as they are; returns the result list to show, -1
    // when memory ran out (the result lists are then empty).
    int compareNow();
    // Shows that list, or says that there were no differences.
    void showComparison(int shown);

    MainWindow &m_window;
    Session &m_session;
    Prompts &m_prompts;
    NewSnapshotDialog *m_create = nullptr;
    PropertiesDialog *m_properties = nullptr;
    CompareDialog *m_compareDialog = nullptr;
    PrintDialog *m_printDialog = nullptr;
    std::unique_ptr<QPrinter> m_printer;
};
