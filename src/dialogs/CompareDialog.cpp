#include "CompareDialog.h"

#include "compare/CompareOptions.h"
#include "snapshot/ExcludePatterns.h"
#include "snapshot/Workspace.h"
#include "widgets/FixedDialog.h"
#include "widgets/Icons.h"
#include "widgets/Twips.h"

#include <QAbstractListModel>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <climits>

// The folders of a snapshot to limit the comparison to. A snapshot may name thousands of folders
// of long paths: each text is made when a row is shown, never all of them at once.
class LimitModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void show(const SnapshotList &list) {
        beginResetModel();
        m_list = &list;
        m_rows = static_cast<int>(std::min<std::size_t>(list.limits.size(), INT_MAX));
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    QVariant data(const QModelIndex &index, int role) const override {
        // The list may have changed since it was shown: a row it no longer holds shows nothing.
        if (!m_list || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole) ||
            static_cast<std::size_t>(index.row()) >= m_list->limits.size())
            return {};
        return m_list->limitText(static_cast<std::size_t>(index.row()));
    }

private:
    const SnapshotList *m_list = nullptr;
    int m_rows = 0;
};

namespace {

QRect twipsRect(const QWidget *w, int left, int top, int width, int height) {
    return {Twips::toPixels(left, w), Twips::toPixels(top, w), Twips::toPixels(width, w),
            Twips::toPixels(height, w)};
}

template <typename W> W *placed(W *widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(widget, left, top, width, height));
    return widget;
}

QLabel *label(const QString &text, QWidget *parent, QWidget *buddy, int left, int top, int width,
              int height) {
    auto *l = placed(new QLabel(text, parent), left, top, width, height);
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

constexpr int ExtraRow = 360;
// Below the options, the patterns of what the comparison leaves out.
constexpr int LeaveOutRow = 420;
// Below them, the details to ignore: a caption and two rows.
constexpr int DetailsRows = 1140;
// Below them, whether to look for moves.
constexpr int MovesRow = 360;

// The details, as the check boxes name them, and the options they set.
struct DetailOption {
    const char *caption;
    const char *name;
    bool CompareOptions::*ignored;
};
constexpr DetailOption DetailOptions[CompareDialog::DetailCount] = {
    {"Per&missions", "IgnoreMode", &CompareOptions::ignoreMode},
    {"O&wner", "IgnoreOwner", &CompareOptions::ignoreOwner},
    {"&Group", "IgnoreGroup", &CompareOptions::ignoreGroup},
    {"Lin&k target", "IgnoreLink", &CompareOptions::ignoreLink},
    {"Capa&bilities", "IgnoreCapability", &CompareOptions::ignoreCapability},
    {"C&ontents", "IgnoreContents", &CompareOptions::ignoreContents}};

} // namespace

