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
enum class Lowered { Same, Changed, NotAscii };

// Lower-casing ASCII is the one thing toLower() does to it, and nearly every name is ASCII: one
// pass writes the lowered text to `out` and tells whether it differs, or whether the text holds
// more than ASCII (then `out` is of no use).
Lowered lowerAscii(QStringView text, char16_t *__restrict out) {
    const char16_t *__restrict in = text.utf16();
    const std::size_t n = static_cast<std::size_t>(text.size());
    unsigned seen = 0, upper = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned u = in[k];
        const unsigned isUpper = (u - u'A') < 26u;
        seen |= u;
        upper |= isUpper;
        out[k] = static_cast<char16_t>(u + (isUpper << 5));
    }
    if (seen >= 0x80)
        return Lowered::NotAscii;
    return upper ? Lowered::Changed : Lowered::Same;
}

// A megabyte: blocks that size come straight from the system and go back to it when freed.
constexpr std::size_t BlockSize = 1 << 19;
constexpr std::size_t LongName = 1 << 13;
} // namespace

QString lowerKey(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    if (lowerAscii(text, reinterpret_cast<char16_t *>(out.data())) == Lowered::NotAscii)
        return text.toString().toLower();
    return out;
}

MatchKeys::MatchKeys(const SnapshotList &list) : m_list(list) {
    const int n = list.size();
    m_names.reserve(static_cast<std::size_t>(n));
    QString lowered;
    for (int i = 0; i < n; ++i) {
        const QStringView name = list.name(i);
        const auto length = static_cast<std::size_t>(name.size());
        char16_t *at = room(length);
        switch (lowerAscii(name, at)) {
        case Lowered::Same:
            giveBack(length);
            m_names.push_back(name); // the list's names never move
            break;
        case Lowered::Changed:
            m_names.push_back(take(at, length));
            break;
        case Lowered::NotAscii:
            giveBack(length);
            lowered = name.toString().toLower();
            if (lowered == name) {
                m_names.push_back(name);
                break;
            }
            at = room(static_cast<std::size_t>(lowered.size()));
            std::copy_n(lowered.utf16(), lowered.size(), at);
            m_names.push_back(take(at, static_cast<std::size_t>(lowered.size())));
            break;
        }
    }
}

char16_t *MatchKeys::room(std::size_t length) {
    if (length > LongName) {
        m_large.push_back(std::make_unique_for_overwrite<char16_t[]>(length));
        return m_large.back().get();
    }
    if (length > m_free || m_blocks.empty()) {
        m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(BlockSize));
        m_free = BlockSize;
    }
    return m_blocks.back().get() + (BlockSize - m_free);
}

void MatchKeys::giveBack(std::size_t length) {
    if (length > LongName)
        m_large.pop_back();
}

QStringView MatchKeys::take(const char16_t *at, std::size_t length) {
    if (length <= LongName)
        m_free -= length;
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

bool MatchKeys::equal(int i, int j) const {
    if (m_list.entry(i).folder == m_list.entry(j).folder)
        return name(i) == name(j);
    if (folder(i).size() + name(i).size() != folder(j).size() + name(j).size())
        return false;
    const QStringView a[2] = {folder(i), name(i)};
    const QStringView b[2] = {folder(j), name(j)};
    return ordinalCompareJoined(a, 2, b, 2) == 0;
}
