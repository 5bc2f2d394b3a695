// A tree on disk changed in one detail at a time: the comparison names exactly that change, in
// words and in rpm -V letters, and ignoring that detail leaves the entry Unchanged. The
// permissions as the lists show them are checked against stat's own text for the same file.

#include "compare/Comparison.h"
#include "snapshot/AccountNames.h"
#include "snapshot/Columns.h"
#include "snapshot/ContentsHasher.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/Scanner.h"
#include "snapshot/WhatChanged.h"
#include "snapshot/Workspace.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool sh(const QString &folder, const QString &command) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void scan(const QString &root, SnapshotList &list, bool contents = false) {
    auto reader = makeDirectoryReader();
    Scanner scanner(*reader);
    QVERIFY(scanner.readDirectory(root, list, true));
    if (contents)
        ContentsHasher().hash(QFile::encodeName(root), list, 2);
}

// A capability set as the kernel stores it (version 2): cap_net_raw permitted and effective.
const char NetRaw[] = "\x01\x00\x00\x02\x00\x20\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                      "\x00\x00\x00\x00";

} // namespace

class TestDetailChanges : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneDetail_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<uint>("differ");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<bool>("needsRoot");
        const QString nobody = AccountNames::user(65534), nogroup = AccountNames::group(65534);
        QTest::newRow("mode") << u"chmod 0600 file"_s << u"file"_s << uint(Differ::Mode)
                              << u"mode 0644 → 0600"_s << u".M......."_s << false;
        QTest::newRow("setuid") << u"chmod 4755 file"_s << u"file"_s << uint(Differ::Mode)
                                << u"mode 0644 → 4755"_s << u".M......."_s << false;
        QTest::newRow("folder mode") << u"chmod 0700 folder"_s << u"folder"_s << uint(Differ::Mode)
                                     << u"mode 0755 → 0700"_s << u".M......."_s << false;
        QTest::newRow("link target")
            << u"ln -sfn /opt/new link"_s << u"link"_s << uint(Differ::Link) << u"link → /opt/new"_s
            << u"....L...."_s << false;
        QTest::newRow("owner") << u"chown 65534 file"_s << u"file"_s << uint(Differ::Owner)
                               << u"owner root → "_s + nobody << u".....U..."_s << true;
        QTest::newRow("group") << u"chgrp 65534 file"_s << u"file"_s << uint(Differ::Group)
                               << u"group root → "_s + nogroup << u"......G.."_s << true;
        QTest::newRow("device") << u"rm dev && mknod -m 0644 dev c 1 5"_s << u"dev"_s
                                << uint(Differ::Device) << u"device 1,3 → 1,5"_s << u"...D....."_s
                                << true;
        // Contents changed with size and time kept: seen only where both sides have digests.
        QTest::newRow("contents alone, not read") << u"printf x > file && touch -r folder file"_s
                                                  << u""_s << 0u << u""_s << u""_s << false;
        QTest::newRow("contents alone")
            << u"printf x > file && touch -r folder file && : contents"_s << u"file"_s
            << uint(Differ::Contents) << u"contents (size and time kept)"_s << u"..5......"_s
            << false;
    }
    void oneDetail() {
        QFETCH(QString, change);
        QFETCH(QString, entry);
        QFETCH(uint, differ);
        QFETCH(QString, words);
        QFETCH(QString, letters);
        QFETCH(bool, needsRoot);
        if (needsRoot && geteuid() != 0)
            QSKIP("only root can give files away or make device nodes");
        QTemporaryDir dir;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        QVERIFY(sh(dir.path(),
                   QStringLiteral("mkdir -p tree/folder && cd tree && printf y > file && "
                                  "chmod 0644 file && ln -s /opt/old link && touch -r folder file"
                                  " && { [ $(id -u) != 0 ] || mknod -m 0644 dev c 1 3; }")));
        Workspace ws;
        const bool contents = change.endsWith(u": contents");
        scan(tree, ws.list(ListId::Original), contents);
        QVERIFY(sh(tree, change));
        scan(tree, ws.list(ListId::Final), contents);
        CompareOptions options;
        options.reset(ListId::Original);
        runComparison(ws, options);
        const SnapshotList &changed = ws.list(ListId::Changed);
        QCOMPARE(changed.size(), entry.isEmpty() ? 0 : 1);
        if (entry.isEmpty())
            return;
        QCOMPARE(changed.name(0), entry);
        QCOMPARE(changed.orig(0).differ, differ);
        QCOMPARE(EntryFormatter().text(changed, 0, Col::WhatChanged), words);
        QCOMPARE(changeLetters(changed.orig(0).differ), letters);

        // Ignored, the same change is no change.
        options.ignoreMode = options.ignoreOwner = options.ignoreGroup = options.ignoreLink =
            options.ignoreCapability = options.ignoreContents = true;
        runComparison(ws, options);
        QCOMPARE(ws.list(ListId::Changed).size(), differ == Differ::Device ? 1 : 0);
    }

    void capabilityAdded() {
        QTemporaryDir dir;
        QVERIFY(sh(dir.path(), QStringLiteral("printf x > run && chmod 0755 run")));
        Workspace ws;
        scan(dir.path(), ws.list(ListId::Original));
        const QByteArray run = QFile::encodeName(dir.filePath(QStringLiteral("run")));
        if (setxattr(run.constData(), "security.capability", NetRaw, sizeof NetRaw - 1, 0) != 0)
            QSKIP("this file system or user cannot set a capability");
        scan(dir.path(), ws.list(ListId::Final));
        CompareOptions options;
        options.reset(ListId::Original);
        runComparison(ws, options);
        QCOMPARE(ws.list(ListId::Changed).size(), 1);
        QCOMPARE(EntryFormatter().text(ws.list(ListId::Changed), 0, Col::WhatChanged),
                 QStringLiteral("capabilities added"));
        QCOMPARE(changeLetters(ws.list(ListId::Changed).orig(0).differ),
                 QStringLiteral("........P"));
    }

    // Every kind of entry and special bit, against stat's %A.
    void permissionsAsStatShowsThem() {
        QTemporaryDir dir;
        QVERIFY(sh(dir.path(),
                   QStringLiteral("mkdir sticky stickyx && chmod 1776 sticky && chmod 1777 stickyx"
                                  " && touch a b c d && chmod 4644 a && chmod 6755 b && "
                                  "chmod 2070 c && chmod 0 d && ln -s a l && mkfifo p && "
                                  "python3 -c 'import socket; socket.socket(socket.AF_UNIX)"
                                  ".bind(\"s\")'")));
        SnapshotList list;
        scan(dir.path(), list);
        QCOMPARE(list.size(), 9);
        for (int i = 0; i < list.size(); ++i) {
            QProcess stat;
            stat.setWorkingDirectory(dir.path());
            stat.start(QStringLiteral("stat"),
                       {QStringLiteral("-c"), QStringLiteral("%A"), list.name(i).toString()});
            QVERIFY(stat.waitForFinished());
            QCOMPARE(EntryFormatter().text(list, i, Col::Permissions),
                     QString::fromLatin1(stat.readAllStandardOutput().trimmed()));
        }
    }
};

QTEST_GUILESS_MAIN(TestDetailChanges)
#include "tst_detailchanges.moc"
