#pragma once

#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>

// Lets a long operation, possibly on a worker thread, publish how far it is and learn that it
// should stop. A poller (twice a second) reads count and text; the worker only writes the text
// when the poller has asked for a fresh one, so publishing costs an atomic load per step.
class Progress {
public:
    std::atomic<std::int64_t> count{0};
    std::atomic<std::int64_t> total{0};

    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return m_cancel.load(std::memory_order_relaxed); }

    bool wantsText() const { return m_wantText.load(std::memory_order_relaxed); }
    void setText(const QString &text) {
        QMutexLocker lock(&m_mutex);
        m_text = text;
        m_wantText.store(false, std::memory_order_relaxed);
    }
    // The latest text, and a request for the next one.
    QString takeText() {
        QMutexLocker lock(&m_mutex);
        m_wantText.store(true, std::memory_order_relaxed);
        return m_text;
    }

private:
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_wantText{true};
    QMutex m_mutex;
    QString m_text;
};
