#include "ExcludePatterns.h"

#include <algorithm>

namespace {

// Whether a name matches a glob whose only special character is "*" (any run of characters).
// On a mismatch only the last "*" takes one character more, so this stays close to linear.
bool globMatches(QStringView glob, QStringView name) {
    qsizetype g = 0, n = 0, star = -1, resume = 0;
    while (n < name.size()) {
        if (g < glob.size() && glob[g] == u'*') {
            star = g++;
            resume = n;
        } else if (g < glob.size() && glob[g] == name[n]) {
            ++g;
            ++n;
        } else if (star >= 0) {
            g = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == u'*')
        ++g;
    return g == glob.size();
}

bool onlyStars(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c == u'*'; });
}

// Runs of "*" mean no more than one.
QString collapsedStars(QStringView glob) {
    QString out;
    out.reserve(glob.size());
    for (const QChar c : glob) {
        if (c != u'*' || !out.endsWith(u'*'))
            out += c;
    }
    return out;
}

} // namespace

ExcludePatterns::ExcludePatterns(const QStringList &patterns) {
    for (const QString &given : patterns) {
        QString pattern = given.trimmed();
        if (pattern.isEmpty())
            continue;
        pattern.replace(u'/', u'\\');
        m_patterns << pattern;
        compile(pattern);
    }
}

void ExcludePatterns::compile(const QString &pattern) {
    QStringView body(pattern);
    while (body.endsWith(u'\\'))
        body.chop(1);
    const bool foldersOnly = body.size() < pattern.size();
    const bool anchored = body.contains(u'\\');
    const QString lower = body.toString().toLower();
    std::vector<Step> steps;
    if (!anchored)
        steps.push_back({QString(), true});
    bool named = false;
    for (const QStringView name : QStringView(lower).tokenize(u'\\', Qt::SkipEmptyParts)) {
        named = true;
        if (name.size() < 2 || !onlyStars(name))
            steps.push_back({collapsedStars(name)});
        else if (steps.empty() || !steps.back().anyFolders)
            steps.push_back({QString(), true});
    }
    if (!named)
        return; // nothing but separators
    // A trailing "**" is what lies below: a name, then any number of folders.
    if (steps.back().anyFolders)
        steps.insert(steps.end() - 1, Step{QStringLiteral("*")});
    steps.push_back({QString(), false, true});
    for (std::size_t k = 0; k < steps.size(); ++k) {
        steps[k].foldersOnly = foldersOnly;
        if (steps[k].end)
            continue;
        const Step &next = steps[k + 1];
        steps[k].completes =
            next.end || (!steps[k].anyFolders && next.anyFolders && steps[k + 2].end);
    }
    m_first.push_back(static_cast<std::uint32_t>(m_steps.size()));
    m_steps.insert(m_steps.end(), steps.begin(), steps.end());
}

// Adds a step and, past any "**", the steps it may skip to.
void ExcludePatterns::addFrom(std::uint32_t step, std::vector<std::uint32_t> &live) const {
    for (std::uint32_t s = step; !m_steps[s].end; ++s) {
        if (std::find(live.begin(), live.end(), s) == live.end())
            live.push_back(s);
        if (!m_steps[s].anyFolders)
            break;
    }
}

void ExcludePatterns::keepLast(FolderState &state) const {
    state.last.clear();
    for (const std::uint32_t s : state.live) {
        if (m_steps[s].completes)
            state.last.push_back(s);
    }
}

ExcludePatterns::FolderState ExcludePatterns::rootState() const {
    FolderState state;
    for (const std::uint32_t first : m_first)
        addFrom(first, state.live);
    keepLast(state);
    return state;
}

void ExcludePatterns::enter(const FolderState &folder, QStringView lowerName,
                            FolderState &sub) const {
    sub.leftOut = false;
    sub.live.clear();
    for (const std::uint32_t s : folder.live) {
        const Step &step = m_steps[s];
        if (step.anyFolders)
            addFrom(s, sub.live);
        else if (globMatches(step.glob, lowerName))
            addFrom(s + 1, sub.live);
    }
    keepLast(sub);
}

bool ExcludePatterns::matchesName(const FolderState &folder, QStringView lowerName,
                                  bool isFolder) const {
    for (const std::uint32_t s : folder.last) {
        const Step &step = m_steps[s];
        if ((isFolder || !step.foldersOnly) &&
            (step.anyFolders || globMatches(step.glob, lowerName)))
            return true;
    }
    return false;
}

ExcludePatterns::FolderState ExcludePatterns::stateOf(QStringView folderPath) const {
    FolderState state = rootState(), sub;
    if (m_steps.empty())
        return state;
    const QString lower = folderPath.toString().toLower();
    for (const QStringView name : QStringView(lower).tokenize(u'\\', Qt::SkipEmptyParts)) {
        if (matchesName(state, name, true)) {
            state.leftOut = true;
            return state;
        }
        enter(state, name, sub);
        std::swap(state, sub);
    }
    return state;
}

bool ExcludePatterns::leavesOutFolder(QStringView folderPath) const {
    return stateOf(folderPath).leftOut;
}

bool ExcludePatterns::leavesOut(QStringView inFolder, QStringView name, bool isFolder) const {
    const FolderState state = stateOf(inFolder);
    if (state.leftOut)
        return true;
    QString buffer;
    return matchesName(state, lowered(name, buffer), isFolder);
}

QStringView ExcludePatterns::lowered(QStringView name, QString &buffer) {
    if (!std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        buffer = name.toString().toLower();
        return buffer;
    }
    buffer.resize(name.size());
    char16_t *out = reinterpret_cast<char16_t *>(buffer.data());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        out[i] = u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u + 32) : u;
    }
    return buffer;
}
