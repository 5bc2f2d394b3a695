#include "NewSnapshot.h"

#include "SnapshotList.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

namespace NewSnapshot {

QString rootOf(const QString &folder) {
    QString root = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return QDir::toNativeSeparators(root);
}

QString volumeText(const QString &root) {
    const QStorageInfo storage(root);
    if (!storage.isValid())
        return QDir::toNativeSeparators(QDir::rootPath());
    QString text = QDir::toNativeSeparators(storage.rootPath());
    const QString name = storage.name();
    if (!name.isEmpty())
        text += QStringLiteral(" [") + name + u']';
    return text;
}

QString sourceText(const QString &volume, const QString &root) {
    const QString sep = QDir::separator();
    return volume + QStringLiteral(" - ") + root + (root.endsWith(sep) ? QString() : sep) +
           QStringLiteral("*.*");
}

QString rootFromSource(const QString &source) {
    const QString sep = QDir::separator();
    const QString tail = sep + QStringLiteral("*.*");
    if (!source.endsWith(tail))
        return {};
    const QString joint = QStringLiteral(" - ");
    QString first;
    for (qsizetype at = source.indexOf(joint); at >= 0; at = source.indexOf(joint, at + 1)) {
        const qsizetype from = at + joint.size();
        QString root = source.mid(from, source.size() - tail.size() - from);
        // The root of the file system keeps its separator.
        if (root.isEmpty())
            root = sep;
        if (!QDir::isAbsolutePath(root))
            continue;
        if (QFileInfo(root).isDir())
            return root;
        if (first.isEmpty())
            first = root;
    }
    return first;
}

bool takenWithoutSubfolders(const SnapshotList &list) {
    bool folders = false;
    for (int i = 0; i < list.size(); ++i) {
        if (!list.folder(i).isEmpty())
            return false;
        folders = folders || list.entry(i).isFolder();
    }
    return folders;
}

QString pathBelow(const QString &root, const QString &inFolder) {
    QString relative = inFolder;
    relative.replace(u'\\', QDir::separator());
    return root.endsWith(QDir::separator()) ? root + relative : root + QDir::separator() + relative;
}

QString unreadableCount(qsizetype count) {
    return QStringLiteral("%1 %2 could not be read")
        .arg(QLocale().toString(count),
             count == 1 ? QStringLiteral("folder") : QStringLiteral("folders"));
}

QStringList unreadablePaths(const QString &root, const QStringList &folders, qsizetype shown) {
    QStringList paths;
    for (qsizetype k = 0; k < folders.size() && k < shown; ++k)
        paths << pathBelow(root, folders[k]);
    if (folders.size() > shown)
        paths << QStringLiteral("... and %1 more").arg(QLocale().toString(folders.size() - shown));
    return paths;
}

} // namespace NewSnapshot
