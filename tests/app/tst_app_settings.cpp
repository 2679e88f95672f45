#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "app/settings/NSModalView.h"
#include "app/settings/NSSettingsView.h"
#include "app/settings/NSSettingsWindowController.h"
#include "desktop/AlertScript.h"
#include "desktop/SheetQueue.h"
#include "store/StoredSettings.h"
#include "support/AccessibilityWalk.h"
#include "support/FakeExecutable.h"
#include "support/MediaServer.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace
{

const char *const paneKeys[] = {
    StoredSettings::KEY_WORKING_URL_DATA, StoredSettings::KEY_AUDO_START_DOWNLOAD,
    StoredSettings::KEY_VERSION_STRING,   StoredSettings::KEY_UPDATE_CHECK_DATE,
    StoredSettings::KEY_FFMPEG_URL,       StoredSettings::KEY_FFMPEG_VERSION};

// A yt-dlp that says its version (after a pause) and answers -U with the given status.
QString fakeYtdlp(const QString &version, double pause = 0, int updateStatus = 0)
{
    return QStringLiteral("if [ \"$1\" = --version ]; then sleep %2; echo %1; exit 0; fi\n"
                          "if [ \"$1\" = -U ]; then exit %3; fi\nexit 9\n")
        .arg(version)
        .arg(pause)
        .arg(updateStatus);
}

} // namespace

// The settings sheet against the real scripts and fake tools, answered by the alert script.
class TestAppSettings : public QObject
{
    Q_OBJECT
private:
    QString m_home;
    QByteArray m_path;

    QString settingsFile() const { return m_home + QStringLiteral("/.config/Zelvo/Zelvo.conf"); }

    static QByteArray contentsOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    template <typename Widget> static Widget *control(QWidget *sheet, const QString &text)
    {
        for (Widget *widget : sheet->findChildren<Widget *>())
            if (widget->text() == text) return widget;
        return nullptr;
    }

    // A working folder holding a fake yt-dlp, stored as the settings pane stores it.
    static void storeWorkingFolder(const QString &folder, const QString &ytdlp)
    {
        FakeExecutable::write(folder + QStringLiteral("/yt-dlp"), ytdlp);
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
    }

