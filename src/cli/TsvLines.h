#pragma once

#include "snapshot/EntryFormat.h"

#include <string>
#include <vector>

class SnapshotList;

// The tab-separated lines of `list` and `compare --tsv`: the first `columns` columns of each
// entry (or those named) as the lists show them (printable, so every entry stays on its line), What
// Changed in rpm -V letters. Written straight into the output, as a million lines go through here:
// a folder's text is made once.
class TsvLines {
public:
    TsvLines(const SnapshotList &list, int columns);
    // The same with the columns named.
    TsvLines(const SnapshotList &list, std::vector<int> columns)
        : m_list(list), m_columns(std::move(columns)) {}
    // Appends entry i after `prefix` (the list's caption and a tab, or nothing), ended by a line
    // feed.
    void append(std::string &out, const std::string &prefix, int i);

private:
    void appendModified(std::string &out, double serial);

    const SnapshotList &m_list;
    const std::vector<int> m_columns;
    const EntryFormatter m_format;
    std::vector<std::string> m_folders; // by folder number; empty: not yet made
};
