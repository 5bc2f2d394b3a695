#pragma once

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

// The filter box above the lists. Esc empties it and hands the keyboard back to the list. The
// window's shortcuts win over the box's own editing keys (Ctrl+C is Compare Snapshots, not
// Copy) unless text is selected in the box, when the user plainly means the box.
class FilterBox : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void emptiedByEscape();

protected:
    bool event(QEvent *event) override {
        // Left unaccepted, the key goes to the window's shortcut.
        if (event->type() == QEvent::ShortcutOverride && !hasSelectedText() &&
            isWindowShortcut(*static_cast<QKeyEvent *>(event)))
            return true;
        return QLineEdit::event(event);
    }

    void keyPressEvent(QKeyEvent *event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
            !text().isEmpty()) {
            clear();
            Q_EMIT emptiedByEscape();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    bool isWindowShortcut(const QKeyEvent &key) const {
        const QKeySequence pressed(key.keyCombination());
        const QList<QAction *> actions = window()->findChildren<QAction *>();
        return std::any_of(actions.begin(), actions.end(), [&](const QAction *action) {
            return action->isEnabled() &&
                   action->shortcut().matches(pressed) == QKeySequence::ExactMatch;
        });
    }
};
