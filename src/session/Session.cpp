#include "Session.h"

#include "compare/Comparison.h"
#include "files/DosImport.h"
#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/NewSnapshot.h"
#include "sort/ColumnSorts.h"

#include <QFileInfo>
#include <optional>

namespace {
std::size_t originSlot(ListId listNo) {
    return listNo == ListId::Final ? 1 : 0;
}

// The folder a file lies in: the path without its last part and the separator before it.
QString folderOf(const QString &path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return cut >= 0 ? path.left(cut) : QString();
}
} // namespace

Session::Session(QObject *parent) : QObject(parent) {}

const QString Session::TargetRefusal = QStringLiteral(
    "Original and Final Snapshots are already loaded. You need to select either the Original or "
    "Final Snapshot tab before you can create or open another.");

void Session::setUnsaved(ListId listNo, bool unsaved) {
    list(listNo).unsaved = unsaved;
}

void Session::changed(ListId listNo) {
    Q_EMIT listChanged(listNo);
    Q_EMIT commandStatesChanged();
}

ListId Session::pickTargetList(ListId shownList) const {
    if (list(ListId::Original).isEmpty())
        return ListId::Original;
    if (list(ListId::Final).isEmpty())
        return ListId::Final;
    return Lists::isSnapshot(shownList) ? shownList : ListId::None;
}

bool Session::appends(ListId target, bool asked) const {
    return asked && !list(target).isEmpty();
}

QString Session::saveQuestion(ListId listNo) const {
    if (!list(listNo).unsaved)
        return {};
    return Workspace::listName(listNo) +
           QStringLiteral(" Snapshot has not been saved, save it now?");
}

Session::Answer Session::saveOutcome(ListId listNo, Answer asked) const {
    return asked == Answer::Yes && list(listNo).unsaved ? Answer::Cancel : asked;
}

void Session::closeSnapshot(ListId listNo) {
    SnapshotList &closed = list(listNo);
    setUnsaved(listNo, false);
    closed.description.clear();
    closed.leftOut.clear();
    closed.unreadable.clear();
    closed.clearEntries();
    for (const ListId n : Lists::Results) {
        list(n).clearEntries();
        list(n).description.clear();
    }
    m_options.reset(listNo);
    m_shiftHintTold = false;
    m_origin[originSlot(listNo)].reset();
    m_appended[originSlot(listNo)] = false;
    Q_EMIT snapshotClosed(listNo);
    changed(listNo);
    for (const ListId n : Lists::Results)
        Q_EMIT listChanged(n);
}

Session::SaveTarget Session::proposedSaveTarget(ListId listNo) const {
    const SnapshotList &saved = list(listNo);
    SaveTarget target{QStringLiteral("Save/Export ") + Workspace::tabCaption(listNo),
                      rememberedFolders[0], QString()};
    if (Lists::isSnapshot(listNo)) {
        if (saved.fileName.isEmpty()) {
            target.name = QStringLiteral("Untitled");
        } else {
            if (QFileInfo(saved.fileName).isAbsolute())
                target.folder = folderOf(saved.fileName);
            target.name = lastPathPart(saved.fileName);
        }
    } else {
        target.name = Workspace::tabCaption(listNo);
    }
    // The name stops at its first period: the dialog adds the extension of the type chosen.
    const qsizetype period = target.name.indexOf(u'.');
    if (period >= 0)
        target.name.truncate(period);
    return target;
}

void Session::rememberFileFolder(const QString &path) {
    rememberedFolders[0] = folderOf(path);
}

void Session::saved(ListId listNo, const QString &path) {
    rememberFileFolder(path);
    if (!Lists::isSnapshot(listNo))
        return;
    setUnsaved(listNo, false);
    Q_EMIT snapshotSaved(listNo);
}

const QString &Session::scanFolder(ListId listNo) const {
    return rememberedFolders[listNo == ListId::Final ? 2 : 1];
}

void Session::rememberScanFolder(ListId listNo, const QString &folder) {
    rememberedFolders[listNo == ListId::Final ? 2 : 1] = folder;
}

std::optional<QString> Session::switchScanList(ListId from, ListId to, const QString &shown,
                                               bool shared) {
    if (shared)
        return std::nullopt;
    rememberScanFolder(from, shown);
    return scanFolder(to);
}

void Session::beginScan(ListId listNo, const QString &folder) {
    list(listNo).fileName = lastPathPart(folder);
}

void Session::scanned(ListId listNo, const ScanOrigin &origin, bool append) {
    SnapshotList &snapshot = list(listNo);
    setUnsaved(listNo, true);
    if (append) {
        m_appended[originSlot(listNo)] = true;
        m_origin[originSlot(listNo)].reset();
        snapshot.description += QStringLiteral(" + ") + origin.root;
    } else {
        snapshot.description = origin.root;
        snapshot.created = DateSerial::now();
        snapshot.source = NewSnapshot::sourceText(origin.drive, origin.root);
        m_origin[originSlot(listNo)] = origin;
    }
    for (const QString &pattern : origin.exclude) {
        if (!snapshot.leftOut.contains(pattern))
            snapshot.leftOut << pattern;
    }
    changed(listNo);
    Q_EMIT snapshotTaken(listNo);
}

const SnapshotList *Session::earlierDigests(ListId listNo) const {
    const SnapshotList &original = list(ListId::Original);
    return listNo == ListId::Final && original.hasContents() ? &original : nullptr;
}

