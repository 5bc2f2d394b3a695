#include "BackgroundJob.h"

#include "snapshot/Progress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <new>
#include <thread>

namespace {

int runningJobs = 0;

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

BackgroundJob::BackgroundJob(Progress &progress, bool cancellable, QAbstractButton *cancelButton,
                             std::function<void()> tick)
    : m_progress(progress), m_cancellable(cancellable), m_cancelButton(cancelButton),
      m_tick(std::move(tick)) {}

bool BackgroundJob::running() {
    return runningJobs > 0;
}

bool BackgroundJob::run(const std::function<void()> &work) {
    ++runningJobs;
    qApp->installEventFilter(this);
    QMetaObject::Connection cancel;
    if (m_cancellable && m_cancelButton) {
        m_cancelButton->show();
        cancel = connect(m_cancelButton, &QAbstractButton::clicked, this,
                         [this] { m_progress.cancel(); });
    }
    QTimer timer;
    timer.setInterval(500);
    connect(&timer, &QTimer::timeout, this, [this] { m_tick(); });
    m_tick();
    timer.start();

    QEventLoop loop;
    bool enoughMemory = true;
    // Memory that runs out on the worker would end the program there: it is told instead.
    std::thread worker([&work, &loop, &enoughMemory] {
        try {
            work();
        } catch (const std::bad_alloc &) {
            enoughMemory = false;
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    timer.stop();
    disconnect(cancel);
    if (m_cancelButton)
        m_cancelButton->hide();
    qApp->removeEventFilter(this);
    --runningJobs;
    return enoughMemory;
}

bool BackgroundJob::belongsToCancelButton(QObject *watched) const {
    for (QObject *o = watched; o; o = o->parent()) {
        if (o == m_cancelButton)
            return true;
    }
    return false;
}

bool BackgroundJob::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Close) {
        // A close that is swallowed must also be refused, or the window closes regardless.
        event->ignore();
        return true;
    }
    if (!isUserInput(event->type()))
        return false;
    if (m_cancellable && belongsToCancelButton(watched))
        return false;
    if (m_cancellable && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        m_progress.cancel();
    return true;
}
