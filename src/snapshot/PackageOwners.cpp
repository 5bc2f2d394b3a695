#include "PackageOwners.h"

#include "NameCodec.h"
#include "OwnerTexts.h"

#include <QHashFunctions>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// dpkg's own names are far shorter; a longer one is no package of a real system.
constexpr qsizetype MaxPackageName = 255;
// A system has a handful of top-level links (bin, sbin, lib, lib32, lib64, libx32).
constexpr std::size_t MaxAliases = 64;
// The offsets of the paths are 32 bits.
constexpr std::uint64_t MaxTotalBytes = std::uint64_t(1) << 30;

std::uint32_t hashOf(QByteArrayView bytes) {
    const std::size_t h = qHash(bytes, QHashSeed::globalSeed());
    return static_cast<std::uint32_t>(h ^ (std::uint64_t(h) >> 32));
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.' || c == '_';
}

// A package name as dpkg writes it, with its architecture after one colon where it has one
// ("libc6:amd64"). Nothing else is taken, so an owners' text never holds a control character,
// a tab or a separator.
bool isPackageName(QByteArrayView name) {
    if (name.isEmpty() || name.size() > MaxPackageName)
        return false;
    int colons = 0;
    for (qsizetype k = 0; k < name.size(); ++k) {
        if (name[k] == ':') {
            if (++colons > 1 || k == 0 || k + 1 == name.size())
                return false;
        } else if (!isNameChar(name[k])) {
            return false;
        }
    }
    return true;
}

// Whether the listing package is the diverting one: a diversion names a package without its
// architecture.
bool isSamePackage(QByteArrayView listing, QByteArrayView diverting) {
    return listing == diverting ||
           (listing.size() > diverting.size() && listing.startsWith(diverting) &&
            listing[diverting.size()] == ':');
}

// The path a line of a file list names, as the lookups spell it: absolute, without a trailing
// slash; dpkg lists the root as "/.".
std::optional<QByteArrayView> listedPath(QByteArrayView line, std::size_t maxBytes) {
    if (line.isEmpty() || std::size_t(line.size()) > maxBytes || line[0] != '/' ||
        line.contains('\0'))
        return std::nullopt;
    while (line.size() > 1 && line.endsWith('/'))
        line.chop(1);
    return line == "/." ? QByteArrayView("/") : line;
}

// The lines of a file's text; the last may lack its line feed (a file cut short).
template <typename Each> void forEachLine(QByteArrayView text, Each each) {
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end) {
        const auto *nl = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        const char *lineEnd = nl ? nl : end;
        each(QByteArrayView(p, lineEnd - p));
        p = nl ? nl + 1 : end;
    }
}

enum class ReadResult { Read, Skipped, TooLarge };

// A file's bytes, in room that grows and is not cleared first: the lists are read one after
// another into it.
struct ReadBuffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0, size = 0;
    QByteArrayView view() const { return QByteArrayView(data.get(), qsizetype(size)); }
};

// Reads a whole file of the database. Only a regular file: a link, a pipe or a device (a crafted
// database's info/x.list -> /dev/zero) is passed over unread, and never waited for.
ReadResult readWhole(int dirFd, const char *name, std::uint64_t budget, ReadBuffer &buffer) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return ReadResult::Skipped;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::Skipped;
    }
    if (std::uint64_t(st.st_size) > budget) {
        ::close(fd);
        return ReadResult::TooLarge;
    }
    // What a file grows by while it is read is left for the next load.
    const auto size = std::size_t(st.st_size);
    if (size > buffer.capacity) {
        buffer.capacity =
            std::max(size, std::size_t(std::min<std::uint64_t>(2 * buffer.capacity, budget)));
        buffer.data.reset(new char[buffer.capacity]);
    }
    buffer.size = 0;
    while (buffer.size < size) {
        const ssize_t n = ::read(fd, buffer.data.get() + buffer.size, size - buffer.size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        buffer.size += std::size_t(n);
    }
    ::close(fd);
    return ReadResult::Read;
}

