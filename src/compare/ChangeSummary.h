#pragma once

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <string>
#include <vector>

class QTextStream;
class SnapshotList;
class Workspace;
enum class ListId;

// The changes of a group of result entries (a folder and all below it, or the entries of a set
// of packages). Byte totals are exact up to the largest 64-bit number and stay there beyond it.
struct ChangeCounts {
    qint64 onlyOriginal = 0, onlyFinal = 0, changed = 0; // entries (files and folders)
    std::uint64_t bytesRemoved = 0, bytesAdded = 0;
    // Changed files whose contents differ while their size and time do not: the most
    // suspicious change there is.
    qint64 contentsOnly = 0;

    // Counts entry i of result list `listNo`: an entry only on one side by its size (a folder
    // has none), a Changed one by what it grew or shrank by. The Unchanged count nothing.
    void count(const SnapshotList &list, int i, ListId listNo);
    void add(const ChangeCounts &other);
    qint64 entries() const { return onlyOriginal + onlyFinal + changed; }
    std::uint64_t bytesChanged() const;
    // The net change, added minus removed, as its sign and its size.
    bool netNegative() const { return bytesRemoved > bytesAdded; }
    std::uint64_t netBytes() const {
        return netNegative() ? bytesRemoved - bytesAdded : bytesAdded - bytesRemoved;
    }
    // The order of two groups by one of the columns they share (ChangeSummary::OnlyInOriginal
    // to ContentsOnly): below zero when x comes first in ascending order.
    static int compare(const ChangeCounts &x, const ChangeCounts &y, int column);
    // The counts as the summaries' TSV writes them, each after a tab.
    void writeTsvFields(QTextStream &out) const;
};

// One folder of the change summary with the changes below it. A folder knows its name and its
// parent, not its whole path (ChangeSummary::path() makes that), so a deep tree costs memory in
// proportion to its names.
struct FolderChange : ChangeCounts {
    QString name;              // its last component without the '\' ("" for the root)
    bool closed = true;        // its path ends in '\' (a folder text read from a damaged file
                               // may not; such a folder has no subfolders)
    int parent = -1;           // index in ChangeSummary::folders, -1 for the root
    std::vector<int> children; // indexes, in the summary's current order
    int depth = 0;             // 0 for the root
    // The counts are totals over this folder and every folder below it.
    // Entries moved out of it, into it or within it (in both Only lists as well), each once.
    qint64 moved = 0;
};

// Where the changes of a comparison are: the folders of both snapshots as a tree, each with the
// result entries and bytes removed and added in it and below it.
class ChangeSummary {
public:
    // Reads the four result lists of a comparison; the summary opens in sortByChange() order.
    static ChangeSummary build(const Workspace &ws);
    const std::vector<FolderChange> &folders() const { return m_folders; } // [0] is the root
    // The In Folder text of a folder: "" for the root, else (as a rule) ending in '\'.
    QString path(int folder) const;

    enum Column {
        Folder,
        OnlyInOriginal,
        OnlyInFinal,
        Changed,
        BytesRemoved,
        BytesAdded,
        NetChange,
        ContentsOnly,
        Moved,
        ColumnCount
    };
    static QString columnHeader(int column);

    // Orders every folder's children by a column (Folder: by name, letter case folded first,
    // then as written). Ties go by the name, ascending in either order, so a reversed column
    // keeps its equal rows in the order a reader scans for them.
    void sort(int column, Qt::SortOrder order);
    // The opening order: most change first (entries(), then bytesChanged(), then the name).
    void sortByChange();
    // The largest subfolders of a folder by bytesChanged(), at most n, largest first (for a bar
    // chart); equal ones by name.
    std::vector<int> topChildren(int folder, int n) const;
    // The table as TSV, depth-first in the current order, folders deeper than maxDepth left out
    // (maxDepth < 0: all). The root's path is written as "\".
    void writeTsv(QTextStream &out, int maxDepth) const;

private:
    std::vector<FolderChange> m_folders;
    std::vector<std::u16string> m_foldedNames; // per folder, for the name order

    int compareNames(int a, int b) const;
    int compareColumn(int a, int b, int column) const;
    template <typename Less> void sortChildren(Less less);
};
