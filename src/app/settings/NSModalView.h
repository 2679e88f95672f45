#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

// The busy overlay laid over the settings pane while a tool runs: translucent grey, a spinner
// with one line of text under it. It takes every click; the pane disables its controls behind
// it, so neither the mouse nor the keyboard reaches them.
class NSModalView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int spinnerSize = 40;

    explicit NSModalView(QWidget *parent);

    QString progressString() const { return m_progressString; }
    void setProgressString(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QRect spinnerRect() const;

    QLabel *m_progressLabel;
    QString m_progressString;
    QTimer m_spin;
    int m_angle = 0;
};
