#include "NewSnapshot.h"

#include <QDir>
#include <QFileInfo>
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

} // namespace NewSnapshot
