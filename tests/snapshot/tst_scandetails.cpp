// The details a scan records, checked entry by entry against what lstat, readlink and lgetxattr
// say of the same path: a tree that holds each kind of detail, and names of every kind.

#include "NameBytes.h"
#include "snapshot/Columns.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/Scanner.h"
#include "snapshot/SnapshotList.h"
#include "sort/ColumnSorts.h"

#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

QByteArray pathOf(const QByteArray &root, const SnapshotList &list, int i) {
    QByteArray path = root;
    for (const QStringView part : QStringView(list.folder(i)).split(u'\\', Qt::SkipEmptyParts))
        path += '/' + nameBytes(part);
    return path + '/' + nameBytes(list.name(i));
}

void run(const char *command) {
    const QByteArray line =
        "bash -c " + QByteArray(command).replace('\'', "'\\''").prepend('\'') + '\'';
    QVERIFY2(std::system(line.constData()) == 0, command);
}

// A capability set as the kernel stores it (version 2): cap_net_raw permitted and effective.
QByteArray netRawCapability() {
    const std::uint32_t words[5] = {0x02000001, 1u << 13, 0, 0, 0};
    return QByteArray(reinterpret_cast<const char *>(words), sizeof words);
}

// Checks every entry's details against the system's word for the same path; counts the entries
// that had a capability.
void checkWithSystem(const QByteArray &root, const SnapshotList &list, int &capabilities) {
    for (int i = 0; i < list.size(); ++i) {
        const QByteArray path = pathOf(root, list, i);
        const Details d = list.details(i);
        struct stat st;
        QVERIFY2(lstat(path.constData(), &st) == 0, path.constData());
        QCOMPARE(d.mode, std::uint32_t(st.st_mode));
        QCOMPARE(d.uid, std::uint32_t(st.st_uid));
        QCOMPARE(d.gid, std::uint32_t(st.st_gid));
        QCOMPARE(d.links, std::uint32_t(st.st_nlink));
        QCOMPARE(d.device, std::uint64_t(st.st_dev));
        QCOMPARE(d.inode, std::uint64_t(st.st_ino));
        QCOMPARE(d.rdev, S_ISCHR(st.st_mode) ? std::uint64_t(st.st_rdev) : 0);
        QCOMPARE(d.nanoseconds, S_ISDIR(st.st_mode) ? 0 : std::uint32_t(st.st_mtim.tv_nsec));
        QByteArray target(4096, 0);
        const ssize_t n = readlink(path.constData(), target.data(), size_t(target.size()));
        QCOMPARE(nameBytes(d.linkTarget), n < 0 ? QByteArray() : target.left(n));
        char cap[256];
        const ssize_t c = lgetxattr(path.constData(), "security.capability", cap, sizeof cap);
        const bool asked = S_ISREG(st.st_mode) && (st.st_mode & 0111);
        QCOMPARE(d.capability, c > 0 && asked ? QByteArray(cap, int(c)) : QByteArray());
        capabilities += !d.capability.isEmpty();
    }
}

} // namespace

class TestScanDetails : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void detailsAsTheSystemSaysThem() {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        QVERIFY(QDir::setCurrent(dir.path()));
        run("mkdir -p sub/deeper shared && chmod 1777 shared && touch plain setuid $'caf\\xe9' "
            "&& chmod 4755 setuid && chmod 0600 plain && ln plain sub/hardlink "
            "&& ln -s /opt/new link && ln -s $'odd\\ntarget\\xff\\\\' sub/oddlink "
            "&& mkfifo sub/fifo && touch -d '2024-02-29 12:34:56.123456789' sub/deeper/nanos");
        const bool root0 = geteuid() == 0;
        if (root0) {
            run("mknod null c 1 3 && chown 65534:65534 plain && chgrp 65534 setuid");
            const QByteArray cap = netRawCapability();
            // Not every file system keeps capabilities (an overlay may refuse them).
            setxattr("setuid", "security.capability", cap.constData(), size_t(cap.size()), 0);
            run("cp setuid nocap && chmod 0644 nocap"); // not run: its capability is not asked
        }
        QVERIFY(QDir::setCurrent(QDir::tempPath()));

        auto reader = makeDirectoryReader();
        Scanner scanner(*reader);
        SnapshotList list;
        QVERIFY(scanner.readDirectory(root, dir.path(), list, true));
        QVERIFY(list.hasDetails());
        QCOMPARE(list.size(), root0 ? 13 : 11);
        // Sorting moves the details with their entries, and a copied entry takes its own.
        int capabilities = 0;
        checkWithSystem(root, list, capabilities);
        sortList(list, Col::Size, 1);
        checkWithSystem(root, list, capabilities);
        SnapshotList copy;
        for (int i = list.size(); i-- > 0;)
            copy.appendCopy(list, i);
        checkWithSystem(root, copy, capabilities);
        if (QTest::currentTestFailed())
            return;
        if (root0 && capabilities == 0)
            qWarning("this file system keeps no capabilities: that part went unchecked");
        const int nanos = [&] {
            for (int i = 0; i < list.size(); ++i)
                if (list.name(i) == u"nanos")
                    return i;
            return -1;
        }();
        QVERIFY(nanos >= 0);
        QCOMPARE(list.details(nanos).nanoseconds, 123456789u);
        // Qt cannot name a file whose name is not UTF-8, so it cannot remove the tree.
        dir.setAutoRemove(false);
        run(("rm -rf " + root).constData());
    }
};

QTEST_GUILESS_MAIN(TestScanDetails)
#include "tst_scandetails.moc"
