#pragma once

#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

// Ordinal comparison (UTF-16 code units) of two texts each made of consecutive parts, as if the
// parts were joined.
int ordinalCompareJoined(const QStringView *a, int aParts, const QStringView *b, int bParts);

// The same for two whole texts.
inline int ordinalCompare(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t *x = a.utf16(), *y = b.utf16();
    for (qsizetype k = 0; k < n; ++k) {
        if (x[k] != y[k])
            return x[k] < y[k] ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size();
}

class SnapshotList;

// A match-key text: the text lower-cased as QString::toLower() does it, which may change its
// length ("İ" becomes two code units).
QString lowerKey(QStringView text);

// The lower-cased names and folders of a list's entries, which make up their match keys: the
// lower-cased In Folder followed by the lower-cased name. A name with nothing to lower is its
// own key; the others are lowered into blocks of their own, so no key ever moves.
class MatchKeys {
public:
    explicit MatchKeys(const SnapshotList &list);
    QStringView name(int i) const { return m_names[static_cast<std::size_t>(i)]; }
    QStringView folder(int i) const;
    // Whether entries i and j of the list have the same match key.
    bool equal(int i, int j) const;
    // Follows a reordering of the list (see SnapshotList::permute).
    void permute(const std::vector<std::uint32_t> &order);

private:
    // Room for a key of `length` units, which `take` then keeps or `giveBack` returns (a long
    // one has a block of its own).
    char16_t *room(std::size_t length);
    QStringView take(const char16_t *at, std::size_t length);
    void giveBack(std::size_t length);

    const SnapshotList &m_list;
    std::vector<QStringView> m_names;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    std::vector<std::unique_ptr<char16_t[]>> m_large; // a long name each
    std::size_t m_free = 0;                           // room left in the last block
};
