#include "CompareCommands.h"

#include "AppSettings.h"
#include "BusyPointer.h"
#include "CommandHost.h"
#include "FileCommands.h"
#include "Prompts.h"
#include "compare/Comparison.h"
#include "dialogs/CompareDialog.h"
#include "dialogs/NewSnapshotDialog.h"
#include "dialogs/NewSnapshotState.h"
#include "files/FileError.h"
#include "session/Session.h"
#include "snapshot/ContentsHasher.h"
#include "snapshot/DirectoryReader.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/LargeBlocks.h"
#include "snapshot/NewSnapshot.h"
#include "snapshot/Progress.h"
#include "snapshot/RootPackages.h"
#include "snapshot/Scanner.h"
#include "sort/ColumnSorts.h"

#include <QFile>
#include <QSettings>

CompareCommands::CompareCommands(CommandHost &host, FileCommands &files, NewSnapshotState &state,
                                 QSettings &settings)
    : QObject(&host), m_host(host), m_session(host.session()), m_files(files), m_state(state),
      m_settings(settings) {}

// ---------------------------------------------------------------------------------------------
// New

void CompareCommands::newSnapshot() {
    const ListId picked = m_files.pickTargetList();
    if (picked == ListId::None)
        return;
    if (!m_create) {
        m_create = new NewSnapshotDialog(
            m_session, [this](ListId n) { m_host.show(n); }, m_state.separate, m_host.window());
        m_create->setOtherVolumes(m_state.otherVolumes);
        m_create->setLeaveOut(m_state.leaveOut);
        m_create->setContents(m_state.contents);
    }
    m_create->run(picked);
    const bool confirmed = m_create->confirmed();
    m_state.separate = m_create->separate();
    m_state.otherVolumes = m_create->otherVolumes();
    m_state.leaveOut = m_create->leaveOut();
    m_state.contents = m_create->contents();
    const bool openExisting = m_create->openExistingChosen();
    const ListId target = m_create->whichList();
    const QString folder = m_create->snapPath();
    const bool append = m_session.appends(target, m_create->appendTo());
    const bool includeSubs = m_create->includeSubs();
    const QString drive = m_create->driveText();
    writeNewSnapshotOptions();
    m_create->closed();
    if (openExisting) {
        m_files.openSnapshot(QString());
        return;
    }
    if (!confirmed)
        return;
    m_host.repaint();

    // The new name is taken only once the old snapshot is given up: saving it through the
    // question proposes its own name, and a Cancel leaves it as it was.
    if (!append && m_files.querySave(target) == QMessageBox::Cancel)
        return;
    ScanOrigin origin;
    origin.root = NewSnapshot::rootOf(folder);
    origin.drive = drive;
    origin.includeSubs = includeSubs;
    origin.otherVolumes = m_state.otherVolumes;
    origin.contents = m_state.contents;
    origin.exclude = ExcludePatterns::split(m_state.leaveOut);
    m_session.beginScan(target, folder);
    scanInto(target, origin, append);
}

bool CompareCommands::scanInto(ListId target, const ScanOrigin &origin, bool append) {
    SnapshotList &list = m_session.list(target);
    const qsizetype unreadBefore = list.unreadable.size();
    const int entriesBefore = append ? list.size() : 0;
    QStringList unreadFiles;
    m_host.say(origin.root);
    Progress progress;
    {
        BusyPointer busy;
        const bool read = m_files.fillList(target, progress, true, [&] {
            const std::unique_ptr<DirectoryReader> reader =
                makeDirectoryReader(origin.otherVolumes);
            // What a scan adds comes from another root, which the owners looked up do not
            // cover.
            list.setPackages(nullptr, {});
            Scanner scanner(*reader);
            scanner.setExclusions(ExcludePatterns(origin.exclude));
            scanner.setKeepChangeTimes(origin.contents);
            if (origin.nativeRoot.isEmpty())
                scanner.readDirectory(origin.root, list, origin.includeSubs, &progress);
            else
                scanner.readDirectory(origin.nativeRoot, origin.root, list, origin.includeSubs,
                                      &progress);
            const QByteArray root =
                origin.nativeRoot.isEmpty() ? QFile::encodeName(origin.root) : origin.nativeRoot;
            if (origin.contents && !progress.cancelled()) {
                progress.count = 0;
                progress.setText(QStringLiteral("Reading the contents of the files..."));
                ContentsHasher hasher;
                hasher.reuseFrom(m_session.earlierDigests(target));
                hasher.hash(root, list, ContentsHasher::threadsFor(root), &progress, entriesBefore);
                unreadFiles = hasher.unreadable();
            }
            if (!append)
                RootPackages::attach(list, root);
            resort(list);
        });
        if (!read)
            return false;
    }
    m_session.scanned(target, origin, append);
    m_host.show(target);
    if (progress.cancelled()) {
        m_host.say(QStringLiteral("The scan was cancelled; the snapshot holds the %1 entries "
                                  "read so far")
                       .arg(m_host.formatter().sizeText(std::uint64_t(list.size()))));
    }
    // Folders listed as empty that may not be: a later comparison would show their files as
    // added, so the user hears of them once, now.
    if (list.unreadable.size() > unreadBefore) {
        const QStringList unread = list.unreadable.mid(unreadBefore);
        m_host.tell(NewSnapshot::unreadableCount(unread.size()) + QStringLiteral(":\n") +
                    NewSnapshot::unreadablePaths(origin.root, unread, 10).join(u'\n') +
                    QStringLiteral("\n\nThe snapshot lists them as empty."));
    }
    if (!unreadFiles.isEmpty()) {
        m_host.tell(
            (unreadFiles.size() == 1
                 ? QStringLiteral("1 file could not be read:\n")
                 : QStringLiteral("%1 files could not be read:\n").arg(unreadFiles.size())) +
            NewSnapshot::unreadablePaths(origin.root, unreadFiles, 10).join(u'\n') +
            QStringLiteral("\n\nThe snapshot holds no digest of their contents."));
    }
    return !progress.cancelled();
}

