#pragma once

#include <QObject>
#include <functional>

class Progress;
class QAbstractButton;
class QWidget;

// Runs a long operation on a worker thread while the user-interface thread goes on painting.
// Until the work ends the program takes no input: clicks, keys and the window's close button
// are swallowed, so no command can start half-way through another. A cancellable job stops
// on Esc or a click on its Cancel button, by telling the worker through its Progress.
class BackgroundJob : public QObject {
    Q_OBJECT
public:
    // `tick` runs on the user-interface thread at the start and twice a second while the work
    // runs, to show its progress. `cancelButton` (may be null) is shown for a cancellable job.
    BackgroundJob(Progress &progress, bool cancellable, QAbstractButton *cancelButton,
                  std::function<void()> tick);

    // Returns when the work has ended: true, or false when it ran out of memory (what it
    // was building is then the caller's to give up).
    bool run(const std::function<void()> &work);

    // Whether a job is running anywhere in the program.
    static bool running();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool belongsToCancelButton(QObject *watched) const;

    Progress &m_progress;
    bool m_cancellable;
    QAbstractButton *m_cancelButton;
    std::function<void()> m_tick;
};
