#include "MatchKeys.h"

#include "TextKeys.h"
#include "snapshot/Columns.h"
#include "snapshot/SnapshotList.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {
// A megabyte: blocks that size come straight from the system and go back to it when freed.
constexpr std::size_t BlockSize = 1 << 19;
constexpr std::size_t LongName = 1 << 13;
} // namespace

QString MatchKeys::text(const SnapshotList &list, int i) {
    return list.folders().lowerText(list.entry(i).folder) + TextKeys::lowered(list.name(i));
}

MatchKeys::MatchKeys(const SnapshotList &list) : m_list(list) {
    const int n = list.size();
    m_names.reserve(static_cast<std::size_t>(n));
    QString lowered;
    for (int i = 0; i < n; ++i) {
        const QStringView name = list.name(i);
        const auto length = static_cast<std::size_t>(name.size());
        char16_t *at = room(length);
        switch (TextKeys::lowerAscii(name, at)) {
        case TextKeys::Lowered::Same:
            giveBack(length);
            m_names.push_back(name); // the list's names never move
            break;
        case TextKeys::Lowered::Changed:
            m_names.push_back(take(at, length));
            break;
        case TextKeys::Lowered::NotAscii:
            giveBack(length);
            lowered = TextKeys::loweredInFull(name);
            if (lowered == name) {
                m_names.push_back(name);
                break;
            }
            at = room(static_cast<std::size_t>(lowered.size()));
            std::copy_n(lowered.utf16(), lowered.size(), at);
            m_names.push_back(take(at, static_cast<std::size_t>(lowered.size())));
            break;
        }
    }
}

char16_t *MatchKeys::room(std::size_t length) {
    if (length > LongName) {
        m_large.push_back(std::make_unique_for_overwrite<char16_t[]>(length));
        return m_large.back().get();
    }
    if (length > m_free || m_blocks.empty()) {
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(BlockSize));
        m_free = BlockSize;
    }
    return m_blocks.back().get() + (BlockSize - m_free);
}

void MatchKeys::giveBack(std::size_t length) {
    if (length > LongName)
        m_large.pop_back();
}

QStringView MatchKeys::take(const char16_t *at, std::size_t length) {
    if (length <= LongName)
        m_free -= length;
    return QStringView(at, static_cast<qsizetype>(length));
}

void MatchKeys::permute(const std::vector<std::uint32_t> &order) {
    std::vector<QStringView> names;
    names.reserve(order.size());
    for (const std::uint32_t k : order)
        names.push_back(m_names[k]);
    m_names.swap(names);
}

QStringView MatchKeys::folder(int i) const {
    return m_list.folders().lowerText(m_list.entry(i).folder);
}

bool MatchKeys::equal(int i, int j) const {
    if (m_list.entry(i).folder == m_list.entry(j).folder)
        return name(i) == name(j);
    if (folder(i).size() + name(i).size() != folder(j).size() + name(j).size())
        return false;
    const QStringView a[2] = {folder(i), name(i)};
    const QStringView b[2] = {folder(j), name(j)};
    return TextKeys::compareJoined(a, 2, b, 2) == 0;
}

namespace {

using View = std::u16string_view;

View view(QStringView text) {
    return View(text.utf16(), static_cast<std::size_t>(text.size()));
}

QStringView qview(View text) {
    return QStringView(text.data(), static_cast<qsizetype>(text.size()));
}

// A key text in two pieces, read as if joined. Nearly every key is one piece (a name, or a
// folder's name with its backslash); a name in a folder whose text does not end in a backslash
// (a damaged file can say so) goes on from the rest of that text, which all the folder's names
// share rather than each holding a copy.
struct Key {
    View a, b;
    std::size_t size() const { return a.size() + b.size(); }
    char16_t operator[](std::size_t k) const { return k < a.size() ? a[k] : b[k - a.size()]; }
};

int compareKeys(const Key &x, const Key &y) {
    if (x.a.data() == y.a.data() && x.a.size() == y.a.size())
        return x.b.compare(y.b);
    const QStringView px[2] = {qview(x.a), qview(x.b)};
    const QStringView py[2] = {qview(y.a), qview(y.b)};
    return TextKeys::compareJoined(px, 2, py, 2);
}

// A hash of a text's units that can go on where it left off, so that the rest of a folder text
// is hashed once for all the names that go on from it. The start is the process's own seed.
std::uint64_t hashOn(std::uint64_t hash, View text) {
    for (const char16_t unit : text)
        hash = (hash ^ unit) * 0x100000001B3ull;
    return hash;
}

// The folders of the keys as a tree: each node is its parent and one more name with its
// backslash, so no node holds more text than its own name.
class FolderTree {
public:
    explicit FolderTree(std::size_t folders) : m_seed(QHashSeed::globalSeed() | 1) {
        m_parent.push_back(0);
        m_component.emplace_back();
        // Nearly every folder is one node and the keys seldom add more: the table never grows.
        m_ids.reserve(folders + folders / 4);
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_parent.size()); }
    std::uint32_t parent(std::uint32_t node) const { return m_parent[node]; }
    const Key &component(std::uint32_t node) const { return m_component[node]; }
    std::uint64_t seed() const { return m_seed; }

