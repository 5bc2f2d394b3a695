#include "NewSnapshotDialog.h"

#include "session/Session.h"
#include "snapshot/Attributes.h"
#include "snapshot/Volumes.h"
#include "widgets/FixedDialog.h"
#include "widgets/Twips.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int DepthRole = Qt::UserRole + 1;

// Indents each folder by its depth below the file system's root, so that the folder list
// reads as the branch from the root down to the current folder.
class FolderDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex &index) { return index.data(DepthRole).toInt() * 12; }
};

QString cleanFolder(const QString &folder) {
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(folder)).absoluteFilePath());
}

QLabel *labelFor(QWidget *buddy, const QString &caption) {
    auto *label = new QLabel(caption, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

} // namespace

NewSnapshotDialog::NewSnapshotDialog(Session &session, std::function<void(ListId)> selectTab,
                                     bool separate, QWidget *parent,
                                     std::shared_ptr<Volumes> volumes)
    : QDialog(parent, FixedDialog::Flags), m_session(session), m_selectTab(std::move(selectTab)),
      m_volumes(volumes ? std::move(volumes) : Volumes::platform()) {
    setObjectName(QStringLiteral("Create"));
    setWindowTitle(QStringLiteral("Create new Snapshot"));

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("SnapPath"));
    m_path->setEnabled(false);

    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("DriveList"));
    // Long mount points must not widen the fixed-size dialog.
    m_drives->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_drives->setMinimumContentsLength(16);
    connect(m_drives, &QComboBox::activated, this, &NewSnapshotDialog::driveChosen);

    m_dirs = new QListWidget(this);
    m_dirs->setObjectName(QStringLiteral("DirList"));
    m_dirs->setItemDelegate(new FolderDelegate(m_dirs));
    m_dirs->setSelectionMode(QAbstractItemView::SingleSelection);
    m_dirs->setUniformItemSizes(true);
    m_dirs->installEventFilter(this);
    // Not `activated`: some styles activate on a single click, and a click only highlights.
    connect(m_dirs, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { openItem(item); });

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OK"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &NewSnapshotDialog::okClicked);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, this, &NewSnapshotDialog::reject);
    for (QPushButton *button : {m_ok, cancel})
        button->setMinimumWidth(Twips::toPixels(1095, this));

    auto *frame = new QGroupBox(this);
    auto *options = new QButtonGroup(this);
    const QString captions[2] = {QStringLiteral("&Original Snapshot"),
                                 QStringLiteral("&Final Snapshot")};
    auto *frameLayout = new QVBoxLayout(frame);
    for (int i = 1; i <= 2; ++i) {
        QRadioButton *option = m_which[i - 1] = new QRadioButton(captions[i - 1], frame);
        option->setObjectName(QStringLiteral("WhichList%1").arg(i));
        options->addButton(option, i);
        frameLayout->addWidget(option);
    }
    m_which[0]->setChecked(true);
    connect(options, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            listChosen(Lists::atIndex(std::size_t(id - 1)));
    });

    m_includeSubs = new QCheckBox(QStringLiteral("&Include subdirectories"), this);
    m_includeSubs->setObjectName(QStringLiteral("IncludeSubs"));
    m_includeSubs->setChecked(true);
    m_otherVolumes = new QCheckBox(QStringLiteral("Include other &volumes"), this);
    m_otherVolumes->setObjectName(QStringLiteral("OtherVolumes"));
    m_otherVolumes->setToolTip(
        QStringLiteral("Also read the disks mounted in folders below this one; the system's own "
                       "file systems (/proc, /sys, /dev, /run) are never read"));
    // Without subfolders there is no volume below the folder to go into.
    connect(m_includeSubs, &QCheckBox::toggled, m_otherVolumes, &QWidget::setEnabled);
    m_contents = new QCheckBox(QStringLiteral("Record file &contents (SHA-256)"), this);
    m_contents->setObjectName(QStringLiteral("Contents"));
    m_contents->setToolTip(QStringLiteral(
        "Read every file and keep its SHA-256 digest, so that a comparison finds contents that "
        "changed even where the size and the time did not. Takes as long as reading the files."));
    m_appendTo = new QCheckBox(QStringLiteral("&Append to current Snapshot"), this);
    m_appendTo->setObjectName(QStringLiteral("AppendTo"));
    m_appendTo->setEnabled(false);
    m_openExisting = new QPushButton(QStringLiteral("Open an &existing Snapshot..."), this);
    m_openExisting->setObjectName(QStringLiteral("OpenExisting"));
    connect(m_openExisting, &QPushButton::clicked, this, &NewSnapshotDialog::openExistingClicked);
    m_separate =
        new QCheckBox(QStringLiteral("Do&n't remember Original and Final paths separately"), this);
    m_separate->setObjectName(QStringLiteral("Separate"));
    m_separate->setChecked(separate);
    m_leaveOut = new QLineEdit(this);
    m_leaveOut->setObjectName(QStringLiteral("LeaveOut"));
    m_leaveOut->setPlaceholderText(
        QStringLiteral("for example  *.tmp; var\\cache\\; **\\__pycache__\\"));
    m_leaveOut->setToolTip(
        QStringLiteral("Paths below the folder that the snapshot leaves out, separated by \";\": "
                       "* stands for any characters within a name, ** for any folders, and a "
                       "trailing \\ for a folder and all below it. A folder left out is not "
                       "read at all."));

    auto *right = new QVBoxLayout;
    right->addWidget(frame);
    right->addWidget(m_includeSubs);
    right->addWidget(m_otherVolumes);
    right->addWidget(m_appendTo);
    right->addStretch();
    right->addWidget(m_openExisting);

    auto *grid = new QGridLayout(this);
    grid->addWidget(labelFor(m_path, QStringLiteral("Path:")), 0, 0, 1, 2);
    grid->addWidget(m_path, 1, 0);
    grid->addWidget(m_ok, 1, 1, Qt::AlignRight);
    grid->addWidget(labelFor(m_drives, QStringLiteral("&Drives:")), 2, 0);
    grid->addWidget(cancel, 2, 1, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(m_drives, 3, 0);
    grid->addWidget(labelFor(m_dirs, QStringLiteral("Fo&lders:")), 4, 0);
    grid->addWidget(m_dirs, 5, 0);
    grid->addLayout(right, 5, 1);
    grid->addWidget(m_separate, 6, 0, 1, 2);
    auto *leaveOutRow = new QHBoxLayout;
    leaveOutRow->addWidget(labelFor(m_leaveOut, QStringLiteral("Leave o&ut:")));
    leaveOutRow->addWidget(m_leaveOut, 1);
    grid->addLayout(leaveOutRow, 7, 0, 1, 2);
    grid->addWidget(m_contents, 8, 0, 1, 2);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnMinimumWidth(1, Twips::toPixels(2535, this));

    setTabOrder(m_drives, m_dirs);
    setTabOrder(m_dirs, m_ok);
    setTabOrder(m_ok, cancel);
    setTabOrder(cancel, m_which[0]);
    setTabOrder(m_which[0], m_which[1]);
    setTabOrder(m_which[1], m_includeSubs);
    setTabOrder(m_includeSubs, m_otherVolumes);
    setTabOrder(m_otherVolumes, m_appendTo);
    setTabOrder(m_appendTo, m_openExisting);
    setTabOrder(m_openExisting, m_separate);
    setTabOrder(m_separate, m_leaveOut);
    setTabOrder(m_leaveOut, m_contents);

    // Where the process started, or a folder that can be shown when that one is gone.
    for (const QString &start : {QDir::currentPath(), QDir::homePath(), QDir::rootPath()}) {
        if (openFolder(start))
            break;
    }
    fillDriveList();

    // Larger fonts than the layout was drawn for widen the dialog rather than clip captions.
    setFixedSize(Twips::toPixels(7305, 4350, this).expandedTo(minimumSizeHint()));
}

