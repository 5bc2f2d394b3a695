#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

// A bar chart of the folders with the most bytes changed: each bar the bytes removed (red)
// followed by the bytes added (green), all on one scale, the largest at the top.
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

    void setBars(const QString &title, std::vector<Bar> bars);
    const std::vector<Bar> &bars() const { return m_bars; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int rowHeight() const;

    QString m_title;
    std::vector<Bar> m_bars;
};