    // The subfolder of `node` that `name` (ending in a backslash) names, made when new. `hash`
    // is hashOn(seed(), ...) of the name. The name's text must outlive the tree.
    std::uint32_t child(std::uint32_t node, const Key &name, std::uint64_t hash) {
        const auto [it, added] = m_ids.try_emplace(Step{node, name, hash}, size());
        if (added) {
            m_parent.push_back(node);
            m_component.push_back(name);
        }
        return it->second;
    }
    // The node of the folders `text` names below `node`: nothing, or names each ending in a
    // backslash.
    std::uint32_t walk(std::uint32_t node, View text) {
        for (std::size_t from = 0; from < text.size();) {
            const std::size_t end = text.find(u'\\', from) + 1;
            const View name = text.substr(from, end - from);
            node = child(node, Key{name, {}}, hashOn(m_seed, name));
            from = end;
        }
        return node;
    }

private:
    struct Step {
        std::uint32_t parent;
        Key name;
        std::uint64_t hash;
        bool operator==(const Step &o) const {
            return parent == o.parent && hash == o.hash && name.size() == o.name.size() &&
                   compareKeys(name, o.name) == 0;
        }
    };
    struct StepHash {
        std::size_t operator()(const Step &s) const {
            return static_cast<std::size_t>(s.hash ^ (std::uint64_t(s.parent) << 32));
        }
    };

    std::uint64_t m_seed;
    std::vector<std::uint32_t> m_parent;
    std::vector<Key> m_component;
    std::unordered_map<Step, std::uint32_t, StepHash> m_ids;
};

// A name in a folder, or (with NodeBit) a subfolder with its backslash. The key's first units,
// packed into a number, decide most comparisons without a look at the text.
struct Item {
    std::uint64_t head = 0;
    std::uint32_t ref = 0;

    Item() = default;
    Item(const Key &key, std::uint32_t r) : ref(r) {
        const std::size_t units = std::min<std::size_t>(key.size(), 4);
        for (std::size_t u = 0; u < units; ++u)
            head |= std::uint64_t(key[u]) << (48 - 16 * u);
    }
};
constexpr std::uint32_t NodeBit = 1u << 31;

} // namespace

