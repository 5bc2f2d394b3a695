// A folder tree that changes while it is scanned: folders removed before the scan reaches
// them, files and folders added behind it and ahead of it, and the root itself removed. The
// scan runs on the real file system; a thin wrapper around its reader makes the changes at
// fixed moments. Every outcome must be a consistent list: each entry lies in the root or in a
// folder listed before it, and each folder that was read or found unreadable is a limit.

#include "files/SnapshotFile.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

void makeTree(const QString &root) {
    for (const char *folder : {"a", "b", "b/deep", "c"}) {
        QVERIFY(QDir(root).mkpath(QLatin1String(folder)));
        for (int k = 0; k < 3; ++k)
            writeFile(root + u'/' + QLatin1String(folder) + QStringLiteral("/f%1.txt").arg(k));
    }
    writeFile(root + QStringLiteral("/top.txt"));
}

// Runs `change` once, right after the folder `when` ("" for the root, else a relative path
// with "/") has been read.
class ChangingReader : public DirectoryReader {
public:
    ChangingReader(QString when, std::function<void()> change)
        : m_inner(makeDirectoryReader()), m_when(std::move(when)), m_change(std::move(change)) {}

    bool readRoot(std::string_view native, Batch &batch) override {
        const bool ok = m_inner->readRoot(native, batch);
        changeAfter(QString());
        return ok;
    }
    bool read(std::string_view path, Batch &batch) override {
        const bool ok = m_inner->read(path, batch);
        changeAfter(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
        return ok;
    }

private:
    void changeAfter(const QString &path) {
        if (m_change && path == m_when) {
            m_change();
            m_change = nullptr;
        }
    }

    std::unique_ptr<DirectoryReader> m_inner;
    QString m_when;
    std::function<void()> m_change;
};

// The changes come at fixed moments of the walk only when it reads each folder itself: threads
// reading ahead could have read a folder before the change that removes it.
bool scanInTurn(DirectoryReader &reader, const QString &root, SnapshotList &list,
                bool includeSubs = true) {
    Scanner scanner(reader);
    scanner.setReadThreads(1);
    return scanner.readDirectory(root, list, includeSubs);
}

// The entries as "folder|name" texts.
QSet<QString> entrySet(const SnapshotList &list) {
    QSet<QString> out;
    for (int i = 0; i < list.size(); ++i)
        out.insert(list.folder(i) + u'|' + list.name(i).toString());
    return out;
}

void checkConsistent(const SnapshotList &list) {
    QSet<QString> folders{QString()};
    QSet<QString> limits;
    for (std::size_t k = 0; k < list.limits.size(); ++k)
        limits.insert(list.limitText(k));
    for (int i = 0; i < list.size(); ++i) {
        QVERIFY2(folders.contains(list.folder(i)), qPrintable(list.folder(i)));
        if (list.entry(i).isFolder()) {
            const QString path = list.folder(i) + list.name(i).toString() + u'\\';
            folders.insert(path);
            QVERIFY2(limits.contains(path), qPrintable(path));
        }
    }
    QCOMPARE(limits, folders);
    QCOMPARE(list.limits.size(), std::size_t(folders.size()));
    QCOMPARE(list.limitText(list.limits.size() - 1), QString()); // the root comes last

    // The list is whole enough to be saved and read back as it is.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scan.dir"));
    QVERIFY(saveSnapshot(list, false, path).ok());
    SnapshotList back;
    QVERIFY(readSnapshot(path, back).ok());
    QCOMPARE(entrySet(back), entrySet(list));
}

} // namespace

class TestScanFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // After the root is listed, "b" (with "b/deep") is removed before the scan reaches it,
    // files and a folder are added to the root behind the scan, and a file is added to "c"
    // ahead of it.
    void treeChangesDuringScan() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("tree"));
        makeTree(root);
        ChangingReader reader(QString(), [&] {
            QDir(root + QStringLiteral("/b")).removeRecursively();
            writeFile(root + QStringLiteral("/late.txt"));
            QDir(root).mkpath(QStringLiteral("late/inner"));
            writeFile(root + QStringLiteral("/c/early.txt"));
        });
        SnapshotList list;
        QVERIFY(scanInTurn(reader, root, list));
        checkConsistent(list);
        const QSet<QString> entries = entrySet(list);
        // What the root listing held is there; what was removed has no contents.
        for (const char *e : {"|a", "|b", "|c", "|top.txt", "a\\|f0.txt", "c\\|f2.txt"})
            QVERIFY2(entries.contains(QLatin1String(e)), e);
        QVERIFY(!entries.contains(QStringLiteral("b\\|deep")));
        QVERIFY(!entries.contains(QStringLiteral("|late.txt")));       // the root was listed before
        QVERIFY(entries.contains(QStringLiteral("c\\|early.txt")));    // "c" was not
        QCOMPARE(list.unreadable, QStringList{QStringLiteral("b\\")}); // so it is said
    }

    // A folder disappears after its parent listed it but while the scan is inside a sibling.
    void folderRemovedWhileSiblingIsRead() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("tree"));
        makeTree(root);
        // Whichever of "a" and "c" the file system lists first removes the other.
        QString first;
        ChangingReader probe(QString(), [] {});
        {
            SnapshotList order;
            scanInTurn(probe, root, order, false);
            for (int i = 0; i < order.size() && first.isEmpty(); ++i) {
                if (order.name(i) == u"a" || order.name(i) == u"c")
                    first = order.name(i).toString();
            }
        }
        const QString other = first == u"a" ? QStringLiteral("c") : QStringLiteral("a");
        ChangingReader reader(first, [&] { QDir(root + u'/' + other).removeRecursively(); });
        SnapshotList list;
        QVERIFY(scanInTurn(reader, root, list));
        checkConsistent(list);
        const QSet<QString> entries = entrySet(list);
        QVERIFY(entries.contains(u'|' + other)); // listed by the root before it went
        QVERIFY(!entries.contains(other + QStringLiteral("\\|f0.txt")));
        QVERIFY(entries.contains(first + QStringLiteral("\\|f0.txt")));
        QCOMPARE(list.unreadable, QStringList{other + u'\\'});
    }

    // The whole tree goes after the root was listed: the root's entries stay, nothing below.
    void rootRemovedDuringScan() {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("tree"));
        makeTree(root);
        ChangingReader reader(QString(), [&] { QDir(root).removeRecursively(); });
        SnapshotList list;
        QVERIFY(scanInTurn(reader, root, list));
        checkConsistent(list);
        QCOMPARE(list.size(), 4); // a, b, c and top.txt
        QStringList unread = list.unreadable;
        unread.sort();
        QCOMPARE(unread, (QStringList{QStringLiteral("a\\"), QStringLiteral("b\\"),
                                      QStringLiteral("c\\")}));
    }
};

QTEST_GUILESS_MAIN(TestScanFaults)
#include "tst_scanfaults.moc"
