#pragma once

#include <QRegularExpression>
#include <QStringList>
#include <vector>

// Exclusion patterns as regular expressions over whole paths, written apart from
// ExcludePatterns (which follows its patterns step by step down the folders) to check it.
class ExcludeReference {
public:
    explicit ExcludeReference(const QStringList &patterns) {
        for (const QString &given : patterns) {
            QString p = given.trimmed().replace(u'/', u'\\').toLower();
            bool foldersOnly = false;
            while (p.endsWith(u'\\')) {
                p.chop(1);
                foldersOnly = true;
            }
            const bool anchored = p.contains(u'\\');
            const QStringList parts = p.split(u'\\', Qt::SkipEmptyParts);
            if (parts.isEmpty())
                continue;
            QString re = anchored ? QStringLiteral("^") : QStringLiteral("^(?:.*\\\\)?");
            for (qsizetype k = 0; k < parts.size(); ++k) {
                const bool last = k + 1 == parts.size();
                if (parts[k].size() >= 2 && parts[k].count(u'*') == parts[k].size()) {
                    re += last ? QStringLiteral(".+") : QStringLiteral("(?:[^\\\\]*\\\\)*");
                    continue;
                }
                // Each character by its code (\x{...}): escape() writes a NUL as \0, which
                // a digit after it would make an octal escape of another character. A run of
                // "*" is one, as a run of quantifiers would take exponential time to fail.
                char32_t before = 0;
                for (const char32_t c : parts[k].toUcs4()) {
                    if (c == U'*' && before != U'*')
                        re += QStringLiteral("[^\\\\]*");
                    else if (c != U'*')
                        re += QStringLiteral("\\x{%1}").arg(uint(c), 0, 16);
                    before = c;
                }
                if (!last)
                    re += QStringLiteral("\\\\");
            }
            m_rules.push_back({QRegularExpression(re + u'$'), foldersOnly});
        }
    }

    // Whether the entry at `path` (In Folder and name) is matched itself.
    bool matches(const QString &path, bool isFolder) const {
        const QString lower = path.toLower();
        for (const Rule &rule : m_rules) {
            if ((isFolder || !rule.foldersOnly) && rule.re.match(lower).hasMatch())
                return true;
        }
        return false;
    }

    // Whether an entry is left out: it or a folder it lies in is matched.
    bool leavesOut(const QString &inFolder, QStringView name, bool isFolder) const {
        for (qsizetype at = inFolder.indexOf(u'\\'); at >= 0;
             at = inFolder.indexOf(u'\\', at + 1)) {
            if (matches(inFolder.left(at), true))
                return true;
        }
        return matches(inFolder + name.toString(), isFolder);
    }

private:
    struct Rule {
        QRegularExpression re;
        bool foldersOnly;
    };
    std::vector<Rule> m_rules;
};
