#include "ExcludePatterns.h"

#include "sort/TextKeys.h"

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

// Plain loops rather than calls into the library: each name meets every pattern, and most
// differ from the first character looked at. From the end, where extensions differ.
bool sameText(const QChar *a, const QChar *b, qsizetype n) {
    for (qsizetype k = n - 1; k >= 0; --k) {
        if (a[k] != b[k])
            return false;
    }
    return true;
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

// The text before the first "*" and after the last turn most names away at once ("*.tmp"
// looks at four characters), however long the list of patterns.
bool ExcludePatterns::Step::matches(QStringView name) const {
    if (head < 0)
        return name == glob;
    if (name.size() < head + tail || !sameText(name.data(), glob.data(), head) ||
        !sameText(name.data() + name.size() - tail, glob.data() + glob.size() - tail, tail))
        return false;
    const QStringView middle = QStringView(glob).sliced(head, glob.size() - head - tail);
    return middle.size() == 1 || globMatches(middle, name.sliced(head, name.size() - head - tail));
}

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

ExcludePatterns::Step ExcludePatterns::globStep(QStringView name) {
    Step step;
    step.glob = collapsedStars(name);
    const qsizetype first = step.glob.indexOf(u'*');
    if (first >= 0) {
        step.head = first;
        step.tail = step.glob.size() - 1 - step.glob.lastIndexOf(u'*');
    }
    return step;
}

void ExcludePatterns::compile(const QString &pattern) {
    QStringView body(pattern);
    while (body.endsWith(u'\\'))
        body.chop(1);
    const bool foldersOnly = body.size() < pattern.size();
    const bool anchored = body.contains(u'\\');
    const QString lower = TextKeys::lowered(body);
    Step anyFolders, end;
    anyFolders.anyFolders = true;
    end.end = true;
    std::vector<Step> steps;
    if (!anchored)
        steps.push_back(anyFolders);
    bool named = false;
    for (const QStringView name : QStringView(lower).tokenize(u'\\', Qt::SkipEmptyParts)) {
        named = true;
        if (name.size() < 2 || !onlyStars(name))
            steps.push_back(globStep(name));
        else if (steps.empty() || !steps.back().anyFolders)
            steps.push_back(anyFolders);
    }
    if (!named)
        return; // nothing but separators
    // A trailing "**" is what lies below: a name, then any number of folders.
    if (steps.back().anyFolders)
        steps.insert(steps.end() - 1, globStep(u"*"));
    steps.push_back(end);
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
        live.push_back(s);
        if (!m_steps[s].anyFolders)
            break;
    }
}

// Drops the steps reached twice, so that they do not multiply folder by folder, and keeps
// those that complete a pattern. A sort, not a search per step: a long list of patterns keeps
// a step or two of each live in every folder.
void ExcludePatterns::settle(FolderState &state) const {
    std::sort(state.live.begin(), state.live.end());
    state.live.erase(std::unique(state.live.begin(), state.live.end()), state.live.end());
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
    settle(state);
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
        else if (step.matches(lowerName))
            addFrom(s + 1, sub.live);
    }
    settle(sub);
}

bool ExcludePatterns::matchesName(const FolderState &folder, QStringView lowerName,
                                  bool isFolder) const {
    for (const std::uint32_t s : folder.last) {
        const Step &step = m_steps[s];
        if ((isFolder || !step.foldersOnly) && (step.anyFolders || step.matches(lowerName)))
            return true;
    }
    return false;
}

ExcludePatterns::FolderState ExcludePatterns::stateOf(QStringView folderPath) const {
    QString lower = TextKeys::lowered(folderPath);
    if (!lower.isEmpty() && !lower.endsWith(u'\\'))
        lower += u'\\';
    return PathWalk(*this).stateOf(lower);
}

ExcludePatterns::PathWalk::PathWalk(const ExcludePatterns &patterns)
    : m_patterns(patterns), m_states{patterns.rootState()} {}

std::size_t ExcludePatterns::PathWalk::keepShared(QStringView lowerPath) {
    qsizetype shared = 0;
    const qsizetype n = std::min(m_path.size(), lowerPath.size());
    while (shared < n && m_path[shared] == lowerPath[shared])
        ++shared;
    std::size_t depth = 0;
    while (depth < m_ends.size() && m_ends[depth] <= shared)
        ++depth;
    m_ends.resize(depth);
    m_path.truncate(shared);
    m_path += lowerPath.sliced(shared);
    return depth;
}

const ExcludePatterns::FolderState &ExcludePatterns::PathWalk::stateOf(QStringView lowerPath) {
    std::size_t depth = keepShared(lowerPath);
    qsizetype start = depth ? m_ends.back() : 0;
    for (qsizetype sep = m_path.indexOf(u'\\', start); sep >= 0;
         start = sep + 1, sep = m_path.indexOf(u'\\', start)) {
        const QStringView name = QStringView(m_path).sliced(start, sep - start);
        if (name.isEmpty())
            continue;
        if (m_states.size() < depth + 2)
            m_states.resize(depth + 2);
        const FolderState &folder = m_states[depth];
        FolderState &sub = m_states[depth + 1];
        if (folder.leftOut || m_patterns.matchesName(folder, name, true)) {
            sub.leftOut = true;
            sub.live.clear();
            sub.last.clear();
        } else {
            m_patterns.enter(folder, name, sub);
        }
        m_ends.push_back(sep + 1);
        ++depth;
    }
    return m_states[depth];
}

bool ExcludePatterns::leavesOutFolder(QStringView folderPath) const {
    return stateOf(folderPath).leftOut;
}

bool ExcludePatterns::leavesOut(QStringView inFolder, QStringView name, bool isFolder) const {
    const FolderState state = stateOf(inFolder);
    if (state.leftOut)
        return true;
    QString buffer;
    return matchesName(state, TextKeys::lowered(name, buffer), isFolder);
}

QStringList ExcludePatterns::split(const QString &typed) {
    QStringList patterns;
    for (const QString &part : typed.split(u';')) {
        const QString pattern = part.trimmed();
        if (!pattern.isEmpty())
            patterns << pattern;
    }
    return patterns;
}

QString ExcludePatterns::join(const QStringList &patterns) {
    return patterns.join(QStringLiteral("; "));
}
