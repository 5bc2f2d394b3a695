#pragma once

#include <QObject>
#include <QSize>

class QMainWindow;
struct AppSettings;

// Where the main window stands and how small it may get. The settings count the outer frame in
// twips, Qt sizes the inside in pixels, and the window manager may give the frame only after
// the window is shown: the size is brought into line as soon as the frame is known.
class WindowPlacement : public QObject {
    Q_OBJECT
public:
    explicit WindowPlacement(QMainWindow *window);

    // Places the window as the settings say and maximizes it when it was. Call before show().
    void restore(const AppSettings &settings);
    // Puts the window's placement into the settings; a minimized window leaves them alone
    // and returns false.
    bool store(AppSettings &settings) const;
    // Applies the minimum size (9630 x 3120 twips, outer frame).
    void fitToFrame();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QMainWindow *m_window;
    // The outer size the settings asked for, until the window frame is known.
    QSize m_pendingOuterSize;
};
