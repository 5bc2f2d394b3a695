#include "ChangeBars.h"

#include "compare/ByteScale.h"

#include <QPainter>
#include <algorithm>

namespace {
const QColor Removed(200, 60, 50);
const QColor Added(60, 150, 70);

// Both parts of a bar, up to the largest number (sizes read from a file can be anything).
std::uint64_t total(const ChangeBars::Bar &bar) {
    return bar.added > ~bar.removed ? ~std::uint64_t(0) : bar.removed + bar.added;
}
} // namespace

ChangeBars::ChangeBars(QWidget *parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Bytes changed by folder"));
}

void ChangeBars::setBars(const QString &title, std::vector<Bar> bars, const QString &legend) {
    m_title = title;
    m_legend = legend;
    m_bars = std::move(bars);
    updateGeometry();
    update();
}

int ChangeBars::rowHeight() const {
    return fontMetrics().height() + 6;
}

QSize ChangeBars::sizeHint() const {
    return {400, rowHeight() * (static_cast<int>(m_bars.size()) + 3)};
}

void ChangeBars::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const int row = rowHeight();
    const int margin = 6;
    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRect(margin, 0, width() - 2 * margin, row), Qt::AlignLeft | Qt::AlignVCenter,
               m_title);
    if (m_bars.empty())
        return;
    std::uint64_t largest = 0;
    int valueWidth = 0;
    for (const Bar &bar : m_bars) {
        largest = std::max(largest, total(bar));
        valueWidth = std::max(valueWidth, fontMetrics().horizontalAdvance(bar.value));
    }
    const int labelWidth = std::min(width() / 3, 220);
    const int barLeft = margin + labelWidth + margin;
    const int barRoom = std::max(1, width() - barLeft - valueWidth - 2 * margin);
    const int top = row, bottom = row * (static_cast<int>(m_bars.size()) + 1);
    // The marks first, faint, so the bars cover them.
    QColor faint = palette().color(QPalette::Text);
    faint.setAlpha(70);
    for (const ByteScale::Tick &tick : ByteScale::ticks(largest)) {
        const int x = barLeft + static_cast<int>(barRoom * tick.at);
        p.setPen(faint);
        p.drawLine(x, top, x, bottom);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(x - 40, bottom, 80, row), Qt::AlignHCenter | Qt::AlignTop, tick.label);
    }
    int y = top;
    for (const Bar &bar : m_bars) {
        const QString label = fontMetrics().elidedText(bar.label, Qt::ElideMiddle, labelWidth);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(margin, y, labelWidth, row), Qt::AlignRight | Qt::AlignVCenter, label);
        // The whole bar on the scale, shared by the two parts as their bytes share the total;
        // never thinner than a line, so that every folder listed shows.
        const std::uint64_t sum = total(bar);
        const int length =
            std::max(2, static_cast<int>(barRoom * ByteScale::fraction(sum, largest)));
        const int removed =
            sum ? static_cast<int>(length * (static_cast<double>(bar.removed) / double(sum))) : 0;
        p.fillRect(barLeft, y + 3, removed, row - 6, Removed);
        p.fillRect(barLeft + removed, y + 3, length - removed, row - 6, Added);
        p.drawText(QRect(barLeft + length + margin, y, valueWidth + margin, row),
                   Qt::AlignLeft | Qt::AlignVCenter, bar.value);
        y += row;
    }
    p.drawText(QRect(margin, bottom + row, width() - 2 * margin, row),
               Qt::AlignLeft | Qt::AlignVCenter, m_legend);
}
