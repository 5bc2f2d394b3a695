#pragma once

#include "SnapshotList.h"

#include <QString>
#include <array>

// The seven lists, in tab order.
class Workspace {
public:
    Workspace();

    SnapshotList &list(ListId n) { return m_lists[Lists::indexOf(n)]; }
    const SnapshotList &list(ListId n) const { return m_lists[Lists::indexOf(n)]; }

    // "Original" or "Final".
    static QString listName(ListId n);
    // The caption of the list's tab.
    static QString tabCaption(ListId n);

private:
    std::array<SnapshotList, Lists::Count> m_lists;
};
