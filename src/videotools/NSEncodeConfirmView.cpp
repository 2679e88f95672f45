#include "videotools/NSEncodeConfirmView.h"

#include "desktop/Alerts.h"
#include "desktop/FileReveal.h"
#include "store/XFile.h"
#include "videotools/NSDurationSelectView.h"
#include "videotools/NSEncodingProgressView.h"

#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

NSEncodeConfirmView::NSEncodeConfirmView(QWidget *parent)
    : QWidget(parent), m_tools(new NSVideoToolController(this)),
      m_filesComboBox(new QComboBox(this)), m_fileInfoLabel(new QLabel(this)),
      m_thumbnailView(new QLabel(this)), m_durationView(new NSDurationSelectView(this))
{
    setFocusPolicy(Qt::StrongFocus);
    m_showInFilesButton = addButton(tr("Show in Files"), &NSEncodeConfirmView::showFileInFinder);
    m_saveThumbnailButton =
        addButton(tr("Save Thumbnail"), &NSEncodeConfirmView::saveThunbnailAction);
    m_cutPartButton = addButton(tr("Trim Head and Tail"), &NSEncodeConfirmView::cutPartVideoAction);
    m_startButton = addButton(tr("Re-encode to H.264"), &NSEncodeConfirmView::encodeAction);
    m_closeButton = addButton(tr("Close"), &NSEncodeConfirmView::cancelAction);
    buildLayout();
    connect(m_filesComboBox, &QComboBox::currentIndexChanged, this,
            &NSEncodeConfirmView::comboBoxSelectionDidChange);
    connect(m_tools, &NSVideoToolController::stateChanged, this,
            &NSEncodeConfirmView::refreshVideo);
    connect(m_tools, &NSVideoToolController::pictureChanged, this,
            &NSEncodeConfirmView::showPicture);
    connect(m_tools, &NSVideoToolController::trimEnded, this, &NSEncodeConfirmView::trimEnded);
    m_durationView->setClickHandler([this](float fraction) { thumbnailAtPrecent(fraction); });
    refreshVideo();
}

QPushButton *NSEncodeConfirmView::addButton(const QString &title,
                                            void (NSEncodeConfirmView::*action)())
{
    auto *button = new QPushButton(title, this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, action);
    return button;
}

void NSEncodeConfirmView::buildLayout()
{
    auto *fileLabel = new QLabel(tr("File:"), this);
    fileLabel->setBuddy(m_filesComboBox);
    m_filesComboBox->setAccessibleName(tr("File"));
    m_filesComboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_thumbnailView->setAccessibleName(tr("Preview"));
    m_thumbnailView->setMinimumSize(480, 270);
    m_thumbnailView->setAlignment(Qt::AlignCenter);
    m_thumbnailView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_fileInfoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *layout = new QGridLayout(this);
    layout->addWidget(fileLabel, 0, 0);
    layout->addWidget(m_filesComboBox, 0, 1, 1, 3);
    layout->addWidget(m_showInFilesButton, 0, 4);
    layout->addWidget(m_fileInfoLabel, 1, 0, 1, 5);
    layout->addWidget(m_thumbnailView, 2, 0, 1, 5);
    layout->addWidget(m_durationView, 3, 0, 1, 5);
    layout->addWidget(m_saveThumbnailButton, 4, 0, 1, 2);
    layout->addWidget(m_cutPartButton, 4, 2);
    layout->addWidget(m_startButton, 4, 3);
    layout->addWidget(m_closeButton, 4, 4);
    layout->setColumnStretch(1, 1);
}

void NSEncodeConfirmView::setTask(const std::shared_ptr<XTask> &task)
{
    m_tools->setTask(task);
    fillFiles();
}

void NSEncodeConfirmView::fillFiles()
{
    const QSignalBlocker quiet(m_filesComboBox);
    m_filesComboBox->clear();
    m_filesComboBox->addItems(m_tools->fileNames());
    m_filesComboBox->setCurrentIndex(m_tools->selectedIndex());
}

void NSEncodeConfirmView::comboBoxSelectionDidChange(int index)
{
    if (!m_tools->select(index)) fillFiles();
}

