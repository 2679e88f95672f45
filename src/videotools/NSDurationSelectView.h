#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QMenu;

// The trim bar: a green bar showing the seconds cut off the head (left) and the tail (right),
// set through its context menu and kept in the settings for every bar; a left click turns its
// position into a fraction of the bar's width, for the preview.
class NSDurationSelectView : public QWidget
{
    Q_OBJECT
public:
    explicit NSDurationSelectView(QWidget *parent = nullptr);

    float removeHeaderDuration() const { return m_removeHeader; }
    float removeEndDuration() const { return m_removeEnd; }
    void setClickHandler(std::function<void(float)> handler)
    {
        m_clickHandler = std::move(handler);
    }
    QUrl videoURL() const { return m_videoURL; }
    void setVideoURL(const QUrl &url) { m_videoURL = url; }

    // The context menu ("掐头时长", "去尾时长"); the caller owns it.
    QMenu *menuForEvent(QContextMenuEvent *event);
    void inputStartDuration();
    void inputEndDuration();

    static const QColor barColour;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QLabel *makeLabel(Qt::Alignment alignment);
    // Asks for seconds; nothing when cancelled or not a finite number in the user's locale.
    std::optional<float> askSeconds(const QString &question);
    // Asks, and keeps a number given as the value, its label's text and the stored setting.
    void inputDuration(const QString &question, float *value, QLabel *label, const char *key);
    static void showSeconds(QLabel *label, float seconds);

    float m_removeHeader = 0;
    float m_removeEnd = 0;
    std::function<void(float)> m_clickHandler;
    QUrl m_videoURL;
    QLabel *m_headerLabel;
    QLabel *m_endLabel;
};
