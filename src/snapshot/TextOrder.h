#pragma once

#include <QStringView>
#include <vector>

// Ordinal comparison (UTF-16 code units) of two texts each made of consecutive parts, as if the
// parts were joined.
int ordinalCompareJoined(const QStringView *a, int aParts, const QStringView *b, int bParts);

class SnapshotList;

// The lower-cased names and folders of a list's entries, which make up their match keys: the
// lower-cased In Folder followed by the lower-cased name. Lower-casing may change the length
// of a name ("İ" becomes two code units), so each name's key is stored as it comes.
class MatchKeys {
public:
    explicit MatchKeys(const SnapshotList &list);
    QStringView name(int i) const {
        const std::size_t k = static_cast<std::size_t>(i);
        return QStringView(m_pool.data() + m_offsets[k],
                           static_cast<qsizetype>(m_offsets[k + 1] - m_offsets[k]));
    }
    QStringView folder(int i) const;
    // Compares the match keys of entries i and j of the list (ordinal).
    int compare(int i, int j) const;

private:
    const SnapshotList &m_list;
    std::vector<char16_t> m_pool;
    std::vector<std::size_t> m_offsets; // entry i's key is m_offsets[i] .. m_offsets[i + 1]
};