std::optional<ScanOrigin> Session::folderNowPlan(const QString &leaveOut) const {
    const std::size_t k = originSlot(ListId::Original);
    const SnapshotList &original = list(ListId::Original);
    if (original.isEmpty() || m_appended[k])
        return std::nullopt;
    // Read as it was: with contents when the Original has them.
    if (m_origin[k]) {
        ScanOrigin origin = *m_origin[k];
        origin.contents = original.hasContents();
        return origin;
    }
    ScanOrigin origin;
    origin.contents = original.hasContents();
    origin.root = NewSnapshot::rootFromSource(original.source);
    if (origin.root.isEmpty())
        return std::nullopt;
    origin.fromSource = true;
    origin.includeSubs = !NewSnapshot::takenWithoutSubfolders(original);
    origin.exclude = ExcludePatterns::split(leaveOut);
    return origin;
}

void Session::keepOptions(const CompareOptions &before, const ScanOrigin &plan) {
    const SnapshotList &final = list(ListId::Final);
    m_options = before;
    m_options.compared = false;
    if (final.findLimit(before.limitFinal) < 0)
        m_options.limitFinal.clear();
    for (const QString &pattern : plan.exclude) {
        if (!m_options.exclude.contains(pattern))
            m_options.exclude << pattern;
    }
}

void Session::aboutToFill(ListId listNo) {
    Q_EMIT listAboutToChange(listNo);
}

void Session::beginOpen(ListId listNo, const QString &path) {
    m_origin[originSlot(listNo)].reset();
    list(listNo).fileName = QFileInfo(path).absoluteFilePath();
}

void Session::opened(ListId listNo) {
    changed(listNo);
    Q_EMIT snapshotOpened(listNo);
}

void Session::imported(ListId listNo, bool failed) {
    // A listing read to its end counts as saved, as a file opened does; one that stopped part
    // way holds what was read, which closing must not lose without a word.
    setUnsaved(listNo, failed);
    changed(listNo);
    Q_EMIT snapshotTaken(listNo);
}

void Session::restored(ListId listNo) {
    setUnsaved(listNo, true);
    changed(listNo);
    Q_EMIT snapshotOpened(listNo);
}

void Session::fillFailed(ListId listNo) {
    list(listNo).clearAfterFailure();
    changed(listNo);
}

void Session::presetImportTolerance() {
    m_options.tolerance = presetTolerance(m_options.tolerance);
}

ListId Session::recoveryTarget(ListId takenFor) const {
    const ListId wanted = takenFor == ListId::Final ? ListId::Final : ListId::Original;
    if (list(wanted).isEmpty())
        return wanted;
    const ListId other = Lists::other(wanted);
    return list(other).isEmpty() ? other : ListId::None;
}

Session::CommandStates Session::commandStates(ListId shownList) const {
    CommandStates states;
    const bool entries = !list(shownList).isEmpty();
    states.saveAs = states.print = states.properties = states.exportCsv = entries;
    states.close = entries && Lists::isSnapshot(shownList);
    states.compare = !list(ListId::Original).isEmpty() && !list(ListId::Final).isEmpty();
    states.compareNow = folderNowPlan().has_value();
    states.changeSummary = m_options.compared;
    return states;
}

ListId Session::compare(Progress *progress) {
    runComparison(m_ws, m_options, progress);
    for (const ListId n : Lists::Results) {
        if (!list(n).isEmpty())
            return n;
    }
    return ListId::None;
}

void Session::finishComparison(ListId shown, bool memoryRanOut) {
    if (memoryRanOut) {
        for (const ListId n : Lists::Results)
            list(n).clearAfterFailure();
        m_options.compared = false;
    }
    // The comparison left both snapshots sorted by their match keys.
    for (const ListId n : Lists::All)
        Q_EMIT listChanged(n);
    Q_EMIT commandStatesChanged();
    if (!memoryRanOut)
        Q_EMIT compared(shown);
}

TimeShiftHint Session::takeTimeShiftHint() {
    if (m_shiftHintTold)
        return {};
    TimeShiftHint hint = detectTimeShift(list(ListId::Changed), m_options);
    m_shiftHintTold = hint.kind != TimeShiftHint::None;
    return hint;
}

void Session::inFolderOrder(ListId listNo, const std::function<void()> &print) {
    SnapshotList &printed = list(listNo);
    // An unsorted list has no sort to go back to, so its order is kept aside.
    const SortState before = printed.sort;
    std::optional<SnapshotList> unsorted;
    if (!before.sorted())
        unsorted = printed;
    sortList(printed, Col::InFolder, 0);
    print();
    if (unsorted)
        printed = std::move(*unsorted);
    else
        sortList(printed, before.key, before.order);
    Q_EMIT listChanged(listNo);
}

qsizetype Session::unstorableAt(QStringView description) {
    for (qsizetype i = 0; i < description.size(); ++i) {
        const QChar c = description[i];
        if (c == u'"' || c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator ||
            c == QChar::LineSeparator)
            return i;
    }
    return -1;
}

void Session::setDescription(ListId listNo, const QString &text, bool edited) {
    list(listNo).description = text;
    if (edited)
        setUnsaved(listNo, true);
    if (m_options.compared)
        setResultDescriptions(m_ws, m_options);
    Q_EMIT commandStatesChanged();
}
