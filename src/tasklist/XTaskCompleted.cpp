#include "tasklist/XTaskCompleted.h"

#include "desktop/Alerts.h"
#include "desktop/DesktopServices.h"
#include "desktop/FileReveal.h"
#include "desktop/ShareMenu.h"
#include "media/NSffmpeg.h"
#include "platform/JobRunner.h"
#include "store/StoredSettings.h"
#include "store/TaskEvents.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"
#include "tasklist/CellGeometry.h"
#include "tasklist/PaintedButton.h"
#include "tasklist/TaskCellServices.h"
#include "tasklist/TaskIcons.h"
#include "videotools/NSEncodeWindownController.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProcess>
#include <QResizeEvent>
#include <QToolTip>

namespace
{

const QColor borderColor = QColor::fromRgbF(0.76f, 0.67f, 0.67f);

QString workingFolder()
{
    return StoredSettings::ytdlpPath().toLocalFile();
}

} // namespace

XTaskCompleted::XTaskCompleted(TaskCellServices &services, QWidget *parent)
    : QWidget(parent), m_services(services)
{
    checkItems();
    // Once per view: the view compares the task itself.
    connect(&XCoreDataManagement::shared().events(), &TaskEvents::thumbnailChanged, this,
            &XTaskCompleted::thumbnailChangedNotification);
}

void XTaskCompleted::checkItems()
{
    if (m_showFileButton) return;
    m_showFileButton = new PaintedButton(QStringLiteral("finder"), tr("Show in Finder"), this);
    connect(m_showFileButton, &PaintedButton::clicked, this, &XTaskCompleted::showFileAction);
    m_deleteButton = new PaintedButton(QStringLiteral("delete"), tr("Remove"), this);
    connect(m_deleteButton, &PaintedButton::clicked, this, &XTaskCompleted::removeAction);
    m_shareButton = new PaintedButton(QStringLiteral("share"), tr("Share"), this);
    connect(m_shareButton, &PaintedButton::clicked, this, &XTaskCompleted::shareAction);
}

void XTaskCompleted::resizeEvent(QResizeEvent *event)
{
    const int W = width(), H = height();
    m_showFileButton->setGeometry(fromBottomLeft(W - 31, 1, 30, 30, H));
    m_deleteButton->setGeometry(fromBottomLeft(W - 31, H - 31, 30, 30, H));
    m_shareButton->setGeometry(fromBottomLeft(W - 31, 32, 30, 30, H));
    // A picture placed for another size (the view was given its task before its first
    // layout) is placed again for this one.
    if (m_task && event->oldSize() != event->size()) loadPicture();
}

void XTaskCompleted::setTask(const std::shared_ptr<XTask> &task)
{
    // Nothing of the last task shows while this one's picture decodes.
    if (task != m_task) clearPicture();
    m_task = task;
    checkItems();
    if (task) loadPicture();
}

QString XTaskCompleted::toolTipText() const
{
    if (!m_task) return QString();
    const auto files = XCoreDataManagement::shared().filesForTask(m_task);
    return files.isEmpty() ? QString() : files.first()->name();
}

bool XTaskCompleted::event(QEvent *event)
{
    // The first file's name is read when the tooltip is asked for, not at every scroll.
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const QString text = toolTipText();
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text, this);
    return true;
}

void XTaskCompleted::clearPicture()
{
    ThumbnailLoader::cancel(m_ticket);
    m_picture = QPixmap();
    m_frame = QRectF();
    m_placeholder = false;
    update();
}

void XTaskCompleted::loadPicture()
{
    ThumbnailLoader::cancel(m_ticket);
    m_ticket = ThumbnailLoader::newTicket();
    QPointer<XTaskCompleted> view(this);
    const std::shared_ptr<XTask> task = m_task;
    const auto cached = m_services.thumbnails.load(
        task, size(), m_ticket, [view, task](const ThumbnailLoader::Result &result) {
            if (view && view->m_task == task) view->showPicture(result);
        });
    if (cached) showPicture(*cached);
}

