#pragma once

#include "tasklist/ThumbnailLoader.h"

#include <QPixmap>
#include <QWidget>

#include <functional>
#include <memory>

class PaintedButton;
class QMenu;
class XTask;
struct TaskCellServices;

// A finished task: its thumbnail filling the view, the buttons to show, share and remove its
// files, and a context menu of the actions on them (Alt adds the developer's). Work with
// ffmpeg runs on the job runner while the view says it is busy.
class XTaskCompleted : public QWidget
{
    Q_OBJECT
public:
    XTaskCompleted(TaskCellServices &services, QWidget *parent = nullptr);

    void setTask(const std::shared_ptr<XTask> &task);
    const std::shared_ptr<XTask> &task() const { return m_task; }
    // Shows the picture in the data at once (no data: the placeholder); data that is no
    // picture leaves the view as it is.
    void letBgImageWithData(const QByteArray &data);
    void thumbnailChangedNotification(const std::shared_ptr<XTask> &task);
    // The tooltip: the name of the task's first file record, if it has one.
    QString toolTipText() const;
    // A new menu for the modifiers the request came with; the caller owns it.
    QMenu *menuForEvent(Qt::KeyboardModifiers modifiers);
    void popUpMenu(const QPoint &globalPosition, Qt::KeyboardModifiers modifiers);

    void showFileAction();
    void urlOpen();
    void encodeVideoAction();
    void moveLocalFiles();
    void mergeFiles();
    void debugAction();
    void ffplayAction();
    void selectResultFiles();
    void refreshThumbnail();
    void removeAction();
    void shareAction();
    void setRemoveHandler(std::function<void(XTaskCompleted *)> handler)
    {
        m_removeHandler = std::move(handler);
    }

    // What the view shows of its picture.
    const QPixmap &picture() const { return m_picture; }
    QRectF pictureFrame() const { return m_frame; }
    bool showsPlaceholder() const { return m_placeholder; }
    int borderWidth() const { return m_placeholder ? 1 : 0; }
    bool isBusy() const { return m_busyTask && m_busyTask == m_task; }
    PaintedButton *showFileButton() const { return m_showFileButton; }
    PaintedButton *shareButton() const { return m_shareButton; }
    PaintedButton *deleteButton() const { return m_deleteButton; }

signals:
    // A job started from the view has ended and the view is idle again.
    void busyEnded();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void checkItems();
    void loadPicture();
    void showPicture(const ThumbnailLoader::Result &result);
    void clearPicture();
    QStringList filePaths() const;
    // Runs work on the job runner with the view busy, then done on the main thread while
    // the view still exists.
    template <typename Work, typename Done> void runBusy(Work work, Done done);
    void setBusyTask(const std::shared_ptr<XTask> &task);

    TaskCellServices &m_services;
    PaintedButton *m_showFileButton = nullptr;
    PaintedButton *m_deleteButton = nullptr;
    PaintedButton *m_shareButton = nullptr;
    std::shared_ptr<XTask> m_task;
    std::shared_ptr<XTask> m_busyTask;
    ThumbnailLoader::Ticket m_ticket;
    QPixmap m_picture;
    QRectF m_frame;
    bool m_placeholder = false;
    std::function<void(XTaskCompleted *)> m_removeHandler;
};