// Whether a path is `folder` or lies below it.
bool isBelow(QByteArrayView path, QByteArrayView folder) {
    return path.startsWith(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

QString pathText(const QByteArray &path) {
    return NameCodec::pathFromBytes(std::string_view(path.constData(), std::size_t(path.size())));
}

} // namespace

void PackageOwners::clear() {
    *this = PackageOwners();
    // A string moved from a short one keeps its own room.
    std::string().swap(m_pathText);
}

bool PackageOwners::refuse(const QString &problem) {
    clear();
    m_problem = problem;
    return false;
}

std::uint32_t PackageOwners::internPath(QByteArrayView path) {
    return m_pathIndex.findOrAdd(
        hashOf(path), m_paths.size(), [&](std::uint32_t id) { return pathBytes(id) == path; },
        [&] {
            m_paths.push_back({std::uint32_t(m_pathText.size()), std::uint32_t(path.size())});
            m_pathText.append(path.data(), std::size_t(path.size()));
            return std::uint32_t(m_paths.size() - 1);
        });
}

std::uint32_t PackageOwners::internPackage(QByteArrayView name) {
    return m_packageIndex.findOrAdd(
        hashOf(name), m_packages.size(), [&](std::uint32_t id) { return m_packages[id] == name; },
        [&] {
            m_packages.push_back(name.toByteArray());
            return std::uint32_t(m_packages.size() - 1);
        });
}

bool PackageOwners::load(const QByteArray &adminDir, const QByteArray &systemRoot,
                         const Limits &given) {
    clear();
    Limits limits = given;
    limits.totalBytes = std::min(limits.totalBytes, MaxTotalBytes);
    std::vector<Pair> pairs;
    if (!readLists(adminDir + "/info", limits, pairs))
        return false;
    std::vector<Diversion> diversions;
    readDiversions(adminDir, limits, diversions);
    if (!m_problem.isEmpty())
        return false;
    applyDiversions(diversions, pairs);
    addAliases(systemRoot, pairs);
    makeSets(pairs);
    return true;
}

bool PackageOwners::readLists(const QByteArray &infoDir, const Limits &limits,
                              std::vector<Pair> &pairs) {
    DIR *dir = ::opendir(infoDir.constData());
    if (!dir) {
        const int err = errno;
        return refuse(err == ENOENT || err == ENOTDIR
                          ? QStringLiteral("no package database at %1").arg(pathText(infoDir))
                          : QStringLiteral("cannot read the package database at %1: %2")
                                .arg(pathText(infoDir), QString::fromLocal8Bit(strerror(err))));
    }
    std::vector<std::string> names;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArrayView name(d->d_name);
        if (!name.endsWith(".list"))
            continue;
        if (!isPackageName(name.chopped(5))) {
            ++m_stats.skippedFiles;
            continue;
        }
        if (names.size() >= limits.files) {
            ::closedir(dir);
            return refuse(QStringLiteral("the package database at %1 holds more than %2 file "
                                         "lists")
                              .arg(pathText(infoDir))
                              .arg(limits.files));
        }
        names.emplace_back(d->d_name);
    }
    std::sort(names.begin(), names.end());
    const auto tooLarge = [&] {
        ::closedir(dir);
        return refuse(QStringLiteral("the package database at %1 is larger than %2 MiB")
                          .arg(pathText(infoDir))
                          .arg(limits.totalBytes >> 20));
    };
    // A database too large is refused before a byte of it is read. Room for every path at once:
    // growing the text as it comes costs more than reading it. A list's text holds each of its
    // paths, so together they are room enough, but for aliases.
    std::uint64_t expected = 0;
    for (const std::string &name : names) {
        struct stat st {};
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            expected += std::uint64_t(st.st_size);
    }
    if (expected > limits.totalBytes)
        return tooLarge();
    m_pathText.reserve(std::size_t(expected));
    pairs.reserve(std::size_t(expected / 48));
    // Real lists hold about 60 bytes a line, and their folders many times over.
    m_pathIndex.reserve(std::size_t(expected / 64));
    ReadBuffer text;
    for (const std::string &name : names) {
        const ReadResult read =
            readWhole(::dirfd(dir), name.c_str(), limits.totalBytes - m_stats.bytes, text);
        if (read == ReadResult::TooLarge)
            return tooLarge();
        if (read == ReadResult::Skipped) {
            ++m_stats.skippedFiles;
            continue;
        }
        ++m_stats.files;
        m_stats.bytes += text.size;
        const std::uint32_t package =
            internPackage(QByteArrayView(name.data(), qsizetype(name.size()) - 5));
        bool tooMany = false;
        forEachLine(text.view(), [&](QByteArrayView line) {
            if (line.isEmpty() || tooMany)
                return;
            if (++m_stats.lines > limits.lines) {
                tooMany = true;
                return;
            }
            if (const auto path = listedPath(line, limits.lineBytes))
                pairs.push_back({internPath(*path), package});
            else
                ++m_stats.skippedLines;
        });
        if (tooMany) {
            ::closedir(dir);
            return refuse(QStringLiteral("the package database at %1 lists more than %2 paths")
                              .arg(pathText(infoDir))
                              .arg(limits.lines));
        }
    }
    ::closedir(dir);
    return true;
}

