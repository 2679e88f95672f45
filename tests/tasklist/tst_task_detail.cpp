#include "desktop/AlertScript.h"
#include "media/NSTavoTools.h"
#include "media/NSffprobe.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XFile.h"
#include "store/XTask.h"
#include "support/AccessibilityWalk.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "tasklist/TaskDetailView.h"
#include "tasklist/TaskDetailWindowController.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{

// The value shown beside a caption of the form.
QString shownBeside(QWidget *window, const QString &caption)
{
    for (QLabel *label : window->findChildren<QLabel *>())
        if (label->text() == caption && label->buddy())
            if (auto *value = qobject_cast<QLabel *>(label->buddy())) return value->text();
    return QStringLiteral("<no %1>").arg(caption);
}
} // namespace

class TestTaskDetail : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_workingFolder;
    std::unique_ptr<TaskDetailWindowController> m_sheet;
    std::unique_ptr<QSignalSpy> m_finished;

    QString path(const QString &name) const { return m_workingFolder.filePath(name); }
    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }

    std::shared_ptr<XTask> completedTask(const QString &url)
    {
        const auto task =
            store().creatTaskURL(url, QStringLiteral("Firefox"), QStringLiteral("old"));
        task->setStatus(XTask::StatusCompleted);
        task->setCompletedDate(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
        return task;
    }

    // A clip with the page description yt-dlp writes beside it.
    QString clipWithDescription(const QString &name)
    {
        const QString clip = path(name + QStringLiteral(".mp4"));
        if (!QFile::exists(clip) && !MediaFactory::makeClip(clip, 1.0)) return QString();
        QFile description(path(name + QStringLiteral(".description")));
        if (!description.open(QIODevice::WriteOnly)) return QString();
        description.write("What the page says.");
        return clip;
    }

    void openSheet(const std::shared_ptr<XTask> &task)
    {
        m_sheet = std::make_unique<TaskDetailWindowController>();
        m_finished = std::make_unique<QSignalSpy>(m_sheet.get(), &QDialog::finished);
        m_sheet->open();
        m_sheet->view()->setTask(task.get());
        QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
    }

    QAbstractButton *button(const QString &text) const
    {
        return AccessibilityWalk::findNamed<QAbstractButton>(m_sheet.get(), text);
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QVERIFY(QFile::link(QStringLiteral("/usr/bin/ffprobe"), path(QStringLiteral("ffprobe"))));
        QFile ytdlp(path(QStringLiteral("yt-dlp")));
        QVERIFY(ytdlp.open(QIODevice::WriteOnly));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_workingFolder.path());
        QVERIFY(store().open());
    }

    void cleanup()
    {
        m_sheet.reset();
        m_finished.reset();
    }

    void fields_data()
    {
        QTest::addColumn<QString>("files"); // records, legacy, none, missing
        QTest::addColumn<bool>("completed");
        QTest::newRow("records") << "records" << true;
        QTest::newRow("legacy list") << "legacy" << true;
        QTest::newRow("no file") << "none" << true;
        QTest::newRow("file gone") << "missing" << true;
        QTest::newRow("no completion date") << "records" << false;
    }

    // Each row is also walked as a screen reader walks it.
    void fields()
    {
        QFETCH(QString, files);
        QFETCH(bool, completed);
        const QString url = QStringLiteral("https://example.com/%1/%2").arg(files).arg(completed);
        const auto task = completedTask(url);
        if (!completed) task->setCompletedDate(QDateTime());
        const QString clip = clipWithDescription(QStringLiteral("clip ") + files);
        QVERIFY(!clip.isEmpty());
        if (files == QLatin1String("records")) task->saveLocalFiles({clip});
        if (files == QLatin1String("legacy"))
            task->setLocalFile(clip + QStringLiteral("\n") + path("b.m4a"));
        if (files == QLatin1String("missing")) {
            task->saveLocalFiles({clip});
            QVERIFY(QFile::remove(clip));
        }
        QVERIFY(store().save());
        openSheet(task);
        QCOMPARE(m_sheet->windowTitle(), QStringLiteral("Task Detail"));
        QCOMPARE(m_sheet->objectName(), QStringLiteral("TaskDetailWindowController"));
        QCOMPARE(m_sheet->windowModality(), Qt::WindowModal);

        const bool hasFile = files != QLatin1String("none");
        const bool onDisk = files == QLatin1String("records") || files == QLatin1String("legacy");
        QCOMPARE(shownBeside(m_sheet.get(), "Name"),
                 hasFile ? QFileInfo(clip).completeBaseName() : QString());
        QCOMPARE(shownBeside(m_sheet.get(), "Location").contains(clip.toHtmlEscaped()), hasFile);
        QCOMPARE(shownBeside(m_sheet.get(), "Description"),
                 hasFile ? QStringLiteral("What the page says.") : QString());
        QCOMPARE(
            shownBeside(m_sheet.get(), "Completed"),
            NSTavoTools::stringForDate(completed ? task->completedDate() : task->createDate()));
        QCOMPARE(shownBeside(m_sheet.get(), "URL"), url);
        QCOMPARE(shownBeside(m_sheet.get(), "Browser"), QStringLiteral("Firefox"));
        QCOMPARE(AccessibilityWalk::findNamed<QPlainTextEdit>(m_sheet.get(), "Note")->toPlainText(),
                 QStringLiteral("old"));
        // The legacy list became records.
        QVERIFY(task->localFile().isNull());
        QCOMPARE(button("Show in Folder")->isEnabled(), onDisk);
        QCOMPARE(button("Media Information")->isEnabled(), onDisk);
        bool markedMissing = false;
        for (QLabel *label : m_sheet->findChildren<QLabel *>())
            if (label->isVisible() &&
                label->text() == QStringLiteral("The file is no longer on the disk."))
                markedMissing = true;
        QCOMPARE(markedMissing, files == QLatin1String("missing"));
        QCOMPARE(AccessibilityWalk::unnamedControls(m_sheet.get()), QStringList());

        // The URL goes to the clipboard without a word.
        AlertScript script;
        QTest::mouseClick(button("Copy URL"), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), url);
        QVERIFY(script.alerts().isEmpty() && m_finished->isEmpty());
    }

    // The report of a real clip from just after its first "Metadata:", read off the main
    // thread: the click returns before ffprobe has answered.
    void mediaInformation()
    {
        const auto task = completedTask(QStringLiteral("https://example.com/media"));
        const QString clip = clipWithDescription(QStringLiteral("media clip"));
        task->saveLocalFiles({clip});
        openSheet(task);
        AlertScript script;
        QTest::mouseClick(button("Media Information"), Qt::LeftButton);
        QVERIFY(script.alerts().isEmpty());
        QTRY_COMPARE(script.alerts().size(), 1);
        const Alert shown = script.alerts()[0];
        QCOMPARE(shown.messageText, QStringLiteral("media clip.mp4"));
        const QString report =
            NSffprobe::detailMediaFileURL(QUrl::fromLocalFile(clip), m_workingFolder.path());
        QVERIFY(report.contains(QStringLiteral("Input #0")));
        QVERIFY(!shown.informativeText.contains(QStringLiteral("Input #0")));
        QVERIFY(shown.informativeText.contains(QStringLiteral("major_brand")));
        QVERIFY(report.endsWith(shown.informativeText));
        QCOMPARE(shown.buttons, QStringList{QStringLiteral("OK")});
        QCOMPARE(TaskDetailView::mediaReportAfterMetadata(QStringLiteral("no such section")),
                 QStringLiteral("no such section"));
    }

    void noteKept_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Close") << "Close";
        QTest::newRow("Esc") << "Esc";
        QTest::newRow("close button") << "close";
    }

    void noteKept()
    {
        QFETCH(QString, way);
        const QString url = QStringLiteral("https://example.com/note/") + way;
        const auto task = completedTask(url);
        QVERIFY(store().save());
        openSheet(task);
        auto *note = AccessibilityWalk::findNamed<QPlainTextEdit>(m_sheet.get(), "Note");
        note->setFocus();
        note->selectAll();
        QTest::keyClicks(note, QStringLiteral("new note"));
        if (way == QLatin1String("Close"))
            QTest::mouseClick(button("Close"), Qt::LeftButton);
        else if (way == QLatin1String("Esc"))
            QTest::keyClick(note, Qt::Key_Escape);
        else
            m_sheet->close();
        QCOMPARE(m_finished->size(), 1);
        QCOMPARE(m_finished->at(0).at(0).toInt(), TaskDetailView::NSModalResponseAbort);

        XCoreDataManagement reopened(store().storePath());
        QVERIFY(reopened.open());
        const auto stored = reopened.searchURL(url);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0]->note(), QStringLiteral("new note"));
    }
};

QTEST_MAIN(TestTaskDetail)
#include "tst_task_detail.moc"