NewSnapshotDialog::~NewSnapshotDialog() = default;

void NewSnapshotDialog::run(ListId listNo) {
    const ListId n = listNo == ListId::Final ? ListId::Final : ListId::Original;
    m_confirmed = false;
    m_openExistingChosen = false;
    // A stick may have come or gone since the last use.
    fillDriveList();
    m_which[Lists::indexOf(n)]->setChecked(true);
    // The list may have been loaded or closed since the option was last selected.
    enableAppendTo(n);

    openFolder(m_session.scanFolder(n));
    m_folderShown = true;
    followFolder();
    m_includeSubs->setChecked(true);
    m_appendTo->setChecked(false);
    m_ok->setFocus();
    exec();
}

ListId NewSnapshotDialog::whichList() const {
    return m_which[1]->isChecked() ? ListId::Final : ListId::Original;
}

QString NewSnapshotDialog::snapPath() const {
    return m_path->text();
}

bool NewSnapshotDialog::otherVolumes() const {
    return m_otherVolumes->isChecked();
}

QString NewSnapshotDialog::leaveOut() const {
    return m_leaveOut->text();
}

void NewSnapshotDialog::setLeaveOut(const QString &text) {
    m_leaveOut->setText(text);
}

void NewSnapshotDialog::setOtherVolumes(bool on) {
    m_otherVolumes->setChecked(on);
}

bool NewSnapshotDialog::contents() const {
    return m_contents->isChecked();
}

void NewSnapshotDialog::setContents(bool on) {
    m_contents->setChecked(on);
}

