#include "PrintDialog.h"

#include "print/Report.h"
#include "snapshot/Workspace.h"
#include "widgets/FixedDialog.h"
#include "widgets/ReportPrinter.h"
#include "widgets/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace {

template <typename W> W *placed(W *widget, int left, int top, int width, int height) {
    widget->setGeometry(Twips::toPixels(left, widget), Twips::toPixels(top, widget),
                        Twips::toPixels(width, widget), Twips::toPixels(height, widget));
    return widget;
}

} // namespace

PrintDialog::PrintDialog(QPrinter &printer, std::function<int(ListId)> entries, QWidget *parent)
    : QDialog(parent, FixedDialog::Flags), m_printer(printer), m_entries(std::move(entries)) {
    setObjectName(QStringLiteral("Printout"));
    setWindowTitle(QStringLiteral("Print Snapshot"));
    setFixedSize(Twips::toPixels(5745, 2670, this));

    // Widgets are made in the order the Tab key visits them.
    m_selection = placed(new QComboBox(this), 960, 240, 2175, 315);
    m_selection->setObjectName(QStringLiteral("Selection"));
    m_selection->setAccessibleName(QStringLiteral("Report"));
    for (const ListId n : Lists::All)
        m_selection->addItem(Workspace::tabCaption(n));
    auto *report = placed(new QLabel(QStringLiteral("&Report:"), this), 240, 240, 615, 255);
    report->setBuddy(m_selection);

    m_printAttr =
        placed(new QCheckBox(QStringLiteral("&Include file attributes in printout"), this), 240,
               720, 2655, 255);
    m_printAttr->setObjectName(QStringLiteral("PrintAttr"));

    auto *printerCaption =
        placed(new QLabel(QStringLiteral("Printer:"), this), 240, 1200, 615, 255);
    m_whatPrinter = placed(new QLabel(QStringLiteral("WhatPrinter"), this), 960, 1200, 3135, 255);
    m_whatPrinter->setObjectName(QStringLiteral("WhatPrinter"));
    m_whatPrinter->setAccessibleName(QStringLiteral("Printer"));
    auto *fontCaption = placed(new QLabel(QStringLiteral("Font:"), this), 240, 1680, 495, 255);
    m_whatFont = placed(new QLabel(QStringLiteral("WhatFont"), this), 960, 1680, 3135, 255);
    m_whatFont->setObjectName(QStringLiteral("WhatFont"));
    m_whatFont->setAccessibleName(QStringLiteral("Font"));
    m_estimation =
        placed(new QLabel(QStringLiteral("Estimated number of pages"), this), 240, 2160, 5295, 255);
    m_estimation->setObjectName(QStringLiteral("Estimation"));

    m_ok = placed(new QPushButton(QStringLiteral("OK"), this), 4200, 120, 1335, 375);
    m_ok->setObjectName(QStringLiteral("OK"));
    m_ok->setDefault(true);
    m_chgPrinter =
        placed(new QPushButton(QStringLiteral("&Printer Setup..."), this), 4200, 600, 1335, 375);
    m_chgPrinter->setObjectName(QStringLiteral("ChgPrinter"));
    m_chgPrinter->setAutoDefault(false);
    m_cancel = placed(new QPushButton(QStringLiteral("Cancel"), this), 4200, 1080, 1335, 375);
    m_cancel->setObjectName(QStringLiteral("Cancel"));
    m_cancel->setAutoDefault(false);

    // The places above suit the design's small font; a wider font moves the fields and the
    // buttons right, and the dialog grows to hold them.
    const int gap = Twips::toPixels(120, this);
    int captions = 0;
    for (QLabel *caption : {report, printerCaption, fontCaption}) {
        caption->resize(std::max(caption->width(), caption->sizeHint().width()), caption->height());
        captions = std::max(captions, caption->geometry().right());
    }
    const int fieldLeft = std::max(m_selection->x(), captions + gap);
    for (QWidget *field : std::initializer_list<QWidget *>{m_selection, m_whatPrinter, m_whatFont})
        field->move(fieldLeft, field->y());
    m_printAttr->resize(std::max(m_printAttr->width(), m_printAttr->sizeHint().width()),
                        m_printAttr->height());
    const int fieldsRight =
        std::max(m_selection->geometry().right(), m_printAttr->geometry().right());
    const int buttonLeft = std::max(m_ok->x(), fieldsRight + gap);
    int buttonWidth = m_ok->width();
    for (QPushButton *button : {m_ok, m_chgPrinter, m_cancel})
        buttonWidth = std::max(buttonWidth, button->sizeHint().width());
    for (QPushButton *button : {m_ok, m_chgPrinter, m_cancel})
        button->setGeometry(buttonLeft, button->y(), buttonWidth, button->height());
    const int width =
        std::max(this->width(), buttonLeft + buttonWidth + Twips::toPixels(210, this));
    setFixedSize(width, height());
    for (QLabel *label : {m_whatPrinter, m_whatFont})
        label->resize(buttonLeft - gap - label->x(), label->height());
    m_estimation->resize(width - 2 * m_estimation->x(), m_estimation->height());

    connect(m_selection, &QComboBox::currentIndexChanged, this, [this] { selectionChanged(); });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_chgPrinter, &QPushButton::clicked, this, [this] { changePrinterClicked(); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PrintDialog::activate(ListId currentList) {
    // The client area sits at a fixed place on the screen.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    setGeometry(
        QRect(origin + QPoint(Twips::toPixels(2760, this), Twips::toPixels(3750, this)), size()));
    const int index = int(Lists::indexOf(currentList));
    if (m_selection->currentIndex() == index)
        selectionChanged();
    else
        m_selection->setCurrentIndex(index);
    m_ok->setFocus();
}

ListId PrintDialog::chosenList() const {
    return Lists::atIndex(std::size_t(m_selection->currentIndex()));
}

bool PrintDialog::includeAttributes() const {
    return m_printAttr->isChecked();
}

void PrintDialog::selectionChanged() {
    m_ok->setEnabled(m_entries(chosenList()) > 0);
    showPrinter();
}

QString PrintDialog::printerName(const QPrinter &printer) {
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return QStringLiteral("PDF file");
    const QString name = printer.printerName();
    return name.isEmpty() ? QStringLiteral("(no printer)") : name;
}

QString PrintDialog::printerFont(QPrinter &printer) {
    QString used;
    for (const char *family : {"Courier New", "Courier", "Line Printer"}) {
        used = QFontInfo(QFont(reportFont(QLatin1String(family)), &printer)).family();
        if (used == QLatin1String(family))
            break;
    }
    return used;
}

void PrintDialog::showPrinter() {
    m_whatPrinter->setText(printerName(m_printer));
    m_whatFont->setText(printerFont(m_printer));
    const bool portrait = m_printer.pageLayout().orientation() == QPageLayout::Portrait;
    m_estimation->setText(pageEstimateText(m_entries(chosenList()), portrait));
}

void PrintDialog::changePrinterClicked() {
    QPrintDialog setup(&m_printer, this);
    if (setup.exec() == QDialog::Accepted)
        showPrinter();
}