void XTaskCompleted::showPicture(const ThumbnailLoader::Result &result)
{
    switch (result.kind) {
    case ThumbnailLoader::Kind::Picture:
        m_picture = result.picture;
        m_frame = result.frame;
        m_placeholder = false;
        break;
    case ThumbnailLoader::Kind::NoData:
        m_picture = QPixmap();
        m_placeholder = true;
        break;
    case ThumbnailLoader::Kind::Undecodable:
        return;
    }
    update();
}

void XTaskCompleted::letBgImageWithData(const QByteArray &data)
{
    if (data.isEmpty()) {
        showPicture({ThumbnailLoader::Kind::NoData, {}, {}});
        return;
    }
    QImage scaled;
    QRectF frame;
    const auto kind = ThumbnailLoader::decode(data, size(), &scaled, &frame);
    showPicture({kind, QPixmap::fromImage(scaled), frame});
}

void XTaskCompleted::thumbnailChangedNotification(const std::shared_ptr<XTask> &task)
{
    if (task && task == m_task) loadPicture();
}

void XTaskCompleted::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), 6, 6);
    painter.setClipPath(clip);
    painter.fillRect(rect(), palette().window().color().darker(104));
    if (!m_picture.isNull()) {
        painter.drawPixmap(ThumbnailLoader::visiblePart(m_frame, size()), m_picture,
                           QRectF(m_picture.rect()));
    } else if (m_placeholder) {
        const QPixmap placeholder = TaskIcons::pixmap(QStringLiteral("thumbnail"));
        QRect target(QPoint(0, 0), placeholder.size());
        target.moveCenter(rect().center());
        painter.drawPixmap(target, placeholder);
        painter.setPen(QPen(borderColor, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
    if (isBusy()) {
        painter.fillRect(rect(), QColor(0, 0, 0, 110));
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, tr("Working…"));
    }
}

QMenu *XTaskCompleted::menuForEvent(Qt::KeyboardModifiers modifiers)
{
    auto *menu = new QMenu(QStringLiteral("Context Menu"), this);
    const bool idle = !isBusy();
    menu->addAction(tr("Show In Finder"), this, &XTaskCompleted::showFileAction);
    menu->addAction(tr("Open Web Source"), this, &XTaskCompleted::urlOpen);
    menu->addAction(tr("Video Encode"), this, &XTaskCompleted::encodeVideoAction)->setEnabled(idle);
    const QString folder = workingFolder();
    if (!folder.isEmpty() && !m_task->fileUnderPath(folder))
        menu->addAction(tr("Move Files"), this, &XTaskCompleted::moveLocalFiles)->setEnabled(idle);
    const qsizetype fileCount = m_task->loadLocalURLs().size();
    if (fileCount >= 2)
        menu->addAction(tr("Merge %1 files").arg(fileCount), this, &XTaskCompleted::mergeFiles)
            ->setEnabled(idle);
    if (modifiers & Qt::AltModifier) {
        menu->addSeparator();
        menu->addAction(tr("开发调试"), this, &XTaskCompleted::debugAction)->setEnabled(idle);
        menu->addAction(tr("ffplay 播放"), this, &XTaskCompleted::ffplayAction);
        menu->addAction(tr("选择目标文件"), this, &XTaskCompleted::selectResultFiles);
        menu->addAction(tr("刷新缩略图"), this, &XTaskCompleted::refreshThumbnail)
            ->setEnabled(idle);
    }
    return menu;
}

void XTaskCompleted::popUpMenu(const QPoint &globalPosition, Qt::KeyboardModifiers modifiers)
{
    if (!m_task) return;
    QMenu *menu = menuForEvent(modifiers);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void XTaskCompleted::contextMenuEvent(QContextMenuEvent *event)
{
    popUpMenu(event->globalPos(), event->modifiers());
}

QStringList XTaskCompleted::filePaths() const
{
    QStringList paths;
    for (const QUrl &url : m_task->loadLocalURLs())
        paths << url.toLocalFile();
    return paths;
}

template <typename Work, typename Done> void XTaskCompleted::runBusy(Work work, Done done)
{
    const std::shared_ptr<XTask> task = m_task;
    setBusyTask(task);
    QPointer<XTaskCompleted> view(this);
    m_services.jobs.run(std::move(work), [view, task, done = std::move(done)](auto result) {
        if (!view) return;
        if (view->m_busyTask == task) view->setBusyTask(nullptr);
        done(view.data(), task, std::move(result));
    });
}

void XTaskCompleted::setBusyTask(const std::shared_ptr<XTask> &task)
{
    m_busyTask = task;
    update();
    if (!task) emit busyEnded();
}

void XTaskCompleted::showFileAction()
{
    const QStringList paths = filePaths();
    if (!paths.isEmpty()) FileReveal::reveal(paths);
}

void XTaskCompleted::urlOpen()
{
    DesktopServices::openURLInBrowser(QUrl(m_task->url()), m_task->browers());
}

void XTaskCompleted::encodeVideoAction()
{
    NSEncodeWindownController::openForTask(window(), m_task);
}

void XTaskCompleted::moveLocalFiles()
{
    const QString folder = workingFolder();
    if (folder.isEmpty() || isBusy()) return;
    runBusy([task = m_task, folder] { return task->moveFilesTo(folder); },
            [](XTaskCompleted *view, const std::shared_ptr<XTask> &, bool moved) {
                if (!moved)
                    Alerts::message(tr("Some files could not be moved into the working folder; "
                                       "they stay where they are."),
                                    view);
            });
}

void XTaskCompleted::mergeFiles()
{
    if (isBusy()) return;
    if (m_task->loadLocalURLs().size() != 2) {
        Alerts::message(tr("只测试过音频、视频2个文件合并， 更多文件的合并未曾测试。\n"
                           "请联系开发者阐明您的需求。"),
                        this);
        return;
    }
    runBusy([task = m_task] { return task->mergeLocalFiles(); },
            [](XTaskCompleted *view, const std::shared_ptr<XTask> &task, const QString &merged) {
                if (merged.isEmpty()) {
                    Alerts::message(tr("Merge files failed."), view);
                    return;
                }
                if (view->m_task == task) view->setTask(task);
            });
}

void XTaskCompleted::debugAction()
{
    const QList<QUrl> urls = m_task->loadLocalURLs();
    if (urls.isEmpty() || isBusy()) return;
    const QFileInfo input(urls.first().toLocalFile());
    const QUrl output = QUrl::fromLocalFile(input.path() + QLatin1Char('/') +
                                            input.completeBaseName() + QStringLiteral("_Cut.mp4"));
    runBusy(
        [input = urls.first(), output, folder = workingFolder()] {
            return NSffmpeg::cutoutVideo(input, output, 5, 32, folder);
        },
        [](XTaskCompleted *, const std::shared_ptr<XTask> &, bool) {});
}

void XTaskCompleted::ffplayAction()
{
    const QString folder = workingFolder();
    if (folder.isEmpty()) {
        Alerts::message(tr("ffplay needs a working folder: choose one in the settings."), this);
        return;
    }
    const QList<FileEntry> files = m_task->loadLocalFiles();
    const QString path = files.isEmpty() ? QString() : files.first().path;
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        Alert alert;
        alert.messageText = QStringLiteral("NOT EXIST!");
        alert.informativeText = path;
        Alerts::run(alert, this);
        return;
    }
    if (!QProcess::startDetached(folder + QStringLiteral("/ffplay"), {path}))
        Alerts::message(tr("ffplay could not be started from the working folder."), this);
}

void XTaskCompleted::selectResultFiles()
{
    const QString path = Alerts::chooseFile(QStringLiteral("Select result files."), this);
    if (path.isEmpty()) return;
    m_task->saveLocalFiles({path});
    m_task->save();
}

void XTaskCompleted::refreshThumbnail()
{
    if (isBusy()) return;
    runBusy([task = m_task] { return task->makeBestThumbnail(); },
            [](XTaskCompleted *view, const std::shared_ptr<XTask> &task, bool made) {
                if (made && view->m_task == task) view->setTask(task);
            });
}

void XTaskCompleted::removeAction()
{
    if (m_removeHandler) m_removeHandler(this);
}

void XTaskCompleted::shareAction()
{
    const QStringList paths = filePaths();
    if (paths.isEmpty()) return;
    QMenu *menu = ShareMenu::create(paths, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_shareButton->mapToGlobal(QPoint(0, m_shareButton->height())));
}