std::vector<std::uint32_t> MatchKeys::order(bool descending) const {
    const SnapshotList &list = m_list;
    const MatchKeys &keys = *this;
    const FolderTable &folders = list.folders();
    FolderTree tree(folders.size());
    // Each In Folder is cut once: the node of its text up to its last backslash, and what follows
    // (nothing, unless the text does not end in a backslash) with its hash.
    std::vector<std::uint32_t> folderNode(folders.size());
    std::vector<View> folderRest(folders.size());
    std::vector<std::uint64_t> restHash(folders.size());
    for (std::uint32_t f = 0; f < folders.size(); ++f) {
        const View key = view(folders.lowerText(f));
        const std::size_t cut = key.rfind(u'\\') + 1; // 0 when there is none
        folderNode[f] = tree.walk(0, key.substr(0, cut));
        folderRest[f] = key.substr(cut);
        restHash[f] = hashOn(tree.seed(), folderRest[f]);
    }

    // Names that hold a backslash, or follow such a folder rest, go on from their folder's node
    // by the folders they name; their last part is kept here, and their entries are marked.
    constexpr std::uint32_t Cut = 1u << 31;
    std::unordered_map<std::uint32_t, Key> cutLeaf;
    const std::size_t n = static_cast<std::size_t>(list.size());
    std::vector<std::uint32_t> entryNode(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t f = list.entry(static_cast<int>(i)).folder;
        const View name = view(keys.name(static_cast<int>(i)));
        const std::size_t first = name.find(u'\\');
        if (folderRest[f].empty() && first == View::npos) {
            entryNode[i] = folderNode[f];
            continue;
        }
        std::uint32_t node = folderNode[f];
        Key leaf{folderRest[f], name};
        if (first != View::npos) {
            const View head = name.substr(0, first + 1);
            node = tree.child(node, Key{folderRest[f], head}, hashOn(restHash[f], head));
            const std::size_t last = name.rfind(u'\\');
            node = tree.walk(node, name.substr(first + 1, last - first));
            leaf = Key{name.substr(last + 1), {}};
        }
        entryNode[i] = node | Cut;
        cutLeaf.emplace(static_cast<std::uint32_t>(i), leaf);
    }

    // Every node's items side by side: its names, then its subfolders.
    const std::uint32_t nodes = tree.size();
    std::vector<std::size_t> start(nodes + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        ++start[(entryNode[i] & ~Cut) + 1];
    for (std::uint32_t node = 1; node < nodes; ++node)
        ++start[tree.parent(node) + 1];
    for (std::uint32_t node = 0; node < nodes; ++node)
        start[node + 1] += start[node];
    std::vector<Item> items(start[nodes]);
    std::vector<std::size_t> fill(start.begin(), start.end() - 1);
    // The keys of the entries cut again; every other entry's key is its name's.
    auto keyOf = [&](std::uint32_t ref) {
        if (ref & NodeBit)
            return tree.component(ref & ~NodeBit);
        if (!cutLeaf.empty()) {
            const auto it = cutLeaf.find(ref);
            if (it != cutLeaf.end())
                return it->second;
        }
        return Key{view(keys.name(static_cast<int>(ref))), {}};
    };
    for (std::size_t i = 0; i < n; ++i) {
        const auto ref = static_cast<std::uint32_t>(i);
        items[fill[entryNode[i] & ~Cut]++] = Item(keyOf(ref), ref);
    }
    for (std::uint32_t node = 1; node < nodes; ++node)
        items[fill[tree.parent(node)]++] = Item(tree.component(node), node | NodeBit);
    entryNode = {};

    // Only names can have equal keys: a subfolder's key is the only one in its folder that ends
    // in a backslash, and subfolders are distinct.
    auto tie = [&](std::uint32_t a, std::uint32_t b) {
        const int x = static_cast<int>(a), y = static_cast<int>(b);
        const QStringView pa[2] = {list.folder(x), list.name(x)};
        const QStringView pb[2] = {list.folder(y), list.name(y)};
        if (const int c = TextKeys::compareJoined(pa, 2, pb, 2))
            return c;
        return TextKeys::compare(pa[0], pb[0]);
    };
    auto less = [&](const Item &a, const Item &b) {
        if (a.head != b.head)
            return descending ? a.head > b.head : a.head < b.head;
        int c = compareKeys(keyOf(a.ref), keyOf(b.ref));
        if (c == 0)
            c = tie(a.ref, b.ref);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return a.ref < b.ref;
    };
    for (std::uint32_t node = 0; node < nodes; ++node) {
        const auto first = items.begin() + static_cast<std::ptrdiff_t>(start[node]);
        const auto last = items.begin() + static_cast<std::ptrdiff_t>(start[node + 1]);
        std::sort(first, last, less);
    }

    // Depth first, with a stack of our own: trees can be deeper than the call stack allows.
    std::vector<std::uint32_t> sorted;
    sorted.reserve(n);
    std::vector<std::pair<std::size_t, std::size_t>> stack{{start[0], start[1]}};
    while (!stack.empty()) {
        auto &[next, end] = stack.back();
        if (next == end) {
            stack.pop_back();
            continue;
        }
        const Item &item = items[next++];
        if (item.ref & NodeBit) {
            const std::uint32_t node = item.ref & ~NodeBit;
            stack.emplace_back(start[node], start[node + 1]);
        } else {
            sorted.push_back(item.ref);
        }
    }
    return sorted;
}

MatchKeys sortByMatchKey(SnapshotList &list) {
    MatchKeys keys(list);
    if (list.sort.key == Col::MatchKey && list.sort.order == 0)
        return keys;
    list.sort = SortState{Col::MatchKey, 0};
    if (list.size() >= 2) {
        const std::vector<std::uint32_t> order = keys.order(false);
        list.permute(order);
        keys.permute(order);
    }
    return keys;
}
