#include "session/Session.h"
#include "snapshot/Columns.h"
#include "snapshot/DateSerial.h"
#include "snapshot/NewSnapshot.h"
#include "sort/ColumnSorts.h"
#include "support/TestLists.h"

#include <QDir>
#include <QTest>
#include <cmath>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// n files in two folders, in an order that differs by name and by folder.
void fill(SnapshotList &list, int n) {
    for (int k = 0; k < n; ++k)
        list.append(QStringLiteral("f%1").arg((k * 7) % n), k % 2 ? u"b\\" : u"a\\", 32, 1,
                    45000.0);
    list.addLimit(u"");
}

// A list by its tab number, 1 to 6; 0 for none.
ListId listAt(int number) {
    return Lists::atIndex(std::size_t(number - 1));
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
        fill(s.list(ListId::Original), original);
        fill(s.list(ListId::Final), final);
        QCOMPARE(s.pickTargetList(listAt(shown)), listAt(target));
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
        s.rememberedFolders[0] = QStringLiteral("/remembered");
        s.list(listAt(listNo)).fileName = fileName;
        const Session::SaveTarget target = s.proposedSaveTarget(listAt(listNo));
        QCOMPARE(target.title, title);
        QCOMPARE(target.folder, folder);
        QCOMPARE(target.name, name);
        // Saving, opening or importing a file moves where the next file dialog starts.
        s.rememberFileFolder(QStringLiteral("/elsewhere/file.dir"));
        QCOMPARE(s.rememberedFolders[0], QStringLiteral("/elsewhere"));
    }

    // Closing a snapshot empties it, every result list (they came from the pair), and the
    // Compare options that belong to it; the other snapshot stays.
    void closeCascade_data() {
        QTest::addColumn<int>("closedNumber");
        QTest::newRow("original") << 1;
        QTest::newRow("final") << 2;
    }
    void closeCascade() {
        QFETCH(int, closedNumber);
        const ListId closed = listAt(closedNumber);
        Session s;
        for (int number = 1; number <= 6; ++number) {
            SnapshotList &list = s.list(listAt(number));
            fill(list, 3);
            list.description = QStringLiteral("list %1").arg(number);
            list.fileName = QStringLiteral("file %1").arg(number);
            list.source = QStringLiteral("source %1").arg(number);
            list.created = 45000 + number;
        }
        s.list(closed).unsaved = true;
        CompareOptions &o = s.options();
        o.limitOriginal = QStringLiteral("a\\");
        o.limitFinal = QStringLiteral("b\\");
        o.ignoreAttr = {true, true, false, false, true, false};
        o.ignoreSize = o.ignoreStamp = o.compared = true;
        o.tolerance = QStringLiteral("5");
        QVERIFY(!s.saveQuestion(closed).isEmpty());

        s.closeSnapshot(closed);
        const ListId other = Lists::other(closed);
        QVERIFY(s.list(closed).isEmpty());
        QVERIFY(s.list(closed).limits.empty());
        QVERIFY(!s.list(closed).unsaved);
        QVERIFY(s.list(closed).description.isEmpty());
        QVERIFY(s.saveQuestion(closed).isEmpty());
        // The file name, source and creation time wait for the next New, Open or Import.
        QCOMPARE(s.list(closed).fileName, QStringLiteral("file %1").arg(closedNumber));
        QCOMPARE(s.list(closed).source, QStringLiteral("source %1").arg(closedNumber));
        QCOMPARE(s.list(closed).created, 45000.0 + closedNumber);
        for (const ListId n : Lists::Results) {
            QVERIFY(s.list(n).isEmpty());
            QVERIFY(s.list(n).description.isEmpty());
        }
        QCOMPARE(s.list(other).size(), 3);
        QCOMPARE(s.list(other).description, QStringLiteral("list %1").arg(3 - closedNumber));
        QVERIFY(o.limit(closed).isEmpty());
        QCOMPARE(o.limit(other),
                 other == ListId::Original ? QStringLiteral("a\\") : QStringLiteral("b\\"));
        QCOMPARE(o.ignoreAttr, (std::array<bool, 6>{false, false, false, false, false, true}));
        QVERIFY(!o.ignoreSize && !o.ignoreStamp && !o.compared);
        QCOMPARE(o.tolerance, QStringLiteral("5"));
    }

    void saveQuestion() {
        Session s;
        QVERIFY(s.saveQuestion(ListId::Original).isEmpty());
        s.list(ListId::Final).unsaved = true;
        QCOMPARE(s.saveQuestion(ListId::Final),
                 QStringLiteral("Final Snapshot has not been saved, save it now?"));
        s.list(ListId::Original).unsaved = true;
        QCOMPARE(s.saveQuestion(ListId::Original),
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
        fill(s.list(ListId::Original), original);
        fill(s.list(ListId::Final), final);
        for (const ListId n : Lists::Results)
            fill(s.list(n), result);
        s.options().compared = result > 0;
        const Session::CommandStates states = s.commandStates(listAt(shown));
        QCOMPARE(states.changeSummary, result > 0);
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
        SnapshotList &list = s.list(ListId::Original);
        list.description = QStringLiteral("/data");
        list.source = QStringLiteral("/ - /data/*.*");
        list.created = 40000;
        s.beginScan(ListId::Original, QStringLiteral("/home/user/Reports"));
        QCOMPARE(list.fileName, QStringLiteral("Reports"));
        list.leftOut = {u"*.tmp"_s};
        ScanOrigin origin;
        origin.root = u"/home/user/Reports"_s;
        origin.drive = u"/home [Home]"_s;
        origin.exclude = {u"*.tmp"_s, u"cache\\"_s};
        s.scanned(ListId::Original, origin, append);
        QVERIFY(list.unsaved);
        // What the scan left out shows in the snapshot's properties, each pattern once.
        QCOMPARE(list.leftOut, (QStringList{u"*.tmp"_s, u"cache\\"_s}));
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
        fill(s.list(ListId::Original), 3);
        s.list(ListId::Original).source = u"C:\\DIR.TXT"_s; // a listing names no folder
        QVERIFY(!s.commandStates(ListId::Original).compareNow);

        ScanOrigin scan;
        scan.root = QDir::tempPath();
        scan.drive = u"/"_s;
        scan.includeSubs = false;
        scan.otherVolumes = true;
        s.scanned(ListId::Original, scan, false);
        QVERIFY(s.commandStates(ListId::OnlyInOriginal).compareNow);
        QCOMPARE(s.folderNowPlan()->root, scan.root);
        QVERIFY(!s.folderNowPlan()->includeSubs && s.folderNowPlan()->otherVolumes);

        // Another root appended: no one folder stands for the snapshot.
        ScanOrigin elsewhere;
        elsewhere.root = u"/elsewhere"_s;
        s.scanned(ListId::Original, elsewhere, true);
        QVERIFY(!s.folderNowPlan());

        // Opened from a file, the source text says where it was taken.
        s.closeSnapshot(ListId::Original);
        fill(s.list(ListId::Original), 3);
        s.beginOpen(ListId::Original, u"/x/y.dir"_s);
        s.list(ListId::Original).source = NewSnapshot::sourceText(u"/"_s, QDir::tempPath());
        QCOMPARE(s.folderNowPlan()->root, QDir::tempPath());
        QVERIFY(s.folderNowPlan()->includeSubs && !s.folderNowPlan()->otherVolumes);
    }

    // A snapshot opened from a file is read again as it was taken: without subfolders when it
    // holds folders of its root and nothing in them; with the patterns kept for new snapshots.
    void folderNowPlanOfAFile_data() {
        QTest::addColumn<QStringList>("entries"); // folders end in "\\"
        QTest::addColumn<bool>("includeSubs");
        QTest::newRow("entries below the root") << QStringList{u"a\\"_s, u"a\\f"_s} << true;
        QTest::newRow("folders of the root, nothing in them")
            << QStringList{u"a\\"_s, u"b\\"_s, u"f"_s} << false;
        QTest::newRow("files alone") << QStringList{u"f"_s, u"g"_s} << true;
        QTest::newRow("empty folder of an empty folder")
            << QStringList{u"a\\"_s, u"a\\b\\"_s} << true;
    }
    void folderNowPlanOfAFile() {
        QFETCH(QStringList, entries);
        QFETCH(bool, includeSubs);
        Session s;
        SnapshotList &original = s.list(ListId::Original);
        for (QString entry : entries) {
            const bool folder = entry.endsWith(u'\\');
            if (folder)
                entry.chop(1);
            const qsizetype cut = entry.lastIndexOf(u'\\') + 1;
            original.append(entry.mid(cut), entry.left(cut), folder ? 16 : 32, 1, 45000.0);
        }
        original.source = NewSnapshot::sourceText(u"/"_s, QDir::tempPath());
        const std::optional<ScanOrigin> plan = s.folderNowPlan(u"*.tmp; cache\\"_s);
        QVERIFY(plan && plan->fromSource);
        QCOMPARE(plan->includeSubs, includeSubs);
        QCOMPARE(plan->exclude, (QStringList{u"*.tmp"_s, u"cache\\"_s}));
    }

    // Options kept across the Final read anew, but for a limit the new Final lacks; what the
    // scan left out is left out of the comparison too (the Original's file may hold it).
    void keepOptions_data() {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QStringList>("scanned");  // the scan's patterns
        QTest::addColumn<QStringList>("compared"); // the comparison's, before and after
        QTest::addColumn<QStringList>("after");
        QTest::newRow("folder still there")
            << u"a\\"_s << u"a\\"_s << QStringList() << QStringList() << QStringList();
        QTest::newRow("folder gone")
            << u"gone\\"_s << QString() << QStringList() << QStringList() << QStringList();
        QTest::newRow("scan left something out")
            << QString() << QString() << QStringList{u"*.tmp"_s, u"cache\\"_s}
            << QStringList{u"*.log"_s} << QStringList{u"*.log"_s, u"*.tmp"_s, u"cache\\"_s};
        QTest::newRow("the same patterns") << QString() << QString() << QStringList{u"*.tmp"_s}
                                           << QStringList{u"*.tmp"_s} << QStringList{u"*.tmp"_s};
    }
    void keepOptions() {
        QFETCH(QString, limit);
        QFETCH(QString, kept);
        QFETCH(QStringList, scanned);
        QFETCH(QStringList, compared);
        QFETCH(QStringList, after);
        Session s;
        s.options().ignoreSize = true;
        s.options().limitFinal = limit;
        s.options().compared = true;
        s.options().exclude = compared;
        const CompareOptions before = s.options();
        s.closeSnapshot(ListId::Final);
        fill(s.list(ListId::Final), 2);
        s.list(ListId::Final).addLimit(u"a\\");
        QVERIFY(!s.options().ignoreSize);
        ScanOrigin plan;
        plan.exclude = scanned;
        s.keepOptions(before, plan);
        QVERIFY(s.options().ignoreSize);
        QCOMPARE(s.options().limitFinal, kept);
        QVERIFY(!s.options().compared);
        QCOMPARE(s.options().exclude, after);
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
        s.rememberScanFolder(ListId::Original, QStringLiteral("/a"));
        s.rememberScanFolder(ListId::Final, QStringLiteral("/b"));
        QCOMPARE(s.rememberedFolders[1], QStringLiteral("/a"));
        QCOMPARE(s.rememberedFolders[2], QStringLiteral("/b"));
        // The Original showed /c when the user switched to the Final.
        const std::optional<QString> shown =
            s.switchScanList(ListId::Original, ListId::Final, QStringLiteral("/c"), shared);
        if (shared) {
            QVERIFY(!shown);
            QCOMPARE(s.scanFolder(ListId::Original), QStringLiteral("/a"));
        } else {
            QCOMPARE(*shown, QStringLiteral("/b"));
            QCOMPARE(s.scanFolder(ListId::Original), QStringLiteral("/c"));
        }
        QCOMPARE(s.scanFolder(ListId::Final), QStringLiteral("/b"));
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
        s.list(ListId::Final).description = QStringLiteral("/after");
        s.options().compared = compared;
        s.setDescription(ListId::Original, QStringLiteral("/before"), edited);
        QCOMPARE(s.list(ListId::Original).description, QStringLiteral("/before"));
        QCOMPARE(s.list(ListId::Original).unsaved, edited);
        QCOMPARE(s.list(ListId::OnlyInOriginal).description,
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
        fill(s.list(ListId::Changed), 6);
        if (key >= 0)
            sortList(s.list(ListId::Changed), key, order);
        const QStringList before = paths(s.list(ListId::Changed));
        const SortState state = s.list(ListId::Changed).sort;
        QStringList printed;
        s.inFolderOrder(ListId::Changed, [&] { printed = paths(s.list(ListId::Changed)); });
        QCOMPARE(printed.mid(0, 3).filter(QStringLiteral("a\\")).size(), 3);
        QCOMPARE(printed.mid(3).filter(QStringLiteral("b\\")).size(), 3);
        QCOMPARE(paths(s.list(ListId::Changed)), before);
        QCOMPARE(s.list(ListId::Changed).sort.key, state.key);
        QCOMPARE(s.list(ListId::Changed).sort.order, state.order);
    }

    // A Yes counts only when the save took place; the rest is as answered.
    void saveOutcome_data() {
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("outcome");
        using A = Session::Answer;
        QTest::newRow("yes, saved") << int(A::Yes) << true << int(A::Yes);
        QTest::newRow("yes, save failed or cancelled") << int(A::Yes) << false << int(A::Cancel);
        QTest::newRow("no") << int(A::No) << false << int(A::No);
        QTest::newRow("cancel") << int(A::Cancel) << false << int(A::Cancel);
    }
    void saveOutcome() {
        QFETCH(int, asked);
        QFETCH(bool, saved);
        QFETCH(int, outcome);
        Session s;
        fill(s.list(ListId::Final), 2);
        s.list(ListId::Final).unsaved = true;
        if (saved)
            s.saved(ListId::Final, u"/x/final.dir"_s);
        QCOMPARE(int(s.saveOutcome(ListId::Final, Session::Answer(asked))), outcome);
    }

    // Where a new scan goes: added to the target only when asked and when there is something
    // to add to; and where a snapshot kept for recovery goes back.
    void targets_data() {
        QTest::addColumn<int>("original");
        QTest::addColumn<int>("final");
        QTest::addColumn<bool>("appendAsked");
        QTest::addColumn<bool>("appends");          // to the Final
        QTest::addColumn<int>("recoveredOriginal"); // the list a recovered Original fills
        QTest::newRow("both empty") << 0 << 0 << true << false << 1;
        QTest::newRow("final loaded, append asked") << 0 << 3 << true << true << 1;
        QTest::newRow("final loaded, not asked") << 0 << 3 << false << false << 1;
        QTest::newRow("original loaded") << 3 << 0 << true << false << 2;
        QTest::newRow("both loaded") << 3 << 3 << false << false << 0;
    }
    void targets() {
        QFETCH(int, original);
        QFETCH(int, final);
        QFETCH(bool, appendAsked);
        QFETCH(bool, appends);
        QFETCH(int, recoveredOriginal);
        Session s;
        fill(s.list(ListId::Original), original);
        fill(s.list(ListId::Final), final);
        QCOMPARE(s.appends(ListId::Final, appendAsked), appends);
        QCOMPARE(s.recoveryTarget(ListId::Original), listAt(recoveredOriginal));
    }

    // What the session tells its listeners, step by step.
    void announcements() {
        Session s;
        QStringList told;
        auto log = [&](const char *what) {
            return [&told, what](ListId n) {
                told << QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(int(n));
            };
        };
        connect(&s, &Session::listAboutToChange, this, log("hold"));
        connect(&s, &Session::listChanged, this, log("changed"));
        connect(&s, &Session::snapshotOpened, this, log("opened"));
        connect(&s, &Session::snapshotTaken, this, log("taken"));
        connect(&s, &Session::snapshotSaved, this, log("saved"));
        connect(&s, &Session::snapshotClosed, this, log("closed"));
        connect(&s, &Session::compared, this, log("compared"));
        connect(&s, &Session::commandStatesChanged, this, [&] { told << u"states"_s; });
        auto step = [&](const std::function<void()> &f) {
            told.clear();
            f();
            return told.join(u", ");
        };
        ScanOrigin origin;
        origin.root = u"/data"_s;
        QCOMPARE(step([&] {
                     s.aboutToFill(ListId::Original);
                     fill(s.list(ListId::Original), 2);
                     s.scanned(ListId::Original, origin, false);
                 }),
                 u"hold 1, changed 1, states, taken 1"_s);
        QCOMPARE(step([&] { s.saved(ListId::Original, u"/x/a.dir"_s); }), u"saved 1"_s);
        QCOMPARE(step([&] { s.saved(ListId::Changed, u"/x/c.dir"_s); }), QString());
        QCOMPARE(step([&] { s.opened(ListId::Final); }), u"changed 2, states, opened 2"_s);
        QCOMPARE(step([&] { s.finishComparison(s.compare()); }),
                 u"changed 1, changed 2, changed 3, changed 4, changed 5, changed 6, changed 7, "
                 "states, compared 3"_s);
        QCOMPARE(step([&] { s.closeSnapshot(ListId::Final); }),
                 u"closed 2, changed 2, states, changed 3, changed 4, changed 5, changed 6, "
                 "changed 7"_s);
        QCOMPARE(step([&] { s.imported(ListId::Final, true); }), u"changed 2, states, taken 2"_s);
        QVERIFY(s.list(ListId::Final).unsaved);
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
