#include "ChangeSummary.h"

#include "snapshot/KeySort.h"
#include "snapshot/NameCodec.h"
#include "snapshot/Workspace.h"

#include <QHash>
#include <QTextStream>
#include <algorithm>

namespace {

// The length of the parent's path within `path`'s first `length` characters: up to and with
// the separator before the last component.
qsizetype parentLength(const QString &path, qsizetype length) {
    // lastIndexOf counts a negative start from the end, so a one-character path is cut here.
    return length < 2 ? 0 : path.lastIndexOf(u'\\', length - 2) + 1;
}

// Adds modulo 2^64: a size read from a damaged file can be anything, and an overflowing total
// must not be undefined behaviour.
void addBytes(qint64 &total, std::uint64_t bytes) {
    total = static_cast<qint64>(static_cast<std::uint64_t>(total) + bytes);
}

std::uint64_t bytesOf(const Entry &e) {
    return e.isFolder() ? 0 : e.size;
}

std::uint64_t origBytesOf(const OrigValues &o) {
    return (o.attr & 16) ? 0 : o.size;
}

// Grows the tree as folder texts come: each text met is looked up once, and a new folder's
// missing ancestors are added before it, so every parent's index is below its children's.
class TreeBuilder {
public:
    TreeBuilder(std::vector<FolderChange> &folders, qsizetype folderTexts) : m_folders(folders) {
        // Grown instead, the hash would hash every text again at each of its doublings.
        m_index.reserve(folderTexts + 1);
        m_folders.emplace_back();
        m_index.insert(QString(), 0);
    }
    void countList(const SnapshotList &list, int listNo);
    void addUpTotals();

private:
    std::vector<FolderChange> &m_folders;
    QHash<QString, int> m_index;
    // The folder looked up last. The lists hold their folders mostly in tree order, so a new
    // folder's parent is nearly always on this one's chain of ancestors, found without a hash.
    int m_last = 0;

    int folder(const QString &path);
    int nearestAncestor(const QString &path) const;
    // Finds or adds each folder between `ancestor` and `path`; returns `path`'s parent.
    int addAbove(const QString &path, int ancestor, bool &added);
    int add(const QString &path, qsizetype length, int parent);
    void countEntry(FolderChange &f, const SnapshotList &list, int i, int listNo);
};

int TreeBuilder::nearestAncestor(const QString &path) const {
    int k = m_last;
    while (k > 0 && !path.startsWith(m_folders[static_cast<std::size_t>(k)].path))
        k = m_folders[static_cast<std::size_t>(k)].parent;
    return k;
}

int TreeBuilder::folder(const QString &path) {
    const qsizetype known = m_index.size();
    int &slot = m_index[path]; // one look-up, whether the folder is new or not
    if (m_index.size() == known)
        return m_last = slot;
    bool added = false; // adding a folder above moves the slot
    const int parent = addAbove(path, nearestAncestor(path), added);
    const int index = add(path, path.size(), parent);
    (added ? m_index[path] : slot) = index;
    return m_last = index;
}

int TreeBuilder::addAbove(const QString &path, int ancestor, bool &added) {
    const qsizetype from = m_folders[static_cast<std::size_t>(ancestor)].path.size();
    for (qsizetype cut = path.indexOf(u'\\', from); cut >= 0 && cut + 1 < path.size();
         cut = path.indexOf(u'\\', cut + 1)) {
        const auto above = m_index.constFind(path.left(cut + 1));
        if (above != m_index.constEnd()) {
            ancestor = above.value();
            continue;
        }
        ancestor = add(path, cut + 1, ancestor);
        m_index.insert(m_folders[static_cast<std::size_t>(ancestor)].path, ancestor);
        added = true;
    }
    return ancestor;
}

int TreeBuilder::add(const QString &path, qsizetype length, int parent) {
    const int index = static_cast<int>(m_folders.size());
    FolderChange f;
    f.path = path.left(length);
    const qsizetype cut = parentLength(path, length);
    f.name = path.mid(cut, length - cut);
    if (f.name.endsWith(u'\\'))
        f.name.chop(1);
    f.parent = parent;
    f.depth = m_folders[static_cast<std::size_t>(parent)].depth + 1;
    m_folders.push_back(std::move(f));
    m_folders[static_cast<std::size_t>(parent)].children.push_back(index);
    return index;
}

void TreeBuilder::countEntry(FolderChange &f, const SnapshotList &list, int i, int listNo) {
    const Entry &e = list.entry(i);
    if (listNo == ListNo::OnlyInOriginal) {
        ++f.onlyOriginal;
        addBytes(f.bytesRemoved, bytesOf(e));
    } else if (listNo == ListNo::OnlyInFinal) {
        ++f.onlyFinal;
        addBytes(f.bytesAdded, bytesOf(e));
    } else if (listNo == ListNo::Changed) {
        ++f.changed;
        // A Changed list without the Original's values (not made by a comparison) tells no
        // bytes.
        const std::uint64_t before = list.hasOrig() ? origBytesOf(list.orig(i)) : bytesOf(e);
        const std::uint64_t after = bytesOf(e);
        if (after > before)
            addBytes(f.bytesAdded, after - before);
        else
            addBytes(f.bytesRemoved, before - after);
    }
}

void TreeBuilder::countList(const SnapshotList &list, int listNo) {
    const FolderTable &texts = list.folders();
    std::vector<int> nodeOf(texts.size(), -1); // only the folders entries use become nodes
    for (int i = 0; i < list.size(); ++i) {
        const std::uint32_t id = list.entry(i).folder;
        int &node = nodeOf[id];
        if (node < 0)
            node = folder(texts.text(id));
        countEntry(m_folders[static_cast<std::size_t>(node)], list, i, listNo);
    }
}

void TreeBuilder::addUpTotals() {
    for (std::size_t k = m_folders.size() - 1; k > 0; --k) {
        const FolderChange &f = m_folders[k];
        FolderChange &p = m_folders[static_cast<std::size_t>(f.parent)];
        p.onlyOriginal += f.onlyOriginal;
        p.onlyFinal += f.onlyFinal;
        p.changed += f.changed;
        addBytes(p.bytesRemoved, static_cast<std::uint64_t>(f.bytesRemoved));
        addBytes(p.bytesAdded, static_cast<std::uint64_t>(f.bytesAdded));
    }
}

qint64 columnValue(const FolderChange &f, int column) {
    switch (column) {
    case ChangeSummary::OnlyInOriginal:
        return f.onlyOriginal;
    case ChangeSummary::OnlyInFinal:
        return f.onlyFinal;
    case ChangeSummary::Changed:
        return f.changed;
    case ChangeSummary::BytesRemoved:
        return f.bytesRemoved;
    case ChangeSummary::BytesAdded:
        return f.bytesAdded;
    case ChangeSummary::NetChange:
        return f.net();
    default:
        return 0;
    }
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

void writeRow(QTextStream &out, const FolderChange &f) {
    out << NameCodec::printable(tsvPath(f.path));
    const qint64 values[] = {f.onlyOriginal, f.onlyFinal,  f.changed,
                             f.bytesRemoved, f.bytesAdded, f.net()};
    // QString::number never groups digits, whatever locale the stream was given.
    for (const qint64 v : values)
        out << '\t' << QString::number(v);
    out << '\n';
}

// Each name as the text columns order it, made once rather than at every comparison of a sort.
std::vector<std::u16string> foldedNames(const std::vector<FolderChange> &folders) {
    std::vector<std::u16string> out;
    out.reserve(folders.size());
    std::vector<char16_t> key;
    for (const FolderChange &f : folders) {
        key.clear();
        KeySort::appendFoldedKey(key, f.name);
        out.emplace_back(key.begin(), key.end());
    }
    return out;
}

} // namespace

ChangeSummary ChangeSummary::build(const Workspace &ws) {
    ChangeSummary summary;
    qsizetype folderTexts = 0;
    for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n)
        folderTexts += ws.list(n).folders().size();
    TreeBuilder tree(summary.m_folders, folderTexts);
    for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n)
        tree.countList(ws.list(n), n);
    tree.addUpTotals();
    summary.m_foldedNames = foldedNames(summary.m_folders);
    summary.sortByChange();
    return summary;
}

