#include "ChangeSummary.h"

#include "snapshot/NameCodec.h"
#include "snapshot/WhatChanged.h"
#include "snapshot/Workspace.h"
#include "sort/TextKeys.h"

#include <QHash>
#include <QTextStream>
#include <algorithm>
#include <unordered_map>

namespace {

// Adds up to the largest number and stays there: a size read from a damaged file can be
// anything, and an overflowing total must neither wrap round nor be undefined behaviour.
void addBytes(std::uint64_t &total, std::uint64_t bytes) {
    total = bytes > ~total ? ~std::uint64_t(0) : total + bytes;
}

std::uint64_t bytesOf(const Entry &e) {
    return e.isFolder() ? 0 : e.size;
}

std::uint64_t origBytesOf(const OrigValues &o) {
    return (o.attr & 16) ? 0 : o.size;
}

// Grows the tree as folder texts come. A folder is found by its parent and its name, so no
// folder's whole path is ever held: a text is walked from the root one name at a time.
class TreeBuilder {
public:
    explicit TreeBuilder(std::vector<FolderChange> &folders) : m_folders(folders) {
        m_folders.emplace_back();
    }
    void countList(const SnapshotList &list, ListId listNo);
    void countMoves(const SnapshotList &onlyInOriginal);
    void addUpTotals();

private:
    // A folder's place among its parent's subfolders. The name is a view of the folder's own
    // name, which never moves (a moved QString keeps its characters where they are).
    struct Key {
        int parent;
        QStringView name;
        bool closed;
        bool operator==(const Key &other) const {
            return parent == other.parent && closed == other.closed && name == other.name;
        }
    };
    struct KeyHash {
        std::size_t operator()(const Key &key) const {
            return qHash(key.name, QHashSeed::globalSeed()) ^
                   (std::size_t(key.parent) * 0x9E3779B97F4A7C15ull + key.closed);
        }
    };

    std::vector<FolderChange> &m_folders;
    std::unordered_map<Key, int, KeyHash> m_children;
    // The folder of each text met so far. The four lists share most of their texts; the keys
    // share the lists' own copies of them.
    QHash<QString, int> m_known;

    int folder(const QString &text);
    int child(int parent, QStringView name, bool closed);
};

int TreeBuilder::folder(const QString &text) {
    const auto known = m_known.constFind(text);
    if (known != m_known.constEnd())
        return known.value();
    int node = 0;
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype cut = text.indexOf(u'\\', from);
        const bool closed = cut >= 0;
        const qsizetype end = closed ? cut : text.size();
        node = child(node, QStringView(text).sliced(from, end - from), closed);
        from = end + 1;
    }
    m_known.insert(text, node);
    return node;
}

int TreeBuilder::child(int parent, QStringView name, bool closed) {
    const auto found = m_children.find(Key{parent, name, closed});
    if (found != m_children.end())
        return found->second;
    const int index = static_cast<int>(m_folders.size());
    FolderChange f;
    f.name = name.toString();
    f.closed = closed;
    f.parent = parent;
    f.depth = m_folders[static_cast<std::size_t>(parent)].depth + 1;
    m_folders.push_back(std::move(f));
    m_folders[static_cast<std::size_t>(parent)].children.push_back(index);
    m_children.emplace(Key{parent, m_folders.back().name, closed}, index);
    return index;
}

void TreeBuilder::countList(const SnapshotList &list, ListId listNo) {
    const FolderTable &texts = list.folders();
    std::vector<int> nodeOf(texts.size(), -1); // only the folders entries use become nodes
    for (int i = 0; i < list.size(); ++i) {
        const std::uint32_t id = list.entry(i).folder;
        int &node = nodeOf[id];
        if (node < 0)
            node = folder(texts.text(id));
        m_folders[static_cast<std::size_t>(node)].count(list, i, listNo);
    }
}

// A move counts in the folder it left and every folder above, and in the folder it reached and
// every folder above: once each, so the folders above both take it back once.
void TreeBuilder::countMoves(const SnapshotList &list) {
    for (int i = 0; i < list.size(); ++i) {
        if (list.moveRule(i) == MoveRule::None)
            continue;
        int from = folder(list.folder(i)), to = folder(list.movedFolder(i));
        ++m_folders[static_cast<std::size_t>(from)].moved;
        ++m_folders[static_cast<std::size_t>(to)].moved;
        auto node = [&](int k) -> const FolderChange & { return m_folders[std::size_t(k)]; };
        while (from != to) {
            if (node(from).depth >= node(to).depth)
                from = node(from).parent;
            else
                to = node(to).parent;
        }
        --m_folders[static_cast<std::size_t>(from)].moved;
    }
}

void TreeBuilder::addUpTotals() {
    for (std::size_t k = m_folders.size() - 1; k > 0; --k) {
        const FolderChange &f = m_folders[k];
        FolderChange &p = m_folders[static_cast<std::size_t>(f.parent)];
        p.add(f);
        p.moved += f.moved;
    }
}

