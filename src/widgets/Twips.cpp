#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace Twips {

double dpi(const QWidget *widget) {
    const QScreen *screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    const double value = screen ? screen->logicalDotsPerInch() : 96.0;
    return value > 0 ? value : 96.0;
}

int toPixels(double twips, const QWidget *widget) {
    return static_cast<int>(std::lround(twips * dpi(widget) / 1440.0));
}

double fromPixels(int pixels, const QWidget *widget) {
    return pixels * 1440.0 / dpi(widget);
}

QSize toPixels(double width, double height, const QWidget *widget) {
    return {toPixels(width, widget), toPixels(height, widget)};
}

} // namespace Twips
