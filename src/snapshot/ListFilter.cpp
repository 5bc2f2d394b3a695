#include "ListFilter.h"

#include "SideBySide.h"
#include "SnapshotList.h"

#include "sort/TextKeys.h"

namespace {

std::u16string folded(QStringView text) {
    std::vector<char16_t> units;
    units.reserve(static_cast<std::size_t>(text.size()));
    TextKeys::appendFolded(units, text);
    return std::u16string(units.begin(), units.end());
}

// Folds texts into one buffer that is reused, so a million names cost no allocation.
class Matcher {
public:
    explicit Matcher(const std::u16string &needle) : m_needle(needle) {}
    bool contains(QStringView text) {
        return fold(text).find(m_needle) != std::u16string_view::npos;
    }
    bool startsWith(QStringView text) { return fold(text).starts_with(m_needle); }

private:
    std::u16string_view fold(QStringView text) {
        m_buffer.clear();
        // Most names are ASCII, whose folding is plain lower case; the rest is folded in full.
        qsizetype k = 0;
        for (; k < text.size() && text[k].unicode() < 0x80; ++k) {
            const char16_t c = text[k].unicode();
            m_buffer.push_back(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
        }
        TextKeys::appendFolded(m_buffer, text.mid(k));
        return std::u16string_view(m_buffer.data(), m_buffer.size());
    }

    std::u16string_view m_needle;
    std::vector<char16_t> m_buffer;
};

} // namespace

ListFilter::ListFilter(QStringView text) {
    QString typed = text.toString();
    typed.replace(u'/', u'\\');
    m_fromRoot = typed.startsWith(u'\\');
    m_folded = folded(m_fromRoot ? QStringView(typed).mid(1) : QStringView(typed));
}

bool ListFilter::narrows(const ListFilter &earlier) const {
    if (earlier.m_fromRoot)
        return m_fromRoot && m_folded.starts_with(earlier.m_folded);
    return m_folded.find(earlier.m_folded) != std::u16string::npos;
}

bool ListFilter::keeps(const SnapshotList &list, int i) const {
    Matcher matcher(m_folded);
    if (m_fromRoot)
        return matcher.startsWith(list.folder(i));
    return matcher.contains(list.name(i)) || matcher.contains(list.folder(i));
}

std::vector<int> ListFilter::apply(const SnapshotList &list, const std::vector<int> *within) const {
    // The entries to look at, as positions k in [0, n): entry k, or within[k].
    const std::size_t n = within ? within->size() : static_cast<std::size_t>(list.size());
    auto entryAt = [&](std::size_t k) { return within ? (*within)[k] : static_cast<int>(k); };
    std::vector<int> kept;
    if (isEmpty()) {
        for (std::size_t k = 0; k < n; ++k)
            kept.push_back(entryAt(k));
        return kept;
    }
    // A folder holds many entries: each folder text is looked at once.
    const FolderTable &folders = list.folders();
    std::vector<char> folderKept(folders.size());
    Matcher matcher(m_folded);
    for (std::uint32_t id = 0; id < folders.size(); ++id) {
        folderKept[id] =
            m_fromRoot ? matcher.startsWith(folders.text(id)) : matcher.contains(folders.text(id));
    }
    auto pass = [&](std::size_t from, std::size_t to, std::vector<int> &out) {
        Matcher names(m_folded);
        for (std::size_t k = from; k < to; ++k) {
            const int i = entryAt(k);
            if (folderKept[list.entry(i).folder] || (!m_fromRoot && names.contains(list.name(i))))
                out.push_back(i);
        }
    };
    // Typing waits for this pass: a large list is shared between two threads.
    if (n < 200'000) {
        pass(0, n, kept);
        return kept;
    }
    std::vector<int> secondHalf;
    runSideBySide([&] { pass(n / 2, n, secondHalf); }, [&] { pass(0, n / 2, kept); });
    kept.insert(kept.end(), secondHalf.begin(), secondHalf.end());
    return kept;
}
