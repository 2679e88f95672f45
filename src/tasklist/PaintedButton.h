#pragma once

#include <QAbstractButton>
#include <QColor>

// An icon button drawn in one paint call, for the buttons laid over thumbnails and colours:
// forty cells of styled buttons would make scrolling slow. Its tooltip is its accessible name.
class PaintedButton : public QAbstractButton
{
    Q_OBJECT
public:
    // The translucent dark plate of the small buttons over pictures.
    static QColor plateColor() { return QColor::fromRgbF(0.1f, 0.1f, 0.1f, 0.4f); }

    PaintedButton(const QString &iconName, const QString &toolTip, QWidget *parent = nullptr);

    void setPlate(const QColor &color, int cornerRadius);
    QSize sizeHint() const override { return QSize(30, 30); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QString m_iconName;
    QColor m_plate = plateColor();
    int m_cornerRadius = 4;
};
