#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <vector>

class SnapshotList;

// Which entries of a list a filter text keeps: those whose name or In Folder text contains the
// text, letter case aside (simple case folding, as the text order folds it). A "/" in the text
// stands for "\", the separator of In Folder, so a path can be typed as the platform spells it.
// A text that starts with "\" names a folder from the snapshot's root: it keeps the entries
// whose In Folder starts with the rest ("\docs\" keeps what lies in and below the root's docs,
// not another folder named docs).
// The filter only chooses what a view shows; the list itself stays as it is.
class ListFilter {
public:
    ListFilter() = default;
    explicit ListFilter(QStringView text);

    bool isEmpty() const { return m_folded.empty() && !m_fromRoot; }
    // Whether every entry this filter keeps is kept by `earlier` as well, so that this one
    // need only look at what `earlier` kept.
    bool narrows(const ListFilter &earlier) const;

    bool keeps(const SnapshotList &list, int i) const;
    // The positions of the kept entries, in list order. With `within` (the result of a filter
    // this one narrows), only those positions are looked at.
    std::vector<int> apply(const SnapshotList &list,
                           const std::vector<int> *within = nullptr) const;

private:
    std::u16string m_folded; // without the leading "\" of a folder from the root
    bool m_fromRoot = false;
};