QString ChangeSummary::columnHeader(int column) {
    static const char *const headers[ColumnCount] = {
        "Folder",        "Only in Original", "Only in Final", "Changed",
        "Bytes Removed", "Bytes Added",      "Net Change"};
    if (column < 0 || column >= ColumnCount)
        return QString();
    return QLatin1String(headers[column]);
}

int ChangeSummary::compareNames(int a, int b) const {
    const std::u16string &x = m_foldedNames[static_cast<std::size_t>(a)];
    const std::u16string &y = m_foldedNames[static_cast<std::size_t>(b)];
    if (const int c = x.compare(y))
        return c;
    const QString &p = m_folders[static_cast<std::size_t>(a)].name;
    const QString &q = m_folders[static_cast<std::size_t>(b)].name;
    return p.compare(q, Qt::CaseSensitive);
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
        const qint64 x = columnValue(m_folders[static_cast<std::size_t>(a)], column);
        const qint64 y = columnValue(m_folders[static_cast<std::size_t>(b)], column);
        if (x != y)
            return descending ? x > y : x < y;
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
                          const qint64 x = m_folders[static_cast<std::size_t>(a)].bytesChanged();
                          const qint64 y = m_folders[static_cast<std::size_t>(b)].bytesChanged();
                          return x != y ? x > y : compareNames(a, b) < 0;
                      });
    top.resize(count);
    return top;
}

void ChangeSummary::writeTsv(QTextStream &out, int maxDepth) const {
    for (int c = 0; c < ColumnCount; ++c)
        out << (c ? "\t" : "") << columnHeader(c);
    out << '\n';
    std::vector<int> pending{0}; // depth-first without recursion: a tree can be deep
    while (!pending.empty()) {
        const FolderChange &f = m_folders[static_cast<std::size_t>(pending.back())];
        pending.pop_back();
        writeRow(out, f);
        if (maxDepth < 0 || f.depth < maxDepth)
            pending.insert(pending.end(), f.children.rbegin(), f.children.rend());
    }
}
