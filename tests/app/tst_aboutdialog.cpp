// The About window as splash and on demand, and the start-up that uses it.
#include "support/TestWindow.h"

#include "app/StartUp.h"
#include "dialogs/AboutDialog.h"
#include "files/SnapshotFile.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

class TestAboutDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void versionText_data() {
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("text");
        QTest::newRow("1.2.5") << 1 << 2 << 5 << QStringLiteral("v1.25");
        QTest::newRow("2.10.3") << 2 << 10 << 3 << QStringLiteral("v2.103");
        QTest::newRow("1.0.0") << 1 << 0 << 0 << QStringLiteral("v1.00");
        QTest::newRow("0.9.12") << 0 << 9 << 12 << QStringLiteral("v0.912");
    }
    void versionText() {
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, revision);
        QFETCH(QString, text);
        QCOMPARE(AboutDialog::versionText(major, minor, revision), text);
    }

    void windowContents() {
        AboutDialog about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Vistrel"));
        QCOMPARE(about.versionText(), AboutDialog::programVersionText());
        QCOMPARE(about.findChild<QLabel *>(QStringLiteral("Version"))->text(), about.versionText());
        auto *ok = about.findChild<QPushButton *>(QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QVERIFY(!ok->isEnabled());
        QVERIFY(about.splashMode());
        QCOMPARE(about.timer().interval(), 150);
        QVERIFY(!about.timer().isActive());
    }

    void splashRunsElevenPicturesFromSix() {
        QWidget mainWindow;
        AboutDialog about;
        about.setTitleTarget(&mainWindow);
        about.show();
        QVERIFY(about.timer().isActive());
        const QList<int> expected = {6, 7, 8, 9, 10, 11, 12, 1, 2, 3};
        for (int picture : expected) {
            about.nextFrame();
            QCOMPARE(about.shownPicture(), picture);
            QVERIFY(about.isVisible());
            // Esc does not end the splash.
            QTest::keyClick(&about, Qt::Key_Escape);
            QVERIFY(about.isVisible());
        }
        about.nextFrame();
        QCOMPARE(about.shownPicture(), 4);
        QVERIFY(!about.isVisible());
        QVERIFY(!about.timer().isActive());
        QVERIFY(!about.splashMode());
        QCOMPARE(mainWindow.windowTitle(), QStringLiteral("Vistrel ") + about.versionText());

        // Shown again, it goes on from picture 5 and stays until OK.
        about.show();
        for (int picture : {5, 6, 7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5}) {
            about.nextFrame();
            QCOMPARE(about.shownPicture(), picture);
        }
        QVERIFY(about.isVisible());
        QTest::keyClick(&about, Qt::Key_Return);
        QVERIFY(!about.isVisible());
        about.show();
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
    }

    void startUpShowsSplashThenOpensTheCommandLineFile() {
        TestStore store;
        TestPrompts prompts;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("start.dir"));
        {
            SnapshotList source;
            fillList(source, 12);
            source.description = QStringLiteral("Start");
            QVERIFY(saveSnapshot(source, false, path).ok());
        }
        QElapsedTimer clock;
        clock.start();
        const std::unique_ptr<MainWindow> window = startProgram(path, store.settings(), prompts);
        const qint64 elapsed = clock.elapsed();
        // Eleven ticks of 150 ms.
        QVERIFY2(elapsed >= 1500 && elapsed < 4000, qPrintable(QString::number(elapsed)));
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Vistrel ") + AboutDialog::programVersionText());
        QCOMPARE(window->workspace().list(ListId::Original).size(), 12);
        QCOMPARE(window->tabStrip()->currentIndex(), 0);
        QVERIFY(prompts.asked.isEmpty());

        // Help > About afterwards: OK enabled, closes on OK, title stays.
        auto *about = window->findChild<AboutDialog *>();
        QVERIFY(about);
        QVERIFY(!about->splashMode());
        QTimer::singleShot(400, about, [about] {
            QVERIFY(about->isVisible());
            about->findChild<QPushButton *>(QStringLiteral("OK"))->click();
        });
        window->showAbout();
        QVERIFY(!about->isVisible());
        QCOMPARE(window->windowTitle(),
                 QStringLiteral("Vistrel ") + AboutDialog::programVersionText());
    }

    void commandLineText() {
        QCOMPARE(::commandLineText({QStringLiteral("vistrel")}), QString());
        QCOMPARE(::commandLineText({QStringLiteral("vistrel"), QStringLiteral("\"a b.dir\"")}),
                 QStringLiteral("\"a b.dir\""));
        QCOMPARE(::commandLineText({QStringLiteral("vistrel"), QStringLiteral("/x/a b.dir")}),
                 QStringLiteral("/x/a b.dir"));
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