    // A folder with fake ffmpeg, ffplay and ffprobe that answer -version after a pause.
    static QString fakeSystemTools(const QTemporaryDir &bin, double pause = 0)
    {
        for (const char *tool : {"ffmpeg", "ffplay", "ffprobe"})
            FakeExecutable::write(bin.filePath(QLatin1String(tool)),
                                  QStringLiteral("/bin/sleep %1; echo '%2 version 9.9'\n")
                                      .arg(pause)
                                      .arg(QLatin1String(tool)));
        return bin.path();
    }

private slots:
    void initTestCase()
    {
        m_home = TestEnvironment::isolateHome();
        qputenv("XDG_STATE_HOME", (m_home + QStringLiteral("/.local/state")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", m_home.toUtf8());
        m_path = qgetenv("PATH");
    }

    void init()
    {
        for (const char *key : paneKeys)
            StoredSettings::setValue(key, QVariant());
        qputenv("PATH", m_path);
    }

    // First run: the main window, the settings sheet, the welcome, the folder panel, yt-dlp
    // installed by the real install script from the local server, the update check stored.
    void welcomeChainInstallsIntoTheChosenFolder()
    {
        QTemporaryDir site;
        FakeExecutable::write(site.filePath(QStringLiteral("yt-dlp")), fakeYtdlp("2030.01.01"));
        MediaServer server(site.path());
        QVERIFY(server.isRunning());
        qputenv("ZELVO_YTDLP_URL", server.url(QStringLiteral("yt-dlp")).toUtf8());
        QTemporaryDir folder;
        AlertScript script;
        script.queueAnswer(Alert::FirstButtonReturn);
        script.queuePanelChoice(folder.path());

        AppDelegate delegate;
        delegate.start();
        NSSettingsWindowController *sheet = nullptr;
        QTRY_VERIFY((sheet = delegate.mainWindow()->findChild<NSSettingsWindowController *>()));
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(sheet->windowTitle(), QStringLiteral("Settings"));
        QTRY_COMPARE_WITH_TIMEOUT(StoredSettings::stringValue(StoredSettings::KEY_VERSION_STRING),
                                  QStringLiteral("2030.01.01"), 30000);
        qunsetenv("ZELVO_YTDLP_URL");

        QCOMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts().first().messageText, QStringLiteral("欢迎！"));
        QCOMPARE(script.panels().size(), 1);
        QCOMPARE(script.panels().first().kind, AlertScript::PanelKind::Folder);
        QCOMPARE(script.panels().first().title, QStringLiteral("Select path for work."));
        QCOMPARE(NSSettingsView::ytdlpPath(), QUrl::fromLocalFile(folder.path()));
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("yt-dlp"))).isExecutable());
        QVERIFY(
            StoredSettings::value(StoredSettings::KEY_UPDATE_CHECK_DATE).toDateTime().isValid());
        QTRY_VERIFY(!sheet->settingsView()->isBusy());
        QVERIFY(control<QLabel>(sheet, QStringLiteral("2030.01.01")));
        QCOMPARE(control<QPushButton>(sheet, QStringLiteral("Install ffmpeg"))->isEnabled(), true);
    }

    void welcomeLeavesNothingStored_data()
    {
        QTest::addColumn<int>("welcomeAnswer");
        QTest::addColumn<QString>("panelChoice"); // "file": a file instead of a folder
        QTest::newRow("取消") << Alert::FirstButtonReturn + 1 << "";
        QTest::newRow("panel cancelled") << Alert::FirstButtonReturn << "";
        QTest::newRow("a file chosen") << Alert::FirstButtonReturn << "file";
    }

    void welcomeLeavesNothingStored()
    {
        QFETCH(int, welcomeAnswer);
        QFETCH(QString, panelChoice);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("notes.txt"));
        FakeExecutable::write(file, QString());
        AlertScript script;
        script.queueAnswer(welcomeAnswer);
        script.queuePanelChoice(panelChoice.isEmpty() ? QString() : file);
        JobRunner jobs;
        QWidget window;
        NSSettingsWindowController sheet(jobs, &window);
        sheet.show();
        QTRY_COMPARE(script.alerts().size(), 1);
        QTest::qWait(NSSettingsView::toolStartDelayMs * 3);
        QVERIFY(!sheet.settingsView()->isBusy());
        QVERIFY(StoredSettings::value(StoredSettings::KEY_WORKING_URL_DATA).isNull());
        QVERIFY(sheet.findChild<QLineEdit *>()->text().isEmpty());
    }

    void openingStates_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("ffmpegKnown");
        QTest::addColumn<bool>("autoStart");
        QTest::newRow("nothing stored") << false << false << false;
        QTest::newRow("folder, no ffmpeg") << true << false << false;
        QTest::newRow("everything stored") << true << true << true;
    }

    // Opening, showing and closing the sheet fill it from the settings and write nothing.
    void openingStates()
    {
        QFETCH(bool, folder);
        QFETCH(bool, ffmpegKnown);
        QFETCH(bool, autoStart);
        QTemporaryDir working;
        if (folder) {
            storeWorkingFolder(working.path(), fakeYtdlp("1.0"));
            // As another writer may store it: a switch that wrote on filling would change it.
            StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD,
                                     autoStart ? QStringLiteral("1") : QStringLiteral("0"));
            StoredSettings::setValue(StoredSettings::KEY_VERSION_STRING, QStringLiteral("1.0"));
            StoredSettings::setValue(StoredSettings::KEY_UPDATE_CHECK_DATE,
                                     QDateTime::currentDateTime());
        }
        if (ffmpegKnown)
            StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, QStringLiteral("9.9"));
        const QByteArray before = contentsOf(settingsFile());

        AlertScript script;
        JobRunner jobs;
        QWidget window;
        auto *sheet = new NSSettingsWindowController(jobs, &window);
        sheet->show();
        QTest::qWait(NSSettingsView::welcomeDelayMs + 200);
        QCOMPARE(script.alerts().size(), folder ? 0 : 1); // the welcome, answered 取消
        QCOMPARE(sheet->findChild<QLineEdit *>()->text(), folder ? working.path() : QString());
        QCOMPARE(control<QCheckBox>(sheet, QStringLiteral("Start downloads when a task is created"))
                     ->isChecked(),
                 autoStart);
        QCOMPARE(control<QPushButton>(sheet, QStringLiteral("Check ffmpeg"))->isEnabled(),
                 folder && ffmpegKnown);
        QCOMPARE(control<QPushButton>(sheet, QStringLiteral("Install ffmpeg"))->isEnabled(),
                 folder && !ffmpegKnown);
        QCOMPARE(control<QLabel>(sheet, QStringLiteral("1.0")) != nullptr, folder);
        const QStringList unnamed = AccessibilityWalk::unnamedControls(sheet);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));

        QSignalSpy finished(sheet, &QDialog::finished);
        QTest::keyClick(sheet, Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toInt(), 1);
        QCOMPARE(contentsOf(settingsFile()), before);
        // A click writes, NO explicitly.
        sheet->show();
        auto *box =
            control<QCheckBox>(sheet, QStringLiteral("Start downloads when a task is created"));
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(StoredSettings::value(StoredSettings::KEY_AUDO_START_DOWNLOAD).toString(),
                 autoStart ? QStringLiteral("true") : QStringLiteral("false"));
        delete sheet;
    }

    void ffmpegCheck_data()
    {
        QTest::addColumn<QString>("ffmpeg"); // the fake's body; empty: no working folder
        QTest::addColumn<bool>("found");
        QTest::newRow("no working folder") << "" << false;
        QTest::newRow("silent ffmpeg") << "exit 0\n" << false;
        QTest::newRow("answering ffmpeg") << "echo 'ffmpeg version 9.9'\n" << true;
    }

    // Both keys are stored together or removed together; nothing runs without a folder.
    void ffmpegCheck()
    {
        QFETCH(QString, ffmpeg);
        QFETCH(bool, found);
        QTemporaryDir working;
        if (!ffmpeg.isEmpty()) {
            storeWorkingFolder(working.path(), fakeYtdlp("1.0"));
            FakeExecutable::write(working.filePath(QStringLiteral("ffmpeg")), ffmpeg);
        }
        StoredSettings::setFolder(StoredSettings::KEY_FFMPEG_URL, working.path());
        StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, QStringLiteral("old"));
        AlertScript script;
        JobRunner jobs;
        QWidget window;
        NSSettingsWindowController sheet(jobs, &window);
        auto *check = control<QPushButton>(&sheet, QStringLiteral("Check ffmpeg"));
        if (check->isEnabled())
            QTest::mouseClick(check, Qt::LeftButton);
        else
            sheet.settingsView()->checkFFMPEG();

        QCOMPARE(script.alerts().size(), 1);
        const Alert alert = script.alerts().first();
        if (found) {
            QCOMPARE(alert.messageText, working.filePath(QStringLiteral("ffmpeg")));
            QCOMPARE(alert.informativeText.trimmed(), QStringLiteral("ffmpeg version 9.9"));
            QCOMPARE(NSSettingsView::ffmpegVersion().trimmed(),
                     QStringLiteral("ffmpeg version 9.9"));
        } else {
            QCOMPARE(alert.messageText, QStringLiteral("ffmpeg NOT FOUND"));
            QCOMPARE(alert.buttons, (QStringList{"OK", "Install ffmpeg"}));
            QVERIFY(StoredSettings::value(StoredSettings::KEY_FFMPEG_URL).isNull());
            QVERIFY(NSSettingsView::ffmpegVersion().isNull());
        }
        QCOMPARE(control<QPushButton>(&sheet, QStringLiteral("Install ffmpeg"))->isEnabled(),
                 !ffmpeg.isEmpty() && !found);
        if (ffmpeg.isEmpty()) { // nothing is installed without a folder holding yt-dlp
            sheet.settingsView()->ffmpegInstall();
            QCOMPARE(script.alerts().last().messageText, QStringLiteral("Error"));
            QVERIFY(!sheet.settingsView()->isBusy());
        }
    }

    void ffmpegInstallLinksTheSystemTools_data()
    {
        QTest::addColumn<bool>("onPath");
        QTest::newRow("ffmpeg on PATH") << true;
        QTest::newRow("no ffmpeg on PATH") << false;
    }

    void ffmpegInstallLinksTheSystemTools()
    {
        QFETCH(bool, onPath);
        QTemporaryDir working;
        QTemporaryDir bin;
        storeWorkingFolder(working.path(), fakeYtdlp("1.0"));
        qputenv("PATH", (onPath ? fakeSystemTools(bin) : bin.path()).toUtf8());
        QGuiApplication::clipboard()->clear();
        AlertScript script;
        script.queueAnswer(Alert::FirstButtonReturn); // "Copy Command" when offered
        JobRunner jobs;
        QWidget window;
        NSSettingsWindowController sheet(jobs, &window);
        QTest::mouseClick(control<QPushButton>(&sheet, QStringLiteral("Install ffmpeg")),
                          Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(script.alerts().size(), 1, 10000);
        const Alert alert = script.alerts().first();
        QVERIFY(!sheet.settingsView()->isBusy());
        if (onPath) {
            QCOMPARE(alert.messageText, QStringLiteral("ffmpeg installed."));
            QCOMPARE(alert.informativeText.trimmed(), QStringLiteral("ffmpeg version 9.9"));
            for (const char *tool : {"ffmpeg", "ffplay", "ffprobe"})
                QCOMPARE(QFileInfo(working.filePath(QLatin1String(tool))).symLinkTarget(),
                         bin.filePath(QLatin1String(tool)));
            QVERIFY(control<QPushButton>(&sheet, QStringLiteral("Check ffmpeg"))->isEnabled());
        } else {
            QVERIFY(alert.informativeText.contains(QLatin1String("sudo apt install ffmpeg")));
            QCOMPARE(QGuiApplication::clipboard()->text(),
                     QStringLiteral("sudo apt install ffmpeg"));
            QVERIFY(!QFileInfo::exists(working.filePath(QStringLiteral("ffmpeg"))));
        }
    }

    // The installation goes on when the sheet goes with the window; its end reaches no one.
    void ffmpegInstallOutlivesThePane()
    {
        QTemporaryDir working;
        QTemporaryDir bin;
        storeWorkingFolder(working.path(), fakeYtdlp("1.0"));
        qputenv("PATH", fakeSystemTools(bin, 0.3).toUtf8());
        AlertScript script;
        JobRunner jobs;
        {
            QWidget window;
            auto *sheet = new NSSettingsWindowController(jobs, &window);
            QTest::mouseClick(control<QPushButton>(sheet, QStringLiteral("Install ffmpeg")),
                              Qt::LeftButton);
            QTRY_VERIFY(sheet->settingsView()->isBusy());
            QTest::qWait(NSSettingsView::toolStartDelayMs);
        }
        QVERIFY(jobs.waitForDone(20000));
        QTest::qWait(100); // what the job reported, delivered or dropped
        QVERIFY(script.alerts().isEmpty());
        QVERIFY(QFileInfo(working.filePath(QStringLiteral("ffprobe"))).isSymLink());
    }

    // While yt-dlp updates, the window keeps answering, the overlay takes clicks, Space and
    // Esc, and a failed update leaves one line of status.
    void overlayHoldsThePaneWhileYtdlpUpdates()
    {
        QTemporaryDir working;
        storeWorkingFolder(working.path(), fakeYtdlp("1.0", 0.8, 1));
        AlertScript script;
        JobRunner jobs;
        QWidget window;
        window.show();
        NSSettingsWindowController sheet(jobs, &window);
        SheetQueue::present(&sheet);
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QSignalSpy finished(&sheet, &QDialog::finished);
        int ticks = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, [&ticks] { ++ticks; });
        heartbeat.start(50);

        QTest::mouseClick(control<QPushButton>(&sheet, QStringLiteral("Update yt-dlp")),
                          Qt::LeftButton);
        QVERIFY(sheet.settingsView()->isBusy());
        auto *choose = control<QPushButton>(&sheet, QStringLiteral("Choose…"));
        QVERIFY(!choose->isEnabled());
        QTest::mouseClick(choose, Qt::LeftButton);
        QTest::keyClick(choose, Qt::Key_Space);
        auto *overlay = sheet.findChild<NSModalView *>();
        QVERIFY(overlay && overlay->isVisible());
        QTest::mouseClick(overlay, Qt::LeftButton, {},
                          choose->mapTo(sheet.settingsView(), choose->rect().center()));
        QTest::keyClick(&sheet, Qt::Key_Escape);
        sheet.close();
        QVERIFY(sheet.isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(script.panels().isEmpty());

        QTRY_VERIFY_WITH_TIMEOUT(!sheet.settingsView()->isBusy(), 15000);
        QVERIFY2(ticks > 10, "the main thread waited on the update");
        QVERIFY(StoredSettings::value(StoredSettings::KEY_VERSION_STRING).isNull());
        QVERIFY(
            control<QLabel>(&sheet, QStringLiteral("yt-dlp could not be installed or updated.")));
        QVERIFY(script.alerts().isEmpty());
        QTest::keyClick(&sheet, Qt::Key_Escape);
        QCOMPARE(finished.count(), 1);
    }

    // The start-up sheet waits for a sheet the user opened before it.
    void startUpSheetWaitsForAnotherSheet()
    {
        AlertScript script;
        AppDelegate delegate;
        delegate.start();
        auto *form = new QDialog(delegate.mainWindow());
        form->setWindowTitle(QStringLiteral("Form"));
        SheetQueue::present(form);
        QTest::qWait(NSSettingsView::welcomeDelayMs + 300);
        auto *settings = delegate.mainWindow()->findChild<NSSettingsWindowController *>();
        QVERIFY(settings);
        QCOMPARE(SheetQueue::currentSheet(delegate.mainWindow()), form);
        QVERIFY(!settings->isVisible());
        form->accept();
        QCOMPARE(SheetQueue::currentSheet(delegate.mainWindow()), settings);
        QTRY_COMPARE(script.alerts().size(), 1); // the welcome, after the sheet showed
    }
};

QTEST_MAIN(TestAppSettings)
#include "tst_app_settings.moc"
