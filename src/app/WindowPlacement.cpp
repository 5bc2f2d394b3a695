#include "WindowPlacement.h"

#include "AppSettings.h"
#include "widgets/Twips.h"

#include <QEvent>
#include <QMainWindow>
#include <QTimer>

WindowPlacement::WindowPlacement(QMainWindow *window) : QObject(window), m_window(window) {
    window->installEventFilter(this);
}

void WindowPlacement::restore(const AppSettings &s) {
    QMainWindow *w = m_window;
    const QPoint topLeft(Twips::toPixels(s.mainLeft, w), Twips::toPixels(s.mainTop, w));
    const QSize outer = Twips::toPixels(s.mainWidth, s.mainHeight, w);
    w->move(topLeft);
    const QSize frame = w->frameGeometry().size() - w->size();
    w->resize(outer - frame);
    m_pendingOuterSize = frame.isEmpty() ? outer : QSize();
    if (s.maximized)
        w->setWindowState(w->windowState() | Qt::WindowMaximized);
    // Give up waiting for the frame after a while.
    QTimer::singleShot(2000, this, [this] { m_pendingOuterSize = QSize(); });
}

bool WindowPlacement::store(AppSettings &s) const {
    if (m_window->isMinimized())
        return false;
    const QRect outer = m_window->frameGeometry();
    s.mainLeft = Twips::fromPixels(outer.left(), m_window);
    s.mainTop = Twips::fromPixels(outer.top(), m_window);
    s.mainWidth = Twips::fromPixels(outer.width(), m_window);
    s.mainHeight = Twips::fromPixels(outer.height(), m_window);
    s.maximized = m_window->isMaximized();
    return true;
}

void WindowPlacement::fitToFrame() {
    QMainWindow *w = m_window;
    const QSize frame = w->frameGeometry().size() - w->size();
    w->setMinimumSize(Twips::toPixels(9630, 3120, w) - frame);
    if (m_pendingOuterSize.isValid() && !frame.isEmpty() && !w->isMaximized()) {
        const QSize wanted = m_pendingOuterSize - frame;
        m_pendingOuterSize = QSize();
        w->resize(wanted);
    }
}

bool WindowPlacement::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::Move) &&
        !m_window->isMinimized())
        fitToFrame();
    return QObject::eventFilter(watched, event);
}
