#pragma once

#include <QByteArray>
#include <QFile>
#include <cstring>

// A figure of /proc/self/status in kB, such as "VmRSS:" or "VmHWM:"; -1 where there is none.
inline long statusKb(const char *key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(std::strlen(key)))
                .trimmed()
                .split(' ')[0]
                .toLong();
    }
    return -1;
}

// Peak resident memory of the process so far, in kB.
inline long peakRssKb() {
    return statusKb("VmHWM:");
}
