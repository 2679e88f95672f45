#pragma once

#include "media/NSVideoToolController.h"
#include "videotools/NSEncodingProgressView.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class NSDurationSelectView;
class QComboBox;
class QLabel;
class QPushButton;
class XTask;

// The video tools pane: one of a task's files, its details and a preview frame; the trim bar;
// saving the preview as thumbnail, trimming in place and re-encoding to H.264. What the
// buttons do is the controller's; this shows it and asks before the trim.
class NSEncodeConfirmView : public QWidget
{
    Q_OBJECT
public:
    explicit NSEncodeConfirmView(QWidget *parent = nullptr);

    void setTask(const std::shared_ptr<XTask> &task);
    NSVideoToolController &tools() { return *m_tools; }
    // A trim or an encode runs: the sheet must stay.
    bool isBusy() const { return m_tools->isBusy(); }

    void thumbnailAtPrecent(float fraction);
    void saveThunbnailAction();
    void cutPartVideoAction();
    void encodeAction();
    void showFileInFinder();
    void cancelAction();
    void encodedVideo(bool success);

    QComboBox *filesComboBox() const { return m_filesComboBox; }
    QLabel *fileInfoLabel() const { return m_fileInfoLabel; }
    QLabel *thumbnailView() const { return m_thumbnailView; }
    NSDurationSelectView *durationView() const { return m_durationView; }
    QPushButton *startButton() const { return m_startButton; }
    QPushButton *cutPartButton() const { return m_cutPartButton; }
    QPushButton *saveThumbnailButton() const { return m_saveThumbnailButton; }
    NSEncodingProgressView *progressView() const { return m_progressView; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPushButton *addButton(const QString &title, void (NSEncodeConfirmView::*action)());
    void buildLayout();
    void refreshVideo();
    void fillFiles();
    void showPicture(const QImage &picture);
    void comboBoxSelectionDidChange(int index);
    void trimEnded(NSVideoToolController::TrimResult result);

    NSVideoToolController *m_tools;
    QComboBox *m_filesComboBox;
    QLabel *m_fileInfoLabel;
    QLabel *m_thumbnailView;
    NSDurationSelectView *m_durationView;
    QPushButton *m_showInFilesButton;
    QPushButton *m_saveThumbnailButton;
    QPushButton *m_cutPartButton;
    QPushButton *m_startButton;
    QPushButton *m_closeButton;
    QPointer<NSEncodingProgressView> m_progressView;
};
