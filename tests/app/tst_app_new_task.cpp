#include "app/NSCreateTaskView.h"
#include "app/NSCreateTaskWindowController.h"
#include "desktop/AlertScript.h"
#include "download/CookieBrowser.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"
#include "support/AccessibilityWalk.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{
const QString knownURL = QStringLiteral("https://Example.com/Known/Clip");
const QString invalidURL = QStringLiteral("视频地址错误");
const QString knownAlready = QStringLiteral("已经存在");
const QList<int> created{NSCreateTaskView::NSModalResponseContinue};
const QList<int> cancelled{NSCreateTaskView::NSModalResponseAbort};
} // namespace

class TestAppNewTask : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_programs;
    QProcess m_firefox;
    std::unique_ptr<NSCreateTaskWindowController> m_sheet;
    std::unique_ptr<QSignalSpy> m_finished;

    NSCreateTaskView *view() const { return m_sheet->view(); }
    // Fields and buttons are found by the names a screen reader gives them.
    QLineEdit *field(const QString &label) const
    {
        return AccessibilityWalk::findNamed<QLineEdit>(m_sheet.get(), label);
    }
    QAbstractButton *button(const QString &text) const
    {
        return AccessibilityWalk::findNamed<QAbstractButton>(m_sheet.get(), text);
    }
    QList<QCheckBox *> checkBoxes() const { return m_sheet->findChildren<QCheckBox *>(); }
    void clickAllCheckBoxes() const
    {
        for (QCheckBox *box : checkBoxes()) // on the box: the row's middle may lie past its text
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    void openSheet()
    {
        m_sheet = std::make_unique<NSCreateTaskWindowController>();
        m_finished = std::make_unique<QSignalSpy>(m_sheet.get(), &QDialog::finished);
        m_sheet->open();
        QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
    }

    void create(const QString &url, const QString &browser = QStringLiteral("None"))
    {
        field("URL")->setText(url);
        QTest::mouseClick(button(browser), Qt::LeftButton);
        QTest::mouseClick(button("Create"), Qt::LeftButton);
    }

    QList<int> endings() const
    {
        QList<int> codes;
        for (const QList<QVariant> &signal : *m_finished)
            codes.append(signal.at(0).toInt());
        return codes;
    }

    static bool choiceRemembered()
    {
        return !StoredSettings::value(StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER).isNull();
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        // A program named like the browser, for the check of running browsers.
        const QString firefox = m_programs.filePath(QStringLiteral("firefox"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), firefox));
        m_firefox.start(firefox, {QStringLiteral("600")});
        QVERIFY(m_firefox.waitForStarted());
        if (!CookieBrowser::needShowAccountWarning(QStringLiteral("Chrome")))
            QSKIP("A Chrome runs on this machine.");
        QVERIFY(XCoreDataManagement::shared().creatTaskURL(knownURL, QString(), QString()));
        QVERIFY(XCoreDataManagement::shared().save());
    }

    void cleanupTestCase()
    {
        m_firefox.kill();
        m_firefox.waitForFinished();
    }

    void init()
    {
        for (const char *key : {StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER,
                                StoredSettings::KEY_NSCreateTaskView_LAST_BESTVIDEO,
                                StoredSettings::KEY_NSCreateTaskView_LAST_MP4})
            StoredSettings::setValue(key, QVariant());
        QGuiApplication::clipboard()->clear();
    }

    // A new user's first form: "None" stands (never no browser, which would warn), and a
    // screen reader finds every control.
    void firstFormOfANewUser()
    {
        openSheet();
        QCOMPARE(m_sheet->windowTitle(), QStringLiteral("New Task"));
        QCOMPARE(m_sheet->objectName(), QStringLiteral("NSCreateTaskWindowController"));
        QCOMPARE(m_sheet->windowModality(), Qt::WindowModal);
        QCOMPARE(AccessibilityWalk::unnamedControls(m_sheet.get()), QStringList());
        QCOMPARE(view()->selectedSegment(), 0);
        QVERIFY(!view()->needShowAccountWarning(-1));
        for (QCheckBox *box : checkBoxes())
            QVERIFY(!box->isChecked());
        AlertScript script;
        field("Note")->setText(QStringLiteral("a note"));
        field("URL")->setText(QStringLiteral("https://example.com/first"));
        QTest::mouseClick(button("Create"), Qt::LeftButton);
        QVERIFY(script.alerts().isEmpty());
        QCOMPARE(endings(), created);
        QCOMPARE(view()->browser(), QStringLiteral("None"));
        QCOMPARE(view()->note(), QStringLiteral("a note"));
    }

    void urlTest_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("alert"); // none when accepted
        QTest::newRow("bare scheme") << "http://"
                                     << "http://"
                                     << "";
        QTest::newRow("five characters") << "http:"
                                         << "http:"
                                         << "";
        QTest::newRow("capital scheme") << "HTTPS://e.com/v"
                                        << "HTTPS://e.com/v"
                                        << "";
        QTest::newRow("spaces around") << " http://x\n"
                                       << "http://x"
                                       << "";
        QTest::newRow("known in another path case") << "https://example.com/known/Clip"
                                                    << "https://example.com/known/Clip"
                                                    << "";
        QTest::newRow("ftp") << "ftp://x"
                             << "ftp://x" << invalidURL;
        QTest::newRow("no scheme") << "example.com/v"
                                   << "example.com/v" << invalidURL;
        QTest::newRow("space inside") << "http://a b"
                                      << "http://a b" << invalidURL;
        QTest::newRow("four characters") << "ab:c"
                                         << "ab:c" << invalidURL;
        QTest::newRow("known in another host case")
            << "https://EXAMPLE.com/Known/Clip"
            << "https://EXAMPLE.com/Known/Clip" << knownAlready;
    }

    // A refused URL leaves the form open with the field cleared, and stores nothing.
    void urlTest()
    {
        QFETCH(QString, typed);
        QFETCH(QString, url);
        QFETCH(QString, alert);
        openSheet();
        AlertScript script;
        create(typed);
        if (alert.isEmpty()) {
            QVERIFY(script.alerts().isEmpty());
            QCOMPARE(endings(), created);
            QCOMPARE(view()->url(), url);
            return;
        }
        QCOMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts()[0].messageText, alert);
        const QString informative = alert == invalidURL
                                        ? QStringLiteral("%1 不是正确的视频网址链接.")
                                        : QStringLiteral("%1 已经下载过了.");
        QCOMPARE(script.alerts()[0].informativeText, informative.arg(url));
        QCOMPARE(script.alerts()[0].buttons, QStringList{QStringLiteral("OK")});
        QVERIFY(endings().isEmpty() && m_sheet->isVisible());
        QVERIFY(field("URL")->text().isEmpty());
        QVERIFY(!choiceRemembered());
        QCOMPARE(XCoreDataManagement::shared().existHistorys().size(), 1);
    }

    void browserWarning_data()
    {
        QTest::addColumn<QString>("browser");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("None") << "None" << 1001 << false << true;
        QTest::newRow("Firefox running") << "Firefox" << 1001 << false << true;
        QTest::newRow("Chrome not running, Continue") << "Chrome" << 1000 << true << true;
        QTest::newRow("Chrome not running, Stop") << "Chrome" << 1001 << true << false;
    }

    void browserWarning()
    {
        QFETCH(QString, browser);
        QFETCH(int, answer);
        QFETCH(bool, warned);
        QFETCH(bool, accepted);
        openSheet();
        AlertScript script;
        script.queueAnswer(answer);
        field("Note")->setText(QStringLiteral("a note"));
        create(QStringLiteral("https://example.com/warning"), browser);
        QCOMPARE(script.alerts().size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(script.alerts()[0].messageText, QStringLiteral("Warning"));
            QCOMPARE(script.alerts()[0].informativeText,
                     QStringLiteral("Selected browser is NOT running, Zelvo may can NOT get your "
                                    "account infomation.\n\nDo you want to continue?"));
            QCOMPARE(script.alerts()[0].buttons, (QStringList{"Continue", "Stop"}));
        }
        QCOMPARE(endings(), accepted ? created : QList<int>());
        QCOMPARE(choiceRemembered(), accepted);
        if (accepted) QCOMPARE(view()->browser(), browser);
        QCOMPARE(field("URL")->text(), QStringLiteral("https://example.com/warning"));
        QCOMPARE(field("Note")->text(), QStringLiteral("a note"));
    }

    // Cancel and refusals leave the remembered choices alone; a success replaces them.
    void choicesRememberedOnlyAfterSuccess()
    {
        const auto chooseAndEnd = [this](const QString &url, const char *end) {
            openSheet();
            QTest::mouseClick(button("Firefox"), Qt::LeftButton);
            clickAllCheckBoxes();
            field("URL")->setText(url);
            AlertScript script;
            QTest::mouseClick(button(end), Qt::LeftButton);
        };
        const auto reopened = [this] {
            openSheet();
            QStringList state{view()->labelForSegment(view()->selectedSegment())};
            for (QCheckBox *box : checkBoxes())
                state.append(box->isChecked() ? "on" : "off");
            return state;
        };
        chooseAndEnd(QStringLiteral("https://example.com/cancelled"), "Cancel");
        QCOMPARE(reopened(), (QStringList{"None", "off", "off"}));
        chooseAndEnd(QStringLiteral("ftp://refused"), "Create");
        QCOMPARE(reopened(), (QStringList{"None", "off", "off"}));
        chooseAndEnd(QStringLiteral("https://example.com/accepted"), "Create");
        QVERIFY(view()->tryBestVideo() && view()->mustMP4Format());
        QCOMPARE(reopened(), (QStringList{"Firefox", "on", "on"}));
    }

    void keys_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("alerts");
        QTest::addColumn<QList<int>>("ended");
        QTest::newRow("Return, 5 characters") << "http:"
                                              << "Return" << 0 << QList<int>();
        QTest::newRow("Return, 6 characters") << "abcdef"
                                              << "Return" << 1 << QList<int>();
        QTest::newRow("Return, valid") << "https://e.com/r"
                                       << "Return" << 0 << created;
        QTest::newRow("Esc") << "https://e.com/r"
                             << "Esc" << 0 << cancelled;
        QTest::newRow("close button") << "https://e.com/r"
                                      << "close" << 0 << cancelled;
        QTest::newRow("Cancel") << "https://e.com/r"
                                << "Cancel" << 0 << cancelled;
    }

    // Return in the URL field creates from six characters on and does nothing else: no button
    // of the dialog answers it too. Esc and the close button cancel as Cancel does.
    void keys()
    {
        QFETCH(QString, typed);
        QFETCH(QString, way);
        QFETCH(int, alerts);
        QFETCH(QList<int>, ended);
        openSheet();
        AlertScript script;
        QTest::mouseClick(button("Firefox"), Qt::LeftButton);
        field("URL")->setFocus(Qt::MouseFocusReason);
        field("URL")->setText(typed);
        if (way == QLatin1String("Return"))
            QTest::keyClick(field("URL"), Qt::Key_Return);
        else if (way == QLatin1String("Esc"))
            QTest::keyClick(field("URL"), Qt::Key_Escape);
        else if (way == QLatin1String("close"))
            m_sheet->close();
        else
            QTest::mouseClick(button(way), Qt::LeftButton);
        QCOMPARE(script.alerts().size(), alerts);
        QCOMPARE(endings(), ended);
        QCOMPARE(m_sheet->isVisible(), ended.isEmpty());
        QCOMPARE(view()->selectedSegment(), 1);
        QCOMPARE(choiceRemembered(), ended == created);
    }

    void clipboardPrefill_data()
    {
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("prefilled");
        QTest::newRow("new URL") << "  https://example.com/copied\n"
                                 << "https://example.com/copied";
        QTest::newRow("known URL") << knownURL << "";
        QTest::newRow("not a web URL") << "ftp://example.com/x"
                                       << "";
        QTest::newRow("text") << "hello world"
                              << "";
    }

    // A new web URL on the clipboard starts the field, selected, so typing replaces it.
    void clipboardPrefill()
    {
        QFETCH(QString, copied);
        QFETCH(QString, prefilled);
        QGuiApplication::clipboard()->setText(copied);
        openSheet();
        QCOMPARE(field("URL")->text(), prefilled);
        QTest::keyClicks(field("URL"), QStringLiteral("https://typed"));
        QCOMPARE(field("URL")->text(), QStringLiteral("https://typed"));
    }

    // What another process saves while the form is open is refused at create time, and also
    // after the form ended, when the check and the insert are one step.
    void urlAddedBehindTheFormsBack()
    {
        XCoreDataManagement other(XCoreDataManagement::shared().storePath());
        QVERIFY(other.open());
        const QString early = QStringLiteral("https://example.com/early");
        const QString late = QStringLiteral("https://example.com/late");
        const QString mine = QStringLiteral("https://example.com/mine");
        openSheet();
        QVERIFY(other.creatTaskUnlessKnown(early, QString(), QString()).created);
        AlertScript script;
        create(early);
        QCOMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts()[0].messageText, knownAlready);

        create(late);
        QCOMPARE(endings(), created);
        QVERIFY(other.creatTaskUnlessKnown(late, QString(), QString()).created);
        QVERIFY(!view()->createTaskIn(XCoreDataManagement::shared()));
        QCOMPARE(script.alerts().size(), 2);
        QCOMPARE(script.alerts()[1].informativeText, QStringLiteral("%1 已经下载过了.").arg(late));
        QCOMPARE(other.searchURL(late).size(), 1);

        // Unrefused, the task is saved with every value the form collected.
        openSheet();
        field("Note")->setText(QStringLiteral("kept"));
        clickAllCheckBoxes();
        create(mine, QStringLiteral("Firefox"));
        QVERIFY(view()->createTaskIn(XCoreDataManagement::shared()));
        QCOMPARE(script.alerts().size(), 2);
        const auto stored = other.searchURL(mine);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0]->browers(), QStringLiteral("Firefox"));
        QCOMPARE(stored[0]->note(), QStringLiteral("kept"));
        QCOMPARE(stored[0]->tryBestVideo(), std::optional<bool>(true));
        QCOMPARE(stored[0]->mustMP4Format(), std::optional<bool>(true));
    }
};

QTEST_MAIN(TestAppNewTask)
#include "tst_app_new_task.moc"
