#include "EntryFormat.h"

#include "AccountNames.h"
#include "Attributes.h"
#include "DateSerial.h"
#include "NameCodec.h"
#include "WhatChanged.h"
#include "sort/MatchKeys.h"

#include <charconv>
#include <cmath>

namespace {
const QString Same = QStringLiteral("(same)");
const QString DirText = QStringLiteral("<dir>");
} // namespace

QString serialText(double serial, QChar decimalPoint) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, serial, std::chars_format::general, 15);
    QString text;
    text.reserve(static_cast<qsizetype>(res.ptr - buf));
    for (const char *p = buf; p != res.ptr; ++p) {
        if (*p == '.')
            text += decimalPoint;
        else
            text += QLatin1Char(*p == 'e' ? 'E' : *p);
    }
    return text;
}

QString zeroPaddedSize(std::uint64_t size) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, size);
    const auto digits = static_cast<int>(res.ptr - buf);
    QString text(std::max(12, digits), u'0');
    for (int k = 0; k < digits; ++k)
        text[text.size() - digits + k] = QLatin1Char(buf[k]);
    return text;
}

QString timeFormatWithSeconds(const QLocale &locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (format.contains(u's'))
        return format;
    // Find the minutes outside quoted text and the separator that precedes them.
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u'm')
            continue;
        qsizetype end = i;
        while (end < format.size() && format[end] == u'm')
            ++end;
        qsizetype sepStart = i;
        while (sepStart > 0 && !format[sepStart - 1].isLetter())
            --sepStart;
        QString separator = format.mid(sepStart, i - sepStart);
        if (separator.isEmpty())
            separator = QStringLiteral(":");
        format.insert(end, separator + QStringLiteral("ss"));
        return format;
    }
    return format + QStringLiteral(":ss");
}

namespace {
QString groupedByThree(std::uint64_t value, const QString &separator) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    const int n = static_cast<int>(res.ptr - digits);
    QString text;
    text.reserve(n + (n - 1) / 3 * separator.size());
    for (int k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0)
            text += separator;
        text += QLatin1Char(digits[k]);
    }
    return text;
}
} // namespace

EntryFormatter::EntryFormatter(const QLocale &locale)
    // Even a locale that leaves the group separator out of its own numbers (C) has one.
    : m_locale(locale), m_decimalPoint(locale.decimalPoint().at(0)),
      m_groupSeparator(locale.groupSeparator()), m_longTimeFormat(timeFormatWithSeconds(locale)),
      m_times(86400), m_longTimes(86400) {}

QString EntryFormatter::sizeText(std::uint64_t size) const {
    return groupedByThree(size, m_groupSeparator);
}

QString EntryFormatter::sizeText(const Entry &e) const {
    return e.isFolder() ? DirText : sizeText(e.size);
}

const QString &EntryFormatter::dateText(std::int64_t day) const {
    auto it = m_dates.find(day);
    if (it == m_dates.end()) {
        const QDate date = DateSerial::toLocal(static_cast<double>(day)).date;
        it = m_dates.insert(day, m_locale.toString(date, QLocale::ShortFormat));
    }
    return it.value();
}

const QString &EntryFormatter::timeText(int secondsOfDay, bool withSeconds) const {
    QString &text = (withSeconds ? m_longTimes : m_times)[static_cast<std::size_t>(secondsOfDay)];
    if (text.isNull()) {
        const QTime time = QTime::fromMSecsSinceStartOfDay(secondsOfDay * 1000);
        text = withSeconds ? m_locale.toString(time, m_longTimeFormat)
                           : m_locale.toString(time, QLocale::ShortFormat);
    }
    return text;
}

QString EntryFormatter::modifiedText(double serial) const {
    if (!DateSerial::isValid(serial))
        return {};
    std::int64_t day;
    int secs;
    DateSerial::split(serial, day, secs);
    return dateText(day) + QStringLiteral("  ") + timeText(secs, false);
}

