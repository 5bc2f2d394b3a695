#include "WhilePainting.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

void runWhilePainting(const std::function<void()> &work) {
    QEventLoop loop;
    std::thread worker([&] {
        work();
        // Queued, so that a quit posted before the loop starts is not lost.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the application quits; the work may still be running then.
    worker.join();
}
