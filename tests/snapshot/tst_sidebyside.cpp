#include "snapshot/SideBySide.h"

#include <QTest>
#include <new>
#include <stdexcept>

// Memory running out on either side must reach the caller as the exception it was, after both
// sides are done with the data they share.
class TestSideBySide : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void failures_data() {
        QTest::addColumn<bool>("thereThrows");
        QTest::addColumn<bool>("hereThrows");
        QTest::addColumn<QString>("caught");
        QTest::newRow("neither") << false << false << QString();
        QTest::newRow("the other thread") << true << false << QStringLiteral("there");
        QTest::newRow("this thread") << false << true << QStringLiteral("here");
        // Here's failure leaves the block first; the other thread's is then dropped, not lost
        // into std::terminate.
        QTest::newRow("both") << true << true << QStringLiteral("here");
    }
    void failures() {
        QFETCH(bool, thereThrows);
        QFETCH(bool, hereThrows);
        QFETCH(QString, caught);
        bool thereRan = false, hereRan = false;
        QString got;
        try {
            runSideBySide(
                [&] {
                    thereRan = true;
                    if (thereThrows)
                        throw std::runtime_error("there");
                },
                [&] {
                    hereRan = true;
                    if (hereThrows)
                        throw std::bad_alloc();
                });
        } catch (const std::bad_alloc &) {
            got = QStringLiteral("here");
        } catch (const std::runtime_error &e) {
            got = QString::fromLatin1(e.what());
        }
        QVERIFY(thereRan);
        QVERIFY(hereRan);
        QCOMPARE(got, caught);
    }
};

QTEST_GUILESS_MAIN(TestSideBySide)
#include "tst_sidebyside.moc"
