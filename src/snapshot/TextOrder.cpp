#include "TextOrder.h"

#include "SnapshotList.h"

#include <QChar>
#include <QString>
#include <algorithm>

int ordinalCompareJoined(const QStringView *a, int aParts, const QStringView *b, int bParts) {
    int pa = 0, pb = 0;
    qsizetype ia = 0, ib = 0;
    for (;;) {
        while (pa < aParts && ia == a[pa].size()) {
            ++pa;
            ia = 0;
        }
        while (pb < bParts && ib == b[pb].size()) {
            ++pb;
            ib = 0;
        }
        if (pa == aParts || pb == bParts)
            return pa == aParts ? (pb == bParts ? 0 : -1) : 1;
        const qsizetype n = std::min(a[pa].size() - ia, b[pb].size() - ib);
        const char16_t *x = a[pa].utf16() + ia;
        const char16_t *y = b[pb].utf16() + ib;
        for (qsizetype k = 0; k < n; ++k) {
            if (x[k] != y[k])
                return x[k] < y[k] ? -1 : 1;
        }
        ia += n;
        ib += n;
    }
}

MatchKeys::MatchKeys(const SnapshotList &list) : m_list(list) {
    const int n = list.size();
    m_offsets.reserve(static_cast<std::size_t>(n) + 1);
    m_offsets.push_back(0);
    for (int i = 0; i < n; ++i) {
        const QStringView name = list.name(i);
        const bool ascii =
            std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (ascii) {
            // Nearly every name; lower-casing ASCII is the one thing toLower() does to it.
            for (const QChar c : name) {
                const char16_t u = c.unicode();
                m_pool.push_back(u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + 32) : u);
            }
        } else {
            const QString lower = name.toString().toLower();
            m_pool.insert(m_pool.end(), lower.utf16(), lower.utf16() + lower.size());
        }
        m_offsets.push_back(m_pool.size());
    }
}

QStringView MatchKeys::folder(int i) const {
    return m_list.folders().lowerText(m_list.entry(i).folder);
}

int MatchKeys::compare(int i, int j) const {
    if (m_list.entry(i).folder == m_list.entry(j).folder) {
        const QStringView a = name(i), b = name(j);
        return ordinalCompareJoined(&a, 1, &b, 1);
    }
    const QStringView a[2] = {folder(i), name(i)};
    const QStringView b[2] = {folder(j), name(j)};
    return ordinalCompareJoined(a, 2, b, 2);
}
