// The Compare dialog in the real main window: the options it shows and hands to the comparison,
// what Cancel and a cleared snapshot leave, and the result lists' descriptions.
#include "support/Modal.h"
#include "support/TestWindow.h"

#include "app/ListModel.h"
#include "app/ListPane.h"
#include "app/StatusPanel.h"
#include "dialogs/CompareDialog.h"
#include "snapshot/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <array>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr double T = 40000.5;
constexpr double Minute = 1.0 / 1440;

void fill(SnapshotList &list, const QString &description,
          std::initializer_list<TestEntry> entries) {
    fill(list, entries);
    list.description = description;
}

// An Original and a Final that differ in one property per file.
void loadPair(MainWindow &w) {
    fill(w.workspace().list(ListId::Original), QStringLiteral("/orig"),
         {{"", "size.txt", 32, 10, T},
          {"", "time.txt", 32, 10, T},
          {"", "ro.txt", 32, 10, T},
          {"", "arch.txt", 0, 10, T},
          {"", "same.txt", 32, 10, T},
          {"", "sub", 16, 0, T},
          {"", "empty", 16, 0, T},
          {"sub\\", "late.txt", 32, 10, T}});
    fill(w.workspace().list(ListId::Final), QStringLiteral("/final"),
         {{"", "size.txt", 32, 20, T},
          {"", "time.txt", 32, 10, T + 3 * Minute},
          {"", "ro.txt", 33, 10, T},
          {"", "arch.txt", 32, 10, T},
          {"", "same.txt", 32, 10, T},
          {"", "sub", 16, 0, T},
          {"", "empty", 16, 0, T},
          {"sub\\", "late.txt", 32, 10, T + 10 * Minute},
          {"sub\\", "new.txt", 32, 10, T}});
    for (const ListId n : Lists::Snapshots) {
        w.compareOptions().reset(n);
        w.session().opened(n);
    }
}

// In Folder and Name of every entry of a list, sorted.
QStringList sortedPaths(const SnapshotList &list) {
    QStringList out = paths(list);
    out.sort();
    return out;
}

QStringList checkedAttributes(CompareDialog *d) {
    QStringList out;
    for (int i = 0; i < d->ignoreAttr()->count(); ++i) {
        if (d->ignoreAttr()->item(i)->checkState() == Qt::Checked)
            out << d->ignoreAttr()->item(i)->text();
    }
    return out;
}

} // namespace

class TestCompareDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TestPrompts prompts;

    std::unique_ptr<MainWindow> makeWindow() {
        auto w = std::make_unique<MainWindow>(store->settings(), prompts);
        loadPair(*w);
        w->show();
        return w;
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        store = std::make_unique<TestStore>();
        prompts = TestPrompts();
    }

    void optionsReachTheComparison_data() {
        QTest::addColumn<bool>("ignoreSize");
        QTest::addColumn<bool>("ignoreStamp");
        QTest::addColumn<QString>("tolerance");
        QTest::addColumn<int>("toggledAttribute");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QStringList>("onlyInFinal");

        const QStringList all = {u"ro.txt"_s, u"size.txt"_s, u"sub\\late.txt"_s, u"time.txt"_s};
        const QStringList onlyNew = {u"sub\\new.txt"_s};
        QTest::newRow("as reset") << false << false << u"0"_s << -1 << u""_s << all << onlyNew;
        QTest::newRow("size ignored")
            << true << false << u"0"_s << -1 << u""_s
            << QStringList{u"ro.txt"_s, u"sub\\late.txt"_s, u"time.txt"_s} << onlyNew;
        QTest::newRow("date/time ignored") << false << true << u"0"_s << -1 << u""_s
                                           << QStringList{u"ro.txt"_s, u"size.txt"_s} << onlyNew;
        QTest::newRow("tolerance 5 min")
            << false << false << u"5"_s << -1 << u""_s
            << QStringList{u"ro.txt"_s, u"size.txt"_s, u"sub\\late.txt"_s} << onlyNew;
        QTest::newRow("tolerance 15 min") << false << false << u"15"_s << -1 << u""_s
                                          << QStringList{u"ro.txt"_s, u"size.txt"_s} << onlyNew;
        QTest::newRow("read-only ignored")
            << false << false << u"0"_s << 0 << u""_s
            << QStringList{u"size.txt"_s, u"sub\\late.txt"_s, u"time.txt"_s} << onlyNew;
        QTest::newRow("archive counted") << false << false << u"0"_s << 5 << u""_s
                                         << (QStringList(all) << u"arch.txt"_s) << onlyNew;
        QTest::newRow("both limited to sub") << false << false << u"0"_s << -1 << u"sub\\"_s
                                             << QStringList{u"sub\\late.txt"_s} << onlyNew;
    }
    void optionsReachTheComparison() {
        QFETCH(bool, ignoreSize);
        QFETCH(bool, ignoreStamp);
        QFETCH(QString, tolerance);
        QFETCH(int, toggledAttribute);
        QFETCH(QString, limit);
        QFETCH(QStringList, changed);
        QFETCH(QStringList, onlyInFinal);
        QStringList sortedChanged = changed;
        sortedChanged.sort();

        auto w = makeWindow();
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] {
            if (ignoreSize)
                QTest::mouseClick(d->ignoreSize(), Qt::LeftButton);
            if (ignoreStamp)
                QTest::mouseClick(d->ignoreStamp(), Qt::LeftButton);
            d->timeTolerance()->setText(tolerance);
            if (toggledAttribute >= 0) {
                QListWidgetItem *item = d->ignoreAttr()->item(toggledAttribute);
                item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked
                                                                      : Qt::Checked);
            }
            if (!limit.isEmpty()) {
                for (const ListId n : Lists::Snapshots)
                    d->limitedTo(n)->setCurrentIndex(d->limitedTo(n)->findText(limit));
            }
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();

        QVERIFY(!d->isVisible());
        QVERIFY(prompts.asked.isEmpty());
        const Workspace &ws = w->workspace();
        QCOMPARE(sortedPaths(ws.list(ListId::Changed)), sortedChanged);
        QCOMPARE(sortedPaths(ws.list(ListId::OnlyInFinal)), onlyInFinal);
        QVERIFY(ws.list(ListId::OnlyInOriginal).isEmpty());
        // Only in Original is empty, so Only in Final is the first list with entries.
        QCOMPARE(w->shownList(), ListId::OnlyInFinal);
        for (const ListId n : Lists::All)
            QCOMPARE(w->pane(n)->model()->rowCount(), ws.list(n).size());
        QVERIFY(w->compareOptions().compared);
    }

    // Each detail box leaves out of Changed the one file that differs in that detail alone.
    void detailBoxesReachTheComparison_data() {
        QTest::addColumn<int>("box");
        const char *rows[] = {"mode", "owner", "group", "link", "caps", "contents"};
        for (int k = 0; k < int(CompareDialog::DetailCount); ++k)
            QTest::newRow(rows[k]) << k;
    }
    void detailBoxesReachTheComparison() {
        QFETCH(int, box);
        auto w = makeWindow();
        const QStringList files = {u"mode"_s, u"owner"_s, u"group"_s,
                                   u"link"_s, u"caps"_s,  u"contents"_s};
        Details before;
        before.mode = 0100644;
        for (const ListId n : Lists::Snapshots) {
            SnapshotList &list = w->workspace().list(n);
            list.clearEntries();
            for (int k = 0; k < files.size(); ++k) {
                Details d = before;
                Digest digest{1};
                if (n == ListId::Final) {
                    const std::array<std::function<void()>, 6> change = {
                        [&] { d.mode = 0104755; },    [&] { d.uid = 33; },
                        [&] { d.gid = 33; },          [&] { d.linkTarget = u"/opt/new"_s; },
                        [&] { d.capability = "\1"; }, [&] { digest[0] = 2; }};
                    change[std::size_t(k)]();
                }
                list.append(files[k], list.internFolder(u""), 32, 1, T, d);
                list.setDigest(list.size() - 1, digest);
            }
            w->compareOptions().reset(n);
            w->session().opened(n);
        }
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] {
            QCheckBox *check = d->ignoreDetail(std::size_t(box));
            QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
        QStringList changed = files;
        changed.removeAt(box);
        changed.sort();
        QCOMPARE(sortedPaths(w->workspace().list(ListId::Changed)), changed);
    }

    // While the comparison runs, the count panel shows how far it is.
    void progressInTheCountPanel() {
        auto w = makeWindow();
        QStringList shown;
        QTimer sample;
        connect(&sample, &QTimer::timeout, this, [&] { shown << w->statusPanel(2)->text(); });
        sample.start(0);
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
        w->compareCommands().compare();
        sample.stop();
        QVERIFY2(!shown.filter(QRegularExpression(QStringLiteral("^\\d+%$"))).isEmpty(),
                 qPrintable(shown.join(u'|')));
        // Afterwards the panel counts the shown list again.
        QVERIFY(!w->statusPanel(2)->text().endsWith(u'%'));
    }

    void cancelKeepsChanges() {
        auto w = makeWindow();
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] {
            d->limitedTo(ListId::Original)
                ->setCurrentIndex(
                    d->limitedTo(ListId::Original)->findText(QStringLiteral("sub\\")));
            QTest::mouseClick(d->ignoreSize(), Qt::LeftButton);
            d->ignoreAttr()->item(1)->setCheckState(Qt::Checked);
            d->timeTolerance()->setText(QStringLiteral("7"));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        w->compareCommands().compare();
        QVERIFY(!d->isVisible());
        const CompareOptions &o = w->compareOptions();
        QCOMPARE(o.limitOriginal, QStringLiteral("sub\\"));
        QVERIFY(o.limitFinal.isEmpty());
        QVERIFY(o.ignoreSize);
        QVERIFY(o.ignoreAttr[1]);
        QCOMPARE(o.tolerance, QStringLiteral("7"));
        QVERIFY(!o.compared);
        QVERIFY(w->workspace().list(ListId::Changed).isEmpty());

        // Shown again, the dialog has the options as they were left.
        QStringList seen;
        whenShown(d, [&] {
            seen << d->limitedTo(ListId::Original)->currentText()
                 << d->limitedTo(ListId::Final)->currentText() << checkedAttributes(d).join(u',')
                 << d->timeTolerance()->text();
            QVERIFY(d->ignoreSize()->isChecked());
            QVERIFY(d->okButton()->hasFocus() || !QApplication::focusWidget());
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
        QCOMPARE(seen, (QStringList{u"sub\\"_s, u""_s, u"Hidden,Archive"_s, u"7"_s}));
    }

    void resetShowsAfterSnapshotCleared() {
        auto w = makeWindow();
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] {
            for (const ListId n : Lists::Snapshots)
                d->limitedTo(n)->setCurrentIndex(
                    d->limitedTo(n)->findText(QStringLiteral("sub\\")));
            QTest::mouseClick(d->ignoreStamp(), Qt::LeftButton);
            QTest::mouseClick(d->ignoreSize(), Qt::LeftButton);
            d->ignoreAttr()->item(0)->setCheckState(Qt::Checked);
            d->ignoreAttr()->item(5)->setCheckState(Qt::Unchecked);
            d->timeTolerance()->setText(QStringLiteral("3"));
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();

        // A new Original replaces the old one: new folders, options reset.
        SnapshotList &original = w->workspace().list(ListId::Original);
        original.clearEntries();
        original.limits.clear();
        w->compareOptions().reset(ListId::Original);
        original.addLimit(u"");
        original.addLimit(u"other\\");
        original.append(u"x", u"other\\", 32, 1, T);
        w->session().opened(ListId::Original);

        whenShown(d, [&] {
            QCOMPARE(checkedAttributes(d), QStringList{u"Archive"_s});
            QVERIFY(!d->ignoreStamp()->isChecked());
            QVERIFY(!d->ignoreSize()->isChecked());
            QVERIFY(d->timeTolerance()->isEnabled());
            QCOMPARE(d->timeTolerance()->text(), QStringLiteral("3"));
            QCOMPARE(d->limitedTo(ListId::Original)->count(), 2);
            QCOMPARE(d->limitedTo(ListId::Original)->itemText(1), QStringLiteral("other\\"));
            QCOMPARE(d->limitedTo(ListId::Original)->currentIndex(), -1);
            QCOMPARE(d->limitedTo(ListId::Final)->count(), 3);
            QCOMPARE(d->limitedTo(ListId::Final)->currentText(), QStringLiteral("sub\\"));
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
    }

    void dateTimeDisablesTolerance() {
        auto w = makeWindow();
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] {
            d->timeTolerance()->setText(QStringLiteral("12"));
            // The access key of "&Date/Time" toggles it from the keyboard.
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            QTest::keyClick(d->focusWidget(), Qt::Key_D, Qt::AltModifier);
            // An access key clicks the box the way a mouse does, pressed for a moment.
            QTRY_VERIFY(d->ignoreStamp()->isChecked());
            QVERIFY(!d->timeTolerance()->isEnabled());
            QCOMPARE(d->timeTolerance()->text(), QStringLiteral("12"));
            QTest::mouseClick(d->ignoreStamp(), Qt::LeftButton);
            QVERIFY(d->timeTolerance()->isEnabled());
            QCOMPARE(d->timeTolerance()->text(), QStringLiteral("12"));
            QTest::mouseClick(d->ignoreStamp(), Qt::LeftButton);
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
        // The next showing has the box greyed out, as the check box was left.
        bool enabled = true;
        whenShown(d, [&] {
            enabled = d->timeTolerance()->isEnabled();
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
        QVERIFY(!enabled);
    }

    // A Final whose files all moved one hour later: the program says so once, and comparing
    // again with the shift ignored (the answer Yes) leaves nothing changed.
    void hourShiftIsOfferedOnce_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("declined") << false;
    }
    void hourShiftIsOfferedOnce() {
        QFETCH(bool, accept);
        auto w = makeWindow();
        for (const ListId n : Lists::Snapshots) {
            SnapshotList &list = w->workspace().list(n);
            list.clearEntries();
            for (int k = 0; k < 12; ++k)
                list.append(u"f%1.txt"_s.arg(k), u""_s, 32, 10,
                            T + (n == ListId::Final ? 60 * Minute : 0));
            w->session().opened(n);
        }
        prompts.answers = {accept ? QMessageBox::Yes : QMessageBox::No};
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
        w->compareCommands().compare();

        QCOMPARE(prompts.asked.size(), 1);
        QCOMPARE(prompts.asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(prompts.asked[0].text.contains(u"12 entries"_s) &&
                     prompts.asked[0].text.contains(u"1 hour"_s),
                 qPrintable(prompts.asked[0].text));
        const Workspace &ws = w->workspace();
        QCOMPARE(ws.list(ListId::Changed).size(), accept ? 0 : 12);
        QCOMPARE(ws.list(ListId::Unchanged).size(), accept ? 12 : 0);
        QCOMPARE(w->shownList(), accept ? ListId::Unchanged : ListId::Changed);

        // The dialog shows the option as the answer left it; the hint is not repeated.
        bool shownChecked = !accept;
        whenShown(d, [&] {
            shownChecked = d->ignoreHourShifts()->isChecked();
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
        QCOMPARE(shownChecked, accept);
        QCOMPARE(prompts.asked.size(), 1);
    }

    // The check box reaches the comparison, is greyed out with Date/Time, and a cleared snapshot
    // takes it back off.
    void hourShiftOption() {
        auto w = makeWindow();
        SnapshotList &final = w->workspace().list(ListId::Final);
        final.append(u"shifted.txt"_s, u""_s, 32, 10, T + 120 * Minute);
        w->workspace().list(ListId::Original).append(u"shifted.txt"_s, u""_s, 32, 10, T);
        w->session().opened(ListId::Original);
        w->session().opened(ListId::Final);
        CompareDialog *d = w->compareCommands().compareDialog();
        bool greyed = false;
        whenShown(d, [&] {
            QTest::mouseClick(d->ignoreStamp(), Qt::LeftButton);
            greyed = !d->ignoreHourShifts()->isEnabled();
            QTest::mouseClick(d->ignoreStamp(), Qt::LeftButton);
            QTest::mouseClick(d->ignoreHourShifts(), Qt::LeftButton);
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
        QVERIFY(greyed);
        QVERIFY(w->compareOptions().ignoreHourShifts);
        // time.txt (3 minutes) and late.txt (10 minutes) still differ; the two hours do not.
        QVERIFY(!paths(w->workspace().list(ListId::Changed)).contains(u"shifted.txt"_s));
        QVERIFY(paths(w->workspace().list(ListId::Changed)).contains(u"time.txt"_s));
        w->compareOptions().reset(ListId::Original);
        QVERIFY(!w->compareOptions().ignoreHourShifts);
    }

    // The patterns typed under "Leave out" reach the comparison, and stay as typed.
    void leaveOutReachesTheComparison() {
        auto w = makeWindow();
        CompareDialog *d = w->compareCommands().compareDialog();
        whenShown(d, [&] {
            d->leaveOut()->setText(u"size.*; SUB\\"_s);
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        w->compareCommands().compare();
        QCOMPARE(w->compareOptions().exclude, (QStringList{u"size.*"_s, u"SUB\\"_s}));
        QStringList all;
        for (const ListId n : Lists::Results)
            all << sortedPaths(w->workspace().list(n));
        QVERIFY(!all.contains(u"size.txt"_s));
        QVERIFY(!all.contains(u"sub\\late.txt"_s) && !all.contains(u"sub\\new.txt"_s));
        QVERIFY(all.contains(u"time.txt"_s));
        QString shown;
        whenShown(d, [&] {
            shown = d->leaveOut()->text();
            d->reject();
        });
        w->compareCommands().compare();
        QCOMPARE(shown, u"size.*; SUB\\"_s);
    }

    void resultDescriptions_data() {
        QTest::addColumn<QString>("limitOriginal");
        QTest::addColumn<QString>("limitFinal");
        QTest::addColumn<QStringList>("descriptions");
        QTest::newRow("no limits")
            << u""_s << u""_s
            << QStringList{u"In /orig but not in /final"_s, u"In /final but not in /orig"_s,
                           u"Changed between /orig and /final"_s,
                           u"Identical in both /orig and /final"_s};
        QTest::newRow("Original limited")
            << u"sub\\"_s << u""_s
            << QStringList{u"In /orig/sub/ but not in /final"_s,
                           u"In /final but not in /orig/sub/"_s,
                           u"Changed between /orig/sub/ and /final"_s,
                           u"Identical in both /orig/sub/ and /final"_s};
        QTest::newRow("both limited, nothing found")
            << u"empty\\"_s << u"empty\\"_s
            << QStringList{u"In /orig/empty/ but not in /final/empty/"_s,
                           u"In /final/empty/ but not in /orig/empty/"_s,
                           u"Changed between /orig/empty/ and /final/empty/"_s,
                           u"Identical in both /orig/empty/ and /final/empty/"_s};
    }
    void resultDescriptions() {
        QFETCH(QString, limitOriginal);
        QFETCH(QString, limitFinal);
        QFETCH(QStringList, descriptions);
        auto w = makeWindow();
        w->workspace().list(ListId::Original).description = QStringLiteral("/orig");
        CompareDialog *d = w->compareCommands().compareDialog();
        QStringList shownPaths;
        whenShown(d, [&] {
            shownPaths << d->snapPath(ListId::Original)->text()
                       << d->snapPath(ListId::Final)->text();
            d->limitedTo(ListId::Original)
                ->setCurrentIndex(d->limitedTo(ListId::Original)->findText(limitOriginal));
            d->limitedTo(ListId::Final)
                ->setCurrentIndex(d->limitedTo(ListId::Final)->findText(limitFinal));
            QTest::keyClick(d, Qt::Key_Return);
        });
        w->compareCommands().compare();
        QCOMPARE(shownPaths, (QStringList{u"/orig"_s, u"/final"_s}));
        QStringList got;
        for (const ListId n : Lists::FourResults)
            got << w->workspace().list(n).description;
        QCOMPARE(got, descriptions);

        const bool nothing = limitOriginal == QLatin1String("empty\\");
        QCOMPARE(prompts.asked.size(), nothing ? 1 : 0);
        if (nothing) {
            QCOMPARE(prompts.asked[0].title, QStringLiteral("Vistrel"));
            QCOMPARE(prompts.asked[0].text, QStringLiteral("No differences were found"));
            QCOMPARE(w->tabStrip()->currentIndex(), 0);
        } else {
            QVERIFY(w->tabStrip()->currentIndex() >= 2);
        }
        // The status bar shows the list now shown, not "Comparing...".
        QCOMPARE(w->statusPanel(1)->text(), w->workspace().list(w->shownList()).description);
    }
};

QTEST_MAIN(TestCompareDialog)
#include "tst_comparedialog.moc"
