// The Change Summary window in the real main window: what it shows of a comparison, its sort,
// its chart, and a double-click that leads to a folder's entries in the result lists.
#include "support/Modal.h"
#include "support/TestWindow.h"

#include "app/ListModel.h"
#include "app/ListPane.h"
#include "compare/ChangeSummary.h"
#include "dialogs/ChangeSummaryDialog.h"
#include "dialogs/ChangeSummaryModel.h"
#include "dialogs/CompareDialog.h"
#include "files/SnapshotFile.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/PackageDatabase.h"
#include "snapshot/Scanner.h"
#include "support/TestFiles.h"
#include "widgets/ChangeBars.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

constexpr double T = 40000.5;

// Folder a: a file grown by 20 bytes and a new one of 7; b: a file of 100 bytes gone; c: nothing.
void loadPair(MainWindow &w) {
    fill(w.workspace().list(ListId::Original), {{"", "a", 16, 0},
                                                {"", "b", 16, 0},
                                                {"", "c", 16, 0},
                                                {"a\\", "x.txt", 32, 10},
                                                {"b\\", "z.txt", 32, 100},
                                                {"c\\", "keep.txt", 32, 1}});
    fill(w.workspace().list(ListId::Final), {{"", "a", 16, 0},
                                             {"", "b", 16, 0},
                                             {"", "c", 16, 0},
                                             {"a\\", "x.txt", 32, 30},
                                             {"a\\", "new.txt", 32, 7},
                                             {"c\\", "keep.txt", 32, 1}});
    for (const ListId n : Lists::Snapshots)
        w.session().opened(n);
}

QStringList row(QAbstractItemModel *m, const QModelIndex &index) {
    QStringList texts;
    for (int c = 0; c < m->columnCount(); ++c)
        texts << m->index(index.row(), c, index.parent()).data().toString();
    return texts;
}

void takeSnapshot(const QString &root, const QString &file) {
    auto reader = makeDirectoryReader();
    Scanner scanner(*reader);
    SnapshotList list;
    QVERIFY(scanner.readDirectory(QFile::encodeName(root), root, list, true));
    list.source = NewSnapshot::sourceText(u"/"_s, root);
    QVERIFY(saveSnapshot(list, false, file).ok());
}

QStringList childNames(QAbstractItemModel *m, const QModelIndex &parent) {
    QStringList names;
    for (int r = 0; r < m->rowCount(parent); ++r)
        names << m->index(r, 0, parent).data().toString();
    return names;
}

} // namespace

class TestChangeSummaryDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<TestStore> store;
    TestPrompts prompts;

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        store = std::make_unique<TestStore>();
        prompts = TestPrompts();
    }

    void summaryOfAComparison() {
        MainWindow w(store->settings(), prompts);
        w.show();
        loadPair(w);
        QAction *open = w.findChild<QAction *>(u"ViewChanges"_s);
        QCOMPARE(open->text(), u"&Change Summary..."_s);
        QVERIFY(!open->isEnabled());
        CompareDialog *d = w.compareCommands().compareDialog();
        whenShown(d, [&] { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
        w.compareCommands().compare();
        QVERIFY(open->isEnabled());
        open->trigger();

        ChangeSummaryDialog *summary = w.changeSummary();
        QVERIFY(summary && summary->isVisible());
        QCOMPARE(summary->pages()->count(), 1); // no packages known: by folder alone
        QAbstractItemModel *m = summary->tree()->model();
        const QModelIndex root = m->index(0, 0);
        QCOMPARE(row(m, root), (QStringList{u"\\"_s, u"1"_s, u"1"_s, u"1"_s, u"100 bytes"_s,
                                            u"27 bytes"_s, u"-73 bytes"_s, u"0"_s, u"0"_s}));
        // Sizes in units, the exact number in the tooltip; every column in sight at once
        QCOMPARE(m->index(0, ChangeSummary::NetChange).data(Qt::ToolTipRole).toString(),
                 u"-73 bytes"_s);
        // (or the window as wide as the screen allows).
        QVERIFY(!summary->tree()->horizontalScrollBar()->isVisible() ||
                summary->width() >= summary->screen()->availableGeometry().width());
        // Most change first: a (two entries), b (one), c (none).
        QCOMPARE(childNames(m, root), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
        QCOMPARE(row(m, m->index(0, 0, root)),
                 (QStringList{u"a"_s, u"0"_s, u"1"_s, u"1"_s, u"0 bytes"_s, u"27 bytes"_s,
                              u"+27 bytes"_s, u"0"_s, u"0"_s}));
        QVERIFY(summary->tree()->isExpanded(root));
        // The chart shows the root's subfolders with bytes changed, the most first.
        QCOMPARE(summary->bars()->bars().size(), std::size_t(2));
        QCOMPARE(summary->bars()->bars()[0].label, u"b"_s);
        QCOMPARE(summary->bars()->bars()[1].label, u"a"_s);

        // A click on a heading sorts by it, and the root stays open.
        QHeaderView *header = summary->tree()->header();
        const int x = header->sectionViewportPosition(ChangeSummary::Folder) + 5;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        QCOMPARE(childNames(m, m->index(0, 0)), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        QCOMPARE(childNames(m, m->index(0, 0)), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
        QVERIFY(summary->tree()->isExpanded(m->index(0, 0)));
        // A first click on a number puts the largest first.
        const int removed = header->sectionViewportPosition(ChangeSummary::BytesRemoved) + 5;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(removed, header->height() / 2));
        QCOMPARE(childNames(m, m->index(0, 0)).first(), u"b"_s);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));

        // Double-clicking a shows its entries: the filter names it from the root, and a result
        // list that holds some of them is shown (Only in Original holds none of a's).
        QCOMPARE(w.shownList(), ListId::OnlyInOriginal);
        const QModelIndex a = m->index(2, 0, m->index(0, 0));
        QCOMPARE(a.data().toString(), u"a"_s);
        summary->tree()->setCurrentIndex(a);
        QTest::keyClick(summary->tree(), Qt::Key_Return);
        QCOMPARE(w.filterBox()->text(), u"\\a\\"_s);
        QCOMPARE(w.shownList(), ListId::OnlyInFinal);
        QCOMPARE(w.pane(ListId::OnlyInFinal)->model()->rowCount(), 1);
        w.selectTab(ListId::Changed);
        QCOMPARE(w.pane(ListId::Changed)->model()->rowCount(), 1);

        // Compared again with sizes ignored, the window on the screen follows: x.txt is
        // unchanged now.
        w.setFilter(QString());
        whenShown(d, [&] {
            QTest::mouseClick(d->ignoreSize(), Qt::LeftButton);
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        w.compareCommands().compare();
        m = summary->tree()->model();
        QCOMPARE(m->index(0, ChangeSummary::Changed).data().toString(), u"0"_s);

        // Closing a snapshot leaves nothing to summarise.
        prompts.answers = {QMessageBox::No};
        w.selectTab(ListId::Original);
        w.fileCommands().closeShown();
        QVERIFY(!open->isEnabled());
        QVERIFY(!summary->isVisible());
    }

    // Snapshots of a system with a package database, opened from their files: the lists show
    // each entry's owners, and the summary has a page by package.
    void byPackage() {
        QTemporaryDir dir;
        const QString root = dir.path() + u"/system"_s;
        FakeSystem s;
        s.folders = {"usr/bin"};
        s.lists["base"] = "/usr\n/usr/bin\n/usr/bin/gone\n";
        s.lists["tools"] = "/usr\n/usr/bin\n/usr/bin/tool\n";
        s.write(QFile::encodeName(root));
        writeFile(root + u"/usr/bin/tool"_s, "tool");
        writeFile(root + u"/usr/bin/gone"_s, QByteArray(300, 'g'));
        const QString before = dir.path() + u"/before.dir"_s, after = dir.path() + u"/after.dir"_s;
        takeSnapshot(root, before);
        QVERIFY(QFile::remove(root + u"/usr/bin/gone"_s));
        writeFile(root + u"/usr/bin/stray"_s, QByteArray(5000, 's'));
        takeSnapshot(root, after);

        MainWindow w(store->settings(), prompts);
        w.show();
        w.fileCommands().openSnapshot(before);
        w.fileCommands().openSnapshot(after);
        ListPane *original = w.pane(ListId::Original);
        QVERIFY(!original->details()->isColumnHidden(Col::Package));
        QCOMPARE(original->model()->headerData(Col::Package, Qt::Horizontal).toString(),
                 u"Package"_s);
        QStringList owners;
        for (int r = 0; r < original->model()->rowCount(); ++r)
            owners << original->model()->index(r, Col::Name).data().toString() + u'=' +
                          original->model()->index(r, Col::Package).data().toString();
        QVERIFY2(owners.contains(u"tool=tools"_s) && owners.contains(u"gone=base"_s) &&
                     owners.contains(u"bin=base, tools"_s) && owners.contains(u"var=(none)"_s),
                 qPrintable(owners.join(u' ')));

        CompareDialog *d = w.compareCommands().compareDialog();
        whenShown(d, [&] { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
        w.compareCommands().compare();
        QVERIFY(!w.pane(ListId::OnlyInFinal)->details()->isColumnHidden(Col::Package));
        w.findChild<QAction *>(u"ViewChanges"_s)->trigger();
        ChangeSummaryDialog *summary = w.changeSummary();
        QCOMPARE(summary->pages()->count(), 2);
        summary->pages()->setCurrentIndex(1);
        QAbstractItemModel *m = summary->packageView()->model();
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), u"Package"_s);
        QStringList rows;
        for (int r = 0; r < m->rowCount(); ++r)
            rows << row(m, m->index(r, 0)).join(u'|');
        // The removed file counts under the package that owned it, the stray one under none.
        QCOMPARE(rows, (QStringList{u"(none)|0|1|0|0 bytes|5.00 KB|+5.00 KB|0"_s,
                                    u"base|1|0|0|300 bytes|0 bytes|-300 bytes|0"_s}));
        QCOMPARE(summary->packageBars()->bars().size(), std::size_t(2));
        QCOMPARE(summary->packageBars()->bars()[0].label, u"(none)"_s);
        // A click on the heading sorts by the owners.
        QHeaderView *header = summary->packageView()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        QCOMPARE(m->index(0, 0).data().toString(), u"(none)"_s);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        QCOMPARE(m->index(0, 0).data().toString(), u"base"_s);
    }
};

QTEST_MAIN(TestChangeSummaryDialog)
#include "tst_changesummarydialog.moc"