template <typename T> int threeWay(T x, T y) {
    return x < y ? -1 : x > y ? 1 : 0;
}

// Adds a folder's name to its parent's path.
void appendStep(QString &path, const FolderChange &f) {
    if (f.parent < 0)
        return;
    path.append(f.name);
    if (f.closed)
        path.append(u'\\');
}

// Tabs and line breaks written as the snapshot files write them, so each folder stays one line
// of one field.
QString tsvPath(const QString &path) {
    if (path.isEmpty())
        return QStringLiteral("\\");
    QString out;
    out.reserve(path.size());
    for (const QChar c : path) {
        if (c == u'\t')
            out += QLatin1String("|09");
        else if (c == u'\r')
            out += QLatin1String("|0D");
        else if (c == u'\n')
            out += QLatin1String("|0A");
        else
            out += c;
    }
    return out;
}

void writeRow(QTextStream &out, const QString &path, const FolderChange &f) {
    out << NameCodec::printable(tsvPath(path));
    f.writeTsvFields(out);
    out << '\t' << QString::number(f.moved) << '\n';
}

// Each name as the text columns order it, made once rather than at every comparison of a sort.
std::vector<std::u16string> foldedNames(const std::vector<FolderChange> &folders) {
    std::vector<std::u16string> out;
    out.reserve(folders.size());
    std::vector<char16_t> key;
    for (const FolderChange &f : folders) {
        key.clear();
        TextKeys::appendFolded(key, f.name);
        out.emplace_back(key.begin(), key.end());
    }
    return out;
}

} // namespace

void ChangeCounts::count(const SnapshotList &list, int i, ListId listNo) {
    const Entry &e = list.entry(i);
    if (listNo == ListId::OnlyInOriginal) {
        ++onlyOriginal;
        addBytes(bytesRemoved, bytesOf(e));
    } else if (listNo == ListId::OnlyInFinal) {
        ++onlyFinal;
        addBytes(bytesAdded, bytesOf(e));
    } else if (listNo == ListId::Changed) {
        ++changed;
        if (list.hasOrig() && isQuietContentsChange(list.orig(i).differ))
            ++contentsOnly;
        // A Changed list without the Original's values (not made by a comparison) tells no
        // bytes.
        const std::uint64_t before = list.hasOrig() ? origBytesOf(list.orig(i)) : bytesOf(e);
        const std::uint64_t after = bytesOf(e);
        if (after > before)
            addBytes(bytesAdded, after - before);
        else
            addBytes(bytesRemoved, before - after);
    }
}

void ChangeCounts::add(const ChangeCounts &other) {
    onlyOriginal += other.onlyOriginal;
    onlyFinal += other.onlyFinal;
    changed += other.changed;
    contentsOnly += other.contentsOnly;
    addBytes(bytesRemoved, other.bytesRemoved);
    addBytes(bytesAdded, other.bytesAdded);
}

std::uint64_t ChangeCounts::bytesChanged() const {
    std::uint64_t total = bytesRemoved;
    addBytes(total, bytesAdded);
    return total;
}

void ChangeCounts::writeTsvFields(QTextStream &out) const {
    // QString::number never groups digits, whatever locale the stream was given.
    for (const qint64 v : {onlyOriginal, onlyFinal, changed})
        out << '\t' << QString::number(v);
    for (const std::uint64_t v : {bytesRemoved, bytesAdded})
        out << '\t' << QString::number(v);
    out << '\t' << (netNegative() ? "-" : "") << QString::number(netBytes());
    out << '\t' << QString::number(contentsOnly);
}

ChangeSummary ChangeSummary::build(const Workspace &ws) {
    ChangeSummary summary;
    TreeBuilder tree(summary.m_folders);
    for (const ListId n : Lists::FourResults)
        tree.countList(ws.list(n), n);
    tree.countMoves(ws.list(ListId::OnlyInOriginal));
    tree.addUpTotals();
    summary.m_foldedNames = foldedNames(summary.m_folders);
    summary.sortByChange();
    return summary;
}

QString ChangeSummary::columnHeader(int column) {
    static const char *const headers[ColumnCount] = {
        "Folder",      "Only in Original", "Only in Final", "Changed", "Bytes Removed",
        "Bytes Added", "Net Change",       "Contents Only", "Moved"};
    if (column < 0 || column >= ColumnCount)
        return QString();
    return QLatin1String(headers[column]);
}

QString ChangeSummary::path(int folder) const {
    std::vector<int> chain;
    qsizetype length = 0;
    for (int k = folder; k > 0; k = m_folders[static_cast<std::size_t>(k)].parent) {
        chain.push_back(k);
        length += m_folders[static_cast<std::size_t>(k)].name.size() + 1;
    }
    QString text;
    text.reserve(length);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        appendStep(text, m_folders[static_cast<std::size_t>(*it)]);
    return text;
}

