// Figures for the desktop program, headless: opening a large snapshot named on the command line
// until its list is painted, header-click sorts, tab and view switching, scrolling, and the
// program's peak memory. Given a second snapshot instead, it opens both and times the Compare
// command from the dialog's OK until the first result list is painted. Make the files with
// `vistrel-bench gen-dir 1000000 FILE.dir FINAL.dir`.
#include "app/CompareCommands.h"
#include "app/FileCommands.h"
#include "app/ListPane.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/PrintCommands.h"
#include "app/Prompts.h"
#include "app/StartUp.h"
#include "dialogs/CompareDialog.h"
#include "files/FileError.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ListFilter.h"
#include "sort/ColumnSorts.h"

#include "ProcStatus.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// Lets pending events run and paints the window, as the user would see it.
void settle(QWidget *window) {
    QCoreApplication::processEvents();
    window->repaint();
    QCoreApplication::processEvents();
}

template <typename F> double timed(QWidget *window, F &&f) {
    QElapsedTimer t;
    t.start();
    f();
    settle(window);
    return t.nsecsElapsed() / 1e6;
}

// Answers nothing: a benchmark that meets a message box has gone wrong.
class NoPrompts : public Prompts {
public:
    QMessageBox::StandardButton message(QWidget *, const QString &title, const QString &text,
                                        QMessageBox::Icon, QMessageBox::StandardButtons,
                                        QMessageBox::StandardButton) override {
        std::fprintf(stderr, "unexpected message: %s: %s\n", qPrintable(title), qPrintable(text));
        std::exit(2);
    }
};

// A timer that should tick every 10 ms tells how long the event loop was kept waiting.
class EventLoopWatch {
public:
    EventLoopWatch() {
        m_ticks.setInterval(10);
        QObject::connect(&m_ticks, &QTimer::timeout, [this] { tick(); });
    }
    void start() {
        m_sinceTick.start();
        m_ticks.start();
    }
    double longestWait() {
        tick();
        return m_longest;
    }

private:
    void tick() {
        m_longest = std::max(m_longest, m_sinceTick.nsecsElapsed() / 1e6);
        m_sinceTick.restart();
    }
    QTimer m_ticks;
    QElapsedTimer m_sinceTick;
    double m_longest = 0;
};

// The Compare command from the click on OK until the first result list is painted.
void compareFromOk(MainWindow &w, const char *what) {
    QElapsedTimer fromOk;
    EventLoopWatch watch;
    CompareDialog *dialog = w.compareCommands().compareDialog();
    QTimer::singleShot(0, dialog, [&] {
        fromOk.start();
        watch.start();
        dialog->okButton()->click();
    });
    w.compareCommands().compare();
    settle(&w);
    const double ms = fromOk.nsecsElapsed() / 1e6;
    std::printf("%-28s %8.1f ms  (target < 2000; tab %d shown)\n", what, ms,
                w.tabStrip()->currentIndex() + 1);
    std::printf("  longest event-loop wait    %8.1f ms\n", watch.longestWait());
}

// The whole list's report printed to a PDF file, as the Print dialog's OK does after its sort.
void printToPdf(MainWindow &w) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    w.printCommands().printer().setOutputFormat(QPrinter::PdfFormat);
    w.printCommands().printer().setOutputFileName(file);
    w.sortList(ListId::Original, Col::InFolder, 0);
    EventLoopWatch watch;
    watch.start();
    QElapsedTimer t;
    t.start();
    const FileError error = w.printCommands().printReport(ListId::Original);
    const double ms = t.nsecsElapsed() / 1e6;
    std::printf("print report to PDF          %8.1f ms  (%.1f MB%s)\n", ms,
                QFileInfo(file).size() / 1e6, error ? ", FAILED" : "");
    std::printf("  longest event-loop wait    %8.1f ms\n", watch.longestWait());
}

