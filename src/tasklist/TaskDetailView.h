#pragma once

#include "platform/JobRunner.h"

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class XTask;

// The detail of one finished task: its first file's name, location and description, the
// dates, URL and browser, and the user's note, which is kept when the detail closes.
class TaskDetailView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int NSModalResponseAbort = -1001;

    explicit TaskDetailView(QWidget *parent = nullptr);

    // Turns a legacy file list into records first, so the first file shows as a record.
    void setTask(XTask *task);
    XTask *task() const { return m_task.get(); }

    void showInFinder();
    void copyURL();
    // ffprobe's report on the first file, read on a job thread and shown when it arrives.
    void showFileInfomation();
    // Keeps the note and ends the detail.
    void closeAction();

    // What follows the first "Metadata:" of a report; the whole report when it has none.
    static QString mediaReportAfterMetadata(const QString &report);

signals:
    void endSheet(int returnCode);

private:
    void buildControls();
    QLabel *selectableLabel();
    void showFirstFile();
    void showFileMissing(bool missing);

    QScrollArea *m_contentScrollView;
    QLabel *m_nameLabel;
    QLabel *m_missingLabel;
    QLabel *m_completedDateLabel;
    QLabel *m_urlLabel;
    QLabel *m_locationLabel;
    QLabel *m_browserLabel;
    QLabel *m_descriptionLabel;
    QPlainTextEdit *m_noteTextView;
    QPushButton *m_showInFolderButton;
    QPushButton *m_mediaInformationButton;

    std::shared_ptr<XTask> m_task;
    QString m_firstPath;
    JobRunner m_jobs{1};
};
