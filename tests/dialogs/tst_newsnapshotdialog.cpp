// The New Snapshot dialog: where it opens, how the folder follows the chosen list and drive,
// how folders are opened, and what its buttons leave behind.
#include "dialogs/NewSnapshotDialog.h"
#include "session/Session.h"
#include "snapshot/Volumes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

// Volumes a test makes up from folders of a temporary tree; those in `unreadable` behave like
// a drive without a medium.
class FakeVolumes : public Volumes {
public:
    QList<Volume> volumes;
    QStringList unreadable;

    QList<Volume> mounted() const override { return volumes; }
    bool canList(const QString &folder) const override {
        for (const QString &root : unreadable) {
            if (folder == root || folder.startsWith(root + u'/'))
                return false;
        }
        return QFileInfo(folder).isDir();
    }
};

class Tree {
public:
    explicit Tree(const QStringList &folders) {
        for (const QString &folder : folders)
            QDir(m_dir.path()).mkpath(folder);
    }
    QString path(const QString &relative) const {
        return QDir::cleanPath(m_dir.path() + u'/' + relative);
    }
    QString native(const QString &relative) const {
        return QDir::toNativeSeparators(path(relative));
    }

private:
    QTemporaryDir m_dir;
};

template <typename T> T *control(QWidget &dialog, const char *name) {
    return dialog.findChild<T *>(QLatin1String(name));
}

QListWidgetItem *folderItem(QWidget &dialog, const QString &name) {
    const auto found = control<QListWidget>(dialog, "DirList")->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.last();
}

void openWithEnter(QWidget &dialog, const QString &name) {
    auto *list = control<QListWidget>(dialog, "DirList");
    list->setCurrentItem(folderItem(dialog, name));
    QTest::keyClick(list, Qt::Key_Return);
}

QStringList folderTexts(QWidget &dialog) {
    auto *list = control<QListWidget>(dialog, "DirList");
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// Shows the dialog for list `listNo` and runs `during` while it is up. Whatever `during`
// leaves open is cancelled, so a failed check never leaves the modal loop running.
bool runDialog(NewSnapshotDialog &dialog, int listNo, const std::function<void()> &during = {}) {
    bool shown = false;
    QTimer::singleShot(0, &dialog, [&] {
        shown = dialog.isVisible();
        if (during)
            during();
        if (dialog.isVisible())
            dialog.reject();
    });
    dialog.run(Lists::atIndex(std::size_t(listNo - 1)));
    return shown && !QTest::currentTestFailed();
}

void addEntry(Session &ws, int listNo) {
    ws.list(Lists::atIndex(std::size_t(listNo - 1))).append(u"a.txt", u"", 32, 1, 40000.0);
}

} // namespace

class TestNewSnapshotDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstUse_data() {
        QTest::addColumn<int>("listNo");
        QTest::addColumn<bool>("finalRemembered");
        QTest::newRow("Original") << 1 << false;
        QTest::newRow("Final with a remembered folder") << 2 << true;
        QTest::newRow("Final without one") << 2 << false;
    }
    void firstUse() {
        QFETCH(int, listNo);
        QFETCH(bool, finalRemembered);
        const Tree tree({QStringLiteral("start"), QStringLiteral("final")});
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tree.path(QStringLiteral("start"))));
        const QString start = QDir::toNativeSeparators(QDir::currentPath());

        Session ws;
        if (listNo == 2)
            addEntry(ws, 1);
        if (finalRemembered)
            ws.rememberedFolders[2] = tree.native(QStringLiteral("final"));
        QList<int> tabs;
        NewSnapshotDialog dialog(
            ws, [&](ListId i) { tabs.append(int(i)); }, false, nullptr);
        QWidget *focus = nullptr;
        const bool ran = runDialog(dialog, listNo, [&] { focus = dialog.focusWidget(); });
        QDir::setCurrent(before);
        QVERIFY(ran);

        QCOMPARE(dialog.windowTitle(), QStringLiteral("Create new Snapshot"));
        QCOMPARE(int(dialog.whichList()), listNo);
        QCOMPARE(dialog.snapPath(), finalRemembered ? ws.rememberedFolders[2] : start);
        QVERIFY(dialog.includeSubs());
        QVERIFY(!dialog.appendTo());
        QVERIFY(!control<QCheckBox>(dialog, "AppendTo")->isEnabled());
        QCOMPARE(focus, control<QPushButton>(dialog, "OK"));
        // Only a change of the option shows another tab.
        QCOMPARE(tabs, listNo == 1 ? QList<int>() : QList<int>{2});
        // The start folder was never shown for the Original, so it is not remembered for it.
        QCOMPARE(ws.rememberedFolders[1], QString());
        QVERIFY(!dialog.confirmed());
    }

    void switchingLists_data() {
        QTest::addColumn<bool>("separate");
        QTest::newRow("remembered separately") << false;
        QTest::newRow("one folder for both") << true;
    }
    void switchingLists() {
        QFETCH(bool, separate);
        const Tree tree({QStringLiteral("a/sub"), QStringLiteral("b")});
        auto volumes = std::make_shared<FakeVolumes>();
        volumes->volumes = {{QDir::rootPath(), QString()},
                            {tree.path(QStringLiteral("a")), QStringLiteral("Alpha")},
                            {tree.path(QStringLiteral("b")), QStringLiteral("Beta")}};
        Session ws;
        ws.rememberedFolders[1] = tree.native(QStringLiteral("a"));
        ws.rememberedFolders[2] = tree.native(QStringLiteral("b"));
        QList<int> tabs;
        NewSnapshotDialog dialog(
            ws, [&](ListId i) { tabs.append(int(i)); }, separate, nullptr, volumes);
        QStringList paths, drives;
        QVERIFY(runDialog(dialog, 1, [&] {
            // What the Original showed last is what it gets back, not what was remembered.
            openWithEnter(dialog, QStringLiteral("sub"));
            QTest::mouseClick(control<QRadioButton>(dialog, "WhichList2"), Qt::LeftButton);
            paths << dialog.snapPath();
            drives << dialog.driveText();
            QTest::mouseClick(control<QRadioButton>(dialog, "WhichList1"), Qt::LeftButton);
            paths << dialog.snapPath();
            drives << dialog.driveText();
        }));

        const QString sub = tree.native(QStringLiteral("a/sub"));
        const QString alpha = tree.native(QStringLiteral("a")) + QStringLiteral(" [Alpha]");
        const QString beta = tree.native(QStringLiteral("b")) + QStringLiteral(" [Beta]");
        QCOMPARE(tabs, (QList<int>{2, 1}));
        if (separate) {
            QCOMPARE(paths, (QStringList{sub, sub}));
            QCOMPARE(drives, (QStringList{alpha, alpha}));
            QCOMPARE(ws.rememberedFolders[1], tree.native(QStringLiteral("a")));
        } else {
            QCOMPARE(paths, (QStringList{tree.native(QStringLiteral("b")), sub}));
            QCOMPARE(drives, (QStringList{beta, alpha}));
            QCOMPARE(ws.rememberedFolders[1], sub);
        }
        QCOMPARE(ws.rememberedFolders[2], tree.native(QStringLiteral("b")));
    }

    void appendTo_data() {
        QTest::addColumn<int>("loaded"); // 1: Original, 2: Final, 3: both
        QTest::addColumn<int>("listNo");
        QTest::addColumn<int>("switchTo");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty Original") << 0 << 1 << 0 << false;
        QTest::newRow("Original loaded since the last use") << 1 << 1 << 0 << true;
        QTest::newRow("to a loaded Final") << 2 << 1 << 2 << true;
        QTest::newRow("to an empty Final") << 1 << 1 << 2 << false;
        QTest::newRow("back to an empty Original") << 2 << 2 << 1 << false;
    }
    void appendTo() {
        QFETCH(int, loaded);
        QFETCH(int, listNo);
        QFETCH(int, switchTo);
        QFETCH(bool, enabled);
        Session ws;
        NewSnapshotDialog dialog(ws, {}, false, nullptr);
        QVERIFY(runDialog(dialog, 1));
        for (int n = 1; n <= 2; ++n) {
            if (loaded & n)
                addEntry(ws, n);
        }
        QVERIFY(runDialog(dialog, listNo, [&] {
            if (switchTo) {
                QTest::mouseClick(
                    control<QRadioButton>(dialog, switchTo == 1 ? "WhichList1" : "WhichList2"),
                    Qt::LeftButton);
            }
        }));
        QCOMPARE(control<QCheckBox>(dialog, "AppendTo")->isEnabled(), enabled);
    }

    void openingAFolder_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("opens");
        QTest::newRow("click") << QStringLiteral("click") << false;
        QTest::newRow("double-click") << QStringLiteral("double-click") << true;
        QTest::newRow("Enter") << QStringLiteral("Enter") << true;
    }
    void openingAFolder() {
        QFETCH(QString, how);
        QFETCH(bool, opens);
        const Tree tree({QStringLiteral("a/x")});
        Session ws;
        ws.rememberedFolders[1] = tree.native(QStringLiteral("a"));
        NewSnapshotDialog dialog(ws, {}, false, nullptr);
        bool stillShown = false;
        QString highlighted;
        QVERIFY(runDialog(dialog, 1, [&] {
            auto *list = control<QListWidget>(dialog, "DirList");
            QListWidgetItem *item = folderItem(dialog, QStringLiteral("x"));
            QVERIFY(item);
            const QPoint at = list->visualItemRect(item).center();
            if (how == QLatin1String("click"))
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            else if (how == QLatin1String("double-click")) {
                // As a real double-click arrives: the first click, then the second press.
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
            } else
                openWithEnter(dialog, QStringLiteral("x"));
            stillShown = dialog.isVisible();
            highlighted = list->currentItem()->text();
        }));
        QCOMPARE(highlighted, QStringLiteral("x"));
        QCOMPARE(dialog.snapPath(),
                 tree.native(opens ? QStringLiteral("a/x") : QStringLiteral("a")));
        // Enter opens the folder and does not also press OK.
        QVERIFY(stillShown);
        QVERIFY(!dialog.confirmed());
    }

    void ancestorsAndRoot() {
        const Tree tree({QStringLiteral("a/b/c/d")});
        Session ws;
        ws.rememberedFolders[1] = tree.native(QStringLiteral("a/b/c")) + QDir::separator();
        NewSnapshotDialog dialog(ws, {}, false, nullptr);
        QStringList shown, afterUp;
        QVERIFY(runDialog(dialog, 1, [&] {
            shown = folderTexts(dialog);
            openWithEnter(dialog, QStringLiteral("a"));
            afterUp = folderTexts(dialog);
            QCOMPARE(dialog.snapPath(), tree.native(QStringLiteral("a")));
            auto *list = control<QListWidget>(dialog, "DirList");
            list->setCurrentRow(0);
            QTest::keyClick(list, Qt::Key_Return);
        }));

        QStringList branch = tree.path(QString()).split(u'/', Qt::SkipEmptyParts);
        branch.prepend(QDir::toNativeSeparators(QDir::rootPath()));
        const QStringList below = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                   QStringLiteral("d")};
        QCOMPARE(shown, branch + below);
        QCOMPARE(afterUp, branch + below.mid(0, 2));
        // The root keeps its separator; no other folder has one at its end.
        QCOMPARE(dialog.snapPath(), QDir::toNativeSeparators(QDir::rootPath()));
        QVERIFY(dialog.snapPath().endsWith(QDir::separator()));
    }

    void driveWithoutMedium() {
        const Tree tree({QStringLiteral("disk/sub"), QStringLiteral("empty")});
        auto volumes = std::make_shared<FakeVolumes>();
        volumes->volumes = {{QDir::rootPath(), QStringLiteral("System")},
                            {tree.path(QStringLiteral("disk")), QStringLiteral("Disk")},
                            {tree.path(QStringLiteral("empty")), QStringLiteral("NoMedium")}};
        volumes->unreadable = {tree.path(QStringLiteral("empty"))};
        Session ws;
        ws.rememberedFolders[1] = tree.native(QStringLiteral("disk/sub"));
        NewSnapshotDialog dialog(ws, {}, false, nullptr, volumes);
        const QString disk = tree.native(QStringLiteral("disk")) + QStringLiteral(" [Disk]");
        QStringList paths, drives;
        QVERIFY(runDialog(dialog, 1, [&] {
            auto *driveList = control<QComboBox>(dialog, "DriveList");
            QCOMPARE(driveList->count(), 3);
            drives << dialog.driveText();
            QTest::keyClick(driveList, Qt::Key_End); // the volume without a medium
            paths << dialog.snapPath();
            drives << dialog.driveText();
            QTest::keyClick(driveList, Qt::Key_Home); // the file system's root
            paths << dialog.snapPath();
            drives << dialog.driveText();
            QTest::keyClick(driveList, Qt::Key_Down);
            paths << dialog.snapPath();
        }));
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        QCOMPARE(drives, (QStringList{disk, disk, root + QStringLiteral(" [System]")}));
        QCOMPARE(paths, (QStringList{tree.native(QStringLiteral("disk/sub")), root,
                                     tree.native(QStringLiteral("disk"))}));
    }

    void keyboard() {
        Session ws;
        NewSnapshotDialog dialog(ws, {}, false, nullptr);
        QStringList tabOrder, accessKeys;
        QVERIFY(runDialog(dialog, 1, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            for (int i = 0; i < 12; ++i) {
                tabOrder << dialog.focusWidget()->objectName();
                QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
            }
            for (const Qt::Key key : {Qt::Key_D, Qt::Key_L, Qt::Key_F, Qt::Key_V, Qt::Key_I,
                                      Qt::Key_U, Qt::Key_C, Qt::Key_N}) {
                QTest::keyClick(dialog.focusWidget(), key, Qt::AltModifier);
                accessKeys << dialog.focusWidget()->objectName();
            }
            // An access key clicks its button a moment later, as a mouse click would look.
            QTRY_VERIFY(dialog.separate());
        }));
        QCOMPARE(tabOrder,
                 (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel"),
                              QStringLiteral("WhichList1"), QStringLiteral("IncludeSubs"),
                              QStringLiteral("OtherVolumes"), QStringLiteral("OpenExisting"),
                              QStringLiteral("Separate"), QStringLiteral("LeaveOut"),
                              QStringLiteral("Contents"), QStringLiteral("DriveList"),
                              QStringLiteral("DirList"), QStringLiteral("OK")}));
        QCOMPARE(accessKeys,
                 (QStringList{QStringLiteral("DriveList"), QStringLiteral("DirList"),
                              QStringLiteral("WhichList2"), QStringLiteral("OtherVolumes"),
                              QStringLiteral("IncludeSubs"), QStringLiteral("LeaveOut"),
                              QStringLiteral("Contents"), QStringLiteral("Separate")}));
        QCOMPARE(dialog.whichList(), ListId::Final);
        QVERIFY(dialog.otherVolumes());
        QVERIFY(!dialog.includeSubs());
        // Without subfolders no other volume can be reached.
        QVERIFY(!control<QCheckBox>(dialog, "OtherVolumes")->isEnabled());
        QVERIFY(dialog.separate());
    }

    void buttons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<bool>("openExisting");
        QTest::newRow("OK") << QStringLiteral("OK") << true << false;
        QTest::newRow("Cancel") << QStringLiteral("Cancel") << false << false;
        QTest::newRow("Esc") << QStringLiteral("Esc") << false << false;
        QTest::newRow("Open existing") << QStringLiteral("OpenExisting") << false << true;
    }
    void buttons() {
        QFETCH(QString, button);
        QFETCH(bool, confirmed);
        QFETCH(bool, openExisting);
        const Tree tree({QStringLiteral("a/sub"), QStringLiteral("b/sub")});
        Session ws;
        ws.rememberedFolders[1] = tree.native(QStringLiteral("a"));
        ws.rememberedFolders[2] = tree.native(QStringLiteral("b"));
        NewSnapshotDialog dialog(ws, {}, false, nullptr);
        QVERIFY(runDialog(dialog, 2, [&] {
            openWithEnter(dialog, QStringLiteral("sub"));
            if (button == QLatin1String("Esc"))
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                control<QPushButton>(dialog, button.toLatin1().constData())->click();
        }));
        QVERIFY(dialog.isHidden());
        QCOMPARE(dialog.confirmed(), confirmed);
        QCOMPARE(dialog.openExistingChosen(), openExisting);
        QCOMPARE(dialog.whichList(), ListId::Final);
        QCOMPARE(ws.rememberedFolders[2],
                 tree.native(confirmed ? QStringLiteral("b/sub") : QStringLiteral("b")));
        QCOMPARE(ws.rememberedFolders[1], tree.native(QStringLiteral("a")));
        dialog.closed();
        QVERIFY(!dialog.confirmed());
        QVERIFY(!dialog.openExistingChosen());
    }

    void rememberedFolderGone() {
        const Tree tree({QStringLiteral("kept"), QStringLiteral("gone")});
        Session ws;
        ws.rememberedFolders[1] = tree.native(QStringLiteral("kept"));
        NewSnapshotDialog dialog(ws, {}, false, nullptr);
        QVERIFY(runDialog(dialog, 1));
        ws.rememberedFolders[1] = tree.native(QStringLiteral("gone"));
        QVERIFY(QDir(tree.path(QStringLiteral("gone"))).removeRecursively());
        QVERIFY(runDialog(dialog, 1));
        QCOMPARE(dialog.snapPath(), tree.native(QStringLiteral("kept")));
    }
};

QTEST_MAIN(TestNewSnapshotDialog)
#include "tst_newsnapshotdialog.moc"
