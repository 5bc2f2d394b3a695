#pragma once

#include "snapshot/ListId.h"

#include <QMessageBox>
#include <QObject>
#include <functional>

class EntryFormatter;
class Progress;
class Prompts;
class QAbstractButton;
class QWidget;
class Session;
struct FileError;

// What the window's commands share: the session they act on, the list the window shows, the
// user's answers (through Prompts), long work on a worker thread, and the way they report
// back. A command never reaches into the window: it says what to show by signals, which the
// window follows.
class CommandHost : public QObject {
    Q_OBJECT
public:
    // Dialogs and messages are shown over `window`; `cancelButton` stops a cancellable job.
    CommandHost(Session &session, Prompts &prompts, const EntryFormatter &format, QWidget *window,
                QAbstractButton *cancelButton);

    Session &session() { return m_session; }
    Prompts &prompts() { return m_prompts; }
    const EntryFormatter &formatter() const { return m_format; }
    QWidget *window() const { return m_window; }

    // The list on the window's selected tab; commands act on it unless they pick another.
    ListId shownList() const { return m_shown; }
    void setShownList(ListId listNo) { m_shown = listNo; }

    // Puts a text in the status bar; an empty text shows the shown list's own.
    void say(const QString &text) { Q_EMIT statusChanged(text); }
    // Asks the window to show a list's tab.
    void show(ListId listNo) { Q_EMIT showListRequested(listNo); }
    // Paints the window now, before a step that keeps the event loop waiting.
    void repaint();
    // A message box titled with the program's name.
    QMessageBox::StandardButton tell(const QString &text);
    // Shows the message of a file error; returns the button pressed.
    QMessageBox::StandardButton reportFileError(const FileError &error);
    // Runs `work` on a worker thread; the window stays painted and takes no input meanwhile,
    // and the status bar shows the progress. A cancellable job stops on Esc or Cancel. False
    // when memory ran out.
    bool runJob(Progress &progress, bool cancellable, const std::function<void()> &work);

    // Item n of `total` as a percentage, as the count panel shows a long job's progress.
    static QString percentText(qint64 n, qint64 total);

Q_SIGNALS:
    void statusChanged(const QString &text);
    void showListRequested(ListId listNo);
    // A long job's progress: what it is at (empty: unchanged) and how far (empty: unchanged).
    void progressChanged(const QString &text, const QString &count);

private:
    void showJobProgress(Progress &progress);

    Session &m_session;
    Prompts &m_prompts;
    const EntryFormatter &m_format;
    QWidget *m_window;
    QAbstractButton *m_cancelButton;
    ListId m_shown = ListId::Original;
};
