// File > Export Report as HTML in the real main window: when it may run, what it asks, what it
// writes, and a file that cannot be written.
#include "support/Modal.h"
#include "support/TestWindow.h"

#include "dialogs/CompareDialog.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHtmlExport : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TestPrompts prompts;

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        store = std::make_unique<TestStore>();
        prompts = TestPrompts();
    }

    void exportAfterAComparison() {
        QTemporaryDir dir;
        MainWindow w(store->settings(), prompts);
        w.show();
        QAction *exportHtml = w.findChild<QAction *>(u"FileExportHtml"_s);
        QVERIFY(exportHtml);
        fill(w.workspace().list(ListId::Original),
             {{"", "kept.txt", 32, 5}, {"", "<img src=x>.txt", 32, 7}});
        fill(w.workspace().list(ListId::Final), {{"", "kept.txt", 32, 9}, {"", "new.txt", 32, 1}});
        w.workspace().list(ListId::Original).description = u"before & after"_s;
        for (const ListId n : Lists::Snapshots)
            w.session().opened(n);
        // Nothing to report before a comparison.
        QVERIFY(!exportHtml->isEnabled());
        CompareDialog *d = w.compareCommands().compareDialog();
        whenShown(d, [&] { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
        w.compareCommands().compare();
        QVERIFY(exportHtml->isEnabled());

        // Cancelled: nothing is written.
        exportHtml->trigger();
        QCOMPARE(prompts.fileAsked.size(), 1);
        QCOMPARE(prompts.fileAsked[0].title, u"Export Report as HTML"_s);
        QCOMPARE(prompts.fileAsked[0].filter, u"HTML report (*.html)"_s);
        QVERIFY(QDir(dir.path()).isEmpty());

        const QString path = dir.filePath(u"report.html"_s);
        prompts.files = {path};
        exportHtml->trigger();
        const QByteArray html = readFile(path);
        QVERIFY(html.startsWith("<!DOCTYPE html>"));
        QVERIFY(html.contains("<title>before &amp; after compared with Final Snapshot</title>"));
        QVERIFY(html.contains("http-equiv=\"Content-Security-Policy\""));
        QVERIFY(prompts.asked.isEmpty());
        // The next file dialog starts where this file went.
        QCOMPARE(w.session().rememberedFolders[0], dir.path());

        // A folder that is not there: the error is told, and nothing is left behind.
        prompts.files = {dir.filePath(u"missing/report.html"_s)};
        exportHtml->trigger();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, u"Error"_s);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"report.html"_s});

        // Closing a snapshot takes the results, and the report with them.
        prompts.answers = {QMessageBox::No};
        w.selectTab(ListId::Original);
        w.fileCommands().closeShown();
        QVERIFY(!exportHtml->isEnabled());
    }
};

QTEST_MAIN(TestHtmlExport)
#include "tst_htmlexport.moc"
