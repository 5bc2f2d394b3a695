#pragma once

#include "SnapshotList.h"

#include <QString>
#include <array>

// The program-wide lists and the variables that go with them.
class Workspace {
public:
    Workspace();

    SnapshotList &list(int n) { return m_lists[static_cast<std::size_t>(n - 1)]; }
    const SnapshotList &list(int n) const { return m_lists[static_cast<std::size_t>(n - 1)]; }

    // "Original" for list 1, "Final" for list 2.
    static QString ListName(int n);
    // The caption of tab n.
    static QString TabCaption(int n);

    int CurrentList = 1;
    int ShownList = 1;
    std::array<QString, 3> DefPath;

private:
    std::array<SnapshotList, ListNo::Count> m_lists;
};
