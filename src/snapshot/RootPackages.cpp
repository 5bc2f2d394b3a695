#include "RootPackages.h"

#include "DateSerial.h"
#include "NameCodec.h"
#include "NewSnapshot.h"
#include "SnapshotList.h"

#include <cmath>
#include <sys/stat.h>

namespace {

bool exists(const QByteArray &path, bool folder) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && (!folder || S_ISDIR(st.st_mode));
}

QString pathText(const QByteArray &path) {
    return NameCodec::pathFromBytes(std::string_view(path.constData(), std::size_t(path.size())));
}

// Appends a name's bytes; false when it is no name a file system holds. Nearly every name is
// printable ASCII, whose bytes are its characters.
bool appendName(std::string &out, QStringView name) {
    bool plain = name.size() > 2 || (name != u"." && name != u"..");
    for (qsizetype k = 0; plain && k < name.size(); ++k) {
        const char16_t c = name[k].unicode();
        plain = c >= 0x20 && c < 0x7F && c != u'|' && c != u'\\' && c != u'/';
    }
    if (plain && !name.isEmpty()) {
        for (const QChar c : name)
            out.push_back(char(c.unicode()));
        return true;
    }
    const QByteArray bytes = NameCodec::pathBytes(QStringView(), name);
    out.append(bytes.constData(), std::size_t(bytes.size()));
    return !bytes.isEmpty();
}

} // namespace

RootPackages::Location RootPackages::locate(const QByteArray &root) {
    if (!root.startsWith('/'))
        return {};
    QByteArray clean = root;
    while (clean.size() > 1 && clean.endsWith('/'))
        clean.chop(1);
    for (QByteArray system = clean;;) {
        const QByteArray base = system == "/" ? QByteArray() : system;
        if (exists(base + "/var/lib/dpkg/info", true))
            return {system, clean == "/" ? QByteArray() : clean.sliced(base.size())};
        if (system == "/")
            return {};
        const qsizetype cut = system.lastIndexOf('/');
        system = cut <= 0 ? QByteArray("/") : system.left(cut);
    }
}

QByteArray RootPackages::rootOf(const SnapshotList &snapshot) {
    const QString text = NewSnapshot::rootFromSource(snapshot.source);
    if (text.isEmpty())
        return {};
    // The command line writes a root that is not UTF-8 as names are written ("caf|E9"), the
    // window as the system gave it; the one that exists is meant.
    const QByteArray given = NameCodec::pathToBytes(text);
    const QByteArray escaped = NameCodec::toBytes(text);
    return !exists(given, false) && exists(escaped, false) ? escaped : given;
}

bool RootPackages::open(const SnapshotList &snapshot) {
    const QByteArray root = rootOf(snapshot);
    if (root.isEmpty()) {
        m_owners.reset();
        m_location = {};
        m_problem = QStringLiteral("names no folder it was taken of, so no packages");
        return false;
    }
    return open(root);
}

bool RootPackages::open(const QByteArray &root) {
    m_owners.reset();
    m_problem.clear();
    m_location = locate(root);
    if (m_location.systemRoot.isEmpty()) {
        m_problem = QStringLiteral("no package database covers %1 (no var/lib/dpkg/info in it "
                                   "or above it)")
                        .arg(pathText(root));
        return false;
    }
    const QByteArray &system = m_location.systemRoot;
    auto owners = std::make_unique<PackageOwners>();
    if (!owners->load((system == "/" ? QByteArray() : system) + "/var/lib/dpkg", system)) {
        m_problem = owners->problem();
        return false;
    }
    m_owners = std::move(owners);
    return true;
}

bool RootPackages::folderPath(QStringView folder, std::string &out) const {
    out.assign(m_location.prefix.constData(), std::size_t(m_location.prefix.size()));
    out.push_back('/');
    if (folder.endsWith(u'\\'))
        folder.chop(1);
    if (folder.isEmpty())
        return true;
    const qsizetype cut = folder.lastIndexOf(u'\\') + 1;
    const QByteArray bytes = NameCodec::pathBytes(folder.first(cut), folder.sliced(cut));
    out.append(bytes.constData(), std::size_t(bytes.size()));
    out.push_back('/');
    return !bytes.isEmpty();
}

