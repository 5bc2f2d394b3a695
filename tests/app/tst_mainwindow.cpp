// Drives the real main window headless: command enabling, status bar, progress throttle,
// settings, header clicks, linked widths, view modes, minimum size, command-line open.
#include "support/TestWindow.h"

#include "app/ListModel.h"
#include "app/ListPane.h"
#include "app/StatusPanel.h"
#include "dialogs/HelpDialog.h"
#include "files/FileError.h"
#include "files/SnapshotFile.h"
#include "snapshot/EntryFormat.h"
#include "sort/ColumnSorts.h"
#include "widgets/Twips.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TestPrompts prompts;

    std::unique_ptr<MainWindow> makeWindow() {
        auto w = std::make_unique<MainWindow>(store->settings(), prompts);
        w->restorePlacement();
        return w;
    }
    static QAction *action(MainWindow &w, const char *name) {
        return w.findChild<QAction *>(QLatin1String(name));
    }
    static QAction *button(MainWindow &w, const QString &key) {
        for (QAction *a : w.findChild<QToolBar *>(QStringLiteral("Toolbar"))->actions()) {
            if (a->iconText() == key)
                return a;
        }
        return nullptr;
    }
    static void load(MainWindow &w, int listNo, int n) {
        const ListId id = Lists::atIndex(std::size_t(listNo - 1));
        fillList(w.workspace().list(id), n, listNo);
        w.session().opened(id);
    }
    static void clickHeader(MainWindow &w, int listNo, int column) {
        QHeaderView *header =
            w.pane(Lists::atIndex(std::size_t(listNo - 1)))->details()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        store = std::make_unique<TestStore>();
        prompts = TestPrompts();
    }

    void menusAndToolbarAtStart_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checked");
        auto row = [](const char *name, const char *caption, QKeySequence key, bool enabled,
                      bool checked = false) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << key
                                << enabled << checked;
        };
        row("FileNew", "&New...", QKeySequence(QStringLiteral("Ctrl+N")), true);
        row("FileOpen", "&Open", QKeySequence(QStringLiteral("Ctrl+O")), true);
        row("FileClose", "&Close", QKeySequence(QStringLiteral("Ctrl+F4")), false);
        row("FileSaveAs", "&Save As...", QKeySequence(QStringLiteral("Ctrl+S")), false);
        row("FileExport", "&Export to CSV File...", QKeySequence(QStringLiteral("Ctrl+E")), false);
        row("FileExportHtml", "Export &Report as HTML...", QKeySequence(), false);
        row("FileImport", "&Import DOS Directory...", QKeySequence(QStringLiteral("Ctrl+I")), true);
        row("FileCompare", "&Compare Snapshots...", QKeySequence(QStringLiteral("Ctrl+C")), false);
        row("FileCompareNow", "Compare with &Folder Now",
            QKeySequence(QStringLiteral("Ctrl+Shift+C")), false);
        row("FileProps", "S&napshot Properties", QKeySequence(QStringLiteral("Ctrl+R")), false);
        row("FilePrint", "&Print...", QKeySequence(QStringLiteral("Ctrl+P")), false);
        row("FilePageSetup", "Page Set&up...", QKeySequence(QStringLiteral("Ctrl+U")), true);
        row("FileExit", "E&xit Vistrel", QKeySequence(), true);
        row("ViewDetails", "&Detailed View", QKeySequence(), true, true);
        row("ViewSummary", "&Summary View", QKeySequence(), true, false);
        row("ViewGrid", "Show &Grid Lines", QKeySequence(QStringLiteral("Ctrl+G")), true, true);
        row("ViewWidths", "Column &Widths are Linked", QKeySequence(QStringLiteral("Ctrl+W")), true,
            true);
        row("ViewChanges", "&Change Summary...", QKeySequence(), false);
        row("HelpScreen", "Vistrel &Help", QKeySequence(QStringLiteral("F1")), true);
        row("HelpAbout", "&About Vistrel...", QKeySequence(), true);
    }
    void menusAndToolbarAtStart() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        QFETCH(bool, enabled);
        QFETCH(bool, checked);
        auto w = makeWindow();
        QAction *a = w->findChild<QAction *>(name);
        QVERIFY(a);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut(), shortcut);
        QCOMPARE(a->isEnabled(), enabled);
        QCOMPARE(a->isChecked(), checked);
    }

    void windowLayoutAtStart() {
        auto w = makeWindow();
        QCOMPARE(w->objectName(), QStringLiteral("Startup"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Vistrel"));
        QVERIFY(!w->windowIcon().isNull());
        const QStringList menus = {QStringLiteral("&File"), QStringLiteral("&View"),
                                   QStringLiteral("&Help")};
        for (const char *name : {"FileMenu", "mnuView", "HelpMenu"})
            QVERIFY(w->findChild<QMenu *>(QLatin1String(name)));
        QStringList tabs;
        for (int i = 0; i < w->tabStrip()->count(); ++i)
            tabs << w->tabStrip()->tabText(i);
        QCOMPARE(tabs,
                 QStringList({QStringLiteral("Original Snapshot"), QStringLiteral("Final Snapshot"),
                              QStringLiteral("Only in Original"), QStringLiteral("Only in Final"),
                              QStringLiteral("Changed"), QStringLiteral("Unchanged"),
                              QStringLiteral("Moved")}));
        QStringList keys;
        for (QAction *a : w->findChild<QToolBar *>(QStringLiteral("Toolbar"))->actions()) {
            if (a->isSeparator())
                continue;
            keys << a->iconText();
            QCOMPARE(a->icon().actualSize(QSize(16, 16)), QSize(16, 16));
        }
        QCOMPARE(keys, QStringList({QStringLiteral("New"), QStringLiteral("Open"),
                                    QStringLiteral("Import"), QStringLiteral("Save As"),
                                    QStringLiteral("Close"), QStringLiteral("Compare"),
                                    QStringLiteral("Export"), QStringLiteral("Print"),
                                    QStringLiteral("Compare Now")}));
        QCOMPARE(w->shownList(), ListId::Original);
        QCOMPARE(w->statusPanel(1)->text(), QString());
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("0"));
        QCOMPARE(w->statusPanel(2)->width(), Twips::toPixels(1440, w.get()));
    }

    void commandEnabling_data() {
        QTest::addColumn<int>("original");
        QTest::addColumn<int>("final");
        QTest::addColumn<int>("result"); // entries in every result list
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("entryCommands"); // Save As, Export, Print, Properties
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("compare");
        // The rules are the session's; here, that menus and buttons follow them.
        QTest::newRow("nothing loaded") << 0 << 0 << 0 << 1 << false << false << false;
        QTest::newRow("both, final tab") << 5 << 3 << 0 << 2 << true << true << true;
        QTest::newRow("result list") << 5 << 3 << 2 << 5 << true << false << true;
    }
    void commandEnabling() {
        QFETCH(int, original);
        QFETCH(int, final);
        QFETCH(int, result);
        QFETCH(int, tab);
        QFETCH(bool, entryCommands);
        QFETCH(bool, close);
        QFETCH(bool, compare);
        auto w = makeWindow();
        load(*w, 1, original);
        load(*w, 2, final);
        for (int n = 3; n <= 6; ++n)
            load(*w, n, result);
        w->selectTab(Lists::atIndex(std::size_t(tab - 1)));
        QCOMPARE(int(w->shownList()), tab);
        for (const char *name : {"FileSaveAs", "FileExport", "FilePrint", "FileProps"})
            QCOMPARE(action(*w, name)->isEnabled(), entryCommands);
        for (const char *key : {"Save As", "Export", "Print"})
            QCOMPARE(button(*w, QLatin1String(key))->isEnabled(), entryCommands);
        QCOMPARE(action(*w, "FileClose")->isEnabled(), close);
        QCOMPARE(button(*w, QStringLiteral("Close"))->isEnabled(), close);
        QCOMPARE(action(*w, "FileCompare")->isEnabled(), compare);
        QCOMPARE(button(*w, QStringLiteral("Compare"))->isEnabled(), compare);
        for (const char *name :
             {"FileNew", "FileOpen", "FileImport", "FilePageSetup", "FileExit", "ViewDetails",
              "ViewSummary", "ViewGrid", "ViewWidths", "HelpScreen", "HelpAbout"})
            QVERIFY2(action(*w, name)->isEnabled(), name);
        for (const char *key : {"New", "Open", "Import"})
            QVERIFY(button(*w, QLatin1String(key))->isEnabled());
    }

    void disabledCommandsIgnoreShortcutsAndButtons() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QSignalSpy saveAs(action(*w, "FileSaveAs"), &QAction::triggered);
        QSignalSpy fileNew(action(*w, "FileNew"), &QAction::triggered);
        DialogCloser closer;
        QTest::keyClick(w.get(), Qt::Key_S, Qt::ControlModifier);
        button(*w, QStringLiteral("Save As"))->trigger();
        QCOMPARE(saveAs.count(), 0);
        QTest::keyClick(w.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(fileNew.count(), 1);
        button(*w, QStringLiteral("New"))->trigger();
        QCOMPARE(fileNew.count(), 2);
    }

    void shortcutsWorkFromTheFocusedList() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        load(*w, 1, 3);
        load(*w, 2, 3);
        QTableView *list = w->pane(ListId::Original)->details();
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        QSignalSpy compare(action(*w, "FileCompare"), &QAction::triggered);
        QSignalSpy grid(action(*w, "ViewGrid"), &QAction::triggered);
        // Compare opens its dialog modally; cancel it.
        QTimer::singleShot(0, w.get(), [] {
            if (QWidget *dialog = QApplication::activeModalWidget())
                dialog->close();
        });
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(compare.count(), 1);
        // The focus comes back to the list once the window is active again.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(grid.count(), 1);
        QVERIFY(!list->showGrid());
    }

    // After filtering, the window's shortcuts work from the box as from the list, unless text
    // is selected there (Ctrl+C then copies it); Esc that empties the box goes back to the list.
    void shortcutsWorkFromTheFilterBox() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        load(*w, 1, 3);
        load(*w, 2, 3);
        QSignalSpy compare(action(*w, "FileCompare"), &QAction::triggered);
        QTest::keyClick(w->pane(ListId::Original)->details(), Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(w->filterBox(), QStringLiteral("sub"));
        QTest::keyClick(w->filterBox(), Qt::Key_A, Qt::ControlModifier); // selects the text
        QTest::keyClick(w->filterBox(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(compare.count(), 0);
        QTest::keyClick(w->filterBox(), Qt::Key_End);
        DialogCloser closer;
        QTest::keyClick(w->filterBox(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(compare.count(), 1);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_COMPARE(QApplication::focusWidget(), w->filterBox());
        QTest::keyClick(w->filterBox(), Qt::Key_Escape);
        QCOMPARE(w->filterBox()->text(), QString());
        QCOMPARE(QApplication::focusWidget(), w->pane(ListId::Original)->details());
        QTest::keyClick(w->pane(ListId::Original)->details(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(compare.count(), 2);
    }

    void toolbarKeysRunTheirCommands() {
        auto w = makeWindow();
        load(*w, 1, 3);
        load(*w, 2, 3);
        DialogCloser closer;
        // Close comes last: it empties the list the others need.
        const std::pair<const char *, const char *> pairs[] = {
            {"New", "FileNew"},        {"Open", "FileOpen"},       {"Import", "FileImport"},
            {"Save As", "FileSaveAs"}, {"Compare", "FileCompare"}, {"Export", "FileExport"},
            {"Print", "FilePrint"},    {"Close", "FileClose"}};
        for (const auto &[key, name] : pairs) {
            QSignalSpy spy(action(*w, name), &QAction::triggered);
            // A command that opens a dialog modally finds it cancelled.
            QTimer::singleShot(0, w.get(), [] {
                if (QWidget *dialog = QApplication::activeModalWidget())
                    dialog->close();
            });
            button(*w, QLatin1String(key))->trigger();
            QVERIFY2(spy.count() == 1, key);
        }
    }

    // The filter box chooses what the shown list's view holds, and nothing else: the list, its
    // sort and what is saved stay whole.
    void filterIsAViewOfTheShownList() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        load(*w, 1, 20);
        load(*w, 2, 10);
        QTableView *view = w->pane(ListId::Original)->details();
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), w->filterBox());
        QTest::keyClicks(w->filterBox(), QStringLiteral("SUB"));

        const SnapshotList &list = w->workspace().list(ListId::Original);
        int inSub = 0;
        for (int i = 0; i < list.size(); ++i)
            inSub += list.folder(i) == u"Sub\\";
        QCOMPARE(view->model()->rowCount(), inSub);
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("%1 of 20").arg(inSub));
        for (int row = 0; row < view->model()->rowCount(); ++row)
            QCOMPARE(view->model()->index(row, Col::InFolder).data().toString(), u"Sub\\"_qs);

        // A sort orders the whole list; the view keeps the same entries, in the new order.
        clickHeader(*w, 1, Col::Name);
        QCOMPARE(list.size(), 20);
        QCOMPARE(view->model()->rowCount(), inSub);
        QVERIFY(view->model()->index(0, Col::Name).data().toString() <
                view->model()->index(1, Col::Name).data().toString());

        // Save As writes every entry, filtered or not.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("whole.dir"));
        prompts.files = {file};
        w->fileCommands().saveAs();
        SnapshotList saved;
        QVERIFY(readSnapshot(file, saved).ok());
        QCOMPARE(saved.size(), 20);

        // Another tab takes the same filter.
        w->selectTab(ListId::Final);
        QVERIFY(w->pane(ListId::Final)->model()->rowCount() < 10);
        QCOMPARE(w->statusPanel(2)->text(),
                 QStringLiteral("%1 of 10").arg(w->pane(ListId::Final)->model()->rowCount()));

        // Esc in the box clears it, and every entry is back.
        QTest::keyClick(w->filterBox(), Qt::Key_Escape);
        QCOMPARE(w->filterBox()->text(), QString());
        QCOMPARE(w->pane(ListId::Final)->model()->rowCount(), 10);
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("10"));
        w->selectTab(ListId::Original);
        QCOMPARE(view->model()->rowCount(), 20);
    }

    void statusShowsDescriptionAndCount() {
        auto w = makeWindow();
        SnapshotList &list = w->workspace().list(ListId::Original);
        const std::uint32_t root = list.internFolder(u"");
        list.reserve(1234567);
        for (int i = 0; i < 1234567; ++i)
            list.append(u"f", root, 32, 1, 40000.5);
        list.description = QStringLiteral("C:\\Data");
        w->session().opened(ListId::Original);
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("C:\\Data"));
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("1,234,567"));
        w->showStatus(QStringLiteral("Saving..."));
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Saving..."));
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("1,234,567"));
        // Another tab: its own (empty) description and count.
        w->selectTab(ListId::OnlyInOriginal);
        QCOMPARE(w->statusPanel(1)->text(), QString());
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("0"));
    }

    void progressPercent_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("shown");
        QTest::newRow("half") << 49 << 99 << QStringLiteral("50%");
        QTest::newRow("last item") << 99 << 99 << QStringLiteral("100%");
        QTest::newRow("first of four") << 0 << 3 << QStringLiteral("25%");
        QTest::newRow("rounded") << 0 << 2 << QStringLiteral("33%");
        QTest::newRow("rounded up") << 1 << 2 << QStringLiteral("67%");
        QTest::newRow("no total") << 0 << 0 << QStringLiteral("100%");
    }
    void progressPercent() {
        QFETCH(int, n);
        QFETCH(int, total);
        QFETCH(QString, shown);
        QCOMPARE(CommandHost::percentText(n, total), shown);
    }

    void settingsDefaults() {
        {
            auto w = makeWindow();
            QVERIFY(action(*w, "ViewGrid")->isChecked());
            QVERIFY(action(*w, "ViewWidths")->isChecked());
            for (const QString &path : w->session().rememberedFolders)
                QVERIFY(path.isEmpty());
            QVERIFY(!w->newSnapshotState().separate);
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QCOMPARE(w->frameGeometry().topLeft(), QPoint(0, 0));
            QCOMPARE(w->frameGeometry().size(), Twips::toPixels(9630, 6120, w.get()));
            QVERIFY(!w->isMaximized());
            w->session().rememberedFolders[1] = QStringLiteral("/home/user/Data");
            w->close();
        }
        QCOMPARE(store->value(QStringLiteral("ViewGrid")), QStringLiteral("1"));
        QCOMPARE(store->value(QStringLiteral("LinkCols")), QStringLiteral("1"));
        QCOMPARE(store->value(QStringLiteral("Maximized")), QStringLiteral("0"));
        QCOMPARE(store->value(QStringLiteral("MainLeft")), QStringLiteral("0"));
        QCOMPARE(store->value(QStringLiteral("MainTop")), QStringLiteral("0"));
        QCOMPARE(store->value(QStringLiteral("MainWidth")), QStringLiteral("9630"));
        QCOMPARE(store->value(QStringLiteral("MainHeight")), QStringLiteral("6120"));
        QCOMPARE(store->value(QStringLiteral("DefPath")), QString());
        QCOMPARE(store->value(QStringLiteral("DefPath1")), QStringLiteral("/home/user/Data"));
        QCOMPARE(store->value(QStringLiteral("DefPath2")), QString());
        // Separate belongs to the New Snapshot dialog, which writes it when it closes.
        QVERIFY(!store->contains(QStringLiteral("Separate")));
    }

    void settingsReadBack_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("on");
        QTest::newRow("grid 1") << QStringLiteral("ViewGrid") << QStringLiteral("1") << true;
        QTest::newRow("grid 0") << QStringLiteral("ViewGrid") << QStringLiteral("0") << false;
        QTest::newRow("grid yes") << QStringLiteral("ViewGrid") << QStringLiteral("yes") << false;
        QTest::newRow("grid True") << QStringLiteral("ViewGrid") << QStringLiteral("True") << false;
        QTest::newRow("grid 1 spaced")
            << QStringLiteral("ViewGrid") << QStringLiteral(" 1") << false;
        QTest::newRow("link 0") << QStringLiteral("LinkCols") << QStringLiteral("0") << false;
        QTest::newRow("link yes") << QStringLiteral("LinkCols") << QStringLiteral("yes") << false;
        QTest::newRow("separate 1") << QStringLiteral("Separate") << QStringLiteral("1") << true;
        QTest::newRow("separate 1x") << QStringLiteral("Separate") << QStringLiteral("1x") << true;
        QTest::newRow("separate x") << QStringLiteral("Separate") << QStringLiteral("x") << false;
        QTest::newRow("separate 0") << QStringLiteral("Separate") << QStringLiteral("0") << false;
    }
    void settingsReadBack() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(bool, on);
        store->set(key, stored);
        auto w = makeWindow();
        if (key == u"ViewGrid") {
            QCOMPARE(action(*w, "ViewGrid")->isChecked(), on);
            for (const ListId n : Lists::All)
                QCOMPARE(w->pane(n)->details()->showGrid(), on);
        } else if (key == u"LinkCols") {
            QCOMPARE(action(*w, "ViewWidths")->isChecked(), on);
        } else {
            QCOMPARE(w->newSnapshotState().separate, on);
        }
        w->close();
        if (key != u"Separate")
            QCOMPARE(store->value(key), on ? QStringLiteral("1") : QStringLiteral("0"));
        else
            QCOMPARE(store->value(key), stored);
    }

    void placementRestoredAndWritten() {
        store->set(QStringLiteral("MainLeft"), QStringLiteral("1500"));
        store->set(QStringLiteral("MainTop"), QStringLiteral("750"));
        store->set(QStringLiteral("MainWidth"), QStringLiteral("12000"));
        store->set(QStringLiteral("MainHeight"), QStringLiteral("7500"));
        {
            auto w = makeWindow();
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QCOMPARE(w->frameGeometry(),
                     QRect(QPoint(Twips::toPixels(1500, w.get()), Twips::toPixels(750, w.get())),
                           Twips::toPixels(12000, 7500, w.get())));
            w->move(Twips::toPixels(3000, w.get()), Twips::toPixels(1500, w.get()));
            w->close();
        }
        QCOMPARE(store->value(QStringLiteral("MainLeft")), QStringLiteral("3000"));
        QCOMPARE(store->value(QStringLiteral("MainTop")), QStringLiteral("1500"));
        QCOMPARE(store->value(QStringLiteral("MainWidth")), QStringLiteral("12000"));
    }

    void placementThatIsNoNumberFallsBack() {
        store->set(QStringLiteral("MainWidth"), QStringLiteral("wide"));
        store->set(QStringLiteral("MainLeft"), QStringLiteral("60"));
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCOMPARE(w->frameGeometry().width(), Twips::toPixels(9630, w.get()));
        QCOMPARE(w->frameGeometry().left(), Twips::toPixels(60, w.get()));
    }

    void maximizedStoredAndRestored() {
        {
            auto w = makeWindow();
            w->showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            QTRY_VERIFY(w->isMaximized());
            w->close();
        }
        QCOMPARE(store->value(QStringLiteral("Maximized")), QStringLiteral("1"));
        store->reopen();
        auto w = makeWindow();
        w->show();
        QVERIFY(w->isMaximized());
    }

    void minimizedLeavesPlacementAlone() {
        store->set(QStringLiteral("MainLeft"), QStringLiteral("1200"));
        store->set(QStringLiteral("MainWidth"), QStringLiteral("10000"));
        store->set(QStringLiteral("Maximized"), QStringLiteral("1"));
        store->set(QStringLiteral("ViewGrid"), QStringLiteral("1"));
        {
            auto w = makeWindow();
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
            w->showMinimized();
            QTRY_VERIFY(w->isMinimized());
            action(*w, "ViewGrid")->trigger();
            w->close();
        }
        QCOMPARE(store->value(QStringLiteral("MainLeft")), QStringLiteral("1200"));
        QCOMPARE(store->value(QStringLiteral("MainWidth")), QStringLiteral("10000"));
        QCOMPARE(store->value(QStringLiteral("Maximized")), QStringLiteral("1"));
        QVERIFY(!store->contains(QStringLiteral("MainTop")));
        QCOMPARE(store->value(QStringLiteral("ViewGrid")), QStringLiteral("0"));
    }

    void exitWritesSettingsAndCloses() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        action(*w, "ViewWidths")->trigger();
        action(*w, "FileExit")->trigger();
        QVERIFY(!w->isVisible());
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Please Wait..."));
        QCOMPARE(store->value(QStringLiteral("LinkCols")), QStringLiteral("0"));
    }

    void headerClicksSort() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        load(*w, 1, 40);
        const SnapshotList &list = w->workspace().list(ListId::Original);
        const SortState &state = list.sort;
        QHeaderView *header = w->pane(ListId::Original)->details()->horizontalHeader();
        QAbstractItemModel *model = w->pane(ListId::Original)->details()->model();

        clickHeader(*w, 1, Col::Size);
        QCOMPARE(state.key, Col::SizeKey);
        QCOMPARE(state.order, 0);
        // Folders (no size key) first, then sizes ascending; the view shows the new order.
        QCOMPARE(model->index(0, Col::Size).data().toString(), QStringLiteral("<dir>"));
        QCOMPARE(header->sortIndicatorSection(), Col::Size);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        for (int i = 1; i < list.size(); ++i)
            QVERIFY(w->formatter().text(list, i - 1, Col::SizeKey) <=
                    w->formatter().text(list, i, Col::SizeKey));

        clickHeader(*w, 1, Col::Size);
        QCOMPARE(state.key, Col::SizeKey);
        QCOMPARE(state.order, 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(model->index(0, Col::Size).data().toString() != QStringLiteral("<dir>"));

        clickHeader(*w, 1, Col::Name);
        QCOMPARE(state.key, Col::Name);
        QCOMPARE(state.order, 0);
        QCOMPARE(model->index(0, Col::Name).data().toString(), QStringLiteral("entry0000.txt"));

        clickHeader(*w, 1, Col::Attributes);
        QCOMPARE(state.key, Col::AttrBits);
        clickHeader(*w, 1, Col::Modified);
        QCOMPARE(state.key, Col::DateKey);
        QVERIFY(prompts.asked.isEmpty());
    }

    void sortListSameStateChangesNothing() {
        auto w = makeWindow();
        load(*w, 1, 10);
        w->sortList(ListId::Original, Col::Name, 1);
        QCOMPARE(w->workspace().list(ListId::Original).sort.order, 1);
        QSignalSpy resets(w->pane(ListId::Original)->model(), &QAbstractItemModel::modelReset);
        w->sortList(ListId::Original, Col::Name, 1);
        QCOMPARE(resets.count(), 0);
        QVERIFY(!QApplication::overrideCursor());
        w->sortList(ListId::Original, Col::Name, 0);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(w->workspace().list(ListId::Original).sort.order, 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    void changedListRefusesOrigColumns_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("Orig Size") << Col::OrigSize;
        QTest::newRow("Originally Modified") << Col::OrigModified;
        QTest::newRow("Orig Attr") << Col::OrigAttr;
    }
    void changedListRefusesOrigColumns() {
        QFETCH(int, column);
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        load(*w, 5, 12);
        w->selectTab(ListId::Changed);
        w->sortList(ListId::Changed, Col::Name, 1);
        clickHeader(*w, 5, column);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Vistrel"));
        QCOMPARE(prompts.asked[0].text,
                 QStringLiteral("Sorry, this list cannot be sorted by this column"));
        QCOMPARE(prompts.asked[0].icon, QMessageBox::NoIcon);
        QCOMPARE(prompts.asked[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(w->workspace().list(ListId::Changed).sort.key, Col::Name);
        QCOMPARE(w->workspace().list(ListId::Changed).sort.order, 1);
        QCOMPARE(w->pane(ListId::Changed)->details()->horizontalHeader()->sortIndicatorSection(),
                 Col::Name);
        // Size still sorts in the Changed list.
        clickHeader(*w, 5, Col::Size);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(w->workspace().list(ListId::Changed).sort.key, Col::SizeKey);
    }

    // Grabbed just right of the divider after Size (or Modified), the divider widens that column
    // in every list: the Original's columns beside them are not there to open outside Changed.
    void dividerWidensItsColumn_data() {
        QTest::addColumn<int>("listNo");
        QTest::addColumn<int>("column");
        for (const int n : {1, 3, 5, 6}) {
            QTest::addRow("Size, list %d", n) << n << int(Col::Size);
            QTest::addRow("Modified, list %d", n) << n << int(Col::Modified);
        }
    }
    void dividerWidensItsColumn() {
        QFETCH(int, listNo);
        QFETCH(int, column);
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const ListId list = Lists::atIndex(std::size_t(listNo - 1));
        w->selectTab(list);
        ListPane *pane = w->pane(list);
        QHeaderView *header = pane->details()->horizontalHeader();
        const int before = pane->columnWidth(column);
        const int origBefore = pane->columnWidth(column + 2);
        const QPoint edge(header->sectionViewportPosition(column) + before + 1,
                          header->height() / 2);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, edge);
        QMouseEvent move(QEvent::MouseMove, edge + QPoint(40, 0),
                         header->viewport()->mapToGlobal(edge + QPoint(40, 0)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &move);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, edge + QPoint(40, 0));
        QCOMPARE(pane->columnWidth(column), before + 40);
        QCOMPARE(pane->columnWidth(column + 2), origBefore);
    }

    void keyColumnsStayHidden() {
        auto w = makeWindow();
        for (const ListId n : Lists::All) {
            ListPane *pane = w->pane(n);
            for (int c : {Col::MatchKey, Col::SizeKey, Col::DateKey, Col::AttrBits})
                QCOMPARE(pane->columnWidth(c), 0);
            const bool changed = n == ListId::Changed;
            QCOMPARE(pane->columnWidth(Col::OrigSize) > 0, changed);
            QCOMPARE(pane->columnWidth(Col::OrigModified) > 0, changed);
            QCOMPARE(pane->columnWidth(Col::OrigAttr) > 0, changed);
            QCOMPARE(pane->columnWidth(Col::Name), Twips::toPixels(1800, w.get()));
            QCOMPARE(pane->columnWidth(Col::InFolder), Twips::toPixels(2200, w.get()));
            QCOMPARE(pane->columnWidth(Col::Size), Twips::toPixels(1100, w.get()));
            QCOMPARE(pane->columnWidth(Col::Attributes), Twips::toPixels(900, w.get()));
        }
        const QAbstractItemModel *model = w->pane(ListId::Original)->details()->model();
        QCOMPARE(model->headerData(Col::Name, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QCOMPARE(model->headerData(Col::MatchKey, Qt::Horizontal).toString(),
                 QStringLiteral("(temporary value)"));
        QCOMPARE(model->headerData(Col::Size, Qt::Horizontal, Qt::TextAlignmentRole)
                         .value<Qt::Alignment>() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
    }

    void linkedWidths() {
        auto w = makeWindow();
        w->pane(ListId::Original)->setColumnWidth(Col::Name, 250);
        w->pane(ListId::Original)->setColumnWidth(Col::Size, 90);
        w->selectTab(ListId::Final);
        QCOMPARE(w->pane(ListId::Final)->columnWidth(Col::Name), 250);
        QCOMPARE(w->pane(ListId::Final)->columnWidth(Col::Size), 90);
        // The Orig columns of other lists are never carried over.
        QCOMPARE(w->pane(ListId::Final)->columnWidth(Col::OrigSize), 0);

        // The Changed list's Orig columns follow their neighbours.
        w->pane(ListId::Final)->setColumnWidth(Col::Modified, 140);
        w->selectTab(ListId::Changed);
        ListPane *changed = w->pane(ListId::Changed);
        QCOMPARE(changed->columnWidth(Col::Size), 90);
        QCOMPARE(changed->columnWidth(Col::OrigSize), 90);
        QCOMPARE(changed->columnWidth(Col::OrigModified), 140);
        QCOMPARE(changed->columnWidth(Col::OrigAttr), changed->columnWidth(Col::Attributes));

        // With the link off, each list keeps its own widths.
        action(*w, "ViewWidths")->trigger();
        QVERIFY(!action(*w, "ViewWidths")->isChecked());
        w->pane(ListId::Changed)->setColumnWidth(Col::Name, 300);
        w->selectTab(ListId::Original);
        QCOMPARE(w->pane(ListId::Original)->columnWidth(Col::Name), 250);
    }

    // A column dragged to nothing in one list reaches the next list through the linked widths,
    // and there its edge can still be dragged to open it again.
    void narrowedColumnOpensAgain() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QHeaderView *header = w->pane(ListId::Original)->details()->horizontalHeader();
        header->resizeSection(Col::InFolder, 0); // as a drag to the left edge leaves it
        w->selectTab(ListId::Final);
        ListPane *final = w->pane(ListId::Final);
        QHeaderView *finalHeader = final->details()->horizontalHeader();
        QCOMPARE(final->columnWidth(Col::InFolder), 0);
        QVERIFY(!finalHeader->isSectionHidden(Col::InFolder));
        // Drag the edge just right of the Name column's end to the right.
        const int edge = finalHeader->sectionViewportPosition(Col::Size) + 1;
        const int y = finalHeader->height() / 2;
        QTest::mousePress(finalHeader->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
        QMouseEvent move(QEvent::MouseMove, QPointF(edge + 60, y), QPointF(), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(finalHeader->viewport(), &move);
        QTest::mouseRelease(finalHeader->viewport(), Qt::LeftButton, {}, QPoint(edge + 60, y));
        QVERIFY2(final->columnWidth(Col::InFolder) > 40,
                 qPrintable(QString::number(final->columnWidth(Col::InFolder))));
        w->selectTab(ListId::Original);
        QCOMPARE(w->pane(ListId::Original)->columnWidth(Col::InFolder),
                 final->columnWidth(Col::InFolder));
        // The key columns stay hidden all along.
        QVERIFY(header->isSectionHidden(Col::MatchKey));
        QVERIFY(finalHeader->isSectionHidden(Col::SizeKey));
    }

    void gridLinesFollowTheMenu() {
        auto w = makeWindow();
        QVERIFY(w->pane(ListId::OnlyInOriginal)->details()->showGrid());
        action(*w, "ViewGrid")->trigger();
        for (const ListId n : Lists::All)
            QVERIFY(!w->pane(n)->details()->showGrid());
        action(*w, "ViewGrid")->trigger();
        for (const ListId n : Lists::All)
            QVERIFY(w->pane(n)->details()->showGrid());
    }

    void summaryViewHidesReportItems() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        load(*w, 1, 20);
        action(*w, "ViewSummary")->trigger();
        QVERIFY(action(*w, "ViewSummary")->isChecked());
        QVERIFY(!action(*w, "ViewDetails")->isChecked());
        for (const char *name : {"ViewBar1", "ViewGrid", "ViewWidths"})
            QVERIFY2(!action(*w, name)->isVisible(), name);
        for (const ListId n : Lists::All) {
            QVERIFY(w->pane(n)->isSummaryView());
            QVERIFY(!w->pane(n)->details()->isVisible());
        }
        QListView *names = w->pane(ListId::Original)->summary();
        QVERIFY(names->isVisible());
        QCOMPARE(names->modelColumn(), Col::Name);
        const QModelIndex first = names->model()->index(0, Col::Name);
        QVERIFY(!first.data(Qt::DecorationRole).isNull());
        QCOMPARE(w->statusPanel(1)->text(), QString());
        QVERIFY(!QApplication::overrideCursor());

        action(*w, "ViewDetails")->trigger();
        for (const char *name : {"ViewBar1", "ViewGrid", "ViewWidths"})
            QVERIFY2(action(*w, name)->isVisible(), name);
        QVERIFY(w->pane(ListId::Original)->details()->isVisible());
        QVERIFY(w->pane(ListId::Original)
                    ->details()
                    ->model()
                    ->index(0, 0)
                    .data(Qt::DecorationRole)
                    .isNull());
    }

    // The status text that asks to wait is painted while the view switches, not only set.
    void viewSwitchPaintsPleaseWait_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("summary") << QStringLiteral("ViewSummary");
        QTest::newRow("details") << QStringLiteral("ViewDetails");
    }
    void viewSwitchPaintsPleaseWait() {
        QFETCH(QString, command);
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        struct PaintLog : QObject {
            QStringList painted;
            bool eventFilter(QObject *watched, QEvent *event) override {
                if (event->type() == QEvent::Paint)
                    painted << static_cast<QLabel *>(watched)->text();
                return false;
            }
        } log;
        w->statusPanel(1)->installEventFilter(&log);
        w->findChild<QAction *>(command)->trigger();
        QVERIFY2(log.painted.contains(QStringLiteral("Please Wait...")),
                 qPrintable(log.painted.join(u'|')));
        QCOMPARE(w->statusPanel(1)->text(), QString());
    }

    // The count panel groups digits by threes as the Size column does, in the C locale too.
    void countGroupedInEveryLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("count");
        QTest::newRow("C") << QLocale::c() << QStringLiteral("1,234");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany)
                                << QStringLiteral("1.234");
    }
    void countGroupedInEveryLocale() {
        QFETCH(QLocale, locale);
        QFETCH(QString, count);
        const QLocale before;
        QLocale::setDefault(locale);
        auto w = makeWindow();
        QLocale::setDefault(before);
        load(*w, 1, 1234);
        QCOMPARE(w->statusPanel(2)->text(), count);
    }

    void minimumSize() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->resize(100, 50);
        QTRY_COMPARE(w->frameGeometry().size(), Twips::toPixels(9630, 3120, w.get()));
        // The lists follow the window.
        w->resize(Twips::toPixels(15000, 9000, w.get()));
        QTRY_VERIFY(w->pane(ListId::Original)->width() > Twips::toPixels(12000, w.get()));
    }

    void statusPanelClickOpensProperties() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QSignalSpy props(action(*w, "FileProps"), &QAction::triggered);
        DialogCloser closer;
        QTest::mouseClick(w->statusPanel(1), Qt::LeftButton);
        QCOMPARE(props.count(), 0);
        load(*w, 1, 4);
        QTest::mouseClick(w->statusPanel(2), Qt::LeftButton);
        QCOMPARE(props.count(), 0);
        QTest::mouseClick(w->statusPanel(1), Qt::LeftButton);
        QCOMPARE(props.count(), 1);
    }

    void openFromCommandLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("with space.dir"));
        {
            SnapshotList source;
            fillList(source, 25);
            source.description = QStringLiteral("C:\\Data");
            source.source = QStringLiteral("c: - C:\\Data\\*.*");
            QVERIFY(saveSnapshot(source, false, path).ok());
        }
        auto w = makeWindow();
        w->show();
        w->selectTab(ListId::OnlyInFinal);
        w->fileCommands().openSnapshot(path);
        QVERIFY(prompts.asked.isEmpty());
        const SnapshotList &list = w->workspace().list(ListId::Original);
        QCOMPARE(list.size(), 25);
        QCOMPARE(list.fileName, path);
        QVERIFY(!list.unsaved);
        QCOMPARE(w->session().rememberedFolders[0], dir.path());
        QCOMPARE(w->tabStrip()->currentIndex(), 0);
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("C:\\Data"));
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("25"));
        QCOMPARE(w->pane(ListId::Original)->details()->model()->rowCount(), 25);
        QCOMPARE(w->pane(ListId::Original)->details()->currentIndex().row(), 0);
        QVERIFY(action(*w, "FileClose")->isEnabled());
        QVERIFY(!QApplication::overrideCursor());

        // The next file goes to the empty Final list.
        w->fileCommands().openSnapshot(path);
        QCOMPARE(w->workspace().list(ListId::Final).size(), 25);
        QCOMPARE(w->tabStrip()->currentIndex(), 1);
        QVERIFY(action(*w, "FileCompare")->isEnabled());
    }

    void openErrorsShowTheirMessage_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<int>("code");
        QTest::newRow("missing") << QByteArray() << int(FileError::FileNotFound);
        QTest::newRow("not a snapshot") << QByteArray("\"x\"\r\n") << int(FileError::InputPastEnd);
    }
    void openErrorsShowTheirMessage() {
        QFETCH(QByteArray, content);
        QFETCH(int, code);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.dir"));
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        auto w = makeWindow();
        w->fileCommands().openSnapshot(path);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Error"));
        QCOMPARE(prompts.asked[0].text, FileError::fromCode(code).message());
        QVERIFY(!prompts.asked[0].text.isEmpty());
        QCOMPARE(prompts.asked[0].icon, QMessageBox::Warning);
        QCOMPARE(prompts.asked[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(w->workspace().list(ListId::Original).size(), 0);
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("0"));
        QVERIFY(!action(*w, "FileClose")->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }

    void driveNotReadyOffersRetry() {
        auto w = makeWindow();
        prompts.answers = {QMessageBox::Retry};
        QCOMPARE(w->commandHost().reportFileError(FileError::fromCode(FileError::DriveNotReady)),
                 QMessageBox::Retry);
        QCOMPARE(prompts.asked[0].buttons,
                 QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    }

    void pickTargetRefusesOnResultTab() {
        auto w = makeWindow();
        load(*w, 1, 2);
        load(*w, 2, 2);
        w->selectTab(ListId::Final);
        QCOMPARE(w->fileCommands().pickTargetList(), ListId::Final);
        w->selectTab(ListId::Unchanged);
        QCOMPARE(w->fileCommands().pickTargetList(), ListId::None);
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY(prompts.asked[0].text.startsWith(
            QStringLiteral("Original and Final Snapshots are already loaded.")));
        QCOMPARE(w->shownList(), ListId::Unchanged);
    }

    void helpWindow() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QString title;
        bool readOnly = false;
        QString text;
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            auto *help = qobject_cast<HelpDialog *>(QApplication::activeModalWidget());
            if (!help)
                return;
            title = help->windowTitle();
            readOnly = help->textBox()->isReadOnly();
            text = help->textBox()->toPlainText();
            modal = help->isModal();
            QTest::keyClick(help, Qt::Key_Escape);
        });
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(title, QStringLiteral("Vistrel Help!"));
        QVERIFY(readOnly);
        QVERIFY(modal);
        // The points come in their order: a few landmarks.
        const QStringList landmarks = {
            QStringLiteral("A snapshot is a directory listing"),
            QStringLiteral("one task"),
            QStringLiteral("installation"),
            QStringLiteral("* identifying"),
            QStringLiteral("what was changed"),
            QStringLiteral("Original and Final"),
            QStringLiteral("double-click"),
            QStringLiteral("Final snapshot the same way"),
            QStringLiteral("Only in Original, Only in Final, Changed and Unchanged"),
            QStringLiteral("File contents are not compared"),
            QStringLiteral("subfolder"),
            QStringLiteral("CSV"),
            QStringLiteral("NetWare"),
            QStringLiteral("Snapshot Properties"),
            QStringLiteral("Import DOS Directory"),
            QStringLiteral("- the file must be"),
            QStringLiteral("Enjoy")};
        qsizetype at = 0;
        for (const QString &landmark : landmarks) {
            const qsizetype found = text.indexOf(landmark, at);
            QVERIFY2(found >= 0, qPrintable(landmark));
            at = found + landmark.size();
        }
        QCOMPARE(text.count(QStringLiteral("\n* ")), 5);
        QCOMPARE(text.count(QStringLiteral("\n- ")), 5);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
