#include "HelpDialog.h"

#include "widgets/FixedDialog.h"
#include "widgets/Twips.h"

#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

HelpDialog::HelpDialog(QWidget *parent)
    : QDialog(parent, FixedDialog::Flags), m_text(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(QStringLiteral("Vistrel Help!"));
    setFixedSize(Twips::toPixels(6855, 4470, this));

    m_text->setObjectName(QStringLiteral("HelpText"));
    m_text->setAccessibleName(QStringLiteral("Vistrel Help"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setFont(QFont(QStringLiteral("Arial"), 9.75));
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    m_text->setPalette(palette);
    // Tab skips the text box; it still takes the focus when the window opens, so the keys
    // scroll it.
    m_text->setFocusPolicy(Qt::ClickFocus);
    m_text->setPlainText(helpText());

    auto *layout = new QVBoxLayout(this);
    const int margin = Twips::toPixels(120, this);
    layout->setContentsMargins(margin, margin, margin, Twips::toPixels(135, this));
    layout->addWidget(m_text);
}

QString HelpDialog::helpText() {
    QFile file(QStringLiteral(":/help.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void HelpDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the main window.
    if (const QScreen *screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_text->setFocus();
    m_text->moveCursor(QTextCursor::Start);
}