PackageOwners::SetId RootPackages::find(const SnapshotList &list, int i) const {
    std::string path;
    if (!m_owners || !folderPath(list.folder(i), path) || !appendName(path, list.name(i)))
        return PackageOwners::Unowned;
    return m_owners->find(QByteArrayView(path.data(), qsizetype(path.size())));
}

std::vector<PackageOwners::SetId> RootPackages::findAll(const SnapshotList &list) const {
    std::vector<PackageOwners::SetId> ids(std::size_t(list.size()), PackageOwners::Unowned);
    if (!m_owners)
        return ids;
    // Each folder's path is made once; an empty one names no folder.
    std::vector<std::string> folders(list.folders().size());
    std::vector<bool> made(folders.size());
    std::string path;
    for (int i = 0; i < list.size(); ++i) {
        const std::uint32_t f = list.entry(i).folder;
        if (!made[f]) {
            made[f] = true;
            if (!folderPath(list.folders().text(f), folders[f]))
                folders[f].clear();
        }
        if (folders[f].empty())
            continue;
        path = folders[f];
        if (appendName(path, list.name(i)))
            ids[std::size_t(i)] =
                m_owners->find(QByteArrayView(path.data(), qsizetype(path.size())));
    }
    return ids;
}

namespace {

// Whether entry i lies at `path` as the snapshot saw it.
bool agrees(const SnapshotList &snapshot, int i, const QByteArray &path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    const Entry &e = snapshot.entry(i);
    if (e.isFolder() != S_ISDIR(st.st_mode))
        return false;
    std::uint64_t device = 0, inode = 0;
    if (snapshot.identity(i, device, inode))
        return inode == std::uint64_t(st.st_ino);
    if (e.isFolder())
        return true;
    double modified = 0;
    return e.size == std::uint64_t(st.st_size) && e.hasTime() &&
           DateSerial::fromUnixTime(st.st_mtim.tv_sec, modified) &&
           std::abs(modified - e.modified) * 86400 < 0.5;
}

} // namespace

bool RootPackages::takenHere(const SnapshotList &snapshot, const QByteArray &root) {
    constexpr int Sample = 64;
    const int n = snapshot.size();
    if (n == 0)
        return true;
    const int checked = std::min(n, Sample);
    int agreeing = 0;
    for (int k = 0; k < checked; ++k) {
        const int i = int(std::int64_t(k) * n / checked);
        const QByteArray below = NameCodec::pathBytes(snapshot.folder(i), snapshot.name(i));
        if (!below.isEmpty() && agrees(snapshot, i, root + '/' + below))
            ++agreeing;
    }
    return agreeing * 4 >= checked;
}

QString RootPackages::attach(SnapshotList &snapshot, QByteArray root) {
    if (snapshot.hasPackages())
        return {};
    if (root.isEmpty())
        root = rootOf(snapshot);
    auto packages = std::make_unique<RootPackages>();
    if (root.isEmpty() ? !packages->open(snapshot) : !packages->open(root))
        return packages->problem();
    if (!takenHere(snapshot, root == "/" ? QByteArray() : root))
        return QStringLiteral("was not taken of this system's files (too few of its entries are "
                              "there now as it lists them), so the owners this system knows "
                              "are not its");
    packages->giveOwners(snapshot);
    return {};
}

void RootPackages::giveOwners(SnapshotList &list) const {
    if (!m_owners) {
        list.setPackages(nullptr, {});
        return;
    }
    // The list keeps the texts of the sets it holds, not the database.
    std::vector<std::uint32_t> owners = findAll(list);
    auto texts = std::make_shared<OwnerTexts>();
    std::vector<std::uint32_t> textOfSet(m_owners->setCount(), ~0u);
    for (std::uint32_t &owner : owners) {
        std::uint32_t &text = textOfSet[owner];
        if (text == ~0u)
            text = texts->intern(this->text(owner));
        owner = text;
    }
    list.setPackages(std::move(texts), std::move(owners));
}
