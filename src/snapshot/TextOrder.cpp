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

namespace {
bool isAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}
bool hasUpperAscii(QStringView text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= u'A' && c.unicode() <= u'Z'; });
}
// Lower-casing ASCII is the one thing toLower() does to it, and nearly every name is ASCII.
void lowerAscii(QStringView text, char16_t *out) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *out++ = u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + 32) : u;
    }
}
} // namespace

QString lowerKey(QStringView text) {
    if (!isAscii(text))
        return text.toString().toLower();
    QString out(text.size(), Qt::Uninitialized);
    lowerAscii(text, reinterpret_cast<char16_t *>(out.data()));
    return out;
}

MatchKeys::MatchKeys(const SnapshotList &list) : m_list(list) {
    const int n = list.size();
    m_names.resize(static_cast<std::size_t>(n));
    QString lowered;
    for (int i = 0; i < n; ++i) {
        const QStringView name = list.name(i);
        QStringView &key = m_names[static_cast<std::size_t>(i)];
        if (!isAscii(name)) {
            lowered = name.toString().toLower();
            key = lowered == name ? name : keep(lowered);
        } else if (hasUpperAscii(name)) {
            key = keep(name);
            lowerAscii(key, const_cast<char16_t *>(key.utf16()));
        } else {
            key = name; // the list's names never move
        }
    }
}

QStringView MatchKeys::keep(QStringView text) {
    constexpr std::size_t BlockSize = 1 << 16;
    const auto length = static_cast<std::size_t>(text.size());
    char16_t *at;
    if (length > BlockSize / 8) {
        m_large.push_back(std::make_unique_for_overwrite<char16_t[]>(length));
        at = m_large.back().get();
    } else {
        if (length > m_free) {
            m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(BlockSize));
            m_free = BlockSize;
        }
        at = m_blocks.back().get() + (BlockSize - m_free);
        m_free -= length;
    }
    std::copy_n(text.utf16(), length, at);
    return QStringView(at, static_cast<qsizetype>(length));
}

void MatchKeys::permute(const std::vector<std::uint32_t> &order) {
    std::vector<QStringView> names;
    names.reserve(order.size());
    for (const std::uint32_t k : order)
        names.push_back(m_names[k]);
    m_names.swap(names);
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
