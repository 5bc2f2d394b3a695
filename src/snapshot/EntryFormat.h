#pragma once

#include "Columns.h"
#include "SnapshotList.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <vector>

// Digits of a date serial as the default number-to-text conversion writes it: up to 15
// significant digits, no trailing zeros, exponent form outside 1E-5 .. 1E15.
QString serialText(double serial, QChar decimalPoint = u'.');
// Twelve or more zero-padded digits.
QString zeroPaddedSize(std::uint64_t size);

// Makes the display and key texts of entries in one locale. Date and time texts are cached
// per day and per second of the day, which makes exporting a million entries cheap; so keep
// one formatter per thread.
class EntryFormatter {
public:
    explicit EntryFormatter(const QLocale &locale = QLocale());

    const QLocale &locale() const { return m_locale; }
    // A size as "###,###,###,##0" writes it: digits grouped by threes with the locale's group
    // separator, in every locale. The count panel writes entry counts so too.
    QString sizeText(std::uint64_t size) const;
    const QString &groupSeparator() const { return m_groupSeparator; }
    QString sizeText(const Entry &e) const;
    QString modifiedText(double serial) const;
    QString modifiedText(const Entry &e) const;
    QString dateKey(const Entry &e) const;
    QString dateKey(double serial) const { return serialText(serial, m_decimalPoint); }
    // "General Date": short date, a space and the time with seconds; the date alone at midnight.
    QString generalDate(double serial) const;
    // A column's text as the lists show it. Names, folders and match keys come as
    // NameCodec::printable makes them: a name from a file may hold control characters, which
    // the writers of files keep and no display shows.
    QString text(const SnapshotList &list, int i, int column) const;
    // How a moved entry was found to be one with the other side's ("same inode"), and for a
    // folder how many entries went with it.
    QString howMatched(MoveRule rule, std::uint32_t along) const;
    // The short date of a day (a date serial's whole days), and a time of day in the short
    // format or with seconds.
    const QString &dateText(std::int64_t day) const;
    const QString &timeText(int secondsOfDay, bool withSeconds) const;

private:
    QLocale m_locale;
    QChar m_decimalPoint;
    QString m_groupSeparator;
    QString m_longTimeFormat;
    mutable QHash<std::int64_t, QString> m_dates;
    mutable std::vector<QString> m_times;
    mutable std::vector<QString> m_longTimes;
};

// The time format of a locale with seconds: its short time format with seconds put after the
// minutes, in the locale's order and separators (no time-zone name).
QString timeFormatWithSeconds(const QLocale &locale);
