#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>

struct ChangeCounts;
class EntryFormatter;

// How the Change Summary window writes a group's counts, by folder or by package alike:
// numbers with their digits grouped, bytes in units with the exact number in a tooltip.
class CountTexts {
public:
    explicit CountTexts(const EntryFormatter &format) : m_format(format) {}

    QString number(std::uint64_t count) const;
    // "46.2 MB"
    QString bytes(std::uint64_t bytes) const;
    // The net change with its sign.
    QString net(const ChangeCounts &counts) const;
    // What one of the columns the two summaries share (ChangeSummary::OnlyInOriginal to
    // ContentsOnly) shows in a role: its text, tooltip, alignment or colour.
    QVariant data(const ChangeCounts &counts, int column, int role) const;

private:
    QString exactBytes(const ChangeCounts &counts, int column) const;

    const EntryFormatter &m_format;
};
