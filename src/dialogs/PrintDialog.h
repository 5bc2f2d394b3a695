#pragma once

#include "snapshot/ListId.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;

// The Print dialog (`Printout`): which list to print, whether with attributes, and what the
// printer will make of it. Printing itself is the caller's, once exec() has accepted.
class PrintDialog : public QDialog {
    Q_OBJECT
public:
    // `entries` tells how many entries list n (1 to 6) has.
    PrintDialog(QPrinter &printer, std::function<int(ListId)> entries, QWidget *parent = nullptr);

    // Prepares a showing: the list shown in the main window is chosen, the labels refreshed.
    void activate(ListId currentList);
    // Reads the printer and settles the font, then fills the printer, font and estimate labels.
    void showPrinter();

    // The chosen list, 1 to 6.
    ListId chosenList() const;
    bool includeAttributes() const;

    // The printer's name as the dialog shows it; printing to a PDF file has no device name.
    static QString printerName(const QPrinter &printer);
    // The family the printer uses for the report's font, after asking for the ones it may have.
    static QString printerFont(QPrinter &printer);

    QComboBox *selection() const { return m_selection; }
    QCheckBox *printAttr() const { return m_printAttr; }
    QLabel *whatPrinter() const { return m_whatPrinter; }
    QLabel *whatFont() const { return m_whatFont; }
    QLabel *estimation() const { return m_estimation; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *chgPrinter() const { return m_chgPrinter; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void selectionChanged();
    void changePrinterClicked();

    QPrinter &m_printer;
    std::function<int(ListId)> m_entries;
    QComboBox *m_selection;
    QCheckBox *m_printAttr;
    QLabel *m_whatPrinter;
    QLabel *m_whatFont;
    QLabel *m_estimation;
    QPushButton *m_ok;
    QPushButton *m_chgPrinter;
    QPushButton *m_cancel;
};
