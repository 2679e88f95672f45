#include "tasklist/XTaskProgressing.h"

#include "desktop/Fonts.h"
#include "download/NSYtdlpTask.h"
#include "media/NSTavoTools.h"
#include "store/XTask.h"
#include "tasklist/BusySpinner.h"
#include "tasklist/CellGeometry.h"
#include "tasklist/PaintedButton.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>

namespace
{

QLabel *centredLabel(const QFont &font, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    return label;
}

} // namespace

XTaskProgressing::XTaskProgressing(QWidget *parent) : QWidget(parent)
{
    m_refreshTimer.setInterval(refreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &XTaskProgressing::refresh);
    checkItems();
}

void XTaskProgressing::checkItems()
{
    if (m_nameLabel) return;
    m_nameLabel = centredLabel(Fonts::pingFang(12), this);
    m_nameLabel->setText(tr("Downloading ..."));
    m_levelIndicator = new QProgressBar(this);
    m_levelIndicator->setRange(0, fullLevel);
    m_levelIndicator->setTextVisible(false);
    m_levelIndicator->setAccessibleName(tr("Download speed"));
    m_speedLabel = centredLabel(Fonts::pingFang(10, QFont::Medium), this);
    m_act = new BusySpinner(this);
    m_progressLabel = centredLabel(Fonts::monaco(16), this);
    m_pauseButton = new PaintedButton(QStringLiteral("pause"), tr("Pause"), this);
    connect(m_pauseButton, &PaintedButton::clicked, this, &XTaskProgressing::stopDownloadAction);
}

void XTaskProgressing::resizeEvent(QResizeEvent *)
{
    const int W = width(), H = height();
    m_nameLabel->setGeometry(fromBottomLeft(0, H - 25, W, 18, H));
    m_levelIndicator->setGeometry(fromBottomLeft(5, H - 40, W - 10, 10, H));
    m_speedLabel->setGeometry(fromBottomLeft(0, 60, W, 16, H));
    m_act->setGeometry(fromBottomLeft((W - 20) / 2, 40, 20, 20, H));
    m_progressLabel->setGeometry(fromBottomLeft(0, 20, W, 20, H));
    m_pauseButton->setGeometry(fromBottomLeft(W - 35, H - 35, 30, 30, H));
}

void XTaskProgressing::setTask(const std::shared_ptr<XTask> &task)
{
    m_task = task;
    checkItems();
    if (task) {
        m_progressLabel->setText(QString::asprintf("%.1f%%", double(task->progress() * 100.0f)));
        m_speedLabel->setText(NSTavoTools::stringNetworkSpeed(task->speed()));
    }
    updateTimer();
}

void XTaskProgressing::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void XTaskProgressing::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateTimer();
}

void XTaskProgressing::updateTimer()
{
    const bool wanted = m_task && isVisible();
    if (wanted == m_refreshTimer.isActive()) return;
    if (!wanted) {
        m_refreshTimer.stop();
        return;
    }
    m_refreshTimer.start();
    refresh();
}

QString XTaskProgressing::progressText() const
{
    const std::shared_ptr<NSYtdlpTask> worker = m_task->worker();
    const qint64 total = worker ? worker->numberOfTotal() : 0;
    const float percent = m_task->progress() * 100.0f;
    if (total < 2) return QString::asprintf("%.1f%%", double(percent));
    return QString::asprintf("%.1f%% %lld of %lld", double(percent),
                             static_cast<long long>(worker->numberOfCurrent()),
                             static_cast<long long>(total));
}

void XTaskProgressing::refresh()
{
    if (!m_task) return;
    m_progressLabel->setText(progressText());
    m_speedLabel->setText(NSTavoTools::stringNetworkSpeed(m_task->speed()));
    m_level = levelFor(float(m_task->speed()));
    m_levelIndicator->setValue(int(std::min<qint64>(m_level, fullLevel)));
    m_act->advance();
}

qint64 XTaskProgressing::levelFor(float speed)
{
    return qint64(speed / 500000.0f);
}

void XTaskProgressing::stopDownloadAction()
{
    if (m_pausedHandler) m_pausedHandler();
}

void XTaskProgressing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.95f, 0.75f, 0.28f));
}
