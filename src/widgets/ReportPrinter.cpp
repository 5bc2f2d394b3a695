#include "ReportPrinter.h"

#include "print/Report.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <cerrno>
#include <unistd.h>

namespace {

// The program's own number for a printer that fails, shown by its description.
constexpr int PrinterError = 482;

// The longest start of the line that fits the width.
QString fitted(const QFontMetrics &metrics, const QString &line, int width) {
    if (metrics.horizontalAdvance(line) <= width)
        return line;
    qsizetype low = 0, high = line.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(line.left(mid)) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    // No half of a character beyond the BMP.
    if (low > 0 && line[low - 1].isHighSurrogate())
        --low;
    return line.left(low);
}

} // namespace

QFont reportFont(const QString &family) {
    QFont font(family, 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

// What went wrong, as far as it can be told: for a PDF file, why its file cannot be written.
FileError ReportPrinter::failure() const {
    if (m_printer.outputFormat() == QPrinter::PdfFormat) {
        const QString path = m_printer.outputFileName();
        if (path.isEmpty())
            return FileError::fromCode(FileError::BadFileName);
        const QFileInfo info(path);
        const QByteArray target = QFile::encodeName(info.exists() ? path : info.absolutePath());
        if (::access(target.constData(), W_OK) != 0)
            return FileError::fromErrno(errno, path);
        return FileError::fromCode(FileError::DeviceIO);
    }
    return FileError::fromCode(PrinterError, QStringLiteral("Printer error"));
}

FileError ReportPrinter::print(const SnapshotList &list, bool includeAttributes,
                               const EntryFormatter &format, Progress *progress) {
    m_pages = 0;
    QPainter painter;
    if (!painter.begin(&m_printer))
        return failure();
    m_pages = 1;
    painter.setFont(reportFont());
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.lineSpacing();
    const int width = m_printer.width();
    const int height = m_printer.height();

    FileError error;
    int y = 0;
    writeReport(
        list, includeAttributes, format,
        [&](const QString &line) {
            if (error)
                return;
            // A page holds at least one line, however large the font.
            if (y > 0 && y + lineHeight > height) {
                if (!m_printer.newPage() || m_printer.printerState() == QPrinter::Error) {
                    error = failure();
                    return;
                }
                ++m_pages;
                y = 0;
            }
            if (!line.isEmpty())
                painter.drawText(0, y + metrics.ascent(), fitted(metrics, line, width));
            y += lineHeight;
        },
        progress);
    // Ending the document sends it off; a failure there is a failure of the print too.
    const bool ended = painter.end();
    if (!error && (!ended || m_printer.printerState() == QPrinter::Error))
        error = failure();
    return error;
}