bool NewSnapshotDialog::appendTo() const {
    return m_appendTo->isChecked();
}

bool NewSnapshotDialog::includeSubs() const {
    return m_includeSubs->isChecked();
}

QString NewSnapshotDialog::driveText() const {
    return m_drives->currentText();
}

bool NewSnapshotDialog::separate() const {
    return m_separate->isChecked();
}

void NewSnapshotDialog::closed() {
    m_confirmed = false;
    m_openExistingChosen = false;
}

void NewSnapshotDialog::reject() {
    m_confirmed = false;
    QDialog::reject();
}

void NewSnapshotDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // Only now has the folder list its height.
    revealFolder();
}

bool NewSnapshotDialog::eventFilter(QObject *watched, QEvent *event) {
    // Enter opens the highlighted folder; it must not reach the default button as well.
    if (watched == m_dirs && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openItem(m_dirs->currentItem());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NewSnapshotDialog::listChosen(ListId i) {
    enableAppendTo(i);
    if (m_selectTab)
        m_selectTab(i);
    // Until it has been shown, the dialog's folder is nobody's to remember.
    const ListId other = Lists::other(i);
    const QString shown = m_folderShown ? snapPath() : m_session.scanFolder(other);
    if (const auto folder = m_session.switchScanList(other, i, shown, m_separate->isChecked())) {
        openFolder(*folder);
        followFolder();
    }
}

void NewSnapshotDialog::driveChosen(int index) {
    const QString root = m_drives->itemData(index).toString();
    if (root == m_driveRoot)
        return;
    // A volume that cannot be read (no medium, no permission) leaves the folder where it was.
    openFolder(root);
    followFolder();
}

void NewSnapshotDialog::folderChosen() {
    m_path->setText(QDir::toNativeSeparators(m_folder));
}

void NewSnapshotDialog::okClicked() {
    m_session.rememberScanFolder(whichList(), snapPath());
    m_confirmed = true;
    accept();
}

void NewSnapshotDialog::openExistingClicked() {
    m_confirmed = false;
    m_openExistingChosen = true;
    QDialog::reject();
}

bool NewSnapshotDialog::openFolder(const QString &folder) {
    if (folder.isEmpty())
        return false;
    const QString clean = cleanFolder(folder);
    if (!m_volumes->canList(clean))
        return false;
    m_folder = clean;
    fillFolderList();
    folderChosen();
    return true;
}

void NewSnapshotDialog::openItem(const QListWidgetItem *item) {
    if (item)
        openFolder(item->data(PathRole).toString());
}

void NewSnapshotDialog::fillFolderList() {
    QStringList branch;
    for (QString folder = m_folder;;) {
        branch.prepend(folder);
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder || QDir(folder).isRoot())
            break;
        folder = parent;
    }

    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [&](const QString &path, int depth, const QIcon &icon) {
        const QString name =
            QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
        auto *item = new QListWidgetItem(icon, name, m_dirs);
        item->setData(PathRole, path);
        item->setData(DepthRole, depth);
        item->setData(Qt::AccessibleTextRole, name);
        item->setData(Qt::AccessibleDescriptionRole, QDir::toNativeSeparators(path));
        item->setToolTip(QDir::toNativeSeparators(path));
        return item;
    };

    m_dirs->clear();
    for (int depth = 0; depth < branch.size(); ++depth)
        add(branch[depth], depth, open);
    QListWidgetItem *current = m_dirs->item(m_dirs->count() - 1);
    const QDir dir(m_folder);
    const QStringList subfolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                                 QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString &name : subfolders)
        add(QDir::cleanPath(dir.filePath(name)), static_cast<int>(branch.size()), closed);
    m_dirs->setCurrentItem(current);
    revealFolder();
}

void NewSnapshotDialog::revealFolder() {
    // The branch above the folder stays in sight as far as the list's height allows.
    m_dirs->scrollToTop();
    m_dirs->scrollToItem(m_dirs->currentItem());
}

void NewSnapshotDialog::fillDriveList() {
    const QIcon icon = style()->standardIcon(QStyle::SP_DriveHDIcon);
    m_drives->clear();
    for (const Volumes::Volume &volume : m_volumes->mounted())
        m_drives->addItem(icon, volume.text(), volume.root);
    m_driveRoot.clear();
    followFolder();
}

void NewSnapshotDialog::followFolder() {
    const QString root = m_volumes->volumeOf(m_folder);
    const int index = m_drives->findData(root);
    if (index < 0)
        return;
    m_drives->setCurrentIndex(index);
    m_driveRoot = root;
}

void NewSnapshotDialog::enableAppendTo(ListId listNo) {
    m_appendTo->setEnabled(!m_session.list(listNo).isEmpty());
}
