#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

// Answers a modal dialog from inside its exec(): `act` runs once the dialog is shown and is
// expected to close it. A dialog that `act` left open (a failed check returns early) is
// cancelled, so that a test never waits for a user.
inline void whenShown(QDialog *dialog, std::function<void()> act) {
    QTimer::singleShot(0, dialog, [dialog, act = std::move(act)] {
        act();
        if (dialog->isVisible())
            dialog->reject();
    });
}
