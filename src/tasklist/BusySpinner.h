#pragma once

#include <QWidget>

// A turning wheel that turns one step each time it is told to: its owner's refresh timer
// drives it, so a hidden spinner costs nothing.
class BusySpinner : public QWidget
{
    Q_OBJECT
public:
    explicit BusySpinner(QWidget *parent = nullptr);
    void advance();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static constexpr int spokes = 12;
    int m_step = 0;
};
