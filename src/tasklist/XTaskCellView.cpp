#include "tasklist/XTaskCellView.h"

#include "store/DownloadRegistry.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"
#include "tasklist/TaskCellServices.h"
#include "tasklist/XTaskCompleted.h"
#include "tasklist/XTaskCreateView.h"
#include "tasklist/XTaskFailedView.h"
#include "tasklist/XTaskNormal.h"
#include "tasklist/XTaskProgressing.h"

#include <QAccessible>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

XTaskCellView::XTaskCellView(TaskCellServices &services, QWidget *parent)
    : QWidget(parent), m_services(services)
{
    setAttribute(Qt::WA_Hover);
    viewDidLoad();
}

void XTaskCellView::viewDidLoad()
{
    m_createView = new XTaskCreateView(this);
    m_createView->setCreateHandler([this] {
        if (m_createHandler) m_createHandler();
    });
    m_progressView = new XTaskProgressing(this);
    m_progressView->setPausedHandler([this] { pausedDownload(); });
    m_normalView = new XTaskNormal(this);
    m_normalView->setDownloadHandler([this](XTaskNormal *) { startDownload(); });
    m_normalView->setRemoveHandler([this](XTaskNormal *) { removeRequested(); });
    m_completedView = new XTaskCompleted(m_services, this);
    m_completedView->setRemoveHandler([this](XTaskCompleted *) { removeRequested(); });
    m_failedView = new XTaskFailedView(this);
    m_failedView->setRemoveHandler([this](XTaskFailedView *) { removeRequested(); });
    // A retried download goes on from its partial file, as a resumed one does.
    m_failedView->setRetryHandler([this](XTaskFailedView *) { startDownload(); });
    showView(nullptr);
}

QList<QWidget *> XTaskCellView::views() const
{
    return {m_createView, m_progressView, m_normalView, m_completedView, m_failedView};
}

void XTaskCellView::resizeEvent(QResizeEvent *)
{
    // The margin keeps the keyboard's focus frame visible round the view.
    for (QWidget *view : views())
        view->setGeometry(rect().adjusted(focusMargin, focusMargin, -focusMargin, -focusMargin));
}

void XTaskCellView::showView(QWidget *shown)
{
    // Hidden before shown, so a progress view that goes away stops its timer first.
    for (QWidget *view : views()) {
        if (view != shown) view->hide();
    }
    if (shown) shown->show();
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

QWidget *XTaskCellView::visibleView() const
{
    for (QWidget *view : views()) {
        if (!view->isHidden()) return view;
    }
    return nullptr;
}

void XTaskCellView::setTask(const std::shared_ptr<XTask> &task)
{
    m_task = task;
    refreshTask();
}

void XTaskCellView::refreshTask()
{
    if (!m_task) {
        showView(m_createView);
        return;
    }
    switch (m_task->currentStatus()) {
    case XTask::StatusCreated:
        m_normalView->setTask(m_task);
        showView(m_normalView);
        break;
    case XTask::StatusDownloading:
        m_progressView->setTask(m_task);
        showView(m_progressView);
        break;
    case XTask::StatusCompleted:
        m_completedView->setTask(m_task);
        showView(m_completedView);
        break;
    case XTask::StatusFailed:
        m_failedView->setTask(m_task);
        showView(m_failedView);
        break;
    default:
        showView(nullptr);
    }
}

void XTaskCellView::startDownload()
{
    if (!m_task) return;
    const std::shared_ptr<XTask> task = m_task;
    switch (m_services.downloads.start(task)) {
    case DownloadRegistry::StartAnswer::Started:
    case DownloadRegistry::StartAnswer::Queued:
        // The downloading view at once, before yt-dlp has said anything.
        m_progressView->setTask(task);
        showView(m_progressView);
        break;
    case DownloadRegistry::StartAnswer::AlreadyRunning:
    case DownloadRegistry::StartAnswer::Refused: // its end comes and says why
        refreshTask();
        break;
    }
}

void XTaskCellView::pausedDownload()
{
    if (!m_task) return;
    m_services.downloads.pause(m_task);
    refreshTask();
}

void XTaskCellView::prepareForReuse()
{
    hide();
    setFocusFrame(false);
    m_normalView->setTask(nullptr);
    m_progressView->setTask(nullptr);
    m_completedView->setTask(nullptr);
    m_failedView->setTask(nullptr);
    m_task.reset();
}

void XTaskCellView::removeRequested()
{
    if (m_removeHandler) m_removeHandler(this);
}

void XTaskCellView::setFocusFrame(bool shown)
{
    if (m_focusFrame == shown) return;
    m_focusFrame = shown;
    update();
}

void XTaskCellView::mousePressEvent(QMouseEvent *event)
{
    // Every left click opens the item, also one already chosen; a right click only asks for
    // the menu.
    if (event->button() == Qt::LeftButton && m_clickHandler) {
        m_clickHandler(this);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void XTaskCellView::paintEvent(QPaintEvent *)
{
    if (!m_focusFrame) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().highlight().color(), 3));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
}

QString XTaskCellView::subjectOf(const XTask &task)
{
    const QList<FileEntry> files = task.loadLocalFiles();
    if (files.isEmpty()) return task.url();
    const FileEntry &first = files.first();
    return first.record ? first.record->name() : QFileInfo(first.path).completeBaseName();
}

QString XTaskCellView::stateOf(const XTask &task)
{
    switch (task.currentStatus()) {
    case XTask::StatusCreated:
        return tr("created");
    case XTask::StatusDownloading:
        return tr("downloading %1%").arg(QString::number(task.progress() * 100.0f, 'f', 1));
    case XTask::StatusCompleted:
        return tr("completed");
    case XTask::StatusFailed:
        return tr("failed: %1").arg(task.failed_reason());
    default:
        return QString();
    }
}

QString XTaskCellView::accessibleSummary(const XTask *task)
{
    if (!task) return tr("新下载");
    return summaryOf(subjectOf(*task), stateOf(*task));
}

QString XTaskCellView::summaryOf(const QString &subject, const QString &state)
{
    return state.isEmpty() ? subject : tr("%1, %2").arg(subject, state);
}
