#pragma once

#include <QString>
#include <QtGlobal>
#include <string>
#include <vector>

class QTextStream;
class Workspace;

// One folder of the change summary with the changes below it.
struct FolderChange {
    QString path;              // In Folder text of this folder: "" for the root, else ends in '\'
    QString name;              // its last component without the '\' ("" for the root)
    int parent = -1;           // index in ChangeSummary::folders, -1 for the root
    std::vector<int> children; // indexes, in the summary's current order
    int depth = 0;             // 0 for the root
    // Totals over this folder and every folder below it:
    qint64 onlyOriginal = 0, onlyFinal = 0, changed = 0; // entries (files and folders)
    qint64 bytesRemoved = 0, bytesAdded = 0;
    qint64 entries() const { return onlyOriginal + onlyFinal + changed; }
    qint64 bytesChanged() const { return bytesRemoved + bytesAdded; }
    qint64 net() const { return bytesAdded - bytesRemoved; }
};

// Where the changes of a comparison are: the folders of both snapshots as a tree, each with the
// result entries and bytes removed and added in it and below it.
class ChangeSummary {
public:
    // Reads the four result lists of a comparison; the summary opens in sortByChange() order.
    static ChangeSummary build(const Workspace &ws);
    const std::vector<FolderChange> &folders() const { return m_folders; } // [0] is the root

    enum Column {
        Folder,
        OnlyInOriginal,
        OnlyInFinal,
        Changed,
        BytesRemoved,
        BytesAdded,
        NetChange,
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
    template <typename Less> void sortChildren(Less less);
};
