#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>

class QLabel;
class QPushButton;

// The About window (`About`): the program's name, version and a small looping animation. At
// start-up it is the splash: OK stays disabled and the window closes itself after eleven
// pictures. Afterwards Help > About shows it until OK. Hiding it gives the main window its
// final title.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    // "v", the major number, ".", the minor number and the revision, run together.
    static QString versionText(int major, int minor, int revision);
    // The program's own version in that form.
    static QString programVersionText();

    QString versionText() const { return m_versionText; }
    // The number (1 to 12) of the picture shown now; 0 before the first tick.
    int shownPicture() const { return m_shown; }
    bool splashMode() const;
    QTimer &timer() { return m_timer; }

    // The window whose title becomes "Vistrel" and the version when this window closes.
    void setTitleTarget(QWidget *window) { m_titleTarget = window; }
    // Leaves splash mode without the animation having run (OK enabled).
    void endSplashMode();

    // One tick of the animation timer.
    void nextFrame();
    void okClicked();
    void versionClicked();

public Q_SLOTS:
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_versionText;
    int m_frame = 0; // picture m_frame + 1 is shown next
    bool m_started = false;
    int m_shown = 0;
    QLabel *m_version;
    QLabel *m_picture;
    QPushButton *m_ok;
    QTimer m_timer;
    QPointer<QWidget> m_titleTarget;
};