int ChangeSummary::compareNames(int a, int b) const {
    const std::u16string &x = m_foldedNames[static_cast<std::size_t>(a)];
    const std::u16string &y = m_foldedNames[static_cast<std::size_t>(b)];
    if (const int c = x.compare(y))
        return c;
    const FolderChange &p = m_folders[static_cast<std::size_t>(a)];
    const FolderChange &q = m_folders[static_cast<std::size_t>(b)];
    if (const int c = p.name.compare(q.name, Qt::CaseSensitive))
        return c;
    return threeWay(p.closed, q.closed);
}

int ChangeCounts::compare(const ChangeCounts &x, const ChangeCounts &y, int column) {
    switch (column) {
    case ChangeSummary::OnlyInOriginal:
        return threeWay(x.onlyOriginal, y.onlyOriginal);
    case ChangeSummary::OnlyInFinal:
        return threeWay(x.onlyFinal, y.onlyFinal);
    case ChangeSummary::Changed:
        return threeWay(x.changed, y.changed);
    case ChangeSummary::BytesRemoved:
        return threeWay(x.bytesRemoved, y.bytesRemoved);
    case ChangeSummary::BytesAdded:
        return threeWay(x.bytesAdded, y.bytesAdded);
    case ChangeSummary::NetChange:
        if (x.netNegative() != y.netNegative())
            return x.netNegative() ? -1 : 1;
        return x.netNegative() ? threeWay(y.netBytes(), x.netBytes())
                               : threeWay(x.netBytes(), y.netBytes());
    case ChangeSummary::ContentsOnly:
        return threeWay(x.contentsOnly, y.contentsOnly);
    default:
        return 0;
    }
}

int ChangeSummary::compareColumn(int a, int b, int column) const {
    const FolderChange &x = m_folders[static_cast<std::size_t>(a)];
    const FolderChange &y = m_folders[static_cast<std::size_t>(b)];
    return column == Moved ? threeWay(x.moved, y.moved) : ChangeCounts::compare(x, y, column);
}

template <typename Less> void ChangeSummary::sortChildren(Less less) {
    for (FolderChange &f : m_folders)
        std::sort(f.children.begin(), f.children.end(), less);
}

void ChangeSummary::sort(int column, Qt::SortOrder order) {
    const bool descending = order == Qt::DescendingOrder;
    if (column == Folder) {
        sortChildren([&](int a, int b) {
            const int c = compareNames(a, b);
            return descending ? c > 0 : c < 0;
        });
        return;
    }
    sortChildren([&](int a, int b) {
        if (const int c = compareColumn(a, b, column))
            return descending ? c > 0 : c < 0;
        return compareNames(a, b) < 0;
    });
}

void ChangeSummary::sortByChange() {
    sortChildren([this](int a, int b) {
        const FolderChange &x = m_folders[static_cast<std::size_t>(a)];
        const FolderChange &y = m_folders[static_cast<std::size_t>(b)];
        if (x.entries() != y.entries())
            return x.entries() > y.entries();
        if (x.bytesChanged() != y.bytesChanged())
            return x.bytesChanged() > y.bytesChanged();
        return compareNames(a, b) < 0;
    });
}

std::vector<int> ChangeSummary::topChildren(int folder, int n) const {
    if (folder < 0 || static_cast<std::size_t>(folder) >= m_folders.size() || n <= 0)
        return {};
    std::vector<int> top = m_folders[static_cast<std::size_t>(folder)].children;
    const auto count = std::min(top.size(), static_cast<std::size_t>(n));
    std::partial_sort(top.begin(), top.begin() + static_cast<std::ptrdiff_t>(count), top.end(),
                      [this](int a, int b) {
                          const std::uint64_t x =
                              m_folders[static_cast<std::size_t>(a)].bytesChanged();
                          const std::uint64_t y =
                              m_folders[static_cast<std::size_t>(b)].bytesChanged();
                          return x != y ? x > y : compareNames(a, b) < 0;
                      });
    top.resize(count);
    return top;
}

void ChangeSummary::writeTsv(QTextStream &out, int maxDepth) const {
    for (int c = 0; c < ColumnCount; ++c)
        out << (c ? "\t" : "") << columnHeader(c);
    out << '\n';
    // Depth-first without recursion, as a tree can be deep. The path is made as the walk goes:
    // a folder's is its parent's, the path last written at one level up, and its name.
    std::vector<int> pending{0};
    std::vector<qsizetype> ends; // the length of the path last written at each depth
    QString path;
    while (!pending.empty()) {
        const FolderChange &f = m_folders[static_cast<std::size_t>(pending.back())];
        pending.pop_back();
        path.truncate(f.depth > 0 ? ends[static_cast<std::size_t>(f.depth - 1)] : 0);
        appendStep(path, f);
        ends.resize(static_cast<std::size_t>(f.depth) + 1);
        ends.back() = path.size();
        writeRow(out, path, f);
        if (maxDepth < 0 || f.depth < maxDepth)
            pending.insert(pending.end(), f.children.rbegin(), f.children.rend());
    }
}
