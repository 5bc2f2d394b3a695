#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

QPixmap canvas(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void sheet(QPainter &p, QRectF r, const QColor &fill) {
    const qreal fold = r.width() * 0.3;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setBrush(fill);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawPath(path);
}

void folder(QPainter &p, QRectF r, const QColor &fill) {
    QPainterPath path;
    path.moveTo(r.left(), r.top() + r.height() * 0.2);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.2);
    path.lineTo(r.left() + r.width() * 0.5, r.top() + r.height() * 0.35);
    path.lineTo(r.right(), r.top() + r.height() * 0.35);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setBrush(fill);
    p.setPen(QPen(QColor(110, 80, 10), 1));
    p.drawPath(path);
}

QPixmap drawToolbar(Icons::Tool tool) {
    using Icons::Tool;
    QPixmap pm = canvas(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor paper(250, 250, 245), yellow(240, 200, 80);
    if (tool == Tool::New) {
        sheet(p, QRectF(2.5, 1.5, 10, 13), paper);
        p.setPen(QPen(QColor(230, 150, 0), 1.6));
        p.drawLine(QPointF(12, 2), QPointF(12, 8));
        p.drawLine(QPointF(9, 5), QPointF(15, 5));
    } else if (tool == Tool::Open) {
        folder(p, QRectF(1.5, 2.5, 13, 11), yellow);
        p.setBrush(QColor(255, 225, 120));
        p.drawPolygon(QPolygonF(
            {QPointF(3.5, 7.5), QPointF(15, 7.5), QPointF(13, 13.5), QPointF(1.5, 13.5)}));
    } else if (tool == Tool::Import) {
        sheet(p, QRectF(5.5, 1.5, 9, 13), paper);
        p.setPen(QPen(QColor(30, 120, 30), 2));
        p.drawLine(QPointF(1, 8), QPointF(9, 8));
        p.drawLine(QPointF(6, 5), QPointF(9, 8));
        p.drawLine(QPointF(6, 11), QPointF(9, 8));
    } else if (tool == Tool::SaveAs) {
        p.setBrush(QColor(60, 90, 170));
        p.setPen(QPen(QColor(20, 30, 70), 1));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(paper);
        p.drawRect(QRectF(4, 1.5, 8, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4, 9, 8, 5.5));
    } else if (tool == Tool::Close) {
        sheet(p, QRectF(1.5, 1.5, 10, 13), paper);
        p.setPen(QPen(QColor(200, 30, 30), 2.2));
        p.drawLine(QPointF(8, 7), QPointF(14.5, 13.5));
        p.drawLine(QPointF(14.5, 7), QPointF(8, 13.5));
    } else if (tool == Tool::Compare || tool == Tool::CompareNow) {
        // Now: the folder itself against the snapshot.
        if (tool == Tool::Compare)
            sheet(p, QRectF(1.5, 1.5, 8, 11), paper);
        else
            folder(p, QRectF(1.5, 2.5, 9, 8), yellow);
        sheet(p, QRectF(6.5, 4.5, 8, 11), QColor(220, 235, 255));
        p.setPen(QPen(QColor(200, 30, 30), 1));
        p.drawLine(QPointF(8.5, 9), QPointF(12.5, 9));
        p.drawLine(QPointF(8.5, 11.5), QPointF(12.5, 11.5));
    } else if (tool == Tool::Export) {
        sheet(p, QRectF(1.5, 1.5, 9, 13), paper);
        p.setPen(QPen(QColor(120, 120, 120), 1));
        for (int y = 5; y <= 12; y += 3)
            p.drawLine(QPointF(3, y), QPointF(8, y));
        p.setPen(QPen(QColor(30, 120, 30), 2));
        p.drawLine(QPointF(8, 8), QPointF(15, 8));
        p.drawLine(QPointF(12, 5), QPointF(15, 8));
        p.drawLine(QPointF(12, 11), QPointF(15, 8));
    } else if (tool == Tool::Print) {
        p.setPen(QPen(QColor(50, 50, 50), 1));
        p.setBrush(paper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(170, 170, 170));
        p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
        p.setBrush(paper);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        p.setPen(QPen(QColor(40, 170, 40), 1.5));
        p.drawPoint(QPointF(12.5, 8.5));
    }
    return pm;
}

QPixmap drawWindowIcon(int size) {
    QPixmap pm = canvas(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    folder(p, QRectF(1.5, 3.5, 20, 17), QColor(240, 200, 80));
    folder(p, QRectF(10.5, 11.5, 20, 17), QColor(120, 170, 235));
    p.setPen(QPen(QColor(20, 120, 20), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(14, 21), QPointF(18, 25), QPointF(26, 15)}));
    return pm;
}

} // namespace

namespace Icons {

QIcon toolbar(Tool tool) {
    return QIcon(drawToolbar(tool));
}

QIcon window() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(drawWindowIcon(size));
    return icon;
}

QPixmap animationFrame(int index) {
    // A folder with a magnifying glass that circles it once every twelve pictures.
    QPixmap pm(32, 32);
    pm.fill(QColor(192, 192, 192));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    folder(p, QRectF(4.5, 6.5, 23, 19), QColor(240, 200, 80));
    const qreal angle = (index - 1) * 2 * M_PI / 12 - M_PI / 2;
    const QPointF centre(16 + 8 * qCos(angle), 16 + 8 * qSin(angle));
    p.setPen(QPen(QColor(60, 40, 20), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre + QPointF(3.5, 3.5), centre + QPointF(8, 8));
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.setBrush(QColor(200, 230, 255, 200));
    p.drawEllipse(centre, 5, 5);
    return pm;
}

const QIcon &fileIcon() {
    static const QIcon icon = [] {
        QPixmap pm = canvas(16);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        sheet(p, QRectF(3.5, 1.5, 9, 13), QColor(250, 250, 245));
        p.end();
        return QIcon(pm);
    }();
    return icon;
}

const QIcon &folderIcon() {
    static const QIcon icon = [] {
        QPixmap pm = canvas(16);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        folder(p, QRectF(1.5, 2.5, 13, 11), QColor(240, 200, 80));
        p.end();
        return QIcon(pm);
    }();
    return icon;
}

} // namespace Icons
