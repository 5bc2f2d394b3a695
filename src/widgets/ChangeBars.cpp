#include "ChangeBars.h"

#include <QPainter>
#include <algorithm>

namespace {
const QColor Removed(200, 60, 50);
const QColor Added(60, 150, 70);
} // namespace

ChangeBars::ChangeBars(QWidget *parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Bytes changed by folder"));
}

void ChangeBars::setBars(const QString &title, std::vector<Bar> bars) {
    m_title = title;
    m_bars = std::move(bars);
    updateGeometry();
    update();
}

int ChangeBars::rowHeight() const {
    return fontMetrics().height() + 6;
}

QSize ChangeBars::sizeHint() const {
    return {400, rowHeight() * (static_cast<int>(m_bars.size()) + 2)};
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
    // In floating point: the two parts of a bar may add up past any 64-bit number.
    double largest = 1;
    int valueWidth = 0;
    for (const Bar &bar : m_bars) {
        largest =
            std::max(largest, static_cast<double>(bar.removed) + static_cast<double>(bar.added));
        valueWidth = std::max(valueWidth, fontMetrics().horizontalAdvance(bar.value));
    }
    const int labelWidth = std::min(width() / 3, 220);
    const int barLeft = margin + labelWidth + margin;
    const int barRoom = std::max(1, width() - barLeft - valueWidth - 2 * margin);
    int y = row;
    for (const Bar &bar : m_bars) {
        const QString label = fontMetrics().elidedText(bar.label, Qt::ElideMiddle, labelWidth);
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(margin, y, labelWidth, row), Qt::AlignRight | Qt::AlignVCenter, label);
        const int removed = static_cast<int>(barRoom * static_cast<double>(bar.removed) / largest);
        const int added = static_cast<int>(barRoom * static_cast<double>(bar.added) / largest);
        p.fillRect(barLeft, y + 3, removed, row - 6, Removed);
        p.fillRect(barLeft + removed, y + 3, added, row - 6, Added);
        p.drawText(QRect(barLeft + removed + added + margin, y, valueWidth + margin, row),
                   Qt::AlignLeft | Qt::AlignVCenter, bar.value);
        y += row;
    }
}
