#include "session/Session.h"
#include "snapshot/Columns.h"
#include "snapshot/DateSerial.h"
#include "snapshot/NewSnapshot.h"
#include "sort/ColumnSorts.h"

#include <QDir>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// n files in two folders, in an order that differs by name and by folder.
void fill(SnapshotList &list, int n) {
    for (int k = 0; k < n; ++k)
        list.append(QStringLiteral("f%1").arg((k * 7) % n), k % 2 ? u"b\\" : u"a\\", 32, 1,
                    45000.0);
    list.addLimit(u"");
}

QStringList paths(const SnapshotList &list) {
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.folder(i) + list.name(i).toString();
    return out;
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Which list New, Open and Import fill.
    void pickTargetList_data() {
        QTest::addColumn<int>("original");
        QTest::addColumn<int>("final");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("target"); // 0: refused
        QTest::newRow("nothing loaded, final tab") << 0 << 0 << 2 << 1;
        QTest::newRow("original loaded, its tab") << 3 << 0 << 1 << 2;
        QTest::newRow("final loaded only") << 0 << 3 << 2 << 1;
        QTest::newRow("both, final tab") << 3 << 3 << 2 << 2;
        QTest::newRow("both, original tab") << 3 << 3 << 1 << 1;
        QTest::newRow("both, unchanged tab") << 3 << 3 << 6 << 0;
        QTest::newRow("both, only in original tab") << 3 << 3 << 3 << 0;
        QTest::newRow("original only, result tab") << 3 << 0 << 5 << 2;
    }
    void pickTargetList() {
        QFETCH(int, original);
        QFETCH(int, final);
        QFETCH(int, shown);
        QFETCH(int, target);
        Session s;
        fill(s.list(1), original);
        fill(s.list(2), final);
        QCOMPARE(s.PickTargetList(shown), target);
    }

    // What Save As and Export propose.
    void proposedSaveTarget_data() {
        QTest::addColumn<int>("listNo");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        const QString remembered = QStringLiteral("/remembered");
        QTest::newRow("opened file") << 1 << QStringLiteral("/snaps/before.dir")
                                     << QStringLiteral("Save/Export Original Snapshot")
                                     << QStringLiteral("/snaps") << QStringLiteral("before");
        QTest::newRow("scanned folder")
            << 2 << QStringLiteral("Reports") << QStringLiteral("Save/Export Final Snapshot")
            << remembered << QStringLiteral("Reports");
        QTest::newRow("name with periods")
            << 1 << QStringLiteral("/s/a.b.dir") << QStringLiteral("Save/Export Original Snapshot")
            << QStringLiteral("/s") << QStringLiteral("a");
        QTest::newRow("no name") << 1 << QString()
                                 << QStringLiteral("Save/Export Original Snapshot") << remembered
                                 << QStringLiteral("Untitled");
        QTest::newRow("imported listing")
            << 2 << QStringLiteral("Untitled") << QStringLiteral("Save/Export Final Snapshot")
            << remembered << QStringLiteral("Untitled");
        QTest::newRow("changed") << 5 << QStringLiteral("/x/y.dir")
                                 << QStringLiteral("Save/Export Changed") << remembered
                                 << QStringLiteral("Changed");
        QTest::newRow("only in final")
            << 4 << QString() << QStringLiteral("Save/Export Only in Final") << remembered
            << QStringLiteral("Only in Final");
    }
    void proposedSaveTarget() {
        QFETCH(int, listNo);
        QFETCH(QString, fileName);
        QFETCH(QString, title);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        Session s;
        s.DefPath[0] = QStringLiteral("/remembered");
        s.list(listNo).fileName = fileName;
        const Session::SaveTarget target = s.proposedSaveTarget(listNo);
        QCOMPARE(target.title, title);
        QCOMPARE(target.folder, folder);
        QCOMPARE(target.name, name);
        // Saving, opening or importing a file moves where the next file dialog starts.
        s.rememberFileFolder(QStringLiteral("/elsewhere/file.dir"));
        QCOMPARE(s.DefPath[0], QStringLiteral("/elsewhere"));
    }

    // Closing a snapshot empties it, every result list (they came from the pair), and the
    // Compare options that belong to it; the other snapshot stays.
    void closeCascade_data() {
        QTest::addColumn<int>("closed");
        QTest::newRow("original") << 1;
        QTest::newRow("final") << 2;
    }
    void closeCascade() {
        QFETCH(int, closed);
        Session s;
        for (int n = 1; n <= 6; ++n) {
            fill(s.list(n), 3);
            s.list(n).description = QStringLiteral("list %1").arg(n);
            s.list(n).fileName = QStringLiteral("file %1").arg(n);
            s.list(n).source = QStringLiteral("source %1").arg(n);
            s.list(n).created = 45000 + n;
        }
        s.list(closed).unsaved = true;
        CompareOptions &o = s.options();
        o.limitOriginal = QStringLiteral("a\\");
        o.limitFinal = QStringLiteral("b\\");
        o.ignoreAttr = {true, true, false, false, true, false};
        o.ignoreSize = o.ignoreStamp = o.compared = true;
        o.tolerance = QStringLiteral("5");
        QVERIFY(!s.saveQuestion(closed).isEmpty());

        s.CloseSnapshot(closed);
        const int other = 3 - closed;
        QVERIFY(s.list(closed).isEmpty());
        QVERIFY(s.list(closed).limits.empty());
        QVERIFY(!s.list(closed).unsaved);
        QVERIFY(s.list(closed).description.isEmpty());
        QVERIFY(s.saveQuestion(closed).isEmpty());
        // The file name, source and creation time wait for the next New, Open or Import.
        QCOMPARE(s.list(closed).fileName, QStringLiteral("file %1").arg(closed));
        QCOMPARE(s.list(closed).source, QStringLiteral("source %1").arg(closed));
        QCOMPARE(s.list(closed).created, 45000.0 + closed);
        for (int n = 3; n <= 6; ++n) {
            QVERIFY(s.list(n).isEmpty());
            QVERIFY(s.list(n).description.isEmpty());
        }
        QCOMPARE(s.list(other).size(), 3);
        QCOMPARE(s.list(other).description, QStringLiteral("list %1").arg(other));
        QVERIFY(o.limit(closed).isEmpty());
        QCOMPARE(o.limit(other), other == 1 ? QStringLiteral("a\\") : QStringLiteral("b\\"));
        QCOMPARE(o.ignoreAttr, (std::array<bool, 6>{false, false, false, false, false, true}));
        QVERIFY(!o.ignoreSize && !o.ignoreStamp && !o.compared);
        QCOMPARE(o.tolerance, QStringLiteral("5"));
    }

    void saveQuestion() {
        Session s;
        QVERIFY(s.saveQuestion(1).isEmpty());
        s.list(2).unsaved = true;
        QCOMPARE(s.saveQuestion(2),
                 QStringLiteral("Final Snapshot has not been saved, save it now?"));
        s.list(1).unsaved = true;
        QCOMPARE(s.saveQuestion(1),
                 QStringLiteral("Original Snapshot has not been saved, save it now?"));
    }

    // Which commands the shown list allows.
    void commandStates_data() {
        QTest::addColumn<int>("original");
        QTest::addColumn<int>("final");
        QTest::addColumn<int>("result"); // entries in every result list
        QTest::addColumn<int>("shown");
        QTest::addColumn<bool>("entryCommands"); // Save As, Export, Print, Properties
        QTest::addColumn<bool>("close");
        QTest::addColumn<bool>("compare");
        QTest::newRow("nothing loaded") << 0 << 0 << 0 << 1 << false << false << false;
        QTest::newRow("original, its tab") << 5 << 0 << 0 << 1 << true << true << false;
        QTest::newRow("original, empty result tab") << 5 << 0 << 0 << 3 << false << false << false;
        QTest::newRow("original, empty final tab") << 5 << 0 << 0 << 2 << false << false << false;
        QTest::newRow("both, final tab") << 5 << 3 << 0 << 2 << true << true << true;
        QTest::newRow("both, empty result tab") << 5 << 3 << 0 << 4 << false << false << true;
        QTest::newRow("result list") << 5 << 3 << 2 << 5 << true << false << true;
        QTest::newRow("unchanged list") << 5 << 3 << 2 << 6 << true << false << true;
        QTest::newRow("final only") << 0 << 3 << 0 << 2 << true << true << false;
    }
    void commandStates() {
        QFETCH(int, original);
        QFETCH(int, final);
        QFETCH(int, result);
        QFETCH(int, shown);
        QFETCH(bool, entryCommands);
        QFETCH(bool, close);
        QFETCH(bool, compare);
        Session s;
        fill(s.list(1), original);
        fill(s.list(2), final);
        for (int n = 3; n <= 6; ++n)
            fill(s.list(n), result);
        const Session::CommandStates states = s.commandStates(shown);
        QCOMPARE(states.saveAs, entryCommands);
        QCOMPARE(states.exportCsv, entryCommands);
        QCOMPARE(states.print, entryCommands);
        QCOMPARE(states.properties, entryCommands);
        QCOMPARE(states.close, close);
        QCOMPARE(states.compare, compare);
    }

    // A scan names the list after its folder, describes a new snapshot by its root and adds an
    // appended root to the description.
    void scanned_data() {
        QTest::addColumn<bool>("append");
        QTest::newRow("new") << false;
        QTest::newRow("appended") << true;
    }
    void scanned() {
        QFETCH(bool, append);
        Session s;
        SnapshotList &list = s.list(1);
        list.description = QStringLiteral("/data");
        list.source = QStringLiteral("/ - /data/*.*");
        list.created = 40000;
        s.beginScan(1, QStringLiteral("/home/user/Reports"));
        QCOMPARE(list.fileName, QStringLiteral("Reports"));
        s.scanned(1, QStringLiteral("/home/user/Reports"), QStringLiteral("/home [Home]"), append);
        QVERIFY(list.unsaved);
        if (append) {
            QCOMPARE(list.description, QStringLiteral("/data + /home/user/Reports"));
            QCOMPARE(list.source, QStringLiteral("/ - /data/*.*"));
            QCOMPARE(list.created, 40000.0);
        } else {
            QCOMPARE(list.description, QStringLiteral("/home/user/Reports"));
            QCOMPARE(list.source, QStringLiteral("/home [Home] - /home/user/Reports/*.*"));
            QVERIFY(std::fabs(list.created - DateSerial::now()) < 1.0 / 24);
        }
    }

    // The folder a source text names, as the New command wrote it, and what names none.
    void rootFromSource_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("root");
        const QString tmp = QDir::tempPath();
        QTest::newRow("a folder") << NewSnapshot::sourceText(u"/ [disk]"_s, tmp) << tmp;
        QTest::newRow("the file system's root")
            << NewSnapshot::sourceText(u"/"_s, u"/"_s) << u"/"_s;
        QTest::newRow("a volume with a dash")
            << NewSnapshot::sourceText(u"/mnt/a - b [x - y]"_s, tmp) << tmp;
        QTest::newRow("a folder with a dash that does not exist")
            << u"/ - /gone - away/*.*"_s << u"/gone - away"_s;
        QTest::newRow("a DOS listing") << u"C:\\DIR.TXT"_s << QString();
        QTest::newRow("a relative path") << u"x - data/*.*"_s << QString();
        QTest::newRow("a result list") << u"Changed"_s << QString();
    }
    void rootFromSource() {
        QFETCH(QString, source);
        QFETCH(QString, root);
        QCOMPARE(NewSnapshot::rootFromSource(source), root);
    }

    // Which Original Compare with Folder Now can read again, and how.
    void folderNowPlan() {
        Session s;
        QVERIFY(!s.folderNowPlan());
        fill(s.list(1), 3);
        s.list(1).source = u"C:\\DIR.TXT"_s; // a listing names no folder
        QVERIFY(!s.commandStates(1).compareNow);

        ScanOrigin scan;
        scan.root = QDir::tempPath();
        scan.includeSubs = false;
        scan.otherVolumes = true;
        s.scanned(1, scan.root, u"/"_s, false);
        s.rememberScan(1, scan);
        QVERIFY(s.commandStates(3).compareNow);
        QCOMPARE(s.folderNowPlan()->root, scan.root);
        QVERIFY(!s.folderNowPlan()->includeSubs && s.folderNowPlan()->otherVolumes);

        // Another root appended: no one folder stands for the snapshot.
        s.scanned(1, u"/elsewhere"_s, u"/"_s, true);
        QVERIFY(!s.folderNowPlan());

        // Opened from a file, the source text says where it was taken.
        s.CloseSnapshot(1);
        fill(s.list(1), 3);
        s.beginOpen(1, u"/x/y.dir"_s);
        s.list(1).source = NewSnapshot::sourceText(u"/"_s, QDir::tempPath());
        QCOMPARE(s.folderNowPlan()->root, QDir::tempPath());
        QVERIFY(s.folderNowPlan()->includeSubs && !s.folderNowPlan()->otherVolumes);
    }

    // Options kept across the Final read anew, but for a limit the new Final lacks.
    void keepOptions_data() {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("kept");
        QTest::newRow("folder still there") << u"a\\"_s << u"a\\"_s;
        QTest::newRow("folder gone") << u"gone\\"_s << QString();
    }
    void keepOptions() {
        QFETCH(QString, limit);
        QFETCH(QString, kept);
        Session s;
        s.options().ignoreSize = true;
        s.options().limitFinal = limit;
        s.options().compared = true;
        const CompareOptions before = s.options();
        s.CloseSnapshot(2);
        fill(s.list(2), 2);
        s.list(2).addLimit(u"a\\");
        QVERIFY(!s.options().ignoreSize);
        s.keepOptions(before);
        QVERIFY(s.options().ignoreSize);
        QCOMPARE(s.options().limitFinal, kept);
        QVERIFY(!s.options().compared);
    }

    // The folders the New Snapshot dialog remembers for each list, and switching between them.
    void scanFolders_data() {
        QTest::addColumn<bool>("shared");
        QTest::newRow("each list its folder") << false;
        QTest::newRow("one folder for both") << true;
    }
    void scanFolders() {
        QFETCH(bool, shared);
        Session s;
        s.rememberScanFolder(1, QStringLiteral("/a"));
        s.rememberScanFolder(2, QStringLiteral("/b"));
        QCOMPARE(s.DefPath[1], QStringLiteral("/a"));
        QCOMPARE(s.DefPath[2], QStringLiteral("/b"));
        // The Original showed /c when the user switched to the Final.
        const std::optional<QString> shown = s.switchScanList(1, 2, QStringLiteral("/c"), shared);
        if (shared) {
            QVERIFY(!shown);
            QCOMPARE(s.scanFolder(1), QStringLiteral("/a"));
        } else {
            QCOMPARE(*shown, QStringLiteral("/b"));
            QCOMPARE(s.scanFolder(1), QStringLiteral("/c"));
        }
        QCOMPARE(s.scanFolder(2), QStringLiteral("/b"));
    }

    // The characters a description cannot hold in a snapshot file's one-line field.
    void unstorableAt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("at");
        QTest::newRow("plain") << QStringLiteral("Before install, 2026") << -1;
        QTest::newRow("quote") << QStringLiteral("say \"hi\"") << 4;
        QTest::newRow("line feed") << QStringLiteral("two\nlines") << 3;
        QTest::newRow("carriage return") << QStringLiteral("a\rb") << 1;
        QTest::newRow("paragraph separator") << QStringLiteral("a\u2029b") << 1;
        QTest::newRow("line separator") << QStringLiteral("ab\u2028") << 2;
        QTest::newRow("pipe is fine") << QStringLiteral("Before|2Ainstall") << -1;
    }
    void unstorableAt() {
        QFETCH(QString, text);
        QFETCH(int, at);
        QCOMPARE(Session::unstorableAt(text), qsizetype(at));
    }

    // A new description: an edit leaves the snapshot unsaved, and the result lists (named after
    // the snapshots) follow once a comparison has run.
    void setDescription_data() {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("compared");
        QTest::newRow("edited after a comparison") << true << true;
        QTest::newRow("untouched, no comparison") << false << false;
    }
    void setDescription() {
        QFETCH(bool, edited);
        QFETCH(bool, compared);
        Session s;
        s.list(2).description = QStringLiteral("/after");
        s.options().compared = compared;
        s.setDescription(1, QStringLiteral("/before"), edited);
        QCOMPARE(s.list(1).description, QStringLiteral("/before"));
        QCOMPARE(s.list(1).unsaved, edited);
        QCOMPARE(s.list(3).description,
                 compared ? QStringLiteral("In /before but not in /after") : QString());
    }

    // The report wants each folder's entries together; the list then gets its own order back.
    void inFolderOrder_data() {
        QTest::addColumn<int>("key"); // -1: unsorted
        QTest::addColumn<int>("order");
        QTest::newRow("unsorted") << -1 << 0;
        QTest::newRow("by name, descending") << int(Col::Name) << 1;
        QTest::newRow("by folder") << int(Col::InFolder) << 0;
    }
    void inFolderOrder() {
        QFETCH(int, key);
        QFETCH(int, order);
        Session s;
        fill(s.list(5), 6);
        if (key >= 0)
            sortList(s.list(5), key, order);
        const QStringList before = paths(s.list(5));
        const SortState state = s.list(5).sort;
        QStringList printed;
        s.inFolderOrder(5, [&] { printed = paths(s.list(5)); });
        QCOMPARE(printed.mid(0, 3).filter(QStringLiteral("a\\")).size(), 3);
        QCOMPARE(printed.mid(3).filter(QStringLiteral("b\\")).size(), 3);
        QCOMPARE(paths(s.list(5)), before);
        QCOMPARE(s.list(5).sort.key, state.key);
        QCOMPARE(s.list(5).sort.order, state.order);
    }

    // A DOS listing shows minutes, so its import widens a zero tolerance to one minute.
    void importTolerance() {
        Session s;
        s.presetImportTolerance();
        QCOMPARE(s.options().tolerance, QStringLiteral("1"));
        s.options().tolerance = QStringLiteral("5");
        s.presetImportTolerance();
        QCOMPARE(s.options().tolerance, QStringLiteral("5"));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
