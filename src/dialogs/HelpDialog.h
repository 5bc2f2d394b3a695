#pragma once

#include <QDialog>

class QPlainTextEdit;

// The Help window: the program's whole documentation as one read-only text.
class HelpDialog : public QDialog {
    Q_OBJECT
public:
    explicit HelpDialog(QWidget *parent = nullptr);

    QPlainTextEdit *textBox() const { return m_text; }
    // The help text as the program carries it.
    static QString helpText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPlainTextEdit *m_text;
};
