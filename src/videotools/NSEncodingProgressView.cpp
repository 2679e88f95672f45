#include "videotools/NSEncodingProgressView.h"

#include "desktop/Alerts.h"
#include "desktop/Fonts.h"
#include "media/EncodeProgress.h"
#include "media/NSTavoTools.h"
#include "media/NSVideoToolController.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

namespace
{

constexpr int barSteps = 1000;

} // namespace

NSEncodingProgressView::NSEncodingProgressView(NSVideoToolController *task, const QRect &frame,
                                               QWidget *parent)
    : QWidget(parent), m_task(task), m_videoDuration(NSTavoTools::noDurationMark),
      m_titleLabel(new QLabel(tr("H264 video encoding in progress"), this)),
      m_act(new QProgressBar(this)), m_progressLabel(new QLabel(this)),
      m_cancelButton(new QPushButton(QStringLiteral("Cancel"), this))
{
    setGeometry(frame);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setFont(Fonts::pingFang(18, QFont::Medium));
    m_act->setRange(0, barSteps);
    m_act->setValue(0);
    m_act->setTextVisible(false);
    m_act->setAccessibleName(m_titleLabel->text());
    m_progressLabel->setAlignment(Qt::AlignCenter);
    m_progressLabel->setFont(Fonts::pingFang(20, QFont::Medium));
    m_cancelButton->setFlat(true);
    connect(m_cancelButton, &QPushButton::clicked, this,
            &NSEncodingProgressView::cancelEncodingAction);
    connect(task, &NSVideoToolController::encodeProgressed, this, [this](float seconds) {
        if (EncodeProgress::isKnownDuration(m_task->encodeDuration()))
            setVideoDuration(m_task->encodeDuration());
        progressDuration(seconds);
    });
    connect(task, &NSVideoToolController::encodeEnded, this,
            &NSEncodingProgressView::encodeVideoFailed);
    layOut();
}

// The design measures from the bottom left; widgets from the top left.
void NSEncodingProgressView::layOut()
{
    const int w = width();
    const int h = height();
    m_titleLabel->setGeometry(5, 40 - 24, w - 10, 24);
    m_act->setGeometry(10, 80 - 10, w - 20, 10);
    m_progressLabel->setGeometry(0, 118 - 24, w, 24);
    m_cancelButton->setGeometry((w - 180) / 2, h - 10 - 60, 180, 60);
}

void NSEncodingProgressView::resizeEvent(QResizeEvent *)
{
    layOut();
}

void NSEncodingProgressView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), QColor::fromRgbF(0.8f, 0.8f, 0.8f, 0.9f));
}

void NSEncodingProgressView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void NSEncodingProgressView::progressDuration(float seconds)
{
    m_progressLabel->setText(EncodeProgress::text(seconds, m_videoDuration));
    if (EncodeProgress::isKnownDuration(m_videoDuration))
        m_act->setValue(qRound(EncodeProgress::fraction(seconds, m_videoDuration) * barSteps));
}

QString NSEncodingProgressView::progressText() const
{
    return m_progressLabel->text();
}

float NSEncodingProgressView::progressFraction() const
{
    return float(m_act->value()) / float(barSteps);
}

void NSEncodingProgressView::cancelEncodingAction()
{
    m_cancelButton->setEnabled(false);
    m_task->cancelEncode();
}

void NSEncodingProgressView::encodeVideoCompleted(const QVariant &)
{
    completedWithError(std::nullopt);
}

void NSEncodingProgressView::encodeVideoFailed(const std::optional<EncodeError> &error)
{
    completedWithError(error);
}

void NSEncodingProgressView::completedWithError(const std::optional<EncodeError> &error)
{
    if (error) Alerts::message(error->description(), this);
    if (m_handler) m_handler(!error);
}
