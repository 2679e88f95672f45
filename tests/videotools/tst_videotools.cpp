// The video tools sheet on the offscreen platform: the trim bar, the encoding panel on a real
// encode, the pane's keys and refusals, the sheet that stays while a job runs.
#include "desktop/AlertScript.h"
#include "media/NSTavoTools.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/AccessibilityWalk.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"
#include "videotools/NSDurationSelectView.h"
#include "videotools/NSEncodeConfirmView.h"
#include "videotools/NSEncodeWindownController.h"
#include "videotools/NSEncodingProgressView.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestVideoTools : public QObject
{
    Q_OBJECT

    QString m_work;
    QWidget m_window;

    QString path(const QString &name) const { return QDir(m_work).filePath(name); }
    // A task with a copy of each master file.
    std::shared_ptr<XTask> taskOf(const QStringList &masters)
    {
        auto &store = XCoreDataManagement::shared();
        const auto task = store.creatTaskURL("https://v.example/" + masters.join('+'), {}, {});
        int copy = 0;
        for (const QString &master : masters) {
            const QString file = path(QStringLiteral("%1-%2").arg(++copy).arg(master));
            QFile::copy(path(master), file);
            store.createFile(QUrl::fromLocalFile(file))->setTask(task);
        }
        store.save();
        return task;
    }
    NSEncodeWindownController *openSheet(const std::shared_ptr<XTask> &task)
    {
        auto *sheet = NSEncodeWindownController::openForTask(&m_window, task);
        sheet->pane()->tools().waitForJobs();
        return sheet;
    }

private slots:
    void initTestCase()
    {
        m_work = TestEnvironment::isolateHome() + "/work";
        QVERIFY(QDir().mkpath(m_work));
        for (const char *tool : {"yt-dlp", "ffmpeg", "ffprobe"})
            QVERIFY(QFile::link(QStandardPaths::findExecutable(tool), path(tool)));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_work);
        QVERIFY(MediaFactory::makeClip(path("a.mp4"), 2));
        QVERIFY(MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=1280x720:d=30", "-c:v", "mpeg4", path("long.mp4")}));
        QVERIFY(XCoreDataManagement::shared().open());
        m_window.resize(800, 700);
        m_window.show();
    }

    // A left click anywhere on the bar (a label too) previews at its fraction; a right click
    // is no preview.
    void barClicks()
    {
        NSDurationSelectView bar(&m_window);
        bar.setGeometry(50, 10, 400, 40);
        bar.show();
        QList<float> fractions;
        bar.setClickHandler([&](float given) { fractions << given; });
        for (int x : {0, 200, 399}) {
            QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(x, 20));
            QTest::mouseClick(&bar, Qt::RightButton, {}, QPoint(x, 20));
        }
        QCOMPARE(fractions, (QList<float>{0.0f, 0.5f, 399.0f / 400.0f}));
    }

    void barQuestions_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("response");
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("head"); // what the head is afterwards (it starts at 3)
        addRow("a value", "en_US", 1000, "12.5", 12.5f);
        addRow("a comma locale", "de_DE", 1000, "12,5", 12.5f);
        addRow("letters", "en_US", 1000, "abc", 3.0f);
        addRow("nan", "en_US", 1000, "nan", 3.0f);
        addRow("cancel", "en_US", 1001, "7", 3.0f);
    }

    // A new bar starts from what was stored, labels included.
    void barQuestions()
    {
        QFETCH(QString, locale);
        QFETCH(int, response);
        QFETCH(QString, text);
        QFETCH(float, head);
        StoredSettings::setValue(StoredSettings::KEY_DEFAULT_REMOVE_START, 3.0f);
        StoredSettings::setValue(StoredSettings::KEY_DEFAULT_REMOVE_END, 4.0f);
        QLocale::setDefault(QLocale(locale));
        NSDurationSelectView bar;
        AlertScript script;
        script.queueAnswer(response, text);
        bar.inputStartDuration();
        QLocale::setDefault(QLocale::c());
        QCOMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts().first().buttons, (QStringList{"确定", "取消"}));
        QCOMPARE(bar.removeHeaderDuration(), head);
        QCOMPARE(bar.removeEndDuration(), 4.0f);
        NSDurationSelectView next;
        QCOMPARE(next.removeHeaderDuration(), head);
        QCOMPARE(next.findChildren<QLabel *>().first()->text(),
                 NSTavoTools::stringForDuration(head));
    }

    void paneWithoutFiles()
    {
        auto *sheet =
            openSheet(XCoreDataManagement::shared().creatTaskURL("https://v.e/0", {}, {}));
        NSEncodeConfirmView *pane = sheet->pane();
        QCOMPARE(pane->filesComboBox()->count(), 0);
        for (QPushButton *button :
             {pane->startButton(), pane->cutPartButton(), pane->saveThumbnailButton()})
            QVERIFY2(!button->isEnabled(), qPrintable(button->text()));
        AlertScript script;
        pane->cutPartVideoAction();
        pane->encodeAction();
        QVERIFY(script.alerts().isEmpty());
        QTest::keyClick(sheet, Qt::Key_Escape);
        QTRY_VERIFY(!sheet->isVisible());
    }

    // The arrows choose the file and stop at the ends; a click on the bar previews and a new
    // choice drops the preview. Trimming asks first: "取消" changes nothing; the second button
    // trims, here refused as longer than the file.
    void paneArrowKeysAndTrimQuestion()
    {
        StoredSettings::setValue(StoredSettings::KEY_DEFAULT_REMOVE_START, 100.0f);
        QPointer sheet = openSheet(taskOf({"a.mp4", "a.mp4", "a.mp4"}));
        NSEncodeConfirmView *pane = sheet->pane();
        QVERIFY(AccessibilityWalk::unnamedControls(sheet).isEmpty());
        QCOMPARE(pane->filesComboBox()->count(), 3);
        QVERIFY(!pane->startButton()->isEnabled()); // already H.264
        QVERIFY(pane->cutPartButton()->isEnabled());
        pane->setFocus();
        for (int expected : {1, 2, 2}) {
            QTest::keyClick(pane, Qt::Key_Down);
            QCOMPARE(pane->filesComboBox()->currentIndex(), expected);
            QCOMPARE(pane->tools().selectedIndex(), expected);
        }
        for (int expected : {1, 0, 0}) {
            QTest::keyClick(pane, Qt::Key_Up);
            QCOMPARE(pane->tools().selectedIndex(), expected);
        }
        QWidget *bar = pane->durationView();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->rect().center());
        QTRY_VERIFY(pane->saveThumbnailButton()->isEnabled());
        QVERIFY(!pane->thumbnailView()->pixmap().isNull());
        QTest::keyClick(pane, Qt::Key_Down);
        QVERIFY(!pane->saveThumbnailButton()->isEnabled());
        QTest::keyClick(pane, Qt::Key_Up);

        AlertScript script;
        QSignalSpy trimmed(&pane->tools(), &NSVideoToolController::trimEnded);
        script.queueAnswer(1000);
        QTest::mouseClick(pane->cutPartButton(), Qt::LeftButton);
        QCOMPARE(trimmed.size(), 0);
        QCOMPARE(script.alerts().first().buttons, (QStringList{"取消", "执行 掐头去尾"}));
        script.queueAnswer(1001);
        QTest::mouseClick(pane->cutPartButton(), Qt::LeftButton);
        QCOMPARE(trimmed.size(), 1);
        QCOMPARE(script.alerts().size(), 3);
        QCOMPARE(script.alerts().last().messageText, NSVideoToolController::tooLongText);
        sheet->reject();
    }

    // Esc, the window manager's close and the arrow keys all do nothing while an encode
    // runs; cancelled, it says so and keeps the source.
    void encodeHoldsTheSheetUntilCancelled()
    {
        QPointer sheet = openSheet(taskOf({"long.mp4"}));
        NSEncodeConfirmView *pane = sheet->pane();
        QVERIFY(pane->startButton()->isEnabled());
        const QString source = pane->tools().currentFile()->localFile();
        QTest::mouseClick(pane->startButton(), Qt::LeftButton);
        QPointer panel = pane->progressView();
        QVERIFY(panel && panel->isVisible());
        QVERIFY(AccessibilityWalk::unnamedControls(sheet).isEmpty());
        for (QWidget *control : std::initializer_list<QWidget *>{
                 pane->filesComboBox(), pane->startButton(), pane->cutPartButton(),
                 pane->saveThumbnailButton(), pane->durationView()})
            QVERIFY(!control->isEnabled());
        QTest::keyClick(sheet, Qt::Key_Escape);
        sheet->close();
        QTest::keyClick(pane, Qt::Key_Down);
        QVERIFY(sheet && sheet->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(panel->progressText().endsWith('%'), 60000);

        AlertScript script;
        auto *cancel = panel->findChild<QPushButton *>();
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!cancel->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!panel, 30000);
        QCOMPARE(script.alerts().size(), 1);
        QVERIFY2(script.alerts().first().messageText.contains("转码过程中，用户取消。"),
                 qPrintable(script.alerts().first().messageText));
        QVERIFY(QFileInfo::exists(source));
        QVERIFY(pane->startButton()->isEnabled());
        QTest::keyClick(sheet, Qt::Key_Escape);
        QTRY_VERIFY(!sheet);
    }
};

QTEST_MAIN(TestVideoTools)
#include "tst_videotools.moc"
