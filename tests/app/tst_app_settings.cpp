#include "AppTestKit.h"
#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "app/ViewController.h"
#include "app/settings/NSModalView.h"
#include "app/settings/NSSettingsView.h"
#include "app/settings/NSSettingsWindowController.h"
#include "desktop/AlertScript.h"
#include "desktop/SheetQueue.h"
#include "store/StoredSettings.h"
#include "support/AccessibilityWalk.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/MediaServer.h"
#include "support/TestRows.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using AppTestKit::withText;

namespace
{

const QString autoStartText = QStringLiteral("Start downloads when a task is created");

// A yt-dlp that says its version (after a pause) and answers -U with the given status.
QString fakeYtdlp(const QString &version, double pause = 0, int updateStatus = 0)
{
    return QStringLiteral("if [ \"$1\" = --version ]; then sleep %2; echo %1; exit 0; fi\n"
                          "if [ \"$1\" = -U ]; then exit %3; fi\nexit 9\n")
        .arg(version)
        .arg(pause)
        .arg(updateStatus);
}

// A working folder holding a fake yt-dlp, stored as the settings pane stores it.
void storeWorkingFolder(const QString &folder, const QString &ytdlp = fakeYtdlp("1.0"))
{
    FakeExecutable::write(folder + QStringLiteral("/yt-dlp"), ytdlp);
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
}

// Fake ffmpeg, ffplay and ffprobe that answer -version after a pause.
QString fakeSystemTools(const QTemporaryDir &bin, double pause = 0)
{
    for (const char *tool : {"ffmpeg", "ffplay", "ffprobe"})
        FakeExecutable::write(bin.filePath(QLatin1String(tool)),
                              QStringLiteral("/bin/sleep %1; echo '%2 version 9.9'\n")
                                  .arg(pause)
                                  .arg(QLatin1String(tool)));
    return bin.path();
}

QPushButton *button(QWidget *sheet, const QString &title)
{
    return withText<QPushButton>(sheet, title);
}

} // namespace

// The settings sheet against the real scripts and fake tools, answered by the alert script.
class TestAppSettings : public QObject
{
    Q_OBJECT
    QString m_settingsFile;
    QByteArray m_path;
    // In this order: the window and its sheet go first, then the jobs end, then the script.
    std::unique_ptr<AlertScript> m_script;
    JobRunner m_jobs;
    std::unique_ptr<QWidget> m_window;

    AlertScript &script() { return *m_script; }
    NSSettingsWindowController *newSheet()
    {
        m_window = std::make_unique<QWidget>();
        return new NSSettingsWindowController(m_jobs, m_window.get());
    }

private slots:
    void initTestCase()
    {
        m_settingsFile = AppTestKit::isolateHome() + QStringLiteral("/.config/Zelvo/Zelvo.conf");
        m_path = qgetenv("PATH");
    }

    void init()
    {
        for (const char *key :
             {StoredSettings::KEY_WORKING_URL_DATA, StoredSettings::KEY_AUDO_START_DOWNLOAD,
              StoredSettings::KEY_VERSION_STRING, StoredSettings::KEY_UPDATE_CHECK_DATE,
              StoredSettings::KEY_FFMPEG_URL, StoredSettings::KEY_FFMPEG_VERSION})
            StoredSettings::setValue(key, QVariant());
        qputenv("PATH", m_path);
        m_script = std::make_unique<AlertScript>();
    }

    void cleanup()
    {
        m_window.reset();
        QVERIFY(m_jobs.waitForDone(20000));
        m_script.reset();
    }

