#include "WhatChanged.h"

#include "AccountNames.h"
#include "Details.h"
#include "NameCodec.h"

#include <QStringList>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

QString typeName(std::uint32_t mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return QStringLiteral("file");
    case S_IFDIR:
        return QStringLiteral("folder");
    case S_IFLNK:
        return QStringLiteral("link");
    case S_IFIFO:
        return QStringLiteral("pipe");
    case S_IFSOCK:
        return QStringLiteral("socket");
    case S_IFCHR:
        return QStringLiteral("character device");
    case S_IFBLK:
        return QStringLiteral("block device");
    default:
        return QStringLiteral("type %1").arg(mode >> 12);
    }
}

QString octal(std::uint32_t mode) {
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QChar(u'0'));
}

QString deviceText(std::uint64_t rdev) {
    return QStringLiteral("%1,%2").arg(major(rdev)).arg(minor(rdev));
}

QString change(const char *what, const QString &before, const QString &after) {
    return QLatin1String(what) + u' ' + before + QStringLiteral(" → ") + after;
}

} // namespace

QString whatChanged(std::uint32_t differ, const Details &before, const Details &after) {
    QStringList parts;
    if (isQuietContentsChange(differ))
        parts << QStringLiteral("contents (size and time kept)");
    else if (differ & Differ::Contents)
        parts << QStringLiteral("contents");
    if (differ & Differ::Size)
        parts << QStringLiteral("size");
    if (differ & Differ::Stamp)
        parts << QStringLiteral("modified");
    if (differ & Differ::AttrBitsMask)
        parts << QStringLiteral("attributes");
    if (differ & Differ::Mode) {
        if ((before.mode ^ after.mode) & S_IFMT)
            parts << change("type", typeName(before.mode), typeName(after.mode));
        if ((before.mode ^ after.mode) & 07777)
            parts << change("mode", octal(before.mode), octal(after.mode));
    }
    if (differ & Differ::Owner)
        parts << change("owner", AccountNames::user(before.uid), AccountNames::user(after.uid));
    if (differ & Differ::Group)
        parts << change("group", AccountNames::group(before.gid), AccountNames::group(after.gid));
    if (differ & Differ::Link)
        parts << QStringLiteral("link → ") + (after.linkTarget.isEmpty()
                                                  ? QStringLiteral("(none)")
                                                  : NameCodec::printable(after.linkTarget));
    if (differ & Differ::Device)
        parts << change("device", deviceText(before.rdev), deviceText(after.rdev));
    if (differ & Differ::Capability)
        parts << (before.capability.isEmpty()  ? QStringLiteral("capabilities added")
                  : after.capability.isEmpty() ? QStringLiteral("capabilities removed")
                                               : QStringLiteral("capabilities changed"));
    return parts.join(QStringLiteral("; "));
}

bool isQuietContentsChange(std::uint32_t differ) {
    return (differ & Differ::Contents) && !(differ & (Differ::Size | Differ::Stamp));
}

QString changeLetters(std::uint32_t differ) {
    const std::pair<std::uint32_t, char> places[] = {
        {Differ::Size, 'S'},   {Differ::Mode, 'M'},  {Differ::Contents, '5'},
        {Differ::Device, 'D'}, {Differ::Link, 'L'},  {Differ::Owner, 'U'},
        {Differ::Group, 'G'},  {Differ::Stamp, 'T'}, {Differ::Capability, 'P'}};
    QString letters;
    for (const auto &[bit, letter] : places)
        letters += (differ & bit) ? QLatin1Char(letter) : QLatin1Char('.');
    return letters;
}

QString permissionsText(std::uint32_t mode) {
    if (mode == 0)
        return {};
    const char *types = "?pc?d?b?-?l?s???";
    QString text(10, u'-');
    text[0] = QLatin1Char(types[(mode & S_IFMT) >> 12]);
    const char *rwx = "rwxrwxrwx";
    for (int k = 0; k < 9; ++k)
        text[k + 1] = (mode & (0400u >> k)) ? QLatin1Char(rwx[k]) : QLatin1Char('-');
    // The special bits take the place of an execute bit: lower case when it is set as well.
    const std::pair<std::uint32_t, int> special[] = {{S_ISUID, 3}, {S_ISGID, 6}, {S_ISVTX, 9}};
    for (const auto &[bit, place] : special) {
        if (!(mode & bit))
            continue;
        const bool exec = text[place] != u'-';
        const char upper = place == 9 ? 'T' : 'S';
        text[place] = QLatin1Char(exec ? char(upper + ('a' - 'A')) : upper);
    }
    return text;
}
