#include "Workspace.h"

Workspace::Workspace() = default;

QString Workspace::ListName(int n) {
    return n == ListNo::Original ? QStringLiteral("Original")
           : n == ListNo::Final  ? QStringLiteral("Final")
                                 : QString();
}

QString Workspace::TabCaption(int n) {
    static const char *const captions[] = {"Original Snapshot", "Final Snapshot",
                                           "Only in Original",  "Only in Final",
                                           "Changed",           "Unchanged"};
    return n >= 1 && n <= ListNo::Count ? QLatin1String(captions[n - 1]) : QString();
}