    // First run: the main window, the settings sheet (after a sheet the user opened first),
    // the welcome, the folder panel, yt-dlp installed by the real install script from the
    // local server, the update check stored.
    void welcomeChainInstallsIntoTheChosenFolder()
    {
        QTemporaryDir site;
        FakeExecutable::write(site.filePath(QStringLiteral("yt-dlp")), fakeYtdlp("2030.01.01"));
        MediaServer server(site.path());
        QVERIFY(server.isRunning());
        qputenv("ZELVO_YTDLP_URL", server.url(QStringLiteral("yt-dlp")).toUtf8());
        QTemporaryDir folder;
        script().queueAnswer(Alert::FirstButtonReturn);
        script().queuePanelChoice(folder.path());

        AppDelegate delegate;
        delegate.start();
        auto *form = new QDialog(delegate.mainWindow());
        SheetQueue::present(form);
        QTest::qWait(ViewController::setupCheckDelayMs + NSSettingsView::welcomeDelayMs + 200);
        auto *sheet = delegate.mainWindow()->findChild<NSSettingsWindowController *>();
        QVERIFY(sheet && !sheet->isVisible());
        QCOMPARE(SheetQueue::currentSheet(delegate.mainWindow()), form);
        QVERIFY(script().alerts().isEmpty());
        form->accept();
        QCOMPARE(SheetQueue::currentSheet(delegate.mainWindow()), sheet);
        QTRY_COMPARE_WITH_TIMEOUT(StoredSettings::stringValue(StoredSettings::KEY_VERSION_STRING),
                                  QStringLiteral("2030.01.01"), 30000);
        qunsetenv("ZELVO_YTDLP_URL");

        QCOMPARE(script().alerts().size(), 1); // the welcome
        QCOMPARE(script().panels().size(), 1);
        QCOMPARE(NSSettingsView::ytdlpPath(), QUrl::fromLocalFile(folder.path()));
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("yt-dlp"))).isExecutable());
        QVERIFY(
            StoredSettings::value(StoredSettings::KEY_UPDATE_CHECK_DATE).toDateTime().isValid());
        QTRY_VERIFY(!sheet->settingsView()->isBusy());
        QVERIFY(withText<QLabel>(sheet, QStringLiteral("2030.01.01")));
        QVERIFY(button(sheet, "Install ffmpeg")->isEnabled());
    }

    void openingStates_data()
    {
        QTest::addColumn<bool>("stored");     // the folder, ffmpeg's version, the switch on
        QTest::addColumn<QString>("welcome"); // how the welcome is answered without a folder
        addRow("nothing stored, 取消", false, QStringLiteral("取消"));
        addRow("nothing stored, a file chosen", false, QStringLiteral("file"));
        addRow("everything stored", true, QString());
    }

    // Opening, answering the welcome, showing and closing the sheet fill it from the settings
    // and write nothing; only a click on the switch writes.
    void openingStates()
    {
        QFETCH(bool, stored);
        QFETCH(QString, welcome);
        QTemporaryDir working;
        if (stored) {
            storeWorkingFolder(working.path());
            // As another writer may store it: a switch that wrote on filling would change it.
            StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD, QStringLiteral("1"));
            StoredSettings::setValue(StoredSettings::KEY_VERSION_STRING, QStringLiteral("1.0"));
            StoredSettings::setValue(StoredSettings::KEY_UPDATE_CHECK_DATE,
                                     QDateTime::currentDateTime());
            StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, QStringLiteral("9.9"));
        }
        const QString file = FakeExecutable::write(working.filePath("notes.txt"), QString());
        if (welcome != QStringLiteral("取消")) script().queueAnswer(Alert::FirstButtonReturn);
        script().queuePanelChoice(welcome == QStringLiteral("file") ? file : QString());
        const QByteArray before = FileContents::read(m_settingsFile);

        NSSettingsWindowController *sheet = newSheet();
        sheet->show();
        QTest::qWait(NSSettingsView::welcomeDelayMs + NSSettingsView::toolStartDelayMs * 3);
        QCOMPARE(script().alerts().size(), stored ? 0 : 1);
        QVERIFY(!sheet->settingsView()->isBusy());
        QCOMPARE(sheet->findChild<QLineEdit *>()->text(), stored ? working.path() : QString());
        QCOMPARE(withText<QCheckBox>(sheet, autoStartText)->isChecked(), stored);
        QCOMPARE(button(sheet, "Check ffmpeg")->isEnabled(), stored);
        QVERIFY(!button(sheet, "Install ffmpeg")->isEnabled());
        QCOMPARE(withText<QLabel>(sheet, QStringLiteral("1.0")) != nullptr, stored);
        QCOMPARE(AccessibilityWalk::unnamedControls(sheet), QStringList());

        QSignalSpy finished(sheet, &QDialog::finished);
        QTest::keyClick(sheet, Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 1);
        QCOMPARE(FileContents::read(m_settingsFile), before);
        sheet->show();
        auto *box = withText<QCheckBox>(sheet, autoStartText);
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(StoredSettings::value(StoredSettings::KEY_AUDO_START_DOWNLOAD).toString(),
                 stored ? QStringLiteral("true") : QStringLiteral("false"));
    }

    void ffmpegNotFound_data()
    {
        QTest::addColumn<QString>("ffmpeg"); // the fake's body; empty: no working folder
        addRow("no working folder", QString());
        addRow("silent ffmpeg", QStringLiteral("exit 0\n"));
    }

    // A failed check removes both keys together; nothing runs without a folder.
    void ffmpegNotFound()
    {
        QFETCH(QString, ffmpeg);
        QTemporaryDir working;
        if (!ffmpeg.isEmpty()) {
            storeWorkingFolder(working.path());
            FakeExecutable::write(working.filePath(QStringLiteral("ffmpeg")), ffmpeg);
        }
        StoredSettings::setFolder(StoredSettings::KEY_FFMPEG_URL, working.path());
        StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, QStringLiteral("old"));
        NSSettingsWindowController *sheet = newSheet();
        auto *check = button(sheet, "Check ffmpeg");
        if (check->isEnabled())
            QTest::mouseClick(check, Qt::LeftButton);
        else
            sheet->settingsView()->checkFFMPEG();
        QCOMPARE(script().alerts().size(), 1);
        QCOMPARE(script().alerts().first().messageText, QStringLiteral("ffmpeg NOT FOUND"));
        QVERIFY(StoredSettings::value(StoredSettings::KEY_FFMPEG_URL).isNull());
        QVERIFY(NSSettingsView::ffmpegVersion().isNull());
        QCOMPARE(button(sheet, "Install ffmpeg")->isEnabled(), !ffmpeg.isEmpty());
        if (!ffmpeg.isEmpty()) return;
        sheet->settingsView()->ffmpegInstall(); // nothing is installed without a folder
        QCOMPARE(script().alerts().last().messageText, QStringLiteral("Error"));
        QVERIFY(!sheet->settingsView()->isBusy());
    }

    void ffmpegInstall_data()
    {
        QTest::addColumn<QString>("variant");
        for (const char *row : {"ffmpeg on PATH", "no ffmpeg on PATH", "the pane goes"})
            QTest::newRow(row) << QString::fromLatin1(row);
    }

    // The system's tools are linked into the working folder, where the check then finds them,
    // or the command that installs them is offered. The installation goes on when the pane
    // goes; its end then reaches no one.
    void ffmpegInstall()
    {
        QFETCH(QString, variant);
        QTemporaryDir working;
        QTemporaryDir bin;
        storeWorkingFolder(working.path());
        const bool paneGoes = variant == QStringLiteral("the pane goes");
        const bool onPath = variant != QStringLiteral("no ffmpeg on PATH");
        qputenv("PATH", (onPath ? fakeSystemTools(bin, paneGoes ? 0.3 : 0) : bin.path()).toUtf8());
        QGuiApplication::clipboard()->clear();
        script().queueAnswer(Alert::FirstButtonReturn); // "Copy Command" when offered
        NSSettingsWindowController *sheet = newSheet();
        QTest::mouseClick(button(sheet, "Install ffmpeg"), Qt::LeftButton);
        if (paneGoes) {
            QTRY_VERIFY(sheet->settingsView()->isBusy());
            QTest::qWait(NSSettingsView::toolStartDelayMs);
            m_window.reset();
            QVERIFY(m_jobs.waitForDone(20000));
            QTest::qWait(100); // what the job reported, delivered or dropped
            QVERIFY(script().alerts().isEmpty());
            QVERIFY(QFileInfo(working.filePath(QStringLiteral("ffprobe"))).isSymLink());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(script().alerts().size(), 1, 10000);
        const Alert alert = script().alerts().first();
        QVERIFY(!sheet->settingsView()->isBusy());
        if (onPath) {
            QCOMPARE(alert.messageText, QStringLiteral("ffmpeg installed."));
            QCOMPARE(alert.informativeText.trimmed(), QStringLiteral("ffmpeg version 9.9"));
            for (const char *tool : {"ffmpeg", "ffplay", "ffprobe"})
                QCOMPARE(QFileInfo(working.filePath(QLatin1String(tool))).symLinkTarget(),
                         bin.filePath(QLatin1String(tool)));
            StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, QStringLiteral("old"));
            QTest::mouseClick(button(sheet, "Check ffmpeg"), Qt::LeftButton);
            QCOMPARE(script().alerts().last().messageText,
                     working.filePath(QStringLiteral("ffmpeg")));
            QCOMPARE(NSSettingsView::ffmpegVersion().trimmed(),
                     QStringLiteral("ffmpeg version 9.9"));
        } else {
            QVERIFY(alert.informativeText.contains(QLatin1String("sudo apt install ffmpeg")));
            QCOMPARE(QGuiApplication::clipboard()->text(),
                     QStringLiteral("sudo apt install ffmpeg"));
            QVERIFY(!QFileInfo::exists(working.filePath(QStringLiteral("ffmpeg"))));
        }
    }

    // While yt-dlp updates, the window keeps answering, the controls are off, the overlay takes
    // clicks, Esc and closing, and a failed update leaves one line of status.
    void overlayHoldsThePaneWhileYtdlpUpdates()
    {
        QTemporaryDir working;
        storeWorkingFolder(working.path(), fakeYtdlp("1.0", 0.8, 1));
        NSSettingsWindowController *sheet = newSheet();
        m_window->show();
        SheetQueue::present(sheet);
        QVERIFY(QTest::qWaitForWindowExposed(sheet));
        QSignalSpy finished(sheet, &QDialog::finished);
        int ticks = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&ticks] { ++ticks; });
        heartbeat.start(50);

        QTest::mouseClick(button(sheet, "Update yt-dlp"), Qt::LeftButton);
        QVERIFY(sheet->settingsView()->isBusy());
        auto *choose = button(sheet, "Choose…");
        QVERIFY(!choose->isEnabled());
        auto *overlay = sheet->findChild<NSModalView *>();
        QVERIFY(overlay && overlay->isVisible());
        QTest::mouseClick(overlay, Qt::LeftButton, {},
                          choose->mapTo(sheet->settingsView(), choose->rect().center()));
        QTest::keyClick(sheet, Qt::Key_Escape);
        sheet->close();
        QVERIFY(sheet->isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(script().panels().isEmpty());

        QTRY_VERIFY_WITH_TIMEOUT(!sheet->settingsView()->isBusy(), 15000);
        QVERIFY2(ticks > 10, "the main thread waited on the update");
        QVERIFY(StoredSettings::value(StoredSettings::KEY_VERSION_STRING).isNull());
        QVERIFY(
            withText<QLabel>(sheet, QStringLiteral("yt-dlp could not be installed or updated.")));
        QVERIFY(script().alerts().isEmpty());
        QTest::keyClick(sheet, Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
    }
};

QTEST_MAIN(TestAppSettings)
#include "tst_app_settings.moc"
