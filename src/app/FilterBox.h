#pragma once

#include <QKeyEvent>
#include <QLineEdit>

// The filter box above the lists: Esc empties it.
class FilterBox : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent *event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
            !text().isEmpty()) {
            clear();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
};
