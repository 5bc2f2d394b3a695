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

} // namespace NewSnapshot