void NSEncodeConfirmView::refreshVideo()
{
    // An encode renames its file in the list; nothing else changes the names.
    if (m_filesComboBox->count() != m_tools->fileNames().size() ||
        m_filesComboBox->currentText() != m_tools->fileNames().value(m_tools->selectedIndex()))
        fillFiles();
    const bool idle = !m_tools->isBusy();
    m_fileInfoLabel->setText(m_tools->fileDescription());
    m_filesComboBox->setEnabled(idle && m_filesComboBox->count() > 0);
    m_durationView->setEnabled(idle && m_tools->currentFile() != nullptr);
    m_showInFilesButton->setEnabled(idle && m_tools->currentFile() != nullptr);
    m_saveThumbnailButton->setEnabled(m_tools->canSaveThumbnail());
    m_cutPartButton->setEnabled(m_tools->canTrim());
    m_startButton->setEnabled(m_tools->canReencode());
    m_closeButton->setEnabled(idle);
}

void NSEncodeConfirmView::showPicture(const QImage &picture)
{
    if (picture.isNull()) {
        m_thumbnailView->clear();
        return;
    }
    m_thumbnailView->setPixmap(QPixmap::fromImage(
        picture.scaled(m_thumbnailView->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void NSEncodeConfirmView::thumbnailAtPrecent(float fraction)
{
    m_tools->previewAt(fraction);
}

void NSEncodeConfirmView::saveThunbnailAction()
{
    m_tools->saveThumbnail();
}

void NSEncodeConfirmView::cutPartVideoAction()
{
    if (!m_tools->canTrim()) return;
    Alert alert;
    alert.messageText = tr("警告");
    alert.informativeText =
        tr("掐头去尾操作将对源视频产生不可逆的改变，只保留头尾中间的部分，您确定要这么做吗？");
    alert.buttons = {tr("取消"), tr("执行 掐头去尾")};
    alert.escapeButton = 0;
    if (Alerts::run(alert, this).response != Alert::FirstButtonReturn + 1) return;
    m_tools->trim(m_durationView->removeHeaderDuration(), m_durationView->removeEndDuration());
}

void NSEncodeConfirmView::trimEnded(NSVideoToolController::TrimResult result)
{
    using Result = NSVideoToolController::TrimResult;
    switch (result) {
    case Result::Done:
        return;
    case Result::TooLong:
        Alerts::message(tr("掐头去尾 设置的掐头 + 去尾 时长，超过了视频自身时长。 "
                           "点击鼠标右键，可进行设置。"),
                        this);
        return;
    case Result::CutFailed:
    case Result::ReplaceFailed:
        Alerts::message(tr("掐头去尾执行失败."), this);
        return;
    case Result::Busy:
        Alerts::message(
            tr("Another trim is running in this working folder; try again when it has ended."),
            this);
        return;
    case Result::NoFile:
    case Result::NoTools:
        Alerts::message(tr("The video tools need a file and ffmpeg in the working folder."), this);
        return;
    }
}

void NSEncodeConfirmView::encodeAction()
{
    if (!m_tools->canReencode()) return;
    if (!m_tools->startEncode()) {
        Alerts::message(tr("视频重编码失败。"), this);
        return;
    }
    m_progressView = new NSEncodingProgressView(m_tools, rect(), this);
    m_progressView->setHandler([this](bool success) { encodedVideo(success); });
    m_progressView->show();
    m_progressView->raise();
}

void NSEncodeConfirmView::encodedVideo(bool)
{
    if (m_progressView) m_progressView->deleteLater();
    m_progressView = nullptr;
    refreshVideo();
}

void NSEncodeConfirmView::showFileInFinder()
{
    if (const auto file = m_tools->currentFile()) FileReveal::reveal({file->localFile()});
}

void NSEncodeConfirmView::cancelAction()
{
    if (auto *sheet = qobject_cast<QDialog *>(window())) sheet->reject();
}

void NSEncodeConfirmView::keyPressEvent(QKeyEvent *event)
{
    if (m_tools->isBusy()) return; // the keys are off while a job runs
    const int index = m_filesComboBox->currentIndex();
    if (event->key() == Qt::Key_Down && index + 1 < m_filesComboBox->count()) {
        m_filesComboBox->setCurrentIndex(index + 1);
    } else if (event->key() == Qt::Key_Up && index >= 1) {
        m_filesComboBox->setCurrentIndex(index - 1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void NSEncodeConfirmView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_progressView) m_progressView->setGeometry(rect());
}
