#include "PrintCommands.h"

#include "BusyPointer.h"
#include "CommandHost.h"
#include "Prompts.h"
#include "compare/ChangeSummary.h"
#include "dialogs/PrintDialog.h"
#include "files/FileError.h"
#include "print/HtmlReport.h"
#include "session/Session.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Progress.h"
#include "widgets/ReportPrinter.h"

#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

PrintCommands::PrintCommands(CommandHost &host)
    : QObject(&host), m_host(host), m_session(host.session()) {}

PrintCommands::~PrintCommands() = default;

QPrinter &PrintCommands::printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

PrintDialog *PrintCommands::printDialog() {
    if (!m_printDialog)
        m_printDialog = new PrintDialog(
            printer(), [this](ListId listNo) { return m_session.list(listNo).size(); },
            m_host.window());
    return m_printDialog;
}

void PrintCommands::print() {
    PrintDialog *dialog = printDialog();
    dialog->activate(m_host.shownList());
    if (dialog->exec() != QDialog::Accepted)
        return;
    const ListId listNo = dialog->chosenList();
    if (m_session.list(listNo).isEmpty())
        return;
    // Without a printer the report goes to a PDF file; no file, no printout.
    if (printer().outputFormat() == QPrinter::PdfFormat) {
        const QString last = printer().outputFileName();
        const Prompts::SaveChoice file = m_host.prompts().saveFile(
            m_host.window(), QStringLiteral("Print to PDF File"),
            last.isEmpty() ? m_session.rememberedFolders[0] : QFileInfo(last).absolutePath(),
            Workspace::tabCaption(listNo) + QStringLiteral(".pdf"),
            {QStringLiteral("PDF files (*.pdf)")}, 1);
        if (file.path.isEmpty())
            return;
        printer().setOutputFileName(file.path);
    }
    m_host.say(QStringLiteral("Printing..."));
    FileError error;
    {
        BusyPointer busy;
        m_session.inFolderOrder(listNo, [&] { error = printReport(listNo); });
    }
    if (error)
        m_host.reportFileError(error);
    m_host.say(QString());
}

FileError PrintCommands::printReport(ListId listNo) {
    const SnapshotList &list = m_session.list(listNo);
    Progress progress;
    // A long report would freeze the window for seconds: it is drawn on a worker thread (Qt
    // paints on printers from any thread), with its own formatter. Esc ends it early; what was
    // drawn by then is printed.
    const EntryFormatter format(m_host.formatter().locale());
    const bool attributes = printDialog()->includeAttributes();
    FileError error;
    if (!m_host.runJob(progress, true, [&] {
            error = ReportPrinter(printer()).print(list, attributes, format, &progress);
        }))
        return FileError::fromCode(FileError::OutOfMemory);
    return error;
}

void PrintCommands::exportHtmlReport() {
    const Prompts::SaveChoice file = m_host.prompts().saveFile(
        m_host.window(), QStringLiteral("Export Report as HTML"), m_session.rememberedFolders[0],
        QStringLiteral("Comparison"), {QStringLiteral("HTML report (*.html)")}, 1);
    if (file.path.isEmpty())
        return;
    m_session.rememberFileFolder(file.path);
    m_host.say(QStringLiteral("Exporting..."));
    {
        BusyPointer busy;
        // The views keep painting with the window's formatter; the worker has its own.
        const EntryFormatter format(m_host.formatter().locale());
        for (;;) {
            Progress progress;
            FileError error;
            if (!m_host.runJob(progress, false, [&] {
                    error = HtmlReport(m_session.workspace(),
                                       ChangeSummary::build(m_session.workspace()), format)
                                .write(file.path, &progress);
                }))
                error = FileError::fromCode(FileError::OutOfMemory);
            if (error.ok() || m_host.reportFileError(error) != QMessageBox::Retry)
                break;
        }
    }
    m_host.say(QString());
}

void PrintCommands::pageSetup() {
    // The printer set-up of the Print dialog: the printer itself is chosen here too, besides the
    // paper and its orientation.
    QPrintDialog setup(&printer(), m_host.window());
    setup.exec();
}
