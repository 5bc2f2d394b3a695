#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

// A bar chart of the folders with the most bytes changed: each bar the bytes removed (red)
// followed by the bytes added (green), the largest at the top, on a logarithmic scale whose
// marks (1 KB, 1 MB, ...) run along the foot with the legend that says so: a change of a few
// kilobytes still shows beside one of many megabytes.
class ChangeBars : public QWidget {
    Q_OBJECT
public:
    struct Bar {
        QString label;
        std::uint64_t removed = 0;
        std::uint64_t added = 0;
        QString value; // the total as the window writes numbers
    };
    explicit ChangeBars(QWidget *parent = nullptr);

    void setBars(const QString &title, std::vector<Bar> bars, const QString &legend = QString());
    const std::vector<Bar> &bars() const { return m_bars; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int rowHeight() const;

    QString m_title;
    QString m_legend;
    std::vector<Bar> m_bars;
};
