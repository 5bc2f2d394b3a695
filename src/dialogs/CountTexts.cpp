#include "CountTexts.h"

#include "compare/ByteScale.h"
#include "compare/ChangeSummary.h"
#include "snapshot/EntryFormat.h"

#include <QColor>

QString CountTexts::number(std::uint64_t count) const {
    return m_format.sizeText(count);
}

QString CountTexts::bytes(std::uint64_t bytes) const {
    return ByteScale::readable(bytes, m_format.locale());
}

QString CountTexts::net(const ChangeCounts &counts) const {
    const QString amount = bytes(counts.netBytes());
    if (counts.netBytes() == 0)
        return amount;
    return (counts.netNegative() ? u'-' : u'+') + amount;
}

// The exact number behind a size shown in units.
QString CountTexts::exactBytes(const ChangeCounts &counts, int column) const {
    switch (column) {
    case ChangeSummary::BytesRemoved:
        return number(counts.bytesRemoved) + QStringLiteral(" bytes");
    case ChangeSummary::BytesAdded:
        return number(counts.bytesAdded) + QStringLiteral(" bytes");
    case ChangeSummary::NetChange:
        return (counts.netBytes() == 0 ? QString() : QString(counts.netNegative() ? u'-' : u'+')) +
               number(counts.netBytes()) + QStringLiteral(" bytes");
    default:
        return {};
    }
}

QVariant CountTexts::data(const ChangeCounts &counts, int column, int role) const {
    switch (role) {
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        // Marked as the lists mark such a file.
        if (column == ChangeSummary::ContentsOnly && counts.contentsOnly > 0)
            return QColor(Qt::red);
        return {};
    case Qt::ToolTipRole:
        if (column == ChangeSummary::ContentsOnly)
            return QStringLiteral("Files whose contents changed while their size and time did not");
        if (const QString exact = exactBytes(counts, column); !exact.isEmpty())
            return exact;
        return {};
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    switch (column) {
    case ChangeSummary::OnlyInOriginal:
        return number(static_cast<std::uint64_t>(counts.onlyOriginal));
    case ChangeSummary::OnlyInFinal:
        return number(static_cast<std::uint64_t>(counts.onlyFinal));
    case ChangeSummary::Changed:
        return number(static_cast<std::uint64_t>(counts.changed));
    case ChangeSummary::BytesRemoved:
        return bytes(counts.bytesRemoved);
    case ChangeSummary::BytesAdded:
        return bytes(counts.bytesAdded);
    case ChangeSummary::NetChange:
        return net(counts);
    case ChangeSummary::ContentsOnly:
        return number(static_cast<std::uint64_t>(counts.contentsOnly));
    default:
        return {};
    }
}
