#pragma once

#include "files/CsvExport.h"
#include "files/SnapshotFile.h"
#include "snapshot/ListId.h"

#include <QMessageBox>
#include <QObject>
#include <functional>

class CommandHost;
class Progress;
class PropertiesDialog;
class Session;
struct FileError;

// The commands that move snapshots between the lists and files: Open, Save As, Export, Import,
// Close and Properties, and the question before a snapshot is given up. They ask the user
// through the host's prompts, run their long work as background jobs and leave the rules to
// the session, which tells the window what changed.
class FileCommands : public QObject {
    Q_OBJECT
public:
    explicit FileCommands(CommandHost &host);
    ~FileCommands() override;

    // The Original or Final list a New, Open or Import fills; None (after saying why) when
    // both are loaded and a result tab is shown.
    ListId pickTargetList();
    // Loads a snapshot file into the Original or Final list; an empty path asks for the file.
    void openSnapshot(const QString &path);
    // Asks for a file and writes list `listNo` to it: kind 1 proposes a snapshot file, kind 2
    // a CSV file; the filter chosen decides. True when a file was written.
    bool saveOrExport(int kind, ListId listNo);
    // Writes a list as a snapshot file or as CSV; errors are reported. True on success.
    bool writeSnapshotFile(ListId listNo, const QString &path,
                           DetailsInFile details = DetailsInFile::Keep);
    bool writeCsvFile(ListId listNo, const QString &path, CsvColumns columns);
    // When list 1 or 2 has not been saved, asks whether to save it; then closes it unless the
    // answer was Cancel. Returns the answer, or NoButton when nothing was asked. A Yes whose
    // save fails or is cancelled returns Cancel, and the list stays.
    QMessageBox::StandardButton querySave(ListId listNo);
    // Fills list n on a worker thread while its views keep off it; `read` fills it. False when
    // memory ran out (the list is then emptied and the user told).
    bool fillList(ListId listNo, Progress &progress, bool cancellable,
                  const std::function<void()> &read);

public Q_SLOTS:
    void open();
    void closeShown();
    void saveAs();
    void exportShown();
    void importListing();
    void showProperties();

private:
    // Writes a file on a worker thread, with `status` shown and Retry repeating a failure;
    // true when it was written.
    bool writeFile(const QString &status, const std::function<FileError(Progress &)> &write);

    CommandHost &m_host;
    Session &m_session;
    PropertiesDialog *m_properties = nullptr;
};
