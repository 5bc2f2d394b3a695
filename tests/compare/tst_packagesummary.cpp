#include "compare/ChangeSummary.h"
#include "compare/Comparison.h"
#include "compare/PackageSummary.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/PackageDatabase.h"
#include "snapshot/RootPackages.h"
#include "snapshot/Workspace.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <cmath>

namespace {

const QList<QByteArray> Paths = {"a", "b", "c", "bin/a", "bin/b", "bin/c", "bin/sub/a"};

// A snapshot of `root` with a random choice of the files, of random sizes and times, and a
// system whose three packages own them at random.
FakeSystem fillRandom(SnapshotList &list, const QByteArray &root, QRandomGenerator &rng) {
    list.source = NewSnapshot::sourceText(QStringLiteral("/"), QFile::decodeName(root));
    list.append(u"bin", u"", 16, 0, std::nan(""));
    list.append(u"sub", u"bin\\", 16, 0, std::nan(""));
    FakeSystem s;
    for (const QByteArray &path : Paths) {
        const qsizetype cut = path.lastIndexOf('/') + 1;
        if (rng.bounded(3))
            list.append(QString::fromLatin1(path.mid(cut)),
                        QString::fromLatin1(path.left(cut)).replace(u'/', u'\\'), 32,
                        rng.bounded(4) * 1000, 45000.0 + rng.bounded(2));
        for (const char *p : {"p1", "p2", "p3"})
            s.lists[p] += rng.bounded(3) ? "/bin\n" : '/' + path + '\n';
    }
    return s;
}

} // namespace

class TestPackageSummary : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Snapshots of two systems: what was removed counts under the Original's owners, the rest
    // under the Final's, every entry once, so the rows add up to the folder summary's root.
    void matchesTheReference() {
        QRandomGenerator rng(1209);
        for (int round = 0; round < 60; ++round) {
            QTemporaryDir dir;
            const QByteArray rootA = QFile::encodeName(dir.path()) + "/a",
                             rootB = QFile::encodeName(dir.path()) + "/b";
            Workspace ws;
            const FakeSystem a = fillRandom(ws.list(ListId::Original), rootA, rng);
            const FakeSystem b = fillRandom(ws.list(ListId::Final), rootB, rng);
            a.write(rootA);
            b.write(rootB);
            // The snapshots are made up, so no file of theirs is there to check them by.
            for (const ListId n : Lists::Snapshots) {
                RootPackages packages;
                QVERIFY(packages.open(ws.list(n)));
                packages.giveOwners(ws.list(n));
            }
            CompareOptions options;
            options.reset(ListId::Original);
            runComparison(ws, options);
            const PackageSummary summary = PackageSummary::build(ws);

            std::map<QString, std::array<qint64, 3>> expected;
            for (const ListId n : {ListId::OnlyInOriginal, ListId::OnlyInFinal, ListId::Changed}) {
                const SnapshotList &l = ws.list(n);
                const FakeSystem &s = n == ListId::OnlyInOriginal ? a : b;
                for (int i = 0; i < l.size(); ++i) {
                    const QString path =
                        u'/' + QString(l.folder(i)).replace(u'\\', u'/') + l.name(i).toString();
                    ++expected[s.owners(n == ListId::OnlyInOriginal ? rootA : rootB,
                                        path.toLatin1())][int(n) - int(ListId::OnlyInOriginal)];
                }
            }
            QCOMPARE(summary.rows().size(), expected.size());
            PackageChange total;
            for (std::size_t k = 0; k < summary.rows().size(); ++k) {
                const PackageChange &row = summary.rows()[k];
                const std::array<qint64, 3> counts{row.onlyOriginal, row.onlyFinal, row.changed};
                QCOMPARE(counts, expected[row.owners]);
                const PackageChange &up = summary.rows()[k ? k - 1 : 0];
                QVERIFY(std::tuple(-up.entries(), ~up.bytesChanged(), up.owners) <=
                        std::tuple(-row.entries(), ~row.bytesChanged(), row.owners));
                total.onlyOriginal += row.onlyOriginal + row.onlyFinal + row.changed;
                total.bytesRemoved += row.bytesRemoved;
                total.bytesAdded += row.bytesAdded;
            }
            const FolderChange root = ChangeSummary::build(ws).folders()[0];
            QCOMPARE(total.onlyOriginal, root.entries());
            QCOMPARE(total.bytesRemoved, root.bytesRemoved);
            QCOMPARE(total.bytesAdded, root.bytesAdded);
        }
    }
};

QTEST_GUILESS_MAIN(TestPackageSummary)
#include "tst_packagesummary.moc"