// Typing into the filter box and deleting again, one keystroke at a time, each until the list is
// painted; beside it `grep -ciF` finding the same text in the snapshot file.
void typeFilter(MainWindow &w, const QString &file, const QString &word) {
    double worst = 0, total = 0;
    auto key = [&](const QString &text) {
        const double ms = timed(&w, [&] { w.filterBox()->setText(text); });
        worst = std::max(worst, ms);
        total += ms;
    };
    for (int k = 1; k <= word.size(); ++k)
        key(word.left(k));
    const int kept = w.views().shownEntries(ListId::Original);
    for (int k = word.size() - 1; k >= 0; --k)
        key(word.left(k));
    const int keys = 2 * static_cast<int>(word.size());
    QElapsedTimer t;
    t.start();
    QProcess grep;
    grep.start(QStringLiteral("grep"), {QStringLiteral("-ciF"), word, file});
    grep.waitForFinished(-1);
    const double grepMs = t.nsecsElapsed() / 1e6;
    std::printf("filter \"%s\", %d keystrokes: worst %6.1f ms, mean %6.1f ms  (target < 100; "
                "%d entries kept)\n",
                qPrintable(word), keys, worst, total / keys, kept);
    std::printf("  grep -ciF on the file      %8.1f ms  (%s lines); worst keystroke / grep %.2f\n",
                grepMs, grep.readAllStandardOutput().trimmed().constData(), worst / grepMs);
    // Where a keystroke's time goes: the core's pass over the whole list.
    QElapsedTimer pass;
    pass.start();
    const std::size_t passKept =
        ListFilter(word).apply(w.workspace().list(ListId::Original)).size();
    std::printf("  of which core pass over the list %6.1f ms (%zu kept)\n",
                pass.nsecsElapsed() / 1e6, passKept);
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2 && args.size() != 3) {
        std::fprintf(stderr, "usage: vistrel-bench-gui FILE.dir [FINAL.dir]\n");
        return 2;
    }
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("Vistrel.ini")), QSettings::IniFormat);
    NoPrompts prompts;
    const long baseKb = peakRssKb();

    QElapsedTimer t;
    t.start();
    const std::unique_ptr<MainWindow> window = startProgram(args[1], settings, prompts, false);
    settle(window.get());
    const double shownMs = t.nsecsElapsed() / 1e6;
    MainWindow &w = *window;
    const int entries = w.workspace().list(ListId::Original).size();
    std::printf("entries                      %d\n", entries);
    std::printf("open from command line       %8.1f ms  (target < 2000)\n", shownMs);
    std::printf("peak memory after open       %8.1f MB\n", peakRssKb() / 1024.0);

    if (args.size() == 3) {
        // Both snapshots as opened, then again once the Original was sorted by another column.
        const double finalMs = timed(&w, [&] { w.fileCommands().openSnapshot(args[2]); });
        std::printf("open Final (%d entries) %8.1f ms\n", w.workspace().list(ListId::Final).size(),
                    finalMs);
        compareFromOk(w, "compare from OK");
        w.selectTab(ListId::Original);
        w.views().sortByColumn(ListId::Original, Col::Size);
        compareFromOk(w, "again, Original by Size");
        std::printf("peak memory after compare    %8.1f MB\n", peakRssKb() / 1024.0);
        window->hide();
        return 0;
    }

    if (qEnvironmentVariableIsSet("VISTREL_BENCH_PRINT"))
        printToPdf(w);

    typeFilter(w, args[1], QStringLiteral("network"));
    typeFilter(w, args[1], QStringLiteral("product 3\\comp"));

    const std::pair<const char *, int> sorts[] = {
        {"Name", Col::Name},          {"Name again (desc)", Col::Name},
        {"Size", Col::Size},          {"Modified", Col::Modified},
        {"In Folder", Col::InFolder}, {"Attributes", Col::Attributes}};
    for (const auto &[what, column] : sorts) {
        const double ms = timed(&w, [&] { w.views().sortByColumn(ListId::Original, column); });
        std::printf("header click sort %-18s %8.1f ms  (target < 1000)\n", what, ms);
    }

    // Where the time of a click goes: the core's sort, and the view showing the new order.
    for (int column : {Col::InFolder, Col::Name}) {
        SnapshotList &list = w.workspace().list(ListId::Original);
        QElapsedTimer sortTimer;
        sortTimer.start();
        ::sortList(list, column, -1);
        const double sortMs = sortTimer.nsecsElapsed() / 1e6;
        const double viewMs = timed(&w, [&] { w.session().opened(ListId::Original); });
        std::printf("  of which core sort by %-9s %7.1f ms, view refresh %6.1f ms\n",
                    qPrintable(columnHeader(column)), sortMs, viewMs);
    }

    double worstTab = 0;
    for (int round = 0; round < 3; ++round) {
        for (int tab : {2, 5, 1}) {
            const double ms = timed(&w, [&] { w.selectTab(Lists::atIndex(std::size_t(tab - 1))); });
            worstTab = std::max(worstTab, ms);
        }
    }
    std::printf("tab switch (worst of 9)      %8.1f ms\n", worstTab);

    QTableView *details = w.pane(ListId::Original)->details();
    double worstScroll = 0;
    for (int step = 0; step < 5; ++step) {
        const double ms =
            timed(&w, [&] { details->scrollTo(details->model()->index(entries * step / 5, 0)); });
        worstScroll = std::max(worstScroll, ms);
    }
    worstScroll = std::max(worstScroll, timed(&w, [&] { details->scrollToBottom(); }));
    std::printf("scroll jump (worst of 6)     %8.1f ms\n", worstScroll);

    const double summaryMs = timed(&w, [&] { w.showSummary(); });
    std::printf("switch to Summary View       %8.1f ms\n", summaryMs);
    const double summaryScroll =
        timed(&w, [&] { w.pane(ListId::Original)->summary()->scrollToBottom(); });
    std::printf("Summary View scroll to end   %8.1f ms\n", summaryScroll);
    const double detailsMs = timed(&w, [&] { w.showDetails(); });
    std::printf("switch to Detailed View      %8.1f ms\n", detailsMs);

    std::printf("peak memory (VmHWM)          %8.1f MB  (target < 350; %.1f MB before start)\n",
                peakRssKb() / 1024.0, baseKb / 1024.0);

    window->hide();
    return 0;
}
