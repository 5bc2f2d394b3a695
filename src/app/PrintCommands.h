#pragma once

#include "snapshot/ListId.h"

#include <QObject>
#include <memory>

class CommandHost;
class PrintDialog;
class QPrinter;
class Session;
struct FileError;

// Print and Page Setup: the report of a list, drawn on a worker thread onto the program's one
// printer (a PDF file when no printer is installed). Export Report as HTML: the comparison as a
// page to open in a browser.
class PrintCommands : public QObject {
    Q_OBJECT
public:
    explicit PrintCommands(CommandHost &host);
    ~PrintCommands() override;

    // Prints list n's report on the printer; the document is ended before a failure returns.
    FileError printReport(ListId listNo);
    // The one printer of the program, as the printer set-up leaves it.
    QPrinter &printer();
    // The dialog, made on first use and kept.
    PrintDialog *printDialog();

public Q_SLOTS:
    void print();
    void pageSetup();
    void exportHtmlReport();

private:
    CommandHost &m_host;
    Session &m_session;
    PrintDialog *m_printDialog = nullptr;
    std::unique_ptr<QPrinter> m_printer;
};
