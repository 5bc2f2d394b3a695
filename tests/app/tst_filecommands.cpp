// The file commands of the main window, driven as a user would, with the prompts answering the
// message boxes and file dialogs.

#include "support/TestFiles.h"
#include "support/TestWindow.h"

#include "app/BackgroundJob.h"
#include "app/ListModel.h"
#include "app/ListPane.h"
#include "app/StartUp.h"
#include "app/StatusPanel.h"
#include "compare/Comparison.h"
#include "dialogs/PropertiesDialog.h"
#include "files/SnapshotFile.h"
#include "session/RecoveryWriter.h"
#include "snapshot/DateSerial.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/Progress.h"
#include "snapshot/Scanner.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <functional>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Button = QMessageBox::StandardButton;

// Runs `act` on the next modal dialog that opens. A dialog that `act` left open (a failed
// check returns early) is cancelled, so that a test never waits for a user.
void onNextDialog(std::function<void(QDialog *)> act) {
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
            if (dialog->isVisible())
                dialog->reject();
        }
    });
    timer->start(10);
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString SaveQuestion = QStringLiteral(" Snapshot has not been saved, save it now?");

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TestPrompts prompts;
    std::unique_ptr<QTemporaryDir> dir;

    std::unique_ptr<MainWindow> makeWindow() {
        auto w = std::make_unique<MainWindow>(store->settings(), prompts);
        w->restorePlacement();
        return w;
    }
    QString path(const QString &name) const { return dir->filePath(name); }

    // A snapshot file of n entries, described as `description`.
    QString snapshotFile(const QString &name, int n, const QString &description) {
        SnapshotList list;
        fillList(list, n);
        list.description = description;
        list.source = QStringLiteral("/ - ") + description + QStringLiteral("/*.*");
        list.created = 40000.5;
        const QString file = path(name);
        [&] { QVERIFY(saveSnapshot(list, false, file).ok()); }();
        return file;
    }
    static ListId listAt(int number) { return Lists::atIndex(std::size_t(number - 1)); }
    static void load(MainWindow &w, int listNo, int n, bool unsaved) {
        SnapshotList &list = w.workspace().list(listAt(listNo));
        fillList(list, n, listNo);
        list.unsaved = unsaved;
        list.addLimit(u"");
        w.session().opened(listAt(listNo));
    }
    // A tree to scan: three files and a folder.
    QString makeTree(const QString &name) {
        const QString root = path(name);
        QDir().mkpath(root + QStringLiteral("/sub"));
        for (const char *file : {"a.txt", "b.txt", "sub/c.txt"})
            writeFile(root + u'/' + QLatin1String(file), "x");
        return root;
    }
    // Opens `folder` in the dialog's folder list as a user would: Enter on the nearest
    // ancestor the list shows, down to the folder itself.
    static void openInFolderList(QDialog *d, const QString &folder) {
        auto *dirs = d->findChild<QListWidget *>(QStringLiteral("DirList"));
        const QString target = QDir::toNativeSeparators(folder);
        for (int step = 0;
             step < 30 && d->findChild<QLineEdit *>(QStringLiteral("SnapPath"))->text() != target;
             ++step) {
            QListWidgetItem *best = nullptr;
            for (int i = 0; i < dirs->count(); ++i) {
                const QString tip = dirs->item(i)->toolTip();
                const QString withSep =
                    tip.endsWith(QDir::separator()) ? tip : tip + QDir::separator();
                if ((tip == target || target.startsWith(withSep)) &&
                    (!best || tip.size() > best->toolTip().size()))
                    best = dirs->item(i);
            }
            if (!best)
                return;
            dirs->setCurrentItem(best);
            QTest::keyClick(dirs, Qt::Key_Return);
        }
    }
    // Runs New with the dialog at `folder`, for list `which`, appending or not.
    static void newSnapshot(MainWindow &w, const QString &folder, int which, bool append) {
        onNextDialog([which, append, folder](QDialog *d) {
            d->findChild<QRadioButton *>(QStringLiteral("WhichList%1").arg(which))->click();
            openInFolderList(d, folder);
            if (append)
                d->findChild<QCheckBox *>(QStringLiteral("AppendTo"))->setChecked(true);
            d->findChild<QAbstractButton *>(QStringLiteral("OK"))->click();
        });
        w.compareCommands().newSnapshot();
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }
    void init() {
        store = std::make_unique<TestStore>();
        prompts = TestPrompts();
        dir = std::make_unique<QTemporaryDir>();
    }

    void targetListRules_data() {
        QTest::addColumn<int>("original");
        QTest::addColumn<int>("final");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("target"); // 0: refused with the message
        // The rule itself is the session's; here, what the user sees of it.
        QTest::newRow("original loaded, its tab") << 3 << 0 << 1 << 2;
        QTest::newRow("both, unchanged tab") << 3 << 3 << 6 << 0;
    }
    void targetListRules() {
        QFETCH(int, original);
        QFETCH(int, final);
        QFETCH(int, tab);
        QFETCH(int, target);
        auto w = makeWindow();
        load(*w, 1, original, false);
        load(*w, 2, final, false);
        w->selectTab(listAt(tab));
        // Open and Import share the rule; Open asks for nothing more when refused.
        w->fileCommands().open();
        if (target == 0) {
            QCOMPARE(prompts.asked.size(), 1);
            QVERIFY(prompts.asked[0].text.startsWith(
                QStringLiteral("Original and Final Snapshots are already loaded.")));
            QVERIFY(prompts.fileAsked.isEmpty());
        } else {
            QCOMPARE(prompts.fileAsked.size(), 1);
            QCOMPARE(prompts.fileAsked[0].title,
                     QStringLiteral("Open %1 Snapshot").arg(Workspace::listName(listAt(target))));
            QCOMPARE(prompts.fileAsked[0].filter,
                     QStringLiteral("Snapshots (*.dir);;All files (*)"));
        }
    }

    void newReplacesAndAppends() {
        auto w = makeWindow();
        const QString first = makeTree(QStringLiteral("First"));
        const QString second = makeTree(QStringLiteral("Second"));
        newSnapshot(*w, first, 1, false);
        SnapshotList &list = w->workspace().list(ListId::Original);
        QCOMPARE(list.size(), 4);
        QCOMPARE(list.description, QDir::toNativeSeparators(first));
        QCOMPARE(list.fileName, QStringLiteral("First"));
        QVERIFY(list.unsaved);
        QVERIFY(list.source.endsWith(QStringLiteral(" - ") + first + QStringLiteral("/*.*")));
        QVERIFY(std::abs(list.created - DateSerial::now()) < 1.0 / 24);
        QCOMPARE(w->session().rememberedFolders[1], first);
        QCOMPARE(w->pane(ListId::Original)->details()->model()->rowCount(), 4);
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("4"));
        QVERIFY(!QApplication::overrideCursor());

        const double created = list.created;
        const QString source = list.source;
        list.created = created - 1;
        newSnapshot(*w, second, 1, true);
        QCOMPARE(list.size(), 8);
        QCOMPARE(list.description, first + QStringLiteral(" + ") + second);
        QCOMPARE(list.fileName, QStringLiteral("Second"));
        QCOMPARE(list.created, created - 1);
        QCOMPARE(list.source, source);
        QCOMPARE(QSettings(store->path() + QStringLiteral("/Vistrel.ini"), QSettings::IniFormat)
                     .value(QStringLiteral("Settings/Separate")),
                 QVariant(QStringLiteral("0")));
        QCOMPARE(QSettings(store->path() + QStringLiteral("/Vistrel.ini"), QSettings::IniFormat)
                     .value(QStringLiteral("Settings/OtherVolumes")),
                 QVariant(QStringLiteral("0")));

        // Replacing the unsaved list asks first; No empties it and scans anew.
        prompts.answers = {Button::No};
        newSnapshot(*w, second, 1, false);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].text, QStringLiteral("Original") + SaveQuestion);
        QCOMPARE(list.size(), 4);
        QCOMPARE(list.description, second);

        // Append ticked but disabled, as the dialog leaves it for an empty list: no append.
        newSnapshot(*w, first, 2, true);
        const SnapshotList &final = w->workspace().list(ListId::Final);
        QCOMPARE(final.description, QDir::toNativeSeparators(first));
        QVERIFY(final.source.endsWith(QStringLiteral(" - ") + first + QStringLiteral("/*.*")));
    }

    // Compare with Folder Now reads the Original's folder again into the Final and compares
    // with the options as the user left them, for an Original scanned in this run and for one
    // opened from a file that names its folder.
    void compareWithFolderNow_data() {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("scanned") << false;
        // A file does not say what its scan left out: the patterns kept for New stand in.
        QTest::newRow("opened") << true;
    }
    void compareWithFolderNow() {
        QFETCH(bool, fromFile);
        auto w = makeWindow();
        QAction *now = w->findChild<QAction *>(QStringLiteral("FileCompareNow"));
        QVERIFY(!now->isEnabled());
        const QString tree = makeTree(QStringLiteral("Tree"));
        newSnapshot(*w, tree, 1, false);
        if (fromFile) {
            const QString file = path(QStringLiteral("tree.dir"));
            prompts.files = {file};
            w->selectTab(ListId::Original);
            w->fileCommands().saveAs();
            prompts.answers = {Button::No};
            w->fileCommands().closeShown();
            QVERIFY(!now->isEnabled());
            w->fileCommands().openSnapshot(file);
            w->newSnapshotState().leaveOut = u"*.tmp"_s;
            writeFile(tree + QStringLiteral("/noise.tmp"), "t");
        }
        QVERIFY(now->isEnabled());
        writeFile(tree + QStringLiteral("/new.txt"), "n");
        writeFile(tree + QStringLiteral("/a.txt"), "longer");
        QFile::remove(tree + QStringLiteral("/sub/c.txt"));
        w->compareOptions().ignoreAttr[1] = true;
        w->compareOptions().limitOriginal = QStringLiteral("sub\\");
        w->compareOptions().limitOriginal.clear();

        prompts.asked.clear();
        now->trigger();
        QVERIFY(prompts.asked.isEmpty());
        const Workspace &ws = w->workspace();
        QCOMPARE(ws.list(ListId::Final).description, QDir::toNativeSeparators(tree));
        QVERIFY(ws.list(ListId::Final).unsaved);
        QCOMPARE(ws.list(ListId::OnlyInOriginal).size(), 1);
        QCOMPARE(ws.list(ListId::OnlyInOriginal).name(0), u"c.txt");
        QCOMPARE(ws.list(ListId::OnlyInFinal).size(), 1);
        QCOMPARE(ws.list(ListId::OnlyInFinal).name(0), u"new.txt");
        QCOMPARE(ws.list(ListId::Changed).size(), 1);
        QCOMPARE(ws.list(ListId::Changed).name(0), u"a.txt");
        QCOMPARE(w->shownList(), ListId::OnlyInOriginal);
        // The options stayed as set, not as a new Final would reset them.
        QVERIFY(w->compareOptions().ignoreAttr[1]);
        QVERIFY(w->compareOptions().compared);

        // Again: the unsaved Final is asked about first; Cancel stops everything.
        prompts.answers = {Button::Cancel};
        now->trigger();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].text, QStringLiteral("Final") + SaveQuestion);
        QCOMPARE(ws.list(ListId::OnlyInFinal).size(), 1);
    }

    // A snapshot taken and not saved is kept on the disk until it is saved; a run that ends
    // without saving it leaves it to the next run, which offers it back.
    void recoveredAfterAnUncleanEnd_data() {
        QTest::addColumn<bool>("restore");
        QTest::newRow("restored") << true;
        QTest::newRow("declined") << false;
    }
    void recoveredAfterAnUncleanEnd() {
        QFETCH(bool, restore);
        const QString folder = path(QStringLiteral("recovery"));
        auto kept = [&] {
            return QDir(folder).entryList({QStringLiteral("*.dir")}, QDir::Files).size();
        };
        const QString tree = makeTree(QStringLiteral("Kept"));
        {
            auto first = std::make_unique<MainWindow>(store->settings(), prompts, nullptr, folder);
            newSnapshot(*first, tree, 1, false);
            first->recovery().finishWrites();
            QCOMPARE(kept(), 1);
            // Ends without the questions of a closing window, as a crash would.
        }
        QCOMPARE(kept(), 1);

        prompts.answers = {restore ? Button::Yes : Button::No};
        const std::unique_ptr<MainWindow> next =
            startProgram(QString(), store->settings(), prompts, false, folder);
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY2(prompts.asked[0].text.startsWith(QStringLiteral("Restore the unsaved Original "
                                                                 "Snapshot of ") +
                                                  QDir::toNativeSeparators(tree) +
                                                  QStringLiteral(" taken ")),
                 qPrintable(prompts.asked[0].text));
        const SnapshotList &list = next->workspace().list(ListId::Original);
        QCOMPARE(list.size(), restore ? 4 : 0);
        QCOMPARE(kept(), restore ? 1 : 0);
        if (!restore)
            return;
        QVERIFY(list.unsaved);
        QVERIFY(list.fileName.isEmpty());
        QCOMPARE(list.description, QDir::toNativeSeparators(tree));
        QCOMPARE(next->pane(ListId::Original)->details()->model()->rowCount(), 4);

        // Saved, it needs no keeping; a third run is offered nothing.
        prompts.files = {path(QStringLiteral("kept.dir"))};
        next->selectTab(ListId::Original);
        next->fileCommands().saveAs();
        QVERIFY(!list.unsaved);
        QCOMPARE(kept(), 0);
    }

    // Compare with Folder Now on a snapshot opened from a file reads the folder as the file was
    // taken: without subfolders when it holds none of their entries; and what the patterns kept
    // for new snapshots leave out of the new scan is left out of the comparison too.
    void compareNowOnAFile_data() {
        QTest::addColumn<bool>("includeSubs");
        QTest::addColumn<QString>("leaveOut");
        QTest::newRow("taken without subfolders") << false << QString();
        QTest::newRow("patterns kept for new snapshots") << true << u"*.tmp"_s;
    }
    void compareNowOnAFile() {
        QFETCH(bool, includeSubs);
        QFETCH(QString, leaveOut);
        auto w = makeWindow();
        const QString tree = makeTree(QStringLiteral("Again"));
        writeFile(tree + QStringLiteral("/cache.tmp"), "t");
        SnapshotList taken;
        const auto reader = makeDirectoryReader();
        QVERIFY(Scanner(*reader).readDirectory(tree, taken, includeSubs));
        taken.source = NewSnapshot::sourceText(u"/"_s, QDir::toNativeSeparators(tree));
        const QString file = path(QStringLiteral("again.dir"));
        QVERIFY(saveSnapshot(taken, false, file).ok());
        w->fileCommands().openSnapshot(file);
        w->newSnapshotState().leaveOut = leaveOut;
        w->findChild<QAction *>(QStringLiteral("FileCompareNow"))->trigger();
        const Workspace &ws = w->workspace();
        QCOMPARE(ws.list(ListId::OnlyInOriginal).size() + ws.list(ListId::OnlyInFinal).size() +
                     ws.list(ListId::Changed).size(),
                 0);
        QCOMPARE(ws.list(ListId::Unchanged).size(), taken.size() - (leaveOut.isEmpty() ? 0 : 1));
    }

    // After New, taken or cancelled, the commands act on the list whose tab is shown: a New
    // for the Final cancelled while the Original's tab stays shown leaves Save As on the
    // Original.
    void commandsFollowTheShownTabAfterNew() {
        auto w = makeWindow();
        load(*w, 1, 3, false);
        load(*w, 2, 3, false);
        w->selectTab(ListId::Final);
        w->fileCommands().closeShown();
        for (int round = 0; round < 2; ++round) {
            w->selectTab(ListId::Original);
            onNextDialog([](QDialog *d) { d->reject(); });
            w->compareCommands().newSnapshot();
        }
        QCOMPARE(w->tabStrip()->currentIndex(), 0);
        w->fileCommands().saveAs();
        QCOMPARE(prompts.fileAsked.size(), 1);
        QCOMPARE(prompts.fileAsked[0].title, u"Save/Export Original Snapshot"_s);
    }

    // Memory that runs out on a job's worker thread ends the job, not the program.
    void jobOutOfMemory() {
        auto w = makeWindow();
        Progress progress;
        QVERIFY(!w->commandHost().runJob(progress, false, [] { throw std::bad_alloc(); }));
        QVERIFY(w->commandHost().runJob(progress, false, [] {}));
    }

    // A folder the scan cannot read is listed as empty, and the user hears of it once, after
    // the scan, and in the snapshot's properties. Root reads every folder; without the two
    // capabilities that let it, it obeys the permission bits as anyone does (threads started
    // meanwhile inherit that).
    void newTellsOfFoldersItCouldNotRead() {
        auto w = makeWindow();
        const QString tree = makeTree(QStringLiteral("Shut"));
        QVERIFY(::chmod(QFile::encodeName(tree + QStringLiteral("/sub")).constData(), 0) == 0);
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        QCOMPARE(::syscall(SYS_capget, &header, caps), 0L);
        const auto restore = qScopeGuard([=]() mutable {
            ::syscall(SYS_capset, &header, caps);
            ::chmod(QFile::encodeName(tree + QStringLiteral("/sub")).constData(), 0755);
        });
        __user_cap_data_struct obeying[2] = {caps[0], caps[1]};
        obeying[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH);
        QCOMPARE(::syscall(SYS_capset, &header, obeying), 0L);

        newSnapshot(*w, tree, 1, false);
        QCOMPARE(w->workspace().list(ListId::Original).size(), 3); // a.txt, b.txt and the empty sub
        const QString sub = QDir::toNativeSeparators(tree + QStringLiteral("/sub/"));
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].text,
                 QStringLiteral("1 folder could not be read:\n%1\n\nThe snapshot lists them "
                                "as empty.")
                     .arg(sub));
        QString shown;
        onNextDialog([&](QDialog *d) {
            shown = d->findChild<QLineEdit *>(QStringLiteral("NotRead"))->text();
            d->reject();
        });
        w->fileCommands().showProperties();
        QCOMPARE(shown, sub);
    }

    // The user learns when unsaved snapshots are not kept as they should be: at start-up, of a
    // folder that others could read (made the user's alone); after a scan, in the status bar,
    // of a recovery file that could not be written.
    void recoveryTroubleIsTold() {
        const QString folder = path(QStringLiteral("recovery"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ExeOwner | QFile::ExeOther));
        const std::unique_ptr<MainWindow> w =
            startProgram(QString(), store->settings(), prompts, false, folder);
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY(prompts.asked[0].text.endsWith(u"It is now readable by you alone."_s));
        QVERIFY(QDir(folder).removeRecursively());
        newSnapshot(*w, makeTree(QStringLiteral("Unkept")), 1, false);
        w->recovery().finishWrites();
        QTRY_VERIFY2(w->statusPanel(1)->text().startsWith(
                         u"The unsaved Original Snapshot could not be kept for recovery: "_s),
                     qPrintable(w->statusPanel(1)->text()));
    }

    // "Leave out" keeps what the patterns name out of the scan, is remembered in the settings,
    // shows in the snapshot's properties and holds for Compare with Folder Now as well.
    void newLeavesOut() {
        auto w = makeWindow();
        const QString tree = makeTree(QStringLiteral("Noisy"));
        writeFile(tree + QStringLiteral("/cache.TMP"), "t");
        onNextDialog([&](QDialog *d) {
            openInFolderList(d, tree);
            d->findChild<QLineEdit *>(QStringLiteral("LeaveOut"))->setText(u" sub/ ; *.tmp"_s);
            d->findChild<QAbstractButton *>(QStringLiteral("OK"))->click();
        });
        w->compareCommands().newSnapshot();
        const SnapshotList &list = w->workspace().list(ListId::Original);
        QStringList names;
        for (int i = 0; i < list.size(); ++i)
            names << list.folder(i) + list.name(i).toString();
        names.sort();
        QCOMPARE(names, (QStringList{u"a.txt"_s, u"b.txt"_s}));
        QCOMPARE(list.leftOut, (QStringList{u"sub/"_s, u"*.tmp"_s}));
        QCOMPARE(store->value(QStringLiteral("LeaveOut")), u" sub/ ; *.tmp"_s);

        QString shown;
        onNextDialog([&](QDialog *d) {
            shown = d->findChild<QLineEdit *>(QStringLiteral("LeftOut"))->text();
            d->reject();
        });
        w->selectTab(ListId::Original);
        w->fileCommands().showProperties();
        QCOMPARE(shown, u"sub/; *.tmp"_s);

        writeFile(tree + QStringLiteral("/sub/new.txt"), "n");
        w->findChild<QAction *>(QStringLiteral("FileCompareNow"))->trigger();
        QCOMPARE(w->workspace().list(ListId::Final).size(), 2);
        QCOMPARE(w->workspace().list(ListId::Unchanged).size(), 2);
    }

    // A scan stopped with Esc compares nothing: half a folder would show the rest as gone.
    void compareWithFolderNowCancelled() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QString tree = makeTree(QStringLiteral("Big"));
        for (int folder = 0; folder < 100; ++folder) {
            const QString dir = tree + QStringLiteral("/f%1").arg(folder);
            QDir().mkpath(dir);
            for (int file = 0; file < 50; ++file)
                writeFile(dir + QStringLiteral("/%1.txt").arg(file), "x");
        }
        newSnapshot(*w, tree, 1, false);
        QCOMPARE(w->workspace().list(ListId::Original).size(), 4 + 100 * 51);
        // Esc as soon as the scan runs (closing the empty Final lets events through before).
        QTimer esc;
        connect(&esc, &QTimer::timeout, w.get(), [&] {
            if (BackgroundJob::running()) {
                esc.stop();
                QTest::keyClick(w.get(), Qt::Key_Escape);
            }
        });
        esc.start(0);
        w->findChild<QAction *>(QStringLiteral("FileCompareNow"))->trigger();
        esc.stop();
        const Workspace &ws = w->workspace();
        QVERIFY(ws.list(ListId::Final).size() < ws.list(ListId::Original).size());
        for (const ListId n : Lists::Results)
            QVERIFY(ws.list(n).isEmpty());
        QVERIFY(!w->compareOptions().compared);
        QCOMPARE(w->statusPanel(1)->text(),
                 QStringLiteral("The scan was cancelled, so nothing was compared"));
        QVERIFY(prompts.asked.isEmpty());
    }

    // "Include other volumes" comes back from the settings, decides whether the scan enters a
    // volume mounted below the folder, and is written back when the dialog closes.
    void newAcrossVolumes() {
        const QString root = makeTree(QStringLiteral("Disk"));
        const QString mountPoint = root + QStringLiteral("/stick");
        QVERIFY(QDir().mkpath(mountPoint));
        const QByteArray target = QFile::encodeName(mountPoint);
        // In a mount namespace of the test's own, the mount vanishes with the process even if
        // it dies before unmounting.
        if (::unshare(CLONE_NEWNS) == 0)
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
        if (::mount("vistrel-test", target.constData(), "tmpfs", 0, nullptr) != 0)
            QSKIP("mounting a tmpfs needs root");
        const auto unmount = qScopeGuard([&] { ::umount2(target.constData(), MNT_DETACH); });
        writeFile(mountPoint + QStringLiteral("/on-stick.txt"), "x");

        store->set(QStringLiteral("OtherVolumes"), QStringLiteral("1"));
        auto w = makeWindow();
        bool shownChecked = false;
        onNextDialog([&](QDialog *d) {
            shownChecked = d->findChild<QCheckBox *>(QStringLiteral("OtherVolumes"))->isChecked();
            openInFolderList(d, root);
            d->findChild<QAbstractButton *>(QStringLiteral("OK"))->click();
        });
        w->compareCommands().newSnapshot();
        QVERIFY(shownChecked);
        SnapshotList &list = w->workspace().list(ListId::Original);
        QCOMPARE(list.size(), 6); // the tree, the mount point and the file on it
        // Read beside the window's own store object, which must stay.
        auto stored = [&] {
            return QSettings(store->path() + QStringLiteral("/Vistrel.ini"), QSettings::IniFormat)
                .value(QStringLiteral("Settings/OtherVolumes"))
                .toString();
        };
        QCOMPARE(stored(), QStringLiteral("1"));

        onNextDialog([&](QDialog *d) {
            d->findChild<QCheckBox *>(QStringLiteral("OtherVolumes"))->setChecked(false);
            openInFolderList(d, root);
            d->findChild<QAbstractButton *>(QStringLiteral("OK"))->click();
        });
        w->compareCommands().newSnapshot();
        // The Final, taken without the other volume: the mount point is listed, not entered.
        QCOMPARE(w->workspace().list(ListId::Final).size(), 5);
        QCOMPARE(stored(), QStringLiteral("0"));
    }

    // With "Record file contents" the snapshot holds digests, the choice is remembered, and
    // Compare with Folder Now reads the contents again: a file rewritten behind its old size
    // and time is Changed, and marked.
    void contentsAreRecordedAndComparedAgain() {
        const QString root = makeTree(QStringLiteral("Hashed"));
        auto w = makeWindow();
        onNextDialog([&](QDialog *d) {
            d->findChild<QCheckBox *>(QStringLiteral("Contents"))->setChecked(true);
            openInFolderList(d, root);
            d->findChild<QAbstractButton *>(QStringLiteral("OK"))->click();
        });
        w->compareCommands().newSnapshot();
        const SnapshotList &original = w->workspace().list(ListId::Original);
        QVERIFY(original.hasContents());
        QCOMPARE(QSettings(store->path() + QStringLiteral("/Vistrel.ini"), QSettings::IniFormat)
                     .value(QStringLiteral("Settings/Contents"))
                     .toString(),
                 QStringLiteral("1"));

        const QByteArray a = QFile::encodeName(root + QStringLiteral("/a.txt"));
        struct stat before {};
        QCOMPARE(::stat(a.constData(), &before), 0);
        writeFile(root + QStringLiteral("/a.txt"), "y");
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, a.constData(), times, 0), 0);
        w->compareCommands().compareWithFolderNow();
        const SnapshotList &changed = w->workspace().list(ListId::Changed);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.name(0), u"a.txt");
        QCOMPARE(changed.orig(0).differ, Differ::Contents);
        const QModelIndex first = w->pane(ListId::Changed)->model()->index(0, Col::Name);
        QCOMPARE(first.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    }

    void newOffersToOpenAFileInstead() {
        auto w = makeWindow();
        const QString file = snapshotFile(QStringLiteral("s.dir"), 6, QStringLiteral("Saved"));
        prompts.files << file;
        onNextDialog([](QDialog *d) {
            d->findChild<QAbstractButton *>(QStringLiteral("OpenExisting"))->click();
        });
        w->compareCommands().newSnapshot();
        QCOMPARE(prompts.fileAsked.size(), 1);
        QCOMPARE(prompts.fileAsked[0].title, QStringLiteral("Open Original Snapshot"));
        QCOMPARE(w->workspace().list(ListId::Original).size(), 6);
        QVERIFY(w->session().rememberedFolders[1].isEmpty());
        QVERIFY(!w->workspace().list(ListId::Original).unsaved);
    }

    // Every command that gives up a snapshot asks first; Cancel, or a Yes whose save does not
    // happen, keeps the snapshot and stops the command.
    void saveQuestionInEveryCaller_data() {
        QTest::addColumn<QString>("caller");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveTo"); // for Yes: the file chosen; empty cancels
        QTest::addColumn<bool>("goesOn");
        const char *callers[] = {"close", "open", "import", "new", "exit"};
        for (const char *caller : callers) {
            const QString c = QLatin1String(caller);
            QTest::newRow(qPrintable(c + QStringLiteral(" yes")))
                << c << int(Button::Yes) << QStringLiteral("saved.dir") << true;
            QTest::newRow(qPrintable(c + QStringLiteral(" no")))
                << c << int(Button::No) << QString() << true;
            QTest::newRow(qPrintable(c + QStringLiteral(" cancel")))
                << c << int(Button::Cancel) << QString() << false;
            QTest::newRow(qPrintable(c + QStringLiteral(" yes, save cancelled")))
                << c << int(Button::Yes) << QString() << false;
            QTest::newRow(qPrintable(c + QStringLiteral(" yes, disk full")))
                << c << int(Button::Yes) << QStringLiteral("/dev/full") << false;
        }
    }
    void saveQuestionInEveryCaller() {
        QFETCH(QString, caller);
        QFETCH(int, answer);
        QFETCH(QString, saveTo);
        QFETCH(bool, goesOn);
        auto w = makeWindow();
        w->show();
        load(*w, 1, 5, true);
        load(*w, 2, 2, false);
        w->workspace().list(ListId::Original).fileName = QStringLiteral("Before");
        w->selectTab(ListId::Original);
        const QString other = snapshotFile(QStringLiteral("other.dir"), 7, QStringLiteral("O"));
        const QString listing = path(QStringLiteral("listing.txt"));
        writeFile(
            listing,
            " Directory of C:\\X\r\n\r\nA        TXT            12  01/02/99  10:30 a.txt\r\n");
        const QString tree = makeTree(QStringLiteral("Tree"));

        prompts.answers = {static_cast<Button>(answer)};
        const QString savedTo = saveTo.startsWith(u'/') ? saveTo : path(saveTo);
        if (answer == Button::Yes && !saveTo.isEmpty())
            prompts.files << savedTo;
        else if (answer == Button::Yes)
            prompts.files << QString(); // the save dialog is cancelled
        bool closed = false;
        if (caller == QLatin1String("close")) {
            w->fileCommands().closeShown();
        } else if (caller == QLatin1String("open")) {
            prompts.files.prepend(other);
            w->fileCommands().open();
        } else if (caller == QLatin1String("import")) {
            prompts.answers.prepend(Button::Ok); // the notice
            prompts.files.prepend(listing);
            w->fileCommands().importListing();
        } else if (caller == QLatin1String("new")) {
            newSnapshot(*w, tree, 1, false);
        } else {
            closed = w->close();
        }
        const SnapshotList &list = w->workspace().list(ListId::Original);
        const auto question =
            std::find_if(prompts.asked.begin(), prompts.asked.end(),
                         [](const auto &a) { return a.text.endsWith(SaveQuestion); });
        QVERIFY(question != prompts.asked.end());
        QCOMPARE(question->buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(question->title, QStringLiteral("Vistrel"));
        if (!goesOn) {
            QCOMPARE(list.size(), 5);
            QVERIFY(list.unsaved);
            QVERIFY(!closed);
        } else {
            // A new scan is unsaved by nature.
            QCOMPARE(list.unsaved, caller == QLatin1String("new"));
            const int expected = caller == QLatin1String("open")     ? 7
                                 : caller == QLatin1String("import") ? 1
                                 : caller == QLatin1String("new")    ? 4
                                                                     : 0;
            QCOMPARE(list.size(), expected);
            QCOMPARE(closed, caller == QLatin1String("exit"));
        }
        // The save proposes the old snapshot's own name, whatever comes next.
        for (const auto &asked : std::as_const(prompts.fileAsked)) {
            if (asked.title.startsWith(QStringLiteral("Save/Export")))
                QCOMPARE(asked.proposed, QStringLiteral("Before"));
        }
        if (answer == Button::Yes && goesOn) {
            SnapshotList saved;
            QVERIFY(readSnapshot(savedTo, saved).ok());
            QCOMPARE(saved.size(), 5);
        }
        if (saveTo == QLatin1String("/dev/full")) {
            QVERIFY(std::any_of(prompts.asked.begin(), prompts.asked.end(), [](const auto &a) {
                return a.title == QLatin1String("Error") &&
                       a.text == QLatin1String("Out of disk space");
            }));
        }
    }

    void proposedNames_data() {
        QTest::addColumn<int>("listNo");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<bool>("ownFolder");
        QTest::addColumn<QString>("title");
        // The proposals are the session's; here, that the save dialog shows them.
        QTest::newRow("opened file")
            << 1 << QStringLiteral("/snaps/before.dir") << QStringLiteral("before") << true
            << QStringLiteral("Save/Export Original Snapshot");
        QTest::newRow("changed") << 5 << QStringLiteral("/x/y.dir") << QStringLiteral("Changed")
                                 << false << QStringLiteral("Save/Export Changed");
    }
    void proposedNames() {
        QFETCH(int, listNo);
        QFETCH(QString, fileName);
        QFETCH(QString, proposed);
        QFETCH(bool, ownFolder);
        QFETCH(QString, title);
        auto w = makeWindow();
        load(*w, listNo, 3, false);
        w->workspace().list(Lists::atIndex(std::size_t(listNo - 1))).fileName = fileName;
        w->session().rememberedFolders[0] = QStringLiteral("/remembered");
        w->selectTab(listAt(listNo));
        w->fileCommands().saveAs();
        QCOMPARE(prompts.fileAsked.size(), 1);
        QCOMPARE(prompts.fileAsked[0].proposed, proposed);
        QCOMPARE(prompts.fileAsked[0].title, title);
        QCOMPARE(prompts.fileAsked[0].folder, ownFolder ? fileName.left(fileName.lastIndexOf(u'/'))
                                                        : QStringLiteral("/remembered"));
        QCOMPARE(prompts.fileAsked[0].selected, 1);
    }

    void filterDecidesTheWriter_data() {
        QTest::addColumn<bool>("exportCommand");
        QTest::addColumn<int>("filter");
        QTest::addColumn<bool>("csv");
        QTest::newRow("save as, snapshot") << false << 1 << false;
        QTest::newRow("save as, csv") << false << 2 << true;
        QTest::newRow("save as, all files") << false << 3 << false;
        QTest::newRow("export, csv") << true << 2 << true;
        QTest::newRow("export, snapshot") << true << 1 << false;
        QTest::newRow("save as, plain format") << false << 4 << false;
        QTest::newRow("export, csv with details") << true << 5 << true;
    }
    void filterDecidesTheWriter() {
        QFETCH(bool, exportCommand);
        QFETCH(int, filter);
        QFETCH(bool, csv);
        auto w = makeWindow();
        load(*w, 1, 4, true);
        // One entry with details: a snapshot file keeps them, the plain format leaves them out.
        SnapshotList &original = w->workspace().list(ListId::Original);
        Details details;
        details.mode = 0100644;
        original.append(u"detailed", original.internFolder(u""), 32, 1, 40000.5, details);
        const QString file = path(QStringLiteral("out/written"));
        QDir().mkpath(path(QStringLiteral("out")));
        prompts.files << file;
        prompts.saveFilters << filter;
        exportCommand ? w->fileCommands().exportShown() : w->fileCommands().saveAs();
        QCOMPARE(prompts.fileAsked[0].selected, exportCommand ? 2 : 1);
        const QByteArray written = readFile(file);
        QCOMPARE(written.startsWith("\"entry"), csv);
        SnapshotList read;
        QCOMPARE(readSnapshot(file, read).ok(), !csv);
        QCOMPARE(read.hasDetails(), !csv && filter != 4);
        // Ten fields a line with details, five without.
        const QByteArray last = written.trimmed().split('\n').constLast();
        if (csv)
            QCOMPARE(last.count("\",\""), filter == 5 ? 9 : 4);
        // Only a snapshot file saves the snapshot.
        QCOMPARE(w->workspace().list(ListId::Original).unsaved, csv);
        QCOMPARE(w->session().rememberedFolders[0], path(QStringLiteral("out")));
    }

    // What Close empties is the session's rule; the views show it at once.
    void closeEmptiesTheViews() {
        auto w = makeWindow();
        load(*w, 1, 3, false);
        load(*w, 2, 3, false);
        load(*w, 5, 2, false);
        w->compareOptions().limitOriginal = QStringLiteral("Sub\\");
        w->selectTab(ListId::Original);
        w->fileCommands().closeShown();
        QVERIFY(prompts.asked.isEmpty());
        QCOMPARE(w->pane(ListId::Original)->details()->model()->rowCount(), 0);
        QCOMPARE(w->pane(ListId::Changed)->details()->model()->rowCount(), 0);
        QCOMPARE(w->pane(ListId::Final)->details()->model()->rowCount(), 3);
        QVERIFY(w->compareOptions().limitOriginal.isEmpty());
        QVERIFY(!w->findChild<QAction *>(QStringLiteral("FileCompare"))->isEnabled());
        QVERIFY(!w->findChild<QAction *>(QStringLiteral("FileClose"))->isEnabled());
    }

    void importNoticeAndTolerance_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("1");
        QTest::newRow("five") << QStringLiteral("5") << QStringLiteral("5");
        QTest::newRow("zero point") << QStringLiteral("0.0") << QStringLiteral("0.0");
    }
    void importNoticeAndTolerance() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        auto w = makeWindow();
        w->compareOptions().tolerance = before;
        w->fileCommands().importListing(); // the file dialog is cancelled
        QCOMPARE(w->compareOptions().tolerance, after);
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Important"));
        QCOMPARE(prompts.asked[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(prompts.asked[0].icon, QMessageBox::NoIcon);
        const QStringList lines = prompts.asked[0].text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 6);
        QVERIFY(lines[5].endsWith(QStringLiteral("will be set to 1 minute.")));
        QCOMPARE(prompts.fileAsked[0].title, QStringLiteral("Import Original Snapshot"));
    }

    void importFillsTheTarget() {
        auto w = makeWindow();
        const QString listing = path(QStringLiteral("dir.txt"));
        writeFile(listing, " Directory of C:\\WINDOWS\r\n\r\n"
                           "SYSTEM         <DIR>        01/02/99  10:30 SYSTEM\r\n"
                           "WIN      INI         1,234  01/02/99  10:31 win.ini\r\n"
                           "BAD      INI         1,234  99/99/99  10:31 bad.ini\r\n");
        prompts.files << listing;
        w->fileCommands().importListing();
        const SnapshotList &list = w->workspace().list(ListId::Original);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.description, listing);
        QCOMPARE(list.fileName, QStringLiteral("Untitled"));
        QCOMPARE(list.source, QStringLiteral("Imported Directory of C:\\WINDOWS"));
        // The bad date stops the import with the line as the message; the list counts as
        // unsaved so closing it asks.
        QCOMPARE(prompts.asked.size(), 2);
        QVERIFY(prompts.asked[1].text.startsWith(QStringLiteral("BAD      INI")));
        QVERIFY(list.unsaved);
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("2"));
    }

    // A file with no line of a listing in it is refused by name, not imported as empty.
    void importOfSomethingElse() {
        auto w = makeWindow();
        const QString other = path(QStringLiteral("notes.txt"));
        writeFile(other, "Dear Sir,\r\nDirectory: none\r\n");
        prompts.files << other;
        w->fileCommands().importListing();
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked[1].title, QStringLiteral("Not a DIR /S listing"));
        QCOMPARE(prompts.asked[1].text, other);
        QVERIFY(w->workspace().list(ListId::Original).isEmpty());
    }

    void propertiesEdits_data() {
        QTest::addColumn<int>("listNo");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("refusedAt"); // -1: stored (or discarded for a result list)
        QTest::newRow("plain") << 1 << QStringLiteral("New, with commas") << -1;
        QTest::newRow("two quotes") << 2 << QStringLiteral("a\"b\"c") << 1;
        QTest::newRow("line break") << 1 << QStringLiteral("one\ntwo") << 3;
        QTest::newRow("result list") << 5 << QStringLiteral("ignored") << -1;
    }
    void propertiesEdits() {
        QFETCH(int, listNo);
        QFETCH(QString, typed);
        QFETCH(int, refusedAt);
        auto w = makeWindow();
        load(*w, 1, 3, false);
        load(*w, 2, 3, false);
        load(*w, listNo, 3, false);
        SnapshotList &list = w->workspace().list(Lists::atIndex(std::size_t(listNo - 1)));
        list.description = QStringLiteral("Old");
        w->compareOptions().compared = true;
        w->selectTab(listAt(listNo));
        bool stayedOpen = false;
        onNextDialog([&](QDialog *d) {
            auto *box = d->findChild<QPlainTextEdit *>(QStringLiteral("Description"));
            QCOMPARE(box->textCursor().selectedText(), QStringLiteral("Old"));
            box->selectAll();
            box->insertPlainText(typed);
            d->findChild<QAbstractButton *>(QStringLiteral("OK"))->click();
            stayedOpen = d->isVisible();
            if (stayedOpen) {
                QCOMPARE(box->textCursor().selectionStart(), refusedAt);
                QCOMPARE(box->textCursor().selectedText().size(), 1);
                d->reject();
            }
        });
        w->fileCommands().showProperties();
        const bool snapshot = listNo <= 2;
        QCOMPARE(stayedOpen, refusedAt >= 0);
        const bool stored = snapshot && refusedAt < 0;
        QCOMPARE(list.description, stored ? typed : QStringLiteral("Old"));
        QCOMPARE(list.unsaved, stored);
        // A stored snapshot description carries into the result descriptions.
        QCOMPARE(w->workspace().list(ListId::OnlyInOriginal).description.contains(typed), stored);
        QCOMPARE(w->findChild<PropertiesDialog *>()->windowTitle(),
                 snapshot ? QStringLiteral("Properties of %1 Snapshot")
                                .arg(Workspace::listName(listAt(listNo)))
                          : QStringLiteral("Properties of Changed"));
    }

    void exitAsksOriginalThenFinal() {
        auto w = makeWindow();
        w->show();
        load(*w, 1, 3, true);
        load(*w, 2, 3, true);
        prompts.answers = {Button::No, Button::Cancel};
        QVERIFY(!w->close());
        QCOMPARE(prompts.asked.size(), 2);
        QCOMPARE(prompts.asked[0].text, QStringLiteral("Original") + SaveQuestion);
        QCOMPARE(prompts.asked[1].text, QStringLiteral("Final") + SaveQuestion);
        QVERIFY(w->isVisible());
        QVERIFY(w->workspace().list(ListId::Original).isEmpty());
        QCOMPARE(w->workspace().list(ListId::Final).size(), 3);
        prompts.answers = {Button::No};
        w->exitProgram();
        QVERIFY(!w->isVisible());
    }

    // Bad input never costs what is loaded: each gives its message and the snapshot stays.
    void badFilesKeepTheLoadedSnapshot_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content"); // written to `file` unless empty
        QTest::addColumn<QString>("message");
        // A file that opens replaces the (saved) target before it turns out bad.
        QTest::addColumn<bool>("targetKept");
        QTest::newRow("missing") << QStringLiteral("missing.dir") << QByteArray()
                                 << QStringLiteral("File not found") << true;
        QTest::newRow("missing folder") << QStringLiteral("nowhere/x.dir") << QByteArray()
                                        << QStringLiteral("Path not found") << true;
        QTest::newRow("binary") << QStringLiteral("binary.dir")
                                << QByteArray("\x00\x01\xff\xfe\x00garbage", 12)
                                << QStringLiteral("Not a valid Vistrel file") << false;
        QTest::newRow("truncated")
            << QStringLiteral("cut.dir")
            << QByteArray("\"D\",\"S\",0,2,40000\r\n\"a\",\"\",32,5,40000.5\r\n\"b\",\" \",3")
            << QStringLiteral("Not a valid Vistrel file") << false;
        QTest::newRow("empty") << QStringLiteral("empty.dir") << QByteArray(" ")
                               << QStringLiteral("Not a valid Vistrel file") << false;
    }
    void badFilesKeepTheLoadedSnapshot() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFETCH(bool, targetKept);
        auto w = makeWindow();
        load(*w, 1, 4, true);
        load(*w, 2, 4, false);
        w->selectTab(ListId::Final);
        if (!content.isEmpty())
            writeFile(path(file), content == " " ? QByteArray() : content);
        prompts.files << path(file);
        prompts.answers = {Button::Ok};
        w->fileCommands().open();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Error"));
        QCOMPARE(prompts.asked[0].text, message);
        QCOMPARE(prompts.asked[0].icon, QMessageBox::Warning);
        QCOMPARE(w->workspace().list(ListId::Original).size(), 4);
        QVERIFY(w->workspace().list(ListId::Original).unsaved);
        QCOMPARE(w->workspace().list(ListId::Final).size(), targetKept ? 4 : 0);
        QVERIFY(!QApplication::overrideCursor());
        // A folder cannot be opened either.
        prompts.asked.clear();
        prompts.files << dir->path();
        w->fileCommands().open();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Error"));
        QCOMPARE(w->workspace().list(ListId::Original).size(), 4);
    }

    void saveToReadOnlyFolderKeepsUnsaved() {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        auto w = makeWindow();
        load(*w, 1, 4, true);
        QDir().mkpath(path(QStringLiteral("ro")));
        QFile::setPermissions(path(QStringLiteral("ro")), QFile::ReadOwner | QFile::ExeOwner);
        prompts.files << path(QStringLiteral("ro/x.dir"));
        w->fileCommands().saveAs();
        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].title, QStringLiteral("Error"));
        QVERIFY(w->workspace().list(ListId::Original).unsaved);
    }

    // While a job runs the window takes no command and cannot be closed; Esc stops the job.
    void jobsTakeNoInputButEsc() {
        auto w = makeWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QSignalSpy fileNew(w->findChild<QAction *>(QStringLiteral("FileNew")), &QAction::triggered);
        bool closed = true;
        QTimer::singleShot(50, w.get(), [&] {
            QTest::keyClick(w.get(), Qt::Key_N, Qt::ControlModifier);
            closed = w->close();
            QTest::keyClick(w.get(), Qt::Key_Escape);
        });
        Progress progress;
        bool stopped = false;
        w->commandHost().runJob(progress, true, [&] {
            // Gives up after ten seconds so a fault cannot hang the test.
            for (int i = 0; i < 1000 && !progress.cancelled(); ++i)
                QThread::msleep(10);
            stopped = progress.cancelled();
        });
        QVERIFY(stopped);
        QCOMPARE(fileNew.count(), 0);
        QVERIFY(!closed);
        QVERIFY(w->isVisible());
    }

    void fileErrorMessages() {
        auto w = makeWindow();
        const FileError notReady = FileError::fromCode(FileError::DriveNotReady);
        prompts.answers = {Button::Retry};
        QCOMPARE(w->commandHost().reportFileError(notReady), Button::Retry);
        QCOMPARE(prompts.asked[0].buttons,
                 QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        QCOMPARE(prompts.asked[0].text, QStringLiteral("Drive not ready"));
        w->commandHost().reportFileError(
            FileError::fromCode(1234, QStringLiteral("Something odd")));
        QCOMPARE(prompts.asked[1].text, QStringLiteral("Something odd"));
        QCOMPARE(prompts.asked[1].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
