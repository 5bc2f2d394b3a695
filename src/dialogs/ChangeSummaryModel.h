#pragma once

#include "CountTexts.h"
#include "compare/ChangeSummary.h"

#include <QAbstractItemModel>

// The folders of a change summary as a tree of seven columns. Sorting orders every folder's
// subfolders at once and keeps the open branches open.
class ChangeSummaryModel : public QAbstractItemModel {
    Q_OBJECT
public:
    ChangeSummaryModel(ChangeSummary summary, const EntryFormatter &format,
                       QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const ChangeSummary &summary() const { return m_summary; }
    // The folder (its place in the summary) a row shows, and the row of a folder.
    int folderOf(const QModelIndex &index) const;
    QModelIndex indexOf(int folder, int column = 0) const;
    const CountTexts &texts() const { return m_texts; }

private:
    void findRows();

    ChangeSummary m_summary;
    CountTexts m_texts;
    std::vector<int> m_row; // each folder's row under its parent
};
