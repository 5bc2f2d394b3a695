#include "Volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace {

bool isUnder(const QString &path, const QString &folder) {
    return path == folder || path.startsWith(folder + u'/');
}

// Mounts under these folders belong to the system or the login session (runtime folders,
// container plumbing, snap packages); removable media that a desktop mounts under
// /run/media stay.
bool isSystemMount(const QString &root) {
    if (isUnder(root, QStringLiteral("/run/media")))
        return false;
    for (const QLatin1String folder :
         {QLatin1String("/proc"), QLatin1String("/sys"), QLatin1String("/dev"),
          QLatin1String("/run"), QLatin1String("/snap"), QLatin1String("/boot/efi")}) {
        if (isUnder(root, folder))
            return true;
    }
    return false;
}

class PlatformVolumes : public Volumes {
public:
    QList<Volume> mounted() const override {
        QList<Volume> volumes;
        for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
            const QString root = storage.rootPath();
            if (!storage.isValid() || !storage.isReady() ||
                isPseudoFileSystem(storage.fileSystemType()) || isSystemMount(root))
                continue;
            // A container mounts single files (hosts, resolv.conf) over its own.
            if (!QFileInfo(root).isDir())
                continue;
            // The last mount over a folder is the one seen there.
            volumes.removeIf([&](const Volume &v) { return v.root == root; });
            volumes.append({root, storage.name()});
        }
        const QString top = QDir::rootPath();
        if (std::none_of(volumes.cbegin(), volumes.cend(),
                         [&](const Volume &v) { return v.root == top; }))
            volumes.append({top, QStorageInfo::root().name()});
        std::sort(volumes.begin(), volumes.end(),
                  [](const Volume &a, const Volume &b) { return a.root < b.root; });
        return volumes;
    }

    bool canList(const QString &folder) const override {
        const QFileInfo info(folder);
        return info.isDir() && info.isReadable() && info.isExecutable();
    }
};

} // namespace

bool isPseudoFileSystem(const QByteArray &type) {
    static const char *const pseudo[] = {
        "autofs", "binfmt_misc", "bpf",        "cgroup",     "cgroup2",   "configfs", "debugfs",
        "devpts", "devtmpfs",    "efivarfs",   "fusectl",    "hugetlbfs", "mqueue",   "nsfs",
        "proc",   "pstore",      "rpc_pipefs", "securityfs", "selinuxfs", "sysfs",    "tracefs"};
    return std::any_of(std::begin(pseudo), std::end(pseudo),
                       [&](const char *name) { return type == name; });
}

QString Volumes::Volume::text() const {
    QString text = QDir::toNativeSeparators(root);
    if (!name.isEmpty())
        text += QStringLiteral(" [") + name + u']';
    return text;
}

QString Volumes::volumeOf(const QString &folder) const {
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    QString best;
    qsizetype bestLength = -1;
    for (const Volume &volume : mounted()) {
        const QString root = QDir::cleanPath(volume.root);
        const bool holds = root.endsWith(u'/') ? path.startsWith(root) : isUnder(path, root);
        if (holds && root.size() > bestLength) {
            best = volume.root;
            bestLength = root.size();
        }
    }
    return best;
}

std::shared_ptr<Volumes> Volumes::platform() {
    return std::make_shared<PlatformVolumes>();
}
