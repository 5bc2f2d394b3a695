#include "AboutDialog.h"

#include "widgets/FixedDialog.h"
#include "widgets/Icons.h"
#include "widgets/Twips.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

namespace {

QRect twipsRect(const QWidget *w, int left, int top, int width, int height) {
    return {Twips::toPixels(left, w), Twips::toPixels(top, w), Twips::toPixels(width, w),
            Twips::toPixels(height, w)};
}

QLabel *titleLabel(QWidget *parent, const QColor &colour, const QRect &geometry) {
    auto *label = new QLabel(QStringLiteral("Vistrel"), parent);
    QFont font(QStringLiteral("Arial"), 36, QFont::Bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setToolTip(QStringLiteral("Application Title"));
    label->setGeometry(geometry);
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent, FixedDialog::Flags) {
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About Vistrel"));
    setFixedSize(Twips::toPixels(5475, 2940, this));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);

    // The white copy lies up and left of the black one: an embossed look.
    titleLabel(this, Qt::white, twipsRect(this, 220, 700, 3075, 915));
    titleLabel(this, Qt::black, twipsRect(this, 240, 720, 3075, 915))
        ->setAccessibleName(QStringLiteral("Vistrel"));

    m_version = new QLabel(QStringLiteral("0.00"), this);
    m_version->setObjectName(QStringLiteral("Version"));
    m_version->setToolTip(QStringLiteral("Version"));
    m_version->setGeometry(twipsRect(this, 3240, 1440, 645, 315));
    m_version->installEventFilter(this);

    auto *blurb = new QLabel(QStringLiteral("Snapshots of folder trees, and what changed "
                                            "between two of them."),
                             this);
    blurb->setWordWrap(true);
    blurb->setGeometry(twipsRect(this, 240, 1900, 3800, 700));

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("Vistrel"));
    m_picture->setAccessibleName(QStringLiteral("Animation"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setFrameShape(QFrame::Panel);
    m_picture->setFrameShadow(QFrame::Sunken);
    m_picture->setGeometry(twipsRect(this, 4560, 720, 615, 615));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OK"));
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_ok->setGeometry(twipsRect(this, 4200, 2280, 1095, 375));
    connect(m_ok, &QPushButton::clicked, this, &AboutDialog::okClicked);

    m_timer.setInterval(150);
    connect(&m_timer, &QTimer::timeout, this, &AboutDialog::nextFrame);

    // First load: the version, and splash mode until the animation has run once.
    versionClicked();
    m_ok->setEnabled(false);
}

QString AboutDialog::versionText(int major, int minor, int revision) {
    return u'v' + QString::number(major) + u'.' + QString::number(minor) +
           QString::number(revision);
}

QString AboutDialog::programVersionText() {
    return versionText(VISTREL_VERSION_MAJOR, VISTREL_VERSION_MINOR, VISTREL_VERSION_PATCH);
}

bool AboutDialog::splashMode() const {
    return !m_ok->isEnabled();
}

void AboutDialog::endSplashMode() {
    m_ok->setEnabled(true);
}

void AboutDialog::versionClicked() {
    m_versionText = programVersionText();
    m_version->setText(m_versionText);
}

void AboutDialog::nextFrame() {
    if (!m_started) {
        // The splash begins with picture 6.
        m_frame = 5;
        m_started = true;
    }
    m_shown = m_frame + 1;
    m_picture->setPixmap(Icons::animationFrame(m_shown));
    m_frame = m_frame == 11 ? 0 : m_frame + 1;
    if (m_frame == 4 && splashMode())
        okClicked();
}

void AboutDialog::okClicked() {
    m_ok->setEnabled(true);
    done(Accepted);
}

void AboutDialog::reject() {
    // The splash cannot be dismissed; it closes by itself.
    if (!splashMode())
        okClicked();
}

void AboutDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    m_timer.start();
}

void AboutDialog::hideEvent(QHideEvent *event) {
    QDialog::hideEvent(event);
    m_timer.stop();
    if (m_titleTarget)
        m_titleTarget->setWindowTitle(QStringLiteral("Vistrel ") + m_versionText);
}

bool AboutDialog::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_version && event->type() == QEvent::MouseButtonRelease)
        versionClicked();
    return QDialog::eventFilter(watched, event);
}
