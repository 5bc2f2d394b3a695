#include "MoveFinder.h"

#include "snapshot/Workspace.h"

#include <QHash>
#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {

std::size_t mix(std::size_t seed, std::uint64_t value) {
    return (seed ^ value) * 0x9E3779B97F4A7C15ull + (seed >> 29);
}

QString folderPath(const SnapshotList &list, int i) {
    QString path = list.folder(i);
    path.append(list.name(i));
    path.append(u'\\');
    return path;
}

// The pairs made so far, from both sides.
struct Pairing {
    const SnapshotList &o;
    const SnapshotList &f;
    std::vector<int> partnerO, partnerF;
    std::vector<MoveRule> rule; // by the Final's entry

    Pairing(const SnapshotList &original, const SnapshotList &final)
        : o(original), f(final), partnerO(std::size_t(original.size()), -1),
          partnerF(std::size_t(final.size()), -1), rule(std::size_t(final.size())) {}
    int partnerOfO(int i) const { return partnerO[std::size_t(i)]; }
    int partnerOfF(int j) const { return partnerF[std::size_t(j)]; }
    void pair(int i, int j, MoveRule how) {
        partnerO[std::size_t(i)] = j;
        partnerF[std::size_t(j)] = i;
        rule[std::size_t(j)] = how;
    }
};

// One rule as a hash join: the free Original entries with a key, chained by key in list order;
// each free Final entry with a key takes the first of its chain still free.
template <typename Key, typename Hash, typename KeyOf>
void pairBy(Pairing &p, MoveRule how, KeyOf keyOf) {
    std::unordered_map<Key, int, Hash> first;
    first.reserve(std::size_t(p.o.size()));
    std::vector<int> next(std::size_t(p.o.size()), -1);
    Key key;
    for (int i = p.o.size() - 1; i >= 0; --i) {
        if (p.partnerOfO(i) >= 0 || !keyOf(p.o, i, key))
            continue;
        const auto [at, added] = first.try_emplace(key, i);
        if (!added) {
            next[std::size_t(i)] = at->second;
            at->second = i;
        }
    }
    if (first.empty())
        return;
    for (int j = 0; j < p.f.size(); ++j) {
        if (p.partnerOfF(j) >= 0 || !keyOf(p.f, j, key))
            continue;
        const auto at = first.find(key);
        if (at == first.end() || at->second < 0)
            continue;
        const int i = at->second;
        at->second = next[std::size_t(i)];
        p.pair(i, j, how);
    }
}

struct InodeKey {
    std::uint64_t device = 0, inode = 0, size = 0;
    bool folder = false;
    bool operator==(const InodeKey &) const = default;
};
struct InodeHash {
    std::size_t operator()(const InodeKey &k) const {
        return mix(mix(mix(k.folder, k.device), k.inode), k.size);
    }
};

struct DigestKey {
    Digest digest{};
    std::uint64_t size = 0;
    bool operator==(const DigestKey &) const = default;
};
struct DigestHash {
    std::size_t operator()(const DigestKey &k) const {
        std::uint64_t word; // a digest's bytes are as good as random already
        std::memcpy(&word, k.digest.data(), sizeof word);
        return mix(word, k.size);
    }
};

struct NameKey {
    std::uint64_t size = 0;
    double modified = 0;
    QStringView name;
    bool operator==(const NameKey &other) const {
        return size == other.size && modified == other.modified && name == other.name;
    }
};
struct NameHash {
    std::size_t operator()(const NameKey &k) const {
        // Equal times hash alike: -0 is 0.
        const double modified = k.modified + 0.0;
        std::uint64_t time;
        std::memcpy(&time, &modified, sizeof time);
        return mix(mix(qHash(k.name), k.size), time);
    }
};

void pairByRules(Pairing &p) {
    if (p.o.hasDetails() && p.f.hasDetails()) {
        pairBy<InodeKey, InodeHash>(
            p, MoveRule::Inode, [](const SnapshotList &list, int i, InodeKey &key) {
                const Entry &e = list.entry(i);
                key.folder = e.isFolder();
                key.size = key.folder ? 0 : e.size;
                return list.identity(i, key.device, key.inode) && key.inode != 0;
            });
    }
    if (p.o.hasContents() && p.f.hasContents()) {
        pairBy<DigestKey, DigestHash>(p, MoveRule::Contents,
                                      [](const SnapshotList &list, int i, DigestKey &key) {
                                          const Entry &e = list.entry(i);
                                          if (e.isFolder() || e.size == 0)
                                              return false;
                                          key.digest = list.digest(i);
                                          key.size = e.size;
                                          return hasDigest(key.digest);
                                      });
    }
    pairBy<NameKey, NameHash>(p, MoveRule::NameSizeTime,
                              [](const SnapshotList &list, int i, NameKey &key) {
                                  const Entry &e = list.entry(i);
                                  if (e.isFolder() || !e.hasTime())
                                      return false;
                                  key = {e.size, e.modified, list.name(i)};
                                  return true;
                              });
}