void PackageOwners::readDiversions(const QByteArray &adminDir, const Limits &limits,
                                   std::vector<Diversion> &diversions) {
    const int dirFd = ::open(adminDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    ReadBuffer text;
    const ReadResult read = readWhole(dirFd, "diversions", limits.totalBytes - m_stats.bytes, text);
    ::close(dirFd);
    if (read == ReadResult::TooLarge) {
        refuse(QStringLiteral("the package database at %1 is larger than %2 MiB")
                   .arg(pathText(adminDir))
                   .arg(limits.totalBytes >> 20));
        return;
    }
    if (read != ReadResult::Read)
        return;
    m_stats.bytes += text.size;
    // Groups of three lines: the path diverted, where to, and the package that diverts it (":"
    // for a local diversion). A last group cut short is no diversion.
    QByteArrayView group[3];
    int at = 0;
    forEachLine(text.view(), [&](QByteArrayView line) {
        group[at++] = line;
        if (at < 3)
            return;
        at = 0;
        const auto from = listedPath(group[0], limits.lineBytes);
        const auto to = listedPath(group[1], limits.lineBytes);
        const bool local = group[2] == ":";
        if (!from || !to || (!local && !isPackageName(group[2]))) {
            m_stats.skippedLines += 3;
            return;
        }
        const std::uint32_t fromId = internPath(*from);
        const std::uint32_t toId = internPath(*to);
        diversions.push_back({fromId, toId, local ? NoPackage : internPackage(group[2])});
    });
    m_stats.diversions = diversions.size();
}

void PackageOwners::applyDiversions(const std::vector<Diversion> &diversions,
                                    std::vector<Pair> &pairs) {
    if (diversions.empty())
        return;
    const auto byPath = [](const Pair &a, const Pair &b) { return a.path < b.path; };
    std::sort(pairs.begin(), pairs.end(), byPath);
    std::vector<bool> moved(pairs.size());
    std::vector<Pair> added;
    for (const Diversion &d : diversions) {
        const auto [first, last] =
            std::equal_range(pairs.begin(), pairs.end(), Pair{d.from, 0}, byPath);
        bool diverterLists = false;
        for (auto it = first; it != last; ++it) {
            if (d.package != NoPackage &&
                isSamePackage(m_packages[it->package], m_packages[d.package])) {
                diverterLists = true;
                continue;
            }
            moved[std::size_t(it - pairs.begin())] = true;
            added.push_back({d.to, it->package});
        }
        // The diverting package has taken the name, whether or not it ships a file there.
        if (d.package != NoPackage && !diverterLists)
            added.push_back({d.from, d.package});
    }
    std::size_t kept = 0;
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        if (!moved[k])
            pairs[kept++] = pairs[k];
    }
    pairs.resize(kept);
    pairs.insert(pairs.end(), added.begin(), added.end());
}

void PackageOwners::addAliases(const QByteArray &systemRoot, std::vector<Pair> &pairs) {
    if (systemRoot.isEmpty())
        return;
    DIR *dir = ::opendir(systemRoot.constData());
    if (!dir)
        return;
    std::vector<Alias> &aliases = m_aliases;
    while (const dirent *d = ::readdir(dir)) {
        if (aliases.size() >= MaxAliases)
            break;
        if (d->d_type != DT_LNK && d->d_type != DT_UNKNOWN)
            continue;
        const QByteArray name(d->d_name);
        if (name == "." || name == "..")
            continue;
        char buffer[4096];
        const ssize_t n = ::readlinkat(::dirfd(dir), d->d_name, buffer, sizeof buffer);
        if (n <= 0 || std::size_t(n) >= sizeof buffer)
            continue;
        // The target within this system, whether written from its root or from the link's
        // folder, which is the root: "usr/bin" and "/usr/bin" alike.
        QByteArray target;
        bool inside = true;
        for (const QByteArray &part : QByteArray(buffer, n).split('/')) {
            if (part.isEmpty() || part == ".")
                continue;
            inside = inside && part != "..";
            target += '/' + part;
        }
        const QByteArray link = '/' + name;
        if (!inside || target.isEmpty() || isBelow(target, link))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), target.constData() + 1, &st, 0) != 0 || !S_ISDIR(st.st_mode))
            continue;
        aliases.push_back({link, target});
    }
    ::closedir(dir);
    m_stats.aliases = aliases.size();
    if (aliases.empty())
        return;
    // A name listed both ways (/bin/x and /usr/bin/x) has the owners of both under the
    // target's; a name listed by the link's alone is found through it by find(), so the text of
    // the paths is not held twice.
    std::vector<std::uint32_t> aliasOf(m_paths.size(), HashIndex::NotFound);
    QByteArray aliased;
    for (std::size_t id = 0; id < aliasOf.size(); ++id) {
        const QByteArrayView path = pathBytes(std::uint32_t(id));
        for (const Alias &a : aliases) {
            if (!isBelow(path, a.link))
                continue;
            aliased = a.target;
            aliased.append(path.sliced(a.link.size()));
            aliasOf[id] = findPath(aliased);
            break;
        }
    }
    const std::size_t count = pairs.size();
    for (std::size_t k = 0; k < count; ++k) {
        if (aliasOf[pairs[k].path] != HashIndex::NotFound)
            pairs.push_back({aliasOf[pairs[k].path], pairs[k].package});
    }
}

