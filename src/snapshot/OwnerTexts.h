#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

// The texts of the owners of a list's entries ("coreutils", "base-files, coreutils"), each
// held once: an entry refers to its owners by number. Number 0 is "(none)", what no package owns.
class OwnerTexts {
public:
    static constexpr std::uint32_t Unowned = 0;
    static QString unownedText() { return QStringLiteral("(none)"); }

    OwnerTexts() { intern(unownedText()); }
    std::uint32_t intern(const QString &text) {
        const auto found = m_index.constFind(text);
        if (found != m_index.constEnd())
            return *found;
        const auto id = static_cast<std::uint32_t>(m_texts.size());
        m_texts.push_back(text);
        m_index.insert(text, id);
        return id;
    }
    const QString &text(std::uint32_t id) const { return m_texts[id]; }
    std::size_t size() const { return m_texts.size(); }

private:
    std::vector<QString> m_texts;
    QHash<QString, std::uint32_t> m_index;
};
