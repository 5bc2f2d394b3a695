#pragma once

#include "SnapshotList.h"

#include <QString>
#include <array>

// The six lists, in tab order.
class Workspace {
public:
    Workspace();

    SnapshotList &list(int n) { return m_lists[static_cast<std::size_t>(n - 1)]; }
    const SnapshotList &list(int n) const { return m_lists[static_cast<std::size_t>(n - 1)]; }

    // "Original" for list 1, "Final" for list 2.
    static QString ListName(int n);
    // The caption of tab n.
    static QString TabCaption(int n);

private:
    std::array<SnapshotList, ListNo::Count> m_lists;
};
