#pragma once

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <map>
#include <unistd.h>
#include <vector>

// A made-up system with a dpkg database, and the owners of a path read straight off its
// description by the rules as a user would state them, written apart from PackageOwners.
struct FakeSystem {
    std::map<QByteArray, QByteArray> lists;               // package -> its list's text
    QByteArray diversions;                                // the file's text
    std::vector<std::pair<QByteArray, QByteArray>> links; // top-level name -> link target
    std::vector<QByteArray> folders;

    void write(const QByteArray &root) const {
        const auto put = [](const QByteArray &path, const QByteArray &text) {
            QFile file(QFile::decodeName(path));
            (void)(file.open(QIODevice::WriteOnly) && file.write(text));
        };
        QDir().mkpath(QFile::decodeName(root + "/var/lib/dpkg/info"));
        for (const QByteArray &f : folders)
            QDir().mkpath(QFile::decodeName(root + '/' + f));
        for (const auto &[name, text] : lists)
            put(root + "/var/lib/dpkg/info/" + name + ".list", text);
        put(root + "/var/lib/dpkg/diversions", diversions);
        for (const auto &[name, target] : links)
            (void)::symlink(target.constData(), (root + '/' + name).constData());
    }

    static bool validName(const QByteArray &name) {
        static const QRegularExpression re(
            QStringLiteral("^[A-Za-z0-9+._-]{1,255}(:[A-Za-z0-9+._-]+)?$"));
        return name.size() <= 255 && re.match(QString::fromLatin1(name)).hasMatch();
    }
    // A line names a path when it is absolute and not too long; "/." is the root.
    static QByteArray pathOf(QByteArray line) {
        if (!line.startsWith('/') || line.size() > 4096 || line.contains('\0'))
            return {};
        while (line.size() > 1 && line.endsWith('/'))
            line.chop(1);
        return line == "/." ? "/" : line;
    }
    static bool sameOrArch(const QByteArray &listing, const QByteArray &diverting) {
        return listing == diverting || listing.startsWith(diverting + ':');
    }

    QSet<QByteArray> listers(const QByteArray &path) const {
        QSet<QByteArray> out;
        for (const auto &[name, text] : lists)
            for (const QByteArray &line : text.split('\n'))
                if (validName(name) && pathOf(line) == path)
                    out.insert(name);
        return out;
    }
    struct Diversion {
        QByteArray from, to, package; // ":" for a local one
    };
    std::vector<Diversion> diversionList() const {
        std::vector<Diversion> out;
        const QList<QByteArray> lines = diversions.split('\n');
        for (qsizetype k = 0; k + 2 < lines.size(); k += 3)
            if (!pathOf(lines[k]).isEmpty() && !pathOf(lines[k + 1]).isEmpty() &&
                (lines[k + 2] == ":" || validName(lines[k + 2])))
                out.push_back({pathOf(lines[k]), pathOf(lines[k + 1]), lines[k + 2]});
        return out;
    }
    // The file at a diverted name is the diverting package's; what others list there lies
    // where it was diverted to.
    QSet<QByteArray> divertedOwners(const QByteArray &path) const {
        QSet<QByteArray> out = listers(path);
        for (const Diversion &d : diversionList()) {
            if (d.from == path) {
                QSet<QByteArray> own;
                for (const QByteArray &p : out)
                    if (sameOrArch(p, d.package))
                        own.insert(p);
                return d.package == ":" ? QSet<QByteArray>()
                       : own.isEmpty()  ? QSet<QByteArray>{d.package}
                                        : own;
            }
        }
        for (const Diversion &d : diversionList())
            if (d.to == path)
                for (const QByteArray &p : listers(d.from))
                    if (!sameOrArch(p, d.package))
                        out.insert(p);
        return out;
    }
    // With a top-level link to a folder inside the system, a name below its target is also
    // a name below the link.
    QString owners(const QByteArray &root, const QByteArray &path) const {
        QSet<QByteArray> all = divertedOwners(path);
        for (const auto &[name, target] : links) {
            QByteArray inside;
            for (const QByteArray &part : target.split('/'))
                inside += part.isEmpty() || part == "." ? "" : '/' + part;
            if (!target.contains("..") && !inside.isEmpty() &&
                QFileInfo(QFile::decodeName(root + inside)).isDir() &&
                (path == inside || path.startsWith(inside + '/')))
                all += divertedOwners('/' + name + path.mid(inside.size()));
        }
        QList<QByteArray> sorted(all.begin(), all.end());
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? QStringLiteral("(none)") : QString::fromLatin1(sorted.join(", "));
    }
};
