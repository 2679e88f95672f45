#pragma once

#include "media/NSffmpegConvert264_ProgressDelegate.h"

#include <QWidget>

#include <functional>

class NSVideoToolController;
class QLabel;
class QProgressBar;
class QPushButton;

// The panel over the video tools while a re-encode runs: a title, a progress bar and text, and
// Cancel. It hears the job through the controller that runs it, shows an error the job ends
// with, and then calls its handler with YES for success and NO for failure.
class NSEncodingProgressView : public QWidget, public NSffmpegConvert264_ProgressDelegate
{
    Q_OBJECT
public:
    NSEncodingProgressView(NSVideoToolController *task, const QRect &frame,
                           QWidget *parent = nullptr);

    // Seconds, or the no-duration mark (also after creation).
    float videoDuration() const { return m_videoDuration; }
    void setVideoDuration(float seconds) { m_videoDuration = seconds; }
    void setHandler(std::function<void(bool)> handler) { m_handler = std::move(handler); }

    void cancelEncodingAction();
    void encodeVideoCompleted(const QVariant &result) override;
    void encodeVideoFailed(const std::optional<EncodeError> &error) override;
    void progressDuration(float seconds) override;
    void completedWithError(const std::optional<EncodeError> &error);

    QString progressText() const;
    // The bar's position, 0 to 1.
    float progressFraction() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // The pane under the panel gets no clicks.
    void mousePressEvent(QMouseEvent *event) override;

private:
    void layOut();

    NSVideoToolController *m_task;
    float m_videoDuration;
    std::function<void(bool)> m_handler;
    QLabel *m_titleLabel;
    QProgressBar *m_act;
    QLabel *m_progressLabel;
    QPushButton *m_cancelButton;
};