// Folders that moved with their entries, where nothing else tied them: deepest first, so that
// a subfolder found counts as an entry of the folder above it.
void pairFoldersByEntries(Pairing &p) {
    struct Candidate {
        qsizetype depth;
        int i;
        QString path;
    };
    std::vector<Candidate> candidates;
    for (int i = 0; i < p.o.size(); ++i) {
        if (p.o.entry(i).isFolder() && p.partnerOfO(i) < 0) {
            QString path = folderPath(p.o, i);
            candidates.push_back({path.count(u'\\'), i, std::move(path)});
        }
    }
    if (candidates.empty())
        return;
    const FolderTable &folders = p.o.folders();
    struct Where {
        int entries = 0, moved = 0;
        std::int64_t to = -1; // the Final's folder they went to
        bool scattered = false;
    };
    std::vector<Where> where(folders.size());
    auto count = [&](std::uint32_t folder, int j) {
        Where &w = where[folder];
        const std::uint32_t to = p.f.entry(j).folder;
        w.scattered = w.scattered || (w.to >= 0 && w.to != to);
        w.to = to;
        ++w.moved;
    };
    for (int i = 0; i < p.o.size(); ++i) {
        ++where[p.o.entry(i).folder].entries;
        if (p.partnerOfO(i) >= 0)
            count(p.o.entry(i).folder, p.partnerOfO(i));
    }
    QHash<QString, std::uint32_t> folderOf;
    for (std::uint32_t id = 0; id < folders.size(); ++id)
        folderOf.insert(folders.text(id), id);
    // The free folder entries of the Final by the folder they name (a damaged file may name
    // one twice).
    QHash<QString, std::vector<int>> freeFinal;
    for (int j = 0; j < p.f.size(); ++j) {
        if (p.f.entry(j).isFolder() && p.partnerOfF(j) < 0)
            freeFinal[folderPath(p.f, j)].push_back(j);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.depth > b.depth; });
    for (const Candidate &c : candidates) {
        const auto id = folderOf.constFind(c.path);
        if (id == folderOf.constEnd())
            continue;
        const Where &w = where[id.value()];
        if (w.moved == 0 || w.scattered || 2 * w.moved < w.entries)
            continue;
        const auto to = freeFinal.constFind(p.f.folders().text(std::uint32_t(w.to)));
        if (to == freeFinal.constEnd())
            continue;
        const auto j =
            std::find_if(to->begin(), to->end(), [&](int k) { return p.partnerOfF(k) < 0; });
        if (j == to->end())
            continue;
        p.pair(c.i, *j, MoveRule::Entries);
        count(p.o.entry(c.i).folder, *j);
    }
}

// For each Final entry paired, the Final entry of the outermost moved folder it went along with,
// or -1 when it moved on its own. An entry goes along with the folder that holds it when that
// folder moved to the folder that holds it now and its name stayed; that folder may have gone
// along with the one above it, and so on. Each folder's text is looked up once, so a tree
// thousands of folders deep costs the length of its texts, not their square.
std::vector<int> movedAlongWith(const Pairing &p) {
    std::vector<int> owner(std::size_t(p.f.size()), -1);
    QHash<QString, int> movedFolders; // by Original path, its Final entry
    for (int j = 0; j < p.f.size(); ++j) {
        const int i = p.partnerOfF(j);
        if (i >= 0 && p.f.entry(j).isFolder())
            movedFolders.insert(folderPath(p.o, i), j);
    }
    if (movedFolders.isEmpty())
        return owner;
    const FolderTable &folders = p.o.folders();
    constexpr int NotLooked = -2;
    std::vector<int> holderOf(folders.size(), NotLooked); // the moved folder entry, or -1
    std::vector<int> parent(std::size_t(p.f.size()), -1);
    for (int j = 0; j < p.f.size(); ++j) {
        const int i = p.partnerOfF(j);
        if (i < 0 || p.o.name(i) != p.f.name(j))
            continue;
        int &holder = holderOf[p.o.entry(i).folder];
        if (holder == NotLooked)
            holder = movedFolders.value(p.o.folder(i), -1);
        if (holder < 0)
            continue;
        // Where the holder went must be where the entry is now.
        const QString &now = p.f.folder(j), &above = p.f.folder(holder);
        const QStringView name = p.f.name(holder);
        if (now.size() == above.size() + name.size() + 1 && now.startsWith(above) &&
            QStringView(now).sliced(above.size(), name.size()) == name && now.back() == u'\\')
            parent[std::size_t(j)] = holder;
    }
    // The top of each chain, each step taken once.
    std::vector<int> chain;
    for (int j = 0; j < p.f.size(); ++j) {
        int k = j;
        while (parent[std::size_t(k)] >= 0 && owner[std::size_t(k)] < 0) {
            chain.push_back(k);
            k = parent[std::size_t(k)];
        }
        const int top = owner[std::size_t(k)] >= 0 ? owner[std::size_t(k)] : k;
        for (const int c : chain)
            owner[std::size_t(c)] = top;
        chain.clear();
    }
    return owner;
}

} // namespace

void findMoves(Workspace &ws) {
    SnapshotList &onlyO = ws.list(ListId::OnlyInOriginal);
    SnapshotList &onlyF = ws.list(ListId::OnlyInFinal);
    SnapshotList &moved = ws.list(ListId::Moved);
    Pairing p(onlyO, onlyF);
    pairByRules(p);
    pairFoldersByEntries(p);
    const std::vector<int> owner = movedAlongWith(p);
    std::vector<std::uint32_t> along(std::size_t(onlyF.size()));
    for (int j = 0; j < onlyF.size(); ++j) {
        if (owner[std::size_t(j)] >= 0)
            ++along[std::size_t(owner[std::size_t(j)])];
    }
    for (int j = 0; j < onlyF.size(); ++j) {
        const int i = p.partnerOfF(j);
        if (i < 0)
            continue;
        const MoveRule how = p.rule[std::size_t(j)];
        onlyO.setMove(i, onlyF, j, how);
        onlyF.setMove(j, onlyO, i, how);
        if (owner[std::size_t(j)] >= 0)
            continue;
        moved.appendCopy(onlyF, j);
        moved.setMove(moved.size() - 1, onlyO, i, how, along[std::size_t(j)]);
    }
}
