#include "videotools/NSDurationSelectView.h"

#include "desktop/Alerts.h"
#include "desktop/Fonts.h"
#include "media/NSTavoTools.h"
#include "store/StoredSettings.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPainter>

#include <cmath>

const QColor NSDurationSelectView::barColour = QColor::fromRgbF(0.4f, 0.86f, 0.47f, 1.0f);

NSDurationSelectView::NSDurationSelectView(QWidget *parent)
    : QWidget(parent),
      m_removeHeader(StoredSettings::floatValue(StoredSettings::KEY_DEFAULT_REMOVE_START)),
      m_removeEnd(StoredSettings::floatValue(StoredSettings::KEY_DEFAULT_REMOVE_END))
{
    setAccessibleName(tr("Trim head and tail"));
    setToolTip(tr("Click to preview a frame; right-click to set the seconds to trim."));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0);
    m_headerLabel = makeLabel(Qt::AlignLeft | Qt::AlignVCenter);
    m_endLabel = makeLabel(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_headerLabel);
    layout->addWidget(m_endLabel);
    showSeconds(m_headerLabel, m_removeHeader);
    showSeconds(m_endLabel, m_removeEnd);
    setMinimumHeight(40);
}

QLabel *NSDurationSelectView::makeLabel(Qt::Alignment alignment)
{
    auto *label = new QLabel(this);
    label->setAlignment(alignment);
    label->setFont(Fonts::pingFang(20, QFont::Medium));
    // Clicks go through to the bar.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void NSDurationSelectView::showSeconds(QLabel *label, float seconds)
{
    label->setText(NSTavoTools::stringForDuration(seconds));
}

void NSDurationSelectView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(barColour);
    painter.drawRoundedRect(rect(), 6, 6);
}

void NSDurationSelectView::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !m_clickHandler || width() <= 0) return;
    m_clickHandler(float(event->position().x()) / float(width()));
}

void NSDurationSelectView::contextMenuEvent(QContextMenuEvent *event)
{
    std::unique_ptr<QMenu> menu(menuForEvent(event));
    menu->exec(event->globalPos());
}

QMenu *NSDurationSelectView::menuForEvent(QContextMenuEvent *)
{
    auto *menu = new QMenu(QStringLiteral("Context Menu"), this);
    menu->addAction(tr("掐头时长"), this, &NSDurationSelectView::inputStartDuration);
    menu->addAction(tr("去尾时长"), this, &NSDurationSelectView::inputEndDuration);
    return menu;
}

std::optional<float> NSDurationSelectView::askSeconds(const QString &question)
{
    Alert alert;
    alert.messageText = question;
    alert.informativeText = tr("输入一个数字后点击确定");
    alert.buttons = {tr("确定"), tr("取消")};
    alert.hasTextField = true;
    const AlertAnswer answer = Alerts::run(alert, this);
    if (answer.response != Alert::FirstButtonReturn) return std::nullopt;
    bool ok = false;
    const float seconds = QLocale().toFloat(answer.fieldText.trimmed(), &ok);
    // QLocale reads "nan" and "inf" as numbers.
    if (!ok || !std::isfinite(seconds)) return std::nullopt;
    return seconds;
}

void NSDurationSelectView::inputStartDuration()
{
    inputDuration(tr("请输入删除视频开头的时长, 单位是秒."), &m_removeHeader, m_headerLabel,
                  StoredSettings::KEY_DEFAULT_REMOVE_START);
}

void NSDurationSelectView::inputEndDuration()
{
    inputDuration(tr("请输入删除视频结尾的时长, 单位是秒."), &m_removeEnd, m_endLabel,
                  StoredSettings::KEY_DEFAULT_REMOVE_END);
}

void NSDurationSelectView::inputDuration(const QString &question, float *value, QLabel *label,
                                         const char *key)
{
    const auto seconds = askSeconds(question);
    if (!seconds) return;
    *value = *seconds;
    showSeconds(label, *seconds);
    StoredSettings::setValue(key, *seconds);
}