CompareDialog::CompareDialog(QWidget *parent) : QDialog(parent, FixedDialog::Flags) {
    setObjectName(QStringLiteral("Compare"));
    setWindowTitle(QStringLiteral("Compare SnapShots"));
    // Taller than the other options need by one row, for the shifts of whole hours.
    setFixedSize(
        Twips::toPixels(6570, 6075 + ExtraRow + LeaveOutRow + DetailsRows + MovesRow, this));

    // Widgets are made in the order the Tab key visits them.
    const char *frames[2] = {"Original Snapshot", "Final Snapshot"};
    const char *limitCaptions[2] = {"&Limit comparison to:", "L&imit comparison to:"};
    for (const ListId list : Lists::Snapshots) {
        const std::size_t k = Lists::indexOf(list);
        const QString name = QLatin1String(frames[k]);
        auto *frame =
            placed(new QGroupBox(name, this), 240, 120 + 1800 * static_cast<int>(k), 6135, 1575);

        QLineEdit *path = placed(new QLineEdit(frame), 240, 360, 5655, 285);
        path->setObjectName(QStringLiteral("SnapPath%1").arg(k + 1));
        path->setAccessibleName(name + QStringLiteral(" description"));
        path->setReadOnly(true);
        // Only shows the description, so Tab passes it by.
        path->setFocusPolicy(Qt::ClickFocus);
        QPalette palette = path->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        path->setPalette(palette);
        m_snapPath[k] = path;

        auto *limits = new LimitModel(this);
        auto *combo = placed(new QComboBox(frame), 240, 1080, 5655, 315);
        combo->setObjectName(QStringLiteral("LimitedTo%1").arg(k + 1));
        combo->setAccessibleName(name + QStringLiteral(": limit comparison to"));
        combo->setEditable(false);
        // A snapshot may have tens of thousands of folders: no width is measured over all of
        // them, and the list below asks for one row's height only.
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMaxVisibleItems(20);
        combo->setModel(limits);
        if (auto *view = qobject_cast<QListView *>(combo->view()))
            view->setUniformItemSizes(true);
        label(QLatin1String(limitCaptions[k]), frame, combo, 240, 840, 5655, 255);
        m_limits[k] = limits;
        m_limitedTo[k] = combo;
    }

    auto *ignore =
        placed(new QGroupBox(QStringLiteral("Ignore:"), this), 240, 3720, 4215, 2175 + ExtraRow);
    m_ignoreStamp =
        placed(new QCheckBox(QStringLiteral("&Date/Time"), ignore), 240, 360, 1215, 255);
    m_ignoreStamp->setObjectName(QStringLiteral("IgnoreStamp"));
    m_ignoreSize = placed(new QCheckBox(QStringLiteral("File &Size"), ignore), 240, 720, 1215, 255);
    m_ignoreSize->setObjectName(QStringLiteral("IgnoreSize"));

    m_timeTolerance = placed(new QLineEdit(QStringLiteral("0"), ignore), 240, 1680, 975, 285);
    m_timeTolerance->setObjectName(QStringLiteral("TimeTolerance"));
    m_timeTolerance->setAccessibleName(QStringLiteral("Time difference tolerance in minutes"));
    label(QStringLiteral("+/- min"), ignore, nullptr, 1320, 1680, 735, 255);
    m_ignoreHourShifts =
        placed(new QCheckBox(QStringLiteral("Ignore shifts of whole &hours"), ignore), 240, 2040,
               3735, 255);
    m_ignoreHourShifts->setObjectName(QStringLiteral("IgnoreHourShifts"));
    m_ignoreHourShifts->setToolTip(
        QStringLiteral("Times a whole number of hours apart (up to 14), within the tolerance, "
                       "count as the same: daylight saving time and FAT or exFAT drives shift "
                       "them so."));

    // The attribute list stands right of the tolerance's caption, however wide the font makes
    // that caption; the frame widens with it.
    auto *toleranceCaption = label(QStringLiteral("&Time difference tolerance:"), ignore,
                                   m_timeTolerance, 240, 1440, 1935, 255);
    toleranceCaption->resize(
        std::max(toleranceCaption->width(), toleranceCaption->sizeHint().width()),
        toleranceCaption->height());
    const int attrLeft =
        std::max(Twips::toPixels(2400, this),
                 toleranceCaption->geometry().right() + Twips::toPixels(120, this));
    ignore->resize(std::max(ignore->width(), attrLeft + Twips::toPixels(1455 + 240, this)),
                   ignore->height());
    m_ignoreAttr = placed(new QListWidget(ignore), 2400, 600, 1455, 1410);
    m_ignoreAttr->move(attrLeft, m_ignoreAttr->y());
    m_ignoreAttr->setObjectName(QStringLiteral("IgnoreAttr"));
    m_ignoreAttr->setAccessibleName(QStringLiteral("File attributes to ignore"));
    for (const char *text : IgnoreAttrItems) {
        auto *item = new QListWidgetItem(QLatin1String(text), m_ignoreAttr);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    label(QStringLiteral("File &Attributes:"), ignore, m_ignoreAttr, 2400, 360, 1455, 255)
        ->move(attrLeft, Twips::toPixels(360, this));

    const int leaveOutTop = 3720 + 2175 + ExtraRow + 120;
    m_leaveOut = placed(new QLineEdit(this), 1440, leaveOutTop, 4935, 285);
    m_leaveOut->setObjectName(QStringLiteral("LeaveOut"));
    m_leaveOut->setAccessibleName(QStringLiteral("Leave out of the comparison"));
    m_leaveOut->setToolTip(
        QStringLiteral("Paths the comparison leaves out of both snapshots, separated by \";\": "
                       "* stands for any characters within a name, ** for any folders, and a "
                       "trailing \\ for a folder and all below it."));
    label(QStringLiteral("Leave o&ut:"), this, m_leaveOut, 240, leaveOutTop + 15, 1095, 255);

    // What a scan of a Linux folder records besides; they count only where both snapshots
    // hold them.
    const int detailsTop = leaveOutTop + LeaveOutRow;
    label(QStringLiteral("Ignore details:"), this, nullptr, 240, detailsTop, 3000, 255);
    for (std::size_t k = 0; k < DetailCount; ++k) {
        const int column = static_cast<int>(k % 3), row = static_cast<int>(k / 3);
        m_ignoreDetails[k] = placed(new QCheckBox(QLatin1String(DetailOptions[k].caption), this),
                                    360 + 2040 * column, detailsTop + 330 + 330 * row, 1950, 255);
        m_ignoreDetails[k]->setObjectName(QLatin1String(DetailOptions[k].name));
    }

    m_findMoves = placed(new QCheckBox(QStringLiteral("&Find moved and renamed entries"), this),
                         240, detailsTop + DetailsRows, 4935, 255);
    m_findMoves->setObjectName(QStringLiteral("FindMoves"));
    m_findMoves->setToolTip(
        QStringLiteral("Pairs what is only in the Original with what is only in the Final when it "
                       "is the same file (the same inode, the same contents, or the same name, "
                       "size and time) and lists them on the Moved tab."));

    m_ok = placed(new QPushButton(QStringLiteral("OK"), this), 5160, 3840, 1215, 375);
    m_ok->setObjectName(QStringLiteral("OK"));
    m_ok->setDefault(true);
    m_cancel = placed(new QPushButton(QStringLiteral("Cancel"), this), 5160, 4320, 1215, 375);
    m_cancel->setObjectName(QStringLiteral("Cancel"));
    m_cancel->setAutoDefault(false);

    auto *picture = placed(new QLabel(this), 5760, 5280, 540, 540);
    picture->setPixmap(Icons::window().pixmap(32, 32));
    picture->setAlignment(Qt::AlignCenter);

    connect(m_ignoreStamp, &QCheckBox::toggled, m_timeTolerance, [this](bool checked) {
        m_timeTolerance->setEnabled(!checked);
        m_ignoreHourShifts->setEnabled(!checked);
    });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CompareDialog::~CompareDialog() = default;

void CompareDialog::load(const Workspace &ws, const CompareOptions &options) {
    for (const ListId list : Lists::Snapshots) {
        const std::size_t k = Lists::indexOf(list);
        const SnapshotList &snapshot = ws.list(list);
        m_snapPath[k]->setText(snapshot.description);
        m_snapPath[k]->setCursorPosition(0);

        m_limits[k]->show(snapshot);
        // No choice and the whole snapshot both mean no limit; show the former.
        const QString &limit = options.limit(list);
        const qsizetype chosen = limit.isEmpty() ? -1 : snapshot.findLimit(limit);
        m_limitedTo[k]->setCurrentIndex(chosen < INT_MAX ? static_cast<int>(chosen) : -1);
    }
    for (int i = 0; i < m_ignoreAttr->count(); ++i)
        m_ignoreAttr->item(i)->setCheckState(
            options.ignoreAttr[static_cast<std::size_t>(i)] ? Qt::Checked : Qt::Unchecked);
    m_ignoreSize->setChecked(options.ignoreSize);
    m_ignoreStamp->setChecked(options.ignoreStamp);
    m_timeTolerance->setText(options.tolerance);
    m_timeTolerance->setEnabled(!options.ignoreStamp);
    m_ignoreHourShifts->setChecked(options.ignoreHourShifts);
    m_ignoreHourShifts->setEnabled(!options.ignoreStamp);
    m_leaveOut->setText(ExcludePatterns::join(options.exclude));
    for (std::size_t k = 0; k < DetailCount; ++k)
        m_ignoreDetails[k]->setChecked(options.*(DetailOptions[k].ignored));
    m_findMoves->setChecked(options.findMoves);
}

void CompareDialog::store(CompareOptions &options) const {
    for (const ListId list : Lists::Snapshots)
        options.limit(list) = m_limitedTo[Lists::indexOf(list)]->currentText();
    for (int i = 0; i < m_ignoreAttr->count(); ++i)
        options.ignoreAttr[static_cast<std::size_t>(i)] =
            m_ignoreAttr->item(i)->checkState() == Qt::Checked;
    options.ignoreSize = m_ignoreSize->isChecked();
    options.ignoreStamp = m_ignoreStamp->isChecked();
    options.tolerance = m_timeTolerance->text();
    options.ignoreHourShifts = m_ignoreHourShifts->isChecked();
    options.exclude = ExcludePatterns::split(m_leaveOut->text());
    for (std::size_t k = 0; k < DetailCount; ++k)
        options.*(DetailOptions[k].ignored) = m_ignoreDetails[k]->isChecked();
    options.findMoves = m_findMoves->isChecked();
}

void CompareDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    m_ok->setFocus();
}
