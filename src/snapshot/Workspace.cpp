#include "Workspace.h"

Workspace::Workspace() = default;

QString Workspace::listName(ListId n) {
    return n == ListId::Original ? QStringLiteral("Original")
           : n == ListId::Final  ? QStringLiteral("Final")
                                 : QString();
}

QString Workspace::tabCaption(ListId n) {
    static const char *const captions[] = {
        "Original Snapshot", "Final Snapshot", "Only in Original", "Only in Final", "Changed",
        "Unchanged",         "Moved"};
    return n == ListId::None ? QString() : QLatin1String(captions[Lists::indexOf(n)]);
}
