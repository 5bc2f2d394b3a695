// Drives a recovery store from a process of its own, for the tests that end one by force.
//
//   recovery_writer hold FOLDER ORIGINAL.dir FINAL.dir
//       writes the two snapshots as lists 1 and 2 once, says "ready" and waits to be killed.
//   recovery_writer churn FOLDER ORIGINAL.dir FINAL.dir
//       writes them over and over on two threads, each list holding the two snapshots in turn
//       (list 2 the other one), and the user's settings on a third thread, the two sets of
//       churnSettings in turn; says "ready" once each thread has written once.
//
// Any failure is told on standard error with exit status 3, so that the test can tell it from
// its own kill.

#include "ChurnSettings.h"
#include "app/StartUp.h"
#include "files/RecoveryStore.h"
#include "files/SnapshotFile.h"
#include "snapshot/SnapshotList.h"

#include <QSettings>
#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString &what, const FileError &err = {}) {
    std::fprintf(stderr, "recovery_writer: %s %s\n", qPrintable(what), qPrintable(err.message()));
    ::_exit(3);
}

void sayReady() {
    const char text[] = "ready\n";
    if (::write(STDOUT_FILENO, text, sizeof text - 1) < 0)
        fail(QStringLiteral("cannot write to standard output"));
}

void writeForever(RecoveryStore &store, int listNo, const SnapshotList (&lists)[2],
                  std::atomic<int> &started) {
    for (int k = 0;; ++k) {
        if (FileError err =
                store.write(Lists::atIndex(std::size_t(listNo - 1)), lists[(k + listNo - 1) % 2]))
            fail(QStringLiteral("write"), err);
        if (k == 0)
            ++started;
    }
}

void writeSettingsForever(std::atomic<int> &started) {
    const std::unique_ptr<QSettings> settings = userSettings();
    for (int k = 0;; ++k) {
        const AppSettings values = churnSettings(k % 2);
        AppSettings::writeFlag(*settings, SettingsKey::Separate, values.separate);
        AppSettings::writeFlag(*settings, SettingsKey::OtherVolumes, values.otherVolumes);
        values.write(*settings, true);
        if (settings->status() != QSettings::NoError)
            fail(QStringLiteral("settings"));
        if (k == 0)
            ++started;
    }
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 5)
        fail(QStringLiteral("usage: recovery_writer hold|churn FOLDER ORIGINAL.dir FINAL.dir"));
    const QByteArray mode = argv[1];
    RecoveryStore store(QString::fromLocal8Bit(argv[2]));
    if (FileError err = store.open())
        fail(QStringLiteral("open"), err);
    SnapshotList lists[2];
    for (int k = 0; k < 2; ++k) {
        if (FileError err = readSnapshot(QString::fromLocal8Bit(argv[3 + k]), lists[k]))
            fail(QString::fromLocal8Bit(argv[3 + k]), err);
    }
    if (mode == "hold") {
        for (int listNo = 1; listNo <= 2; ++listNo) {
            if (FileError err =
                    store.write(Lists::atIndex(std::size_t(listNo - 1)), lists[listNo - 1]))
                fail(QStringLiteral("write"), err);
        }
        sayReady();
        for (;;)
            ::pause();
    }
    if (mode != "churn")
        fail(QStringLiteral("unknown mode"));
    std::atomic<int> started{0};
    std::thread original(writeForever, std::ref(store), 1, std::cref(lists), std::ref(started));
    std::thread finalList(writeForever, std::ref(store), 2, std::cref(lists), std::ref(started));
    std::thread settings(writeSettingsForever, std::ref(started));
    while (started.load() < 3)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sayReady();
    original.join();
    return 0;
}