// The dialog's own options are written as soon as it closes, not only at exit.
void CompareCommands::writeNewSnapshotOptions() {
    AppSettings::writeFlag(m_settings, SettingsKey::Separate, m_state.separate);
    AppSettings::writeFlag(m_settings, SettingsKey::OtherVolumes, m_state.otherVolumes);
    AppSettings::writeText(m_settings, SettingsKey::LeaveOut, m_state.leaveOut);
    AppSettings::writeFlag(m_settings, SettingsKey::Contents, m_state.contents);
}

// ---------------------------------------------------------------------------------------------
// Compare with Folder Now

void CompareCommands::compareWithFolderNow() {
    std::optional<ScanOrigin> plan = m_session.folderNowPlan(m_state.leaveOut);
    if (!plan)
        return;
    if (plan->fromSource)
        plan->drive = NewSnapshot::volumeText(plan->root);
    const CompareOptions options = m_session.options();
    if (m_files.querySave(ListId::Final) == QMessageBox::Cancel)
        return;
    m_host.repaint();
    m_session.beginScan(ListId::Final, plan->root);
    const bool complete = scanInto(ListId::Final, *plan, false);
    // The same folder read again: the options the user set still hold.
    m_session.keepOptions(options, *plan);
    // Half a folder would show the rest as gone; the user sees the cancelled scan instead.
    if (complete)
        compareAndOffer();
    else
        m_host.say(QStringLiteral("The scan was cancelled, so nothing was compared"));
}

// ---------------------------------------------------------------------------------------------
// Compare

CompareDialog *CompareCommands::compareDialog() {
    if (!m_compareDialog)
        m_compareDialog = new CompareDialog(m_host.window());
    return m_compareDialog;
}

void CompareCommands::compare() {
    CompareDialog *dialog = compareDialog();
    // The options may have been reset or changed since the last showing.
    dialog->load(m_session.workspace(), m_session.options());
    const bool ok = dialog->exec() == QDialog::Accepted;
    // Cancel keeps whatever the user changed, as OK does.
    dialog->store(m_session.options());
    AppSettings::writeFlag(m_settings, SettingsKey::FindMoves, m_session.options().findMoves);
    if (ok)
        compareAndOffer();
}

void CompareCommands::compareAndOffer() {
    if (!compareNow())
        return;
    const TimeShiftHint hint = m_session.takeTimeShiftHint();
    if (hint.kind != TimeShiftHint::None &&
        m_host.prompts().message(m_host.window(), QStringLiteral("Vistrel"),
                                 hint.message() + QStringLiteral("\n\n") + hint.offer(),
                                 QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes) {
        acceptTimeShift(hint, m_session.options());
        compareNow();
    }
}

bool CompareCommands::compareNow() {
    ListId shown = ListId::None;
    bool done = false;
    m_host.say(QStringLiteral("Comparing..."));
    {
        BusyPointer busy;
        // Two million-entry snapshots take a while: the window stays painted meanwhile,
        // and the views keep off the lists the comparison rewrites.
        for (const ListId n : Lists::All)
            m_session.aboutToFill(n);
        // The count panel shows the walk's progress from the start.
        Progress progress;
        progress.total =
            m_session.list(ListId::Original).size() + m_session.list(ListId::Final).size();
        done = m_host.runJob(progress, false, [&] { shown = m_session.compare(&progress); });
        m_session.finishComparison(shown, !done);
        // The comparison's working memory was freed on three threads and the views' old rows
        // with it: all of it goes back now, not when the program ends.
        releaseFreeMemory();
    }
    m_host.say(QString());
    if (!done)
        m_host.reportFileError(FileError::fromCode(FileError::OutOfMemory));
    else if (shown != ListId::None)
        m_host.show(shown);
    else
        m_host.tell(QLatin1String(NoDifferences));
    return done;
}
