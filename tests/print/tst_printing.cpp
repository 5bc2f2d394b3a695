// Printing from the real main window, headless: the Print dialog's labels and estimate, the
// list's sort order after printing, a report of several pages read back from its PDF, and
// failures that reach the user.
#include "support/Modal.h"
#include "support/TestWindow.h"

#include "app/StatusPanel.h"
#include "dialogs/PrintDialog.h"
#include "print/ReportLines.h"
#include "snapshot/EntryFormat.h"
#include "sort/ColumnSorts.h"
#include "widgets/ReportPrinter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Identifies the entries of a list in their order.
QStringList entryOrder(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.folder(i) + list.name(i).toString();
    return out;
}

// A list in several folders, most of whose lines fit the page; some do not.
void fillReport(SnapshotList &list, int files) {
    list.description = u"/data/report"_s;
    for (int i = 0; i < files; ++i) {
        const QString folder = i % 9 == 0 ? QString() : u"dir%1\\"_s.arg(i % 7);
        const QString name = i % 50 == 7 ? u"long_"_s + QString(200, u'x') + u"_end"_s
                                         : u"file%1.txt"_s.arg(i, 4, 10, QChar(u'0'));
        list.append(name, folder, i % 4 == 0 ? 33 : 32, static_cast<std::uint64_t>(i) * 7919,
                    40000.0 + i / 24.0);
    }
    for (int d = 0; d < 3; ++d)
        list.append(u"sub%1"_s.arg(d), u"dir%1\\"_s.arg(d), 16, 0, std::nan(""));
}

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TestPrompts prompts;
    QTemporaryDir out;

    std::unique_ptr<MainWindow> makeWindow() {
        auto w = std::make_unique<MainWindow>(store->settings(), prompts);
        // The same printer on every machine: a PDF file.
        w->printCommands().printer().setOutputFormat(QPrinter::PdfFormat);
        w->show();
        return w;
    }
    static ListId listAt(int number) { return Lists::atIndex(std::size_t(number - 1)); }
    static void load(MainWindow &w, int listNo, int n) {
        SnapshotList &list = w.workspace().list(listAt(listNo));
        fillList(list, n, listNo);
        list.description = u"List %1"_s.arg(listNo);
        w.session().opened(listAt(listNo));
    }
    // Runs File > Print and presses OK in the Print dialog.
    static void printWithOk(MainWindow &w, bool attributes = false) {
        PrintDialog *d = w.printCommands().printDialog();
        whenShown(d, [d, attributes] {
            d->printAttr()->setChecked(attributes);
            QVERIFY(d->okButton()->isEnabled());
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        w.printCommands().print();
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        store = std::make_unique<TestStore>();
        prompts = TestPrompts();
    }

    void dialogShowsPrinterFontAndEstimate_data() {
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("entries");
        QTest::addColumn<bool>("portrait");
        QTest::addColumn<QString>("estimate");
        QTest::newRow("Changed, 100, portrait")
            << 5 << 100 << true << u"Approximately 2 page(s) of printout at 64 lines per page"_s;
        QTest::newRow("1 entry, portrait")
            << 1 << 1 << true << u"Approximately 1 page(s) of printout at 64 lines per page"_s;
        QTest::newRow("128 entries, portrait")
            << 2 << 128 << true << u"Approximately 3 page(s) of printout at 64 lines per page"_s;
        QTest::newRow("43 entries, landscape")
            << 6 << 43 << false << u"Approximately 2 page(s) of printout at 43 lines per page"_s;
        QTest::newRow("empty list") << 3 << 0 << true << u"(nothing to print)"_s;
    }
    void dialogShowsPrinterFontAndEstimate() {
        QFETCH(int, shown);
        QFETCH(int, entries);
        QFETCH(bool, portrait);
        QFETCH(QString, estimate);
        auto w = makeWindow();
        load(*w, shown, entries);
        const int other = shown == 4 ? 1 : 4;
        load(*w, other, 3);
        w->selectTab(listAt(shown));
        w->printCommands().printer().setPageOrientation(portrait ? QPageLayout::Portrait
                                                                 : QPageLayout::Landscape);

        PrintDialog *d = w->printCommands().printDialog();
        QCOMPARE(d->whatPrinter()->text(), u"WhatPrinter"_s);
        QStringList seen;
        bool okEnabled = false, otherEnabled = false;
        whenShown(d, [&] {
            seen << d->selection()->currentText() << d->whatPrinter()->text()
                 << d->whatFont()->text() << d->estimation()->text();
            okEnabled = d->okButton()->isEnabled();
            d->selection()->setCurrentIndex(other - 1);
            otherEnabled = d->okButton()->isEnabled();
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        w->printCommands().print();

        QCOMPARE(d->selection()->count(), Lists::Count);
        QCOMPARE(seen.value(0), Workspace::tabCaption(listAt(shown)));
        QCOMPARE(seen.value(1), u"PDF file"_s);
        QCOMPARE(seen.value(2), PrintDialog::printerFont(w->printCommands().printer()));
        QVERIFY(!seen.value(2).isEmpty());
        QCOMPARE(seen.value(3), estimate);
        QCOMPARE(okEnabled, entries > 0);
        QVERIFY(otherEnabled);
        // Cancel prints nothing.
        QVERIFY(prompts.fileAsked.isEmpty());
    }

    void sortRestoredAfterPrinting_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("order");
        QTest::newRow("size, descending") << int(Col::SizeKey) << 1;
        QTest::newRow("In Folder, descending") << int(Col::InFolder) << 1;
        QTest::newRow("name, ascending") << int(Col::Name) << 0;
        QTest::newRow("unsorted") << -1 << 0;
    }
    void sortRestoredAfterPrinting() {
        QFETCH(int, key);
        QFETCH(int, order);
        auto w = makeWindow();
        load(*w, 1, 40);
        if (key >= 0)
            w->sortList(ListId::Original, key, order);
        const QStringList before = entryOrder(w->workspace().list(ListId::Original));
        prompts.files << out.filePath(u"sorted.pdf"_s);

        printWithOk(*w);

        QVERIFY(QFileInfo(out.filePath(u"sorted.pdf"_s)).size() > 0);
        const SnapshotList &list = w->workspace().list(ListId::Original);
        QCOMPARE(list.sort.key, key);
        QCOMPARE(list.sort.order, order);
        QCOMPARE(entryOrder(list), before);
        QCOMPARE(w->statusPanel(1)->text(), u"List 1"_s);
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(prompts.fileAsked.size(), 1);
        QCOMPARE(prompts.fileAsked[0].filter, u"PDF files (*.pdf)"_s);
    }

    void cancelledPdfFilePrintsNothing() {
        auto w = makeWindow();
        load(*w, 1, 10);
        w->sortList(ListId::Original, Col::Name, 1);
        printWithOk(*w);
        QCOMPARE(prompts.fileAsked.size(), 1);
        QCOMPARE(w->workspace().list(ListId::Original).sort.key, int(Col::Name));
        QCOMPARE(w->statusPanel(1)->text(), u"List 1"_s);
        QVERIFY(prompts.asked.isEmpty());
    }

    // Every line of the report on paper exactly once, in order, across the page breaks; lines
    // wider than the page cut at its edge.
    void reportReadBackFromPdf_data() {
        QTest::addColumn<bool>("attributes");
        QTest::addColumn<bool>("portrait");
        QTest::newRow("portrait") << false << true;
        QTest::newRow("landscape, attributes") << true << false;
    }
    void reportReadBackFromPdf() {
        QFETCH(bool, attributes);
        QFETCH(bool, portrait);
        const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
        if (pdftotext.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        auto w = makeWindow();
        fillReport(w->workspace().list(ListId::Original), 300);
        w->session().opened(ListId::Original);
        w->printCommands().printer().setPageOrientation(portrait ? QPageLayout::Portrait
                                                                 : QPageLayout::Landscape);
        const QString pdf = out.filePath(u"report.pdf"_s);
        prompts.files << pdf;
        printWithOk(*w, attributes);
        QVERIFY(prompts.asked.isEmpty());

        SnapshotList sorted = w->workspace().list(ListId::Original);
        ::sortList(sorted, Col::InFolder, 0);
        const QStringList expected = reportLines(sorted, attributes, w->formatter());

        QProcess text;
        text.start(pdftotext, {u"-layout"_s, pdf, u"-"_s});
        QVERIFY(text.waitForFinished(30000));
        QCOMPARE(text.exitCode(), 0);
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(printed.count(u'\f') > 2, "the report fills several pages");
        // pdftotext guesses the spaces from the glyphs' places, not always to the column.
        auto words = [](const QStringList &in) {
            QStringList out;
            for (const QString &l : in) {
                const QString line = l.simplified();
                if (!line.isEmpty())
                    out << line;
            }
            return out;
        };
        const QStringList lines = words(printed.split(u'\n'));
        const QStringList wanted = words(expected);
        QCOMPARE(lines.size(), wanted.size());
        int cut = 0;
        for (qsizetype i = 0; i < wanted.size(); ++i) {
            if (lines[i] == wanted[i])
                continue;
            // A line too wide for the page keeps its start, up to the page's edge.
            QVERIFY2(wanted[i].startsWith(lines[i]) && lines[i].size() > 60,
                     qPrintable(u"line %1: %2"_s.arg(i).arg(lines[i])));
            ++cut;
        }
        QVERIFY(cut > 0);
        // The columns line up as long as every character is as wide as the next.
        const QFontMetricsF metrics(QFont(reportFont(), &w->printCommands().printer()));
        for (QChar c : u"0,:/ (APMWix"_s)
            QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance(u' '));
    }

    void printFailureReported_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder missing") << u"no such folder/report.pdf"_s << u"Path not found"_s;
        QTest::newRow("folder read-only") << u"read-only/report.pdf"_s << u"Permission denied"_s;
    }
    void printFailureReported() {
        QFETCH(QString, where);
        QFETCH(QString, message);
        if (where.startsWith(u"read-only")) {
            if (::geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QVERIFY(QDir(out.path()).mkdir(u"read-only"_s));
            QFile::setPermissions(out.filePath(u"read-only"_s), QFile::ReadOwner | QFile::ExeOwner);
        }
        auto w = makeWindow();
        load(*w, 2, 20);
        w->sortList(ListId::Final, Col::SizeKey, 1);
        w->selectTab(ListId::Final);
        const QStringList before = entryOrder(w->workspace().list(ListId::Final));
        prompts.files << out.filePath(where);

        printWithOk(*w);

        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, u"Error"_s);
        QCOMPARE(prompts.asked[0].text, message);
        QCOMPARE(entryOrder(w->workspace().list(ListId::Final)), before);
        QCOMPARE(w->statusPanel(1)->text(), u"List 2"_s);
    }

    // File > Page Setup... and the dialog's Printer Setup... both leave the printer alone when
    // cancelled.
    void printerSetupCancelledChangesNothing_data() {
        QTest::addColumn<bool>("fromPrintDialog");
        QTest::newRow("Page Setup") << false;
        QTest::newRow("Printer Setup") << true;
    }
    void printerSetupCancelledChangesNothing() {
        QFETCH(bool, fromPrintDialog);
        auto w = makeWindow();
        load(*w, 1, 5);
        w->printCommands().printer().setPageOrientation(QPageLayout::Landscape);
        const QPageLayout before = w->printCommands().printer().pageLayout();
        QString setupClass;
        auto cancelSetup = [&] {
            QWidget *setup = QApplication::activeModalWidget();
            setupClass = setup ? QString::fromLatin1(setup->metaObject()->className()) : QString();
            if (setup)
                setup->close();
        };
        if (fromPrintDialog) {
            PrintDialog *d = w->printCommands().printDialog();
            QString estimate;
            whenShown(d, [&] {
                estimate = d->estimation()->text();
                QTimer::singleShot(0, w.get(), cancelSetup);
                QTest::mouseClick(d->chgPrinter(), Qt::LeftButton);
                QCOMPARE(d->estimation()->text(), estimate);
                QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
            });
            w->printCommands().print();
            QVERIFY(estimate.endsWith(u"43 lines per page"_s));
            QVERIFY(prompts.fileAsked.isEmpty());
        } else {
            QTimer::singleShot(0, w.get(), cancelSetup);
            w->printCommands().pageSetup();
        }
        QCOMPARE(setupClass, u"QPrintDialog"_s);
        QVERIFY(w->printCommands().printer().pageLayout().isEquivalentTo(before));
        QCOMPARE(w->printCommands().printer().pageLayout().orientation(), QPageLayout::Landscape);
    }

    // File > Page Setup... is the printer set-up: what is chosen there is the printer the Print
    // dialog then shows and prints on.
    void pageSetupChoosesThePrinter() {
        auto w = makeWindow();
        load(*w, 1, 5);
        QPrinter &printer = w->printCommands().printer();
        printer.setPageOrientation(QPageLayout::Portrait);
        QPrinter *shownPrinter = nullptr;
        QTimer::singleShot(0, w.get(), [&] {
            auto *setup = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            QVERIFY(setup);
            shownPrinter = setup->printer();
            // The choice as the user makes it: orientation, then OK.
            setup->printer()->setPageOrientation(QPageLayout::Landscape);
            setup->accept();
        });
        w->printCommands().pageSetup();
        QCOMPARE(shownPrinter, &printer);
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
        PrintDialog *d = w->printCommands().printDialog();
        QString estimate, shownName;
        whenShown(d, [&] {
            estimate = d->estimation()->text();
            shownName = d->whatPrinter()->text();
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        w->printCommands().print();
        QVERIFY2(estimate.endsWith(u"43 lines per page"_s), qPrintable(estimate));
        QCOMPARE(shownName, PrintDialog::printerName(printer));
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
