#pragma once

#include <QStringView>
#include <algorithm>
#include <vector>

// The order of display texts, as file managers sort names: letter case is ignored and runs of
// digits compare by their value. Texts that compare equal this way keep their order.
int naturalCompare(QStringView a, QStringView b);

// Ordinal comparison (UTF-16 code units) of two texts each made of consecutive parts, as if the
// parts were joined.
int ordinalCompareJoined(const QStringView *a, int aParts, const QStringView *b, int bParts);

class SnapshotList;

// The lower-cased names and folders of a list's entries, which make up their match keys: the
// lower-cased In Folder followed by the lower-cased name.
class MatchKeys {
public:
    explicit MatchKeys(const SnapshotList &list);
    QStringView name(int i) const {
        const Ref &r = m_refs[static_cast<std::size_t>(i)];
        return QStringView(m_pool.data() + r.offset, static_cast<qsizetype>(r.length));
    }
    QStringView folder(int i) const;
    bool anyNameHolds(char16_t c) const {
        return std::find(m_pool.begin(), m_pool.end(), c) != m_pool.end();
    }
    // Compares the match keys of entries i and j of the list (ordinal).
    int compare(int i, int j) const;

private:
    struct Ref {
        std::size_t offset;
        std::uint32_t length;
    };
    const SnapshotList &m_list;
    std::vector<char16_t> m_pool;
    std::vector<Ref> m_refs;
};
