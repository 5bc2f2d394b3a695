#pragma once

#include "HashIndex.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

// Which installed Debian packages own each path, read once from dpkg's database: the file lists
// (info/PACKAGE.list, info/PACKAGE:ARCH.list) and the diversions.
//
// A path's owners are a set of packages; the sets are interned, so that a path (or a million
// entries looked up) costs one number, and the folders that hundreds of packages share cost
// their list of names once.
//
// Diversions move files: for a path F diverted to T by package P, the file at F is P's (or no
// package's for a local diversion, which the administrator made), and every other package that
// lists F has its file at T instead. The lists keep the names the packages give; dpkg -S reports
// them so, and those are the names looked up here only where no diversion applies.
//
// Merged /usr: the lists may name /bin/ls while the file lies at /usr/bin/ls, as the system's
// root has bin -> usr/bin. Each top-level symbolic link of the system's root to a folder in it
// makes the paths below the link also paths below its target, so /usr/bin/ls is owned by the
// packages that list /bin/ls and those that list /usr/bin/ls.
//
// The database may come from a chroot or a mounted disk, that is, from anybody: its size is
// bounded (Limits), lines that name no path are passed over, and only package names made of
// the characters dpkg allows are taken, so that an owners' text never holds a control character.
class PackageOwners {
public:
    using SetId = std::uint32_t;
    // The empty set: no package owns the path.
    static constexpr SetId Unowned = 0;

    // What a database may cost before it is refused as no database of a real system: a
    // Debian system with everything of a desktop holds some 10 MB of lists and 200,000 lines;
    // at these bounds a load takes at most a few hundred MB. A long line names no file
    // (PATH_MAX) and is passed over.
    struct Limits {
        std::size_t lineBytes = 4096;
        std::uint64_t totalBytes = std::uint64_t(128) << 20; // the lists and the diversions
        std::size_t files = 100000;                          // file lists
        std::size_t lines = std::size_t(4) << 20;            // paths listed, in all lists
    };

    struct Stats {
        std::size_t files = 0, packages = 0, lines = 0, paths = 0, sets = 0, diversions = 0,
                    aliases = 0;
        std::uint64_t bytes = 0;
        // Lines that name no path, and file lists that are no regular file or have a name no
        // package has.
        std::size_t skippedLines = 0, skippedFiles = 0;
    };

    // Reads the database in `adminDir` (the system's var/lib/dpkg); `systemRoot` is the root of
    // the system it describes, whose top-level links alias its folders (empty: no aliases).
    // False, with problem(), when there is no database there or it is refused; what was loaded
    // before is gone either way.
    [[nodiscard]] bool load(const QByteArray &adminDir, const QByteArray &systemRoot,
                            const Limits &limits);
    [[nodiscard]] bool load(const QByteArray &adminDir, const QByteArray &systemRoot) {
        return load(adminDir, systemRoot, Limits());
    }
    const QString &problem() const { return m_problem; }
    const Stats &stats() const { return m_stats; }

    // The owners of an absolute path ("/usr/bin/ls"; "/" for the root), by its bytes.
    SetId find(QByteArrayView path) const;
    // "(none)", or the packages' names in byte order joined by ", " as dpkg -S writes them.
    QString text(SetId set) const;
    QStringList packages(SetId set) const;
    std::size_t setCount() const { return m_setStart.size() - 1; }
    std::size_t memoryBytes() const;

private:
    struct Path {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    struct Pair {
        std::uint32_t path;
        std::uint32_t package;
    };
    struct Diversion {
        std::uint32_t from, to;
        std::uint32_t package; // NoPackage: a local diversion
    };
    static constexpr std::uint32_t NoPackage = ~std::uint32_t(0);

    void clear();
    bool refuse(const QString &problem);
    bool readLists(const QByteArray &infoDir, const Limits &limits, std::vector<Pair> &pairs);
    bool readFile(int dirFd, const char *name, const QByteArray &path, const Limits &limits,
                  std::string &buffer);
    void readDiversions(const QByteArray &adminDir, const Limits &limits,
                        std::vector<Diversion> &diversions);
    void applyDiversions(const std::vector<Diversion> &diversions, std::vector<Pair> &pairs);
    void addAliases(const QByteArray &systemRoot, std::vector<Pair> &pairs);
    void makeSets(std::vector<Pair> &pairs);
    std::uint32_t internPath(QByteArrayView path);
    std::uint32_t internPackage(QByteArrayView name);
    std::uint32_t findPath(QByteArrayView path) const;
    QByteArrayView pathBytes(std::uint32_t id) const {
        const Path &p = m_paths[id];
        return QByteArrayView(m_pathText.data() + p.offset, qsizetype(p.length));
    }

    std::string m_pathText; // every path once
    std::vector<Path> m_paths;
    HashIndex m_pathIndex;
    std::vector<SetId> m_pathSet;            // by path
    std::vector<std::uint32_t> m_setMembers; // package numbers, set after set
    // Where each set's members start, and one more; the empty set is there from the start.
    std::vector<std::uint32_t> m_setStart{0, 0};
    std::vector<QByteArray> m_packages; // in byte order once loaded
    HashIndex m_packageIndex;
    struct Alias {
        QByteArray link, target; // "/bin", "/usr/bin"
    };
    std::vector<Alias> m_aliases;
    Stats m_stats;
    QString m_problem;
};