QString EntryFormatter::modifiedText(const Entry &e) const {
    return e.isFolder() || !e.hasTime() ? QString() : modifiedText(e.modified);
}

QString EntryFormatter::dateKey(const Entry &e) const {
    return e.isFolder() || !e.hasTime() ? QString() : dateKey(e.modified);
}

QString EntryFormatter::generalDate(double serial) const {
    if (!DateSerial::isValid(serial))
        return {};
    std::int64_t day;
    int secs;
    DateSerial::split(serial, day, secs);
    if (secs == 0)
        return dateText(day);
    return dateText(day) + u' ' + timeText(secs, true);
}

QString EntryFormatter::howMatched(MoveRule rule, std::uint32_t along) const {
    QString text;
    switch (rule) {
    case MoveRule::None:
        return {};
    case MoveRule::Inode:
        text = QStringLiteral("same inode");
        break;
    case MoveRule::Contents:
        text = QStringLiteral("same contents (SHA-256)");
        break;
    case MoveRule::NameSizeTime:
        text = QStringLiteral("same name, size and time");
        break;
    case MoveRule::Entries:
        text = QStringLiteral("by the entries it holds");
        break;
    }
    if (along > 0)
        text += QStringLiteral(", with ") + sizeText(along) +
                (along == 1 ? QStringLiteral(" entry") : QStringLiteral(" entries"));
    return text;
}

namespace {

QString detailText(const Details &d, int column) {
    if (!d.known())
        return {};
    switch (column) {
    case Col::Permissions:
        return permissionsText(d.mode);
    case Col::Owner:
        return AccountNames::user(d.uid);
    case Col::Group:
        return AccountNames::group(d.gid);
    default:
        return NameCodec::printable(d.linkTarget);
    }
}

} // namespace

QString EntryFormatter::text(const SnapshotList &list, int i, int column) const {
    const Entry &e = list.entry(i);
    switch (column) {
    case Col::Name:
        return NameCodec::printable(list.name(i).toString());
    case Col::InFolder:
        return NameCodec::printable(list.folder(i));
    case Col::MatchKey:
        return NameCodec::printable(MatchKeys::text(list, i));
    case Col::Size:
        return sizeText(e);
    case Col::SizeKey:
        return e.isFolder() ? QString() : zeroPaddedSize(e.size);
    case Col::Modified:
        return modifiedText(e);
    case Col::DateKey:
        return dateKey(e);
    case Col::Attributes:
        return attrText(e.attr);
    case Col::AttrBits:
        return QString::number(e.attr);
    case Col::Permissions:
    case Col::Owner:
    case Col::Group:
    case Col::LinkTarget:
        return detailText(list.details(i), column);
    case Col::Sha256:
        return digestText(list.digest(i));
    case Col::WhatChanged:
        return list.hasOrig()
                   ? whatChanged(list.orig(i).differ, list.origDetails(i), list.details(i))
                   : QString();
    case Col::Moved:
    case Col::From:
        return NameCodec::printable(list.movedPath(i));
    case Col::HowMatched:
        return howMatched(list.moveRule(i), list.movedAlong(i));
    case Col::Package:
        return NameCodec::printable(list.packageText(i));
    default:
        break;
    }
    if (!list.hasOrig())
        return {};
    const OrigValues &o = list.orig(i);
    switch (column) {
    case Col::OrigSize:
        if (!(o.differ & Differ::Size))
            return Same;
        return (o.attr & Attr::Directory) ? DirText : sizeText(o.size);
    case Col::OrigModified:
        if (!(o.differ & Differ::Stamp))
            return Same;
        return (o.attr & Attr::Directory) || std::isnan(o.modified) ? QString()
                                                                    : modifiedText(o.modified);
    case Col::OrigAttr:
        return (o.differ & Differ::AttrBitsMask) ? attrText(o.attr) : Same;
    default:
        return {};
    }
}
