#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

// The window geometry of the program is measured in twips (1/1440 inch): 15 twips make one
// pixel at 96 dpi, and the pixel counts scale with the screen's logical resolution.
namespace Twips {

// Logical dots per inch of the screen the widget is on (the primary screen without one).
double dpi(const QWidget *widget = nullptr);
int toPixels(double twips, const QWidget *widget = nullptr);
double fromPixels(int pixels, const QWidget *widget = nullptr);
QSize toPixels(double width, double height, const QWidget *widget = nullptr);

} // namespace Twips
