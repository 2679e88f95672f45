// The task detail sheet: its fields for each way a task keeps its files, the note kept
// whichever way the sheet closes, and the media report read off the main thread.
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
#include "support/TestRows.h"
#include "tasklist/TaskDetailView.h"
#include "tasklist/TaskDetailWindowController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QtTest>

class TestTaskDetail : public QObject
{
    Q_OBJECT

    QTemporaryDir m_workingFolder;
    std::unique_ptr<TaskDetailWindowController> m_sheet;
    std::unique_ptr<QSignalSpy> m_finished;

    QString path(const QString &name) const { return m_workingFolder.filePath(name); }
    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }

    std::shared_ptr<XTask> completedTask(const QString &url)
    {
        const auto task = store().creatTaskURL(url, "Firefox", "old");
        task->setStatus(XTask::StatusCompleted);
        task->setCompletedDate(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
        return task;
    }
    // A clip with the page description yt-dlp writes beside it.
    QString clipWithDescription(const QString &name)
    {
        const QString clip = path(name + ".mp4");
        if (!QFile::exists(clip) && !MediaFactory::makeClip(clip, 1.0)) return QString();
        QFile description(path(name + ".description"));
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
    template <typename Control = QAbstractButton> Control *named(const QString &name) const
    {
        return AccessibilityWalk::findNamed<Control>(m_sheet.get(), name);
    }
    // The value shown beside a caption of the form.
    QString shownBeside(const QString &caption) const
    {
        for (QLabel *label : m_sheet->findChildren<QLabel *>())
            if (label->text() == caption && label->buddy())
                if (auto *value = qobject_cast<QLabel *>(label->buddy())) return value->text();
        return QStringLiteral("<no %1>").arg(caption);
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QVERIFY(QFile::link("/usr/bin/ffprobe", path("ffprobe")));
        QFile ytdlp(path("yt-dlp"));
        QVERIFY(ytdlp.open(QIODevice::WriteOnly));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_workingFolder.path());
        QVERIFY(store().open());
    }

    void cleanup()
    {
        m_sheet.reset();
        m_finished.reset();
    }

    void fieldsAndNote_data()
    {
        QTest::addColumn<QString>("files");
        QTest::addColumn<bool>("completed");
        QTest::addColumn<QString>("closedBy");
        addRow("records", "records", true, "Close");
        addRow("legacy list", "legacy", true, "Esc");
        addRow("no file", "none", true, "window");
        addRow("file gone", "missing", true, "Close");
        addRow("no completion date", "records", false, "Esc");
    }

    // Each row is also walked as a screen reader walks it; its new note is kept however the
    // sheet closes.
    void fieldsAndNote()
    {
        QFETCH(QString, files);
        QFETCH(bool, completed);
        QFETCH(QString, closedBy);
        const QString url = QStringLiteral("https://example.com/%1/%2").arg(files).arg(completed);
        const auto task = completedTask(url);
        if (!completed) task->setCompletedDate(QDateTime());
        const QString clip = clipWithDescription("clip " + files);
        QVERIFY(!clip.isEmpty());
        if (files == "records" || files == "missing") task->saveLocalFiles({clip});
        if (files == "legacy") task->setLocalFile(clip + "\n" + path("b.m4a"));
        if (files == "missing") QVERIFY(QFile::remove(clip));
        QVERIFY(store().save());
        openSheet(task);

        const bool hasFile = files != "none";
        const bool onDisk = files == "records" || files == "legacy";
        QCOMPARE(shownBeside("Name"), hasFile ? QFileInfo(clip).completeBaseName() : QString());
        QCOMPARE(shownBeside("Location").contains(clip.toHtmlEscaped()), hasFile);
        QCOMPARE(shownBeside("Description"), hasFile ? "What the page says." : QString());
        QCOMPARE(
            shownBeside("Completed"),
            NSTavoTools::stringForDate(completed ? task->completedDate() : task->createDate()));
        QCOMPARE(shownBeside("URL"), url);
        QCOMPARE(shownBeside("Browser"), "Firefox");
        QCOMPARE(named<QPlainTextEdit>("Note")->toPlainText(), "old");
        QVERIFY(task->localFile().isNull()); // the legacy list became records
        QCOMPARE(named("Show in Folder")->isEnabled(), onDisk);
        QCOMPARE(named("Media Information")->isEnabled(), onDisk);
        QLabel *gone = named<QLabel>("The file is no longer on the disk.");
        QCOMPARE(gone && gone->isVisible(), files == "missing");
        QCOMPARE(AccessibilityWalk::unnamedControls(m_sheet.get()), QStringList());
        // The URL goes to the clipboard without a word.
        AlertScript script;
        QTest::mouseClick(named("Copy URL"), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), url);
        QVERIFY(script.alerts().isEmpty() && m_finished->isEmpty());

        auto *note = named<QPlainTextEdit>("Note");
        note->setFocus();
        note->selectAll();
        QTest::keyClicks(note, "new note");
        if (closedBy == "Close")
            QTest::mouseClick(named("Close"), Qt::LeftButton);
        else if (closedBy == "Esc")
            QTest::keyClick(note, Qt::Key_Escape);
        else
            m_sheet->close();
        QCOMPARE(m_finished->size(), 1);
        QCOMPARE(m_finished->at(0).at(0).toInt(), TaskDetailView::NSModalResponseAbort);
        XCoreDataManagement reopened(store().storePath());
        QVERIFY(reopened.open());
        const auto stored = reopened.searchURL(url);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0]->note(), "new note");
    }

    // The report of a real clip from just after its first "Metadata:", read off the main
    // thread: the click returns before ffprobe has answered. A report without that section
    // shows whole.
    void mediaInformation()
    {
        const auto task = completedTask("https://example.com/media");
        const QString clip = clipWithDescription("media clip");
        task->saveLocalFiles({clip});
        openSheet(task);
        AlertScript script;
        QTest::mouseClick(named("Media Information"), Qt::LeftButton);
        QVERIFY(script.alerts().isEmpty());
        QTRY_COMPARE(script.alerts().size(), 1);
        const Alert shown = script.alerts()[0];
        QCOMPARE(shown.messageText, "media clip.mp4");
        QCOMPARE(shown.buttons, QStringList{"OK"});
        const QString report =
            NSffprobe::detailMediaFileURL(QUrl::fromLocalFile(clip), m_workingFolder.path());
        QVERIFY(report.contains("Input #0") && !shown.informativeText.contains("Input #0"));
        QVERIFY(shown.informativeText.contains("major_brand"));
        QVERIFY(report.endsWith(shown.informativeText));
        QCOMPARE(TaskDetailView::mediaReportAfterMetadata("no such section"), "no such section");
    }
};

QTEST_MAIN(TestTaskDetail)
#include "tst_task_detail.moc"
