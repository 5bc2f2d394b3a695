#include "PropertiesDialog.h"

#include "session/Session.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/SnapshotList.h"
#include "widgets/FixedDialog.h"
#include "widgets/Twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

void place(QWidget *widget, int left, int top, int width, int height) {
    widget->setGeometry(QRect(QPoint(Twips::toPixels(left, widget), Twips::toPixels(top, widget)),
                              Twips::toPixels(width, height, widget)));
}

// Read-only boxes drawn in the dialog's face colour, as the texts there cannot be changed.
template <class Box> void makeReadOnly(Box *box) {
    box->setReadOnly(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    box->setPalette(palette);
}

} // namespace

PropertiesDialog::PropertiesDialog(const EntryFormatter &format, QWidget *parent)
    : QDialog(parent, FixedDialog::Flags), m_format(format),
      m_description(new QPlainTextEdit(this)), m_timeAndDate(new QLineEdit(this)),
      m_whereFrom(new QPlainTextEdit(this)), m_ok(new QPushButton(QStringLiteral("OK"), this)) {
    setObjectName(QStringLiteral("Properties"));
    setWindowTitle(QStringLiteral("Snapshot Properties"));
    // Two rows taller than the classic layout, for what the scan left out and could not read.
    setFixedSize(Twips::toPixels(7320, 3210 + 2 * 420, this));

    auto *label = new QLabel(QStringLiteral("&Description:"), this);
    label->setBuddy(m_description);
    place(label, 240, 120, 1455, 255);
    m_description->setObjectName(QStringLiteral("Description"));
    m_description->setAccessibleName(QStringLiteral("Description"));
    m_description->setTabChangesFocus(true);
    m_description->installEventFilter(this);
    place(m_description, 240, 360, 4845, 1335);

    m_ok->setObjectName(QStringLiteral("OK"));
    m_ok->setDefault(true);
    place(m_ok, 5880, 240, 1215, 375);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    place(cancel, 5880, 720, 1215, 375);

    m_timeAndDate->setObjectName(QStringLiteral("TimeAndDate"));
    m_timeAndDate->setAccessibleName(QStringLiteral("Created"));
    makeReadOnly(m_timeAndDate);
    // Wider than the classic layout: today's fonts need the room for a date and a time.
    place(m_timeAndDate, 4680, 2160, 2415, 285);
    m_whereFrom->setObjectName(QStringLiteral("WhereFrom"));
    m_whereFrom->setAccessibleName(QStringLiteral("Source"));
    m_whereFrom->setTabChangesFocus(true);
    makeReadOnly(m_whereFrom);
    place(m_whereFrom, 240, 2160, 4215, 885);
    for (auto [text, left] : {std::pair{"Created:", 4680}, std::pair{"Source:", 240}}) {
        auto *caption = new QLabel(QLatin1String(text), this);
        place(caption, left, 1920, 1095, 255);
    }

    m_leftOut = addScanRow(QStringLiteral("LeftOut"), QStringLiteral("Left out"), 3180);
    m_notRead = addScanRow(QStringLiteral("NotRead"), QStringLiteral("Not read"), 3600);

    setTabOrder(m_description, m_ok);
    setTabOrder(m_ok, cancel);
    setTabOrder(cancel, m_timeAndDate);
    setTabOrder(m_timeAndDate, m_whereFrom);
    setTabOrder(m_whereFrom, m_leftOut);
    setTabOrder(m_leftOut, m_notRead);
    connect(m_ok, &QPushButton::clicked, this, &PropertiesDialog::okClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// A read-only line of what the scan that took the snapshot did, under its caption.
QLineEdit *PropertiesDialog::addScanRow(const QString &name, const QString &caption, int top) {
    place(new QLabel(caption + u':', this), 240, top + 15, 1095, 255);
    auto *box = new QLineEdit(this);
    box->setObjectName(name);
    box->setAccessibleName(caption);
    makeReadOnly(box);
    place(box, 1335, top, 5760, 285);
    return box;
}

bool PropertiesDialog::run(const SnapshotList &list, ListId listNo) {
    m_listNo = listNo;
    m_stored = false;
    const bool snapshot = Lists::isSnapshot(listNo);
    setWindowTitle(QStringLiteral("Properties of ") +
                   (snapshot ? Workspace::listName(listNo) + QStringLiteral(" Snapshot")
                             : Workspace::tabCaption(listNo)));
    m_timeAndDate->setText(m_format.generalDate(list.created));
    m_whereFrom->setPlainText(list.source);
    m_leftOut->setText(list.leftOut.isEmpty() ? QStringLiteral("nothing")
                                              : ExcludePatterns::join(list.leftOut));
    m_leftOut->setCursorPosition(0);
    m_notRead->setText(list.unreadable.isEmpty()
                           ? QStringLiteral("nothing")
                           : NewSnapshot::unreadablePaths(NewSnapshot::rootFromSource(list.source),
                                                          list.unreadable, 100)
                                 .join(QStringLiteral("; ")));
    m_notRead->setCursorPosition(0);
    m_description->setPlainText(list.description);
    m_description->selectAll();
    // Filling the box is not an edit; only the user's typing marks the snapshot unsaved.
    m_description->document()->setModified(false);
    if (snapshot)
        m_description->setFocus();
    else
        m_ok->setFocus();
    exec();
    return m_stored;
}

QString PropertiesDialog::description() const {
    return m_description->toPlainText();
}

bool PropertiesDialog::edited() const {
    return m_description->document()->isModified();
}

bool PropertiesDialog::eventFilter(QObject *watched, QEvent *event) {
    // The description is one line in the snapshot file: Enter means OK, not a new line.
    if (watched == m_description && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_ok->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool PropertiesDialog::refuseUnstorable() {
    const qsizetype at = Session::unstorableAt(m_description->toPlainText());
    if (at < 0)
        return false;
    QTextCursor cursor = m_description->textCursor();
    cursor.setPosition(static_cast<int>(at));
    cursor.setPosition(static_cast<int>(at + 1), QTextCursor::KeepAnchor);
    m_description->setTextCursor(cursor);
    m_description->setFocus();
    return true;
}

void PropertiesDialog::okClicked() {
    if (!Lists::isSnapshot(m_listNo)) {
        accept();
        return;
    }
    if (refuseUnstorable())
        return;
    m_stored = true;
    accept();
}
