#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <vector>

// Relative paths a scan or a comparison leaves out, such as caches, logs and temporary files.
//
// A path is In Folder and name as a list shows them: "\" between folders, names in their
// escaped form (a backslash in a name is "|5C", never a separator). Patterns match it letter
// case aside, both lower-cased as match keys are. "*" stands for any run of characters within
// one name; "**" as a whole step for any number of whole folders ("**\x" is x at any depth,
// "a\**\b" b anywhere below a, a trailing "a\**" everything below a). A trailing "\" makes a
// pattern match folders only. A pattern with no "\" but a trailing one matches a name at any
// depth ("*.tmp", "__pycache__\"); any other is anchored at the root ("var\cache\"). A folder
// left out takes everything below it along.
class ExcludePatterns {
public:
    ExcludePatterns() = default;
    // Blank patterns are dropped, blanks around one ignored, and "/" taken as "\".
    explicit ExcludePatterns(const QStringList &patterns);

    // The patterns of a text typed into a box, separated by ";", and the text back.
    static QStringList split(const QString &typed);
    static QString join(const QStringList &patterns);

    bool isEmpty() const { return m_patterns.isEmpty(); }
    const QStringList &patterns() const { return m_patterns; }

    // Whether a folder ("var\cache\": its In Folder text, its name and "\") is left out with
    // everything below it.
    bool leavesOutFolder(QStringView folderPath) const;
    // Whether an entry is left out: itself matched, or lying in a folder that is.
    bool leavesOut(QStringView inFolder, QStringView name, bool isFolder) const;

    // For a walk that goes folder by folder: where the patterns stand in one folder, worked out
    // once for it, so that each entry of the folder costs only the test of its own name.
    struct FolderState {
        bool leftOut = false;            // the folder lies in one that is left out
        std::vector<std::uint32_t> live; // the steps of the patterns its names are matched with
        std::vector<std::uint32_t> last; // those after which a pattern is complete
    };
    FolderState rootState() const;
    // The state of a folder from its path ("a\b\"; empty for the root).
    FolderState stateOf(QStringView folderPath) const;

    // Follows folder paths one after another, each from the deepest folder it shares with the
    // path before: folders in the order a scan lists them cost a step or two each, not a walk
    // from the root.
    class PathWalk {
    public:
        explicit PathWalk(const ExcludePatterns &patterns);
        // The state of a folder from its lower-cased path, which ends in "\" ("" the root).
        const FolderState &stateOf(QStringView lowerPath);

    private:
        // Keeps the names the path shares with the path before; returns how many they are.
        std::size_t keepShared(QStringView lowerPath);

        const ExcludePatterns &m_patterns;
        QString m_path;                    // the path before
        std::vector<qsizetype> m_ends;     // the end of each of its names, past the "\"
        std::vector<FolderState> m_states; // the root's state, then the state below each name
    };

    // The state of the subfolder `lowerName` of a folder that is not left out.
    void enter(const FolderState &folder, QStringView lowerName, FolderState &sub) const;
    // Whether an entry of a folder is left out by its own name (lower-cased as TextKeys::lowered
    // does it).
    bool matchesName(const FolderState &folder, QStringView lowerName, bool isFolder) const;

private:
    struct Step {
        QString glob;             // one name, lower-cased, "*" for any run of characters
        qsizetype head = -1;      // the characters before the first "*"; -1 without a "*"
        qsizetype tail = 0;       // the characters after the last "*"
        bool anyFolders = false;  // "**": any number of whole folders
        bool end = false;         // past a pattern's last step
        bool foldersOnly = false; // the pattern matches folders only
        bool completes = false;   // a name taken here completes the pattern
        bool matches(QStringView name) const;
    };
    static Step globStep(QStringView name);
    void compile(const QString &pattern);
    void addFrom(std::uint32_t step, std::vector<std::uint32_t> &live) const;
    void settle(FolderState &state) const;

    QStringList m_patterns;
    std::vector<Step> m_steps;          // every pattern's steps in turn, each followed by an end
    std::vector<std::uint32_t> m_first; // the first step of each pattern
};
