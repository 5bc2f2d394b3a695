#include "MatchKeyOrder.h"

#include "Columns.h"
#include "SnapshotList.h"
#include "TextOrder.h"

#include <algorithm>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

using View = std::u16string_view;

View view(QStringView text) {
    return View(text.utf16(), static_cast<std::size_t>(text.size()));
}

// The folders of the keys, each made of its parent's text and one more name with its backslash.
class FolderTree {
public:
    explicit FolderTree(std::size_t folders) {
        m_parent.push_back(0);
        m_component.emplace_back();
        // Nearly every folder is one node and the keys seldom add more: the table never grows.
        m_ids.reserve(folders + folders / 4);
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_parent.size()); }
    std::uint32_t parent(std::uint32_t node) const { return m_parent[node]; }
    View component(std::uint32_t node) const { return m_component[node]; }

    // The node of a key text that is empty or ends in a backslash. The text must outlive the tree.
    std::uint32_t nodeFor(View text) {
        std::uint32_t id = 0;
        m_missing.clear();
        for (View t = text; !t.empty(); t = parentOf(t)) {
            const auto it = m_ids.find(t);
            if (it != m_ids.end()) {
                id = it->second;
                break;
            }
            m_missing.push_back(t);
        }
        // From the outermost folder not yet known inwards.
        for (auto it = m_missing.rbegin(); it != m_missing.rend(); ++it) {
            const std::size_t parentLength = parentOf(*it).size();
            m_parent.push_back(id);
            m_component.push_back(it->substr(parentLength));
            id = size() - 1;
            m_ids.emplace(*it, id);
        }
        return id;
    }

private:
    static View parentOf(View text) {
        if (text.size() < 2)
            return View();
        const std::size_t cut = text.rfind(u'\\', text.size() - 2);
        return cut == View::npos ? View() : text.substr(0, cut + 1);
    }

    std::vector<std::uint32_t> m_parent;
    std::vector<View> m_component;
    std::unordered_map<View, std::uint32_t> m_ids;
    std::vector<View> m_missing;
};

// A name in a folder, or (with NodeBit) a subfolder with its backslash. The key's first units,
// packed into a number, decide most comparisons without a look at the text.
struct Item {
    std::uint64_t head = 0;
    std::uint32_t ref = 0;

    Item() = default;
    Item(View key, std::uint32_t r) : ref(r) {
        const std::size_t units = std::min<std::size_t>(key.size(), 4);
        for (std::size_t u = 0; u < units; ++u)
            head |= std::uint64_t(key[u]) << (48 - 16 * u);
    }
};
constexpr std::uint32_t NodeBit = 1u << 31;

} // namespace

std::vector<std::uint32_t> matchKeyOrder(const SnapshotList &list, const MatchKeys &keys,
                                         bool descending) {
    const FolderTable &folders = list.folders();
    FolderTree tree(folders.size());
    // Each In Folder is cut once: the node of its text up to its last backslash, and what follows
    // (nothing, unless the text does not end in a backslash).
    std::vector<std::uint32_t> folderNode(folders.size());
    std::vector<View> folderRest(folders.size());
    for (std::uint32_t f = 0; f < folders.size(); ++f) {
        const View key = view(folders.lowerText(f));
        const std::size_t cut = key.rfind(u'\\') + 1; // 0 when there is none
        folderNode[f] = tree.nodeFor(key.substr(0, cut));
        folderRest[f] = key.substr(cut);
    }

    // Names that hold a backslash (or follow such a folder rest) are cut again in whole keys,
    // kept here; a deque never moves what it holds. Their entries are marked in entryNode.
    constexpr std::uint32_t Cut = 1u << 31;
    std::deque<std::u16string> joined;
    const std::size_t n = static_cast<std::size_t>(list.size());
    std::vector<std::uint32_t> entryNode(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t f = list.entry(static_cast<int>(i)).folder;
        const View name = view(keys.name(static_cast<int>(i)));
        if (folderRest[f].empty() && name.find(u'\\') == View::npos) {
            entryNode[i] = folderNode[f];
            continue;
        }
        const View whole =
            joined.emplace_back(std::u16string(view(folders.lowerText(f))).append(name));
        entryNode[i] = tree.nodeFor(whole.substr(0, whole.rfind(u'\\') + 1)) | Cut;
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
    std::unordered_map<std::uint32_t, View> cutLeaf;
    auto nextJoined = joined.cbegin();
    for (std::size_t i = 0; i < n; ++i) {
        View leaf = view(keys.name(static_cast<int>(i)));
        if (entryNode[i] & Cut) {
            const View whole = *nextJoined++;
            leaf = whole.substr(whole.rfind(u'\\') + 1);
            cutLeaf.emplace(static_cast<std::uint32_t>(i), leaf);
        }
        items[fill[entryNode[i] & ~Cut]++] = Item(leaf, static_cast<std::uint32_t>(i));
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
        if (const int c = ordinalCompareJoined(pa, 2, pb, 2))
            return c;
        return ordinalCompare(pa[0], pb[0]);
    };
    auto keyOf = [&](std::uint32_t ref) {
        if (ref & NodeBit)
            return tree.component(ref & ~NodeBit);
        if (!cutLeaf.empty()) {
            const auto it = cutLeaf.find(ref);
            if (it != cutLeaf.end())
                return it->second;
        }
        return view(keys.name(static_cast<int>(ref)));
    };
    auto less = [&](const Item &a, const Item &b) {
        if (a.head != b.head)
            return descending ? a.head > b.head : a.head < b.head;
        int c = keyOf(a.ref).compare(keyOf(b.ref));
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
    std::vector<std::uint32_t> order;
    order.reserve(n);
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
            order.push_back(item.ref);
        }
    }
    return order;
}

MatchKeys sortByMatchKey(SnapshotList &list) {
    MatchKeys keys(list);
    if (list.sort.key == Col::MatchKey && list.sort.order == 0)
        return keys;
    list.sort = SortState{Col::MatchKey, 0};
    if (list.size() >= 2) {
        const std::vector<std::uint32_t> order = matchKeyOrder(list, keys, false);
        list.permute(order);
        keys.permute(order);
    }
    return keys;
}
