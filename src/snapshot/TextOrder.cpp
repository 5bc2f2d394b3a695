#include "TextOrder.h"

#include "SnapshotList.h"

#include <QChar>
#include <QString>
#include <algorithm>

namespace {
inline char16_t fold(char16_t c) {
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return QChar(c).toCaseFolded().unicode();
}
inline bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
} // namespace

int naturalCompare(QStringView a, QStringView b) {
    const qsizetype na = a.size(), nb = b.size();
    qsizetype i = 0, j = 0;
    while (i < na && j < nb) {
        const char16_t ca = a[i].unicode(), cb = b[j].unicode();
        if (isDigit(ca) && isDigit(cb)) {
            while (i < na && a[i] == u'0')
                ++i;
            while (j < nb && b[j] == u'0')
                ++j;
            qsizetype ei = i, ej = j;
            while (ei < na && isDigit(a[ei].unicode()))
                ++ei;
            while (ej < nb && isDigit(b[ej].unicode()))
                ++ej;
            if (ei - i != ej - j)
                return ei - i < ej - j ? -1 : 1;
            for (; i < ei; ++i, ++j) {
                if (a[i] != b[j])
                    return a[i] < b[j] ? -1 : 1;
            }
            continue;
        }
        const char16_t fa = fold(ca), fb = fold(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < na)
        return 1;
    if (j < nb)
        return -1;
    return 0;
}

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
