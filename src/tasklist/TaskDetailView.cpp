#include "tasklist/TaskDetailView.h"

#include "desktop/Alerts.h"
#include "desktop/DesktopServices.h"
#include "desktop/FileReveal.h"
#include "media/NSTavoTools.h"
#include "media/NSffprobe.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XFile.h"
#include "store/XTask.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace
{

QStringList localPaths(const XTask &task)
{
    QStringList paths;
    for (const QUrl &url : task.loadLocalURLs())
        paths.append(url.toLocalFile());
    return paths;
}
} // namespace

TaskDetailView::TaskDetailView(QWidget *parent) : QWidget(parent)
{
    buildControls();
}

QLabel *TaskDetailView::selectableLabel()
{
    auto *label = new QLabel(this);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

void TaskDetailView::buildControls()
{
    m_nameLabel = selectableLabel();
    m_missingLabel = new QLabel(tr("The file is no longer on the disk."), this);
    m_missingLabel->hide();
    m_locationLabel = selectableLabel();
    // The location is also a link that shows the file in the file manager.
    m_locationLabel->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_locationLabel->setTextFormat(Qt::RichText);
    connect(m_locationLabel, &QLabel::linkActivated, this, &TaskDetailView::showInFinder);
    m_completedDateLabel = selectableLabel();
    m_urlLabel = selectableLabel();
    m_browserLabel = selectableLabel();
    m_descriptionLabel = selectableLabel();
    m_noteTextView = new QPlainTextEdit(this);
    m_noteTextView->setTabChangesFocus(true);
    m_noteTextView->setAccessibleName(tr("Note"));

    auto *fields = new QWidget;
    auto *form = new QFormLayout(fields);
    // Long texts wrap within the sheet rather than run past its edge.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(tr("Name"), m_nameLabel);
    form->addRow(QString(), m_missingLabel);
    form->addRow(tr("Location"), m_locationLabel);
    form->addRow(tr("Completed"), m_completedDateLabel);
    form->addRow(tr("URL"), m_urlLabel);
    form->addRow(tr("Browser"), m_browserLabel);
    form->addRow(tr("Description"), m_descriptionLabel);
    form->addRow(tr("Note"), m_noteTextView);
    m_contentScrollView = new QScrollArea(this);
    m_contentScrollView->setWidgetResizable(true);
    m_contentScrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_contentScrollView->setWidget(fields);

    m_showInFolderButton = new QPushButton(tr("Show in Folder"), this);
    QPushButton *copyButton = new QPushButton(tr("Copy URL"), this);
    m_mediaInformationButton = new QPushButton(tr("Media Information"), this);
    QPushButton *closeButton = new QPushButton(tr("Close"), this);
    connect(m_showInFolderButton, &QPushButton::clicked, this, &TaskDetailView::showInFinder);
    connect(copyButton, &QPushButton::clicked, this, &TaskDetailView::copyURL);
    connect(m_mediaInformationButton, &QPushButton::clicked, this,
            &TaskDetailView::showFileInfomation);
    connect(closeButton, &QPushButton::clicked, this, &TaskDetailView::closeAction);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button :
         {m_showInFolderButton, copyButton, m_mediaInformationButton, closeButton})
        buttons->addWidget(button);
    buttons->insertStretch(3);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_contentScrollView);
    layout->addLayout(buttons);
    setMinimumSize(480, 400);
}

void TaskDetailView::setTask(XTask *task)
{
    m_task = task ? std::static_pointer_cast<XTask>(task->shared_from_this()) : nullptr;
    if (!m_task) return;
    m_task->checkAndUpdate();
    showFirstFile();
    m_browserLabel->setText(m_task->browers());
    const QDateTime completed = m_task->completedDate();
    m_completedDateLabel->setText(
        NSTavoTools::stringForDate(completed.isValid() ? completed : m_task->createDate()));
    m_urlLabel->setText(m_task->url());
    m_noteTextView->setPlainText(m_task->note());
    m_contentScrollView->verticalScrollBar()->setValue(0);
}

void TaskDetailView::showFirstFile()
{
    const FileEntry first = m_task->loadLocalFiles().value(0);
    m_firstPath = first.record ? first.record->localFile() : first.path;
    if (first.record) {
        m_nameLabel->setText(first.record->name());
        const QString description = first.record->source_description();
        m_descriptionLabel->setText(description);
        m_descriptionLabel->setToolTip(description);
    } else {
        // A path of a legacy list has no description of its own.
        m_nameLabel->setText(m_firstPath.isEmpty() ? QString() : QFileInfo(m_firstPath).fileName());
    }
    m_locationLabel->setText(
        QStringLiteral("<a href=\"reveal\">%1</a>").arg(m_firstPath.toHtmlEscaped()));
    showFileMissing(m_firstPath.isEmpty() || !QFileInfo::exists(m_firstPath));
}

void TaskDetailView::showFileMissing(bool missing)
{
    QFont font = m_nameLabel->font();
    font.setStrikeOut(missing && !m_firstPath.isEmpty());
    m_nameLabel->setFont(font);
    m_missingLabel->setVisible(missing && !m_firstPath.isEmpty());
    if (missing) m_locationLabel->setText(m_firstPath.toHtmlEscaped());
    m_showInFolderButton->setEnabled(!missing);
    m_mediaInformationButton->setEnabled(!missing);
}

void TaskDetailView::showInFinder()
{
    if (m_task) FileReveal::reveal(localPaths(*m_task));
}

void TaskDetailView::copyURL()
{
    if (m_task) DesktopServices::copyText(m_task->url());
}

QString TaskDetailView::mediaReportAfterMetadata(const QString &report)
{
    static const QString marker = QStringLiteral("Metadata:");
    const qsizetype at = report.indexOf(marker);
    return at < 0 ? report : report.mid(at + marker.size());
}

void TaskDetailView::showFileInfomation()
{
    if (!m_task) return;
    const QUrl file = m_task->loadLocalURLs().value(0);
    if (file.isEmpty()) return;
    m_mediaInformationButton->setEnabled(false);
    const QString ffprobeFolder = StoredSettings::ytdlpPath().toLocalFile();
    m_jobs.run([file, ffprobeFolder] { return NSffprobe::detailMediaFileURL(file, ffprobeFolder); },
               [this, file](const QString &report) {
                   m_mediaInformationButton->setEnabled(true);
                   Alert alert;
                   alert.messageText = file.fileName();
                   alert.informativeText = mediaReportAfterMetadata(report);
                   Alerts::run(alert, window());
               });
}

void TaskDetailView::closeAction()
{
    if (m_task) {
        m_task->setNote(m_noteTextView->toPlainText());
        if (!m_task->save()) {
            Alert failure;
            failure.messageText = tr("The note could not be saved.");
            if (XCoreDataManagement *store = m_task->store())
                failure.informativeText = store->lastSaveError();
            Alerts::run(failure, window());
        }
    }
    emit endSheet(NSModalResponseAbort);
}
