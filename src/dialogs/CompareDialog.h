#pragma once

#include "snapshot/ListId.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class LimitModel;
class Workspace;
struct CompareOptions;

// The Compare dialog (`Compare`): the options of a comparison and the button that starts it.
// The options themselves live in a CompareOptions record that outlasts the dialog's showings;
// the dialog shows them with load() and gives back what the user set with store().
class CompareDialog : public QDialog {
    Q_OBJECT
public:
    explicit CompareDialog(QWidget *parent = nullptr);
    ~CompareDialog() override;

    // Shows the snapshots' descriptions, their folders to limit to and the options.
    void load(const Workspace &ws, const CompareOptions &options);
    // Writes the controls back into the options (after OK and after Cancel alike).
    void store(CompareOptions &options) const;

    QLineEdit *snapPath(ListId list) const { return m_snapPath[Lists::indexOf(list)]; }
    QComboBox *limitedTo(ListId list) const { return m_limitedTo[Lists::indexOf(list)]; }
    QCheckBox *ignoreStamp() const { return m_ignoreStamp; }
    QCheckBox *ignoreSize() const { return m_ignoreSize; }
    QLineEdit *timeTolerance() const { return m_timeTolerance; }
    QCheckBox *ignoreHourShifts() const { return m_ignoreHourShifts; }
    QCheckBox *findMoves() const { return m_findMoves; }
    QLineEdit *leaveOut() const { return m_leaveOut; }
    QListWidget *ignoreAttr() const { return m_ignoreAttr; }
    // The details a POSIX scan records: mode, owner, group, link target, capabilities.
    static constexpr std::size_t DetailCount = 6;
    QCheckBox *ignoreDetail(std::size_t k) const { return m_ignoreDetails[k]; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::array<QLineEdit *, 2> m_snapPath{};
    std::array<QComboBox *, 2> m_limitedTo{};
    std::array<LimitModel *, 2> m_limits{};
    QCheckBox *m_ignoreStamp;
    QCheckBox *m_ignoreSize;
    QLineEdit *m_timeTolerance;
    QCheckBox *m_ignoreHourShifts;
    QCheckBox *m_findMoves;
    QLineEdit *m_leaveOut;
    QListWidget *m_ignoreAttr;
    std::array<QCheckBox *, DetailCount> m_ignoreDetails{};
    QPushButton *m_ok;
    QPushButton *m_cancel;
};
