#include "Session.h"

#include "compare/Comparison.h"
#include "files/DosImport.h"
#include "snapshot/Attributes.h"
#include "snapshot/DateSerial.h"
#include "snapshot/EntryFormat.h"
#include "snapshot/NewSnapshot.h"
#include "sort/ColumnSorts.h"

#include <QFileInfo>
#include <optional>

namespace {
bool isSnapshotList(int n) {
    return n == ListNo::Original || n == ListNo::Final;
}

std::size_t originSlot(int listNo) {
    return listNo == ListNo::Final ? 1 : 0;
}

// The folder a file lies in: the path without its last part and the separator before it.
QString folderOf(const QString &path) {
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return cut >= 0 ? path.left(cut) : QString();
}
} // namespace

const QString Session::TargetRefusal = QStringLiteral(
    "Original and Final Snapshots are already loaded. You need to select either the Original or "
    "Final Snapshot tab before you can create or open another.");

int Session::PickTargetList(int shownList) const {
    if (list(ListNo::Original).isEmpty())
        return ListNo::Original;
    if (list(ListNo::Final).isEmpty())
        return ListNo::Final;
    return isSnapshotList(shownList) ? shownList : 0;
}

QString Session::saveQuestion(int listNo) const {
    if (!list(listNo).unsaved)
        return {};
    return Workspace::ListName(listNo) +
           QStringLiteral(" Snapshot has not been saved, save it now?");
}

void Session::CloseSnapshot(int listNo) {
    SnapshotList &closed = list(listNo);
    closed.unsaved = false;
    closed.description.clear();
    closed.leftOut.clear();
    closed.unreadable.clear();
    closed.clearEntries();
    for (int n = ListNo::OnlyInOriginal; n <= ListNo::Unchanged; ++n) {
        list(n).clearEntries();
        list(n).description.clear();
    }
    m_options.reset(listNo);
    m_shiftHintTold = false;
    m_origin[originSlot(listNo)].reset();
    m_appended[originSlot(listNo)] = false;
}

Session::SaveTarget Session::proposedSaveTarget(int listNo) const {
    const SnapshotList &saved = list(listNo);
    SaveTarget target{QStringLiteral("Save/Export ") + Workspace::TabCaption(listNo), DefPath[0],
                      QString()};
    if (isSnapshotList(listNo)) {
        if (saved.fileName.isEmpty()) {
            target.name = QStringLiteral("Untitled");
        } else {
            if (QFileInfo(saved.fileName).isAbsolute())
                target.folder = folderOf(saved.fileName);
            target.name = LastPathPart(saved.fileName);
        }
    } else {
        target.name = Workspace::TabCaption(listNo);
    }
    // The name stops at its first period: the dialog adds the extension of the type chosen.
    const qsizetype period = target.name.indexOf(u'.');
    if (period >= 0)
        target.name.truncate(period);
    return target;
}

void Session::rememberFileFolder(const QString &path) {
    DefPath[0] = folderOf(path);
}

const QString &Session::scanFolder(int listNo) const {
    return DefPath[static_cast<std::size_t>(listNo == ListNo::Final ? 2 : 1)];
}

void Session::rememberScanFolder(int listNo, const QString &folder) {
    DefPath[static_cast<std::size_t>(listNo == ListNo::Final ? 2 : 1)] = folder;
}

std::optional<QString> Session::switchScanList(int from, int to, const QString &shown,
                                               bool shared) {
    if (shared)
        return std::nullopt;
    rememberScanFolder(from, shown);
    return scanFolder(to);
}

void Session::beginScan(int listNo, const QString &folder) {
    list(listNo).fileName = LastPathPart(folder);
}

void Session::scanned(int listNo, const QString &root, const QString &drive, bool append) {
    SnapshotList &snapshot = list(listNo);
    snapshot.unsaved = true;
    if (append) {
        m_appended[originSlot(listNo)] = true;
        m_origin[originSlot(listNo)].reset();
        snapshot.description += QStringLiteral(" + ") + root;
    } else {
        snapshot.description = root;
        snapshot.created = DateSerial::now();
        snapshot.source = NewSnapshot::sourceText(drive, root);
    }
}

void Session::rememberScan(int listNo, const ScanOrigin &origin) {
    m_origin[originSlot(listNo)] = origin;
}

std::optional<ScanOrigin> Session::folderNowPlan() const {
    const std::size_t k = originSlot(ListNo::Original);
    if (list(ListNo::Original).isEmpty() || m_appended[k])
        return std::nullopt;
    if (m_origin[k])
        return m_origin[k];
    ScanOrigin origin;
    origin.root = NewSnapshot::rootFromSource(list(ListNo::Original).source);
    if (origin.root.isEmpty())
        return std::nullopt;
    origin.fromSource = true;
    return origin;
}

void Session::keepOptions(const CompareOptions &before) {
    const SnapshotList &final = list(ListNo::Final);
    m_options = before;
    m_options.compared = false;
    if (final.findLimit(before.limitFinal) < 0)
        m_options.limitFinal.clear();
}

void Session::beginOpen(int listNo, const QString &path) {
    m_origin[originSlot(listNo)].reset();
    list(listNo).fileName = QFileInfo(path).absoluteFilePath();
}

void Session::presetImportTolerance() {
    m_options.tolerance = presetTolerance(m_options.tolerance);
}

Session::CommandStates Session::commandStates(int shownList) const {
    CommandStates states;
    const bool entries = !list(shownList).isEmpty();
    states.saveAs = states.print = states.properties = states.exportCsv = entries;
    states.close = entries && isSnapshotList(shownList);
    states.compare = !list(ListNo::Original).isEmpty() && !list(ListNo::Final).isEmpty();
    states.compareNow = folderNowPlan().has_value();
    return states;
}

int Session::compare(Progress *progress) {
    return RunComparison(m_ws, m_options, progress);
}

TimeShiftHint Session::takeTimeShiftHint() {
    if (m_shiftHintTold)
        return {};
    TimeShiftHint hint = detectTimeShift(list(ListNo::Changed), m_options);
    m_shiftHintTold = hint.kind != TimeShiftHint::None;
    return hint;
}

void Session::inFolderOrder(int listNo, const std::function<void()> &print) {
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

void Session::setDescription(int listNo, const QString &text, bool edited) {
    list(listNo).description = text;
    if (edited)
        list(listNo).unsaved = true;
    if (m_options.compared)
        SetResultDescriptions(m_ws, m_options);
}
