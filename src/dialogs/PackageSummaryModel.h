#pragma once

#include "CountTexts.h"
#include "compare/PackageSummary.h"

#include <QAbstractTableModel>

// The rows of a summary by package: the owners, then the counts under the folder summary's
// column numbers (without Moved, which a package summary does not count).
class PackageSummaryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = ChangeSummary::ContentsOnly + 1;

    PackageSummaryModel(PackageSummary summary, const EntryFormatter &format,
                        QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const PackageSummary &summary() const { return m_summary; }
    const CountTexts &texts() const { return m_texts; }

private:
    PackageSummary m_summary;
    CountTexts m_texts;
};