void PackageOwners::makeSets(std::vector<Pair> &pairs) {
    // Package numbers in the order of the names, so that a set's members in number order are
    // its names in byte order.
    std::vector<std::uint32_t> order(m_packages.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return m_packages[a] < m_packages[b]; });
    std::vector<std::uint32_t> rank(order.size());
    std::vector<QByteArray> sorted(order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        rank[order[k]] = std::uint32_t(k);
        sorted[k] = std::move(m_packages[order[k]]);
    }
    m_packages = std::move(sorted);
    m_packageIndex = HashIndex();
    for (Pair &p : pairs)
        p.package = rank[p.package];
    std::sort(pairs.begin(), pairs.end(), [](const Pair &a, const Pair &b) {
        return a.path != b.path ? a.path < b.path : a.package < b.package;
    });
    pairs.erase(std::unique(pairs.begin(), pairs.end(),
                            [](const Pair &a, const Pair &b) {
                                return a.path == b.path && a.package == b.package;
                            }),
                pairs.end());

    m_pathSet.assign(m_paths.size(), Unowned);
    m_setStart = {0, 0}; // the empty set
    HashIndex sets;
    std::vector<std::uint32_t> members;
    for (std::size_t k = 0; k < pairs.size();) {
        const std::uint32_t path = pairs[k].path;
        members.clear();
        for (; k < pairs.size() && pairs[k].path == path; ++k)
            members.push_back(pairs[k].package);
        const QByteArrayView bytes(reinterpret_cast<const char *>(members.data()),
                                   qsizetype(members.size() * sizeof(std::uint32_t)));
        m_pathSet[path] = sets.findOrAdd(
            hashOf(bytes), setCount(),
            [&](SetId id) {
                return std::equal(m_setMembers.begin() + m_setStart[id],
                                  m_setMembers.begin() + m_setStart[id + 1], members.begin(),
                                  members.end());
            },
            [&] {
                const SetId id = SetId(setCount());
                m_setMembers.insert(m_setMembers.end(), members.begin(), members.end());
                m_setStart.push_back(std::uint32_t(m_setMembers.size()));
                return id;
            });
    }
    // The lists' shared folders leave room unused; copying 10 MB to give back a little is not
    // worth it.
    if (m_pathText.capacity() > m_pathText.size() + m_pathText.size() / 2)
        m_pathText.shrink_to_fit();
    m_paths.shrink_to_fit();
    m_setMembers.shrink_to_fit();
    m_stats.packages = m_packages.size();
    m_stats.paths = m_paths.size();
    m_stats.sets = setCount();
}

std::uint32_t PackageOwners::findPath(QByteArrayView path) const {
    return m_pathIndex.find(hashOf(path), [&](std::uint32_t k) { return pathBytes(k) == path; });
}

PackageOwners::SetId PackageOwners::find(QByteArrayView path) const {
    std::uint32_t id = findPath(path);
    for (auto a = m_aliases.begin(); id == HashIndex::NotFound && a != m_aliases.end(); ++a) {
        if (isBelow(path, a->target))
            id = findPath(QByteArray(a->link).append(path.sliced(a->target.size())));
    }
    return id == HashIndex::NotFound || id >= m_pathSet.size() ? Unowned : m_pathSet[id];
}

QStringList PackageOwners::packages(SetId set) const {
    QStringList names;
    if (set >= setCount())
        return names;
    for (std::uint32_t k = m_setStart[set]; k < m_setStart[set + 1]; ++k)
        names << QString::fromLatin1(m_packages[m_setMembers[k]]);
    return names;
}

QString PackageOwners::text(SetId set) const {
    if (set == Unowned || set >= setCount())
        return OwnerTexts::unownedText();
    return packages(set).join(QStringLiteral(", "));
}

std::size_t PackageOwners::memoryBytes() const {
    std::size_t bytes = m_pathText.capacity() + m_paths.capacity() * sizeof(Path) +
                        m_pathIndex.memoryBytes() + m_pathSet.capacity() * sizeof(SetId) +
                        (m_setMembers.capacity() + m_setStart.capacity()) * sizeof(std::uint32_t);
    for (const QByteArray &name : m_packages)
        bytes += sizeof(QByteArray) + std::size_t(name.capacity());
    return bytes;
}
