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
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{
const QString knownURL = QStringLiteral("https://Example.com/Known/Clip");
const QString chineseInvalid = QStringLiteral("视频地址错误");
const QString chineseKnown = QStringLiteral("已经存在");

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
    QLineEdit *urlField() const
    {
        return AccessibilityWalk::findNamed<QLineEdit>(m_sheet.get(), QStringLiteral("URL"));
    }
    QLineEdit *noteField() const
    {
        return AccessibilityWalk::findNamed<QLineEdit>(m_sheet.get(), QStringLiteral("Note"));
    }
    QAbstractButton *button(const QString &text) const
    {
        return AccessibilityWalk::findNamed<QAbstractButton>(m_sheet.get(), text);
    }
    QList<QCheckBox *> checkBoxes() const { return m_sheet->findChildren<QCheckBox *>(); }
    // On the box itself: a row's middle may lie past its text.
    void checkAllBoxes() const
    {
        for (QCheckBox *box : checkBoxes())
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
        urlField()->setText(url);
        QTest::mouseClick(button(browser), Qt::LeftButton);
        QTest::mouseClick(button(QStringLiteral("Create")), Qt::LeftButton);
    }

    QList<int> endings() const
    {
        QList<int> codes;
        for (const QList<QVariant> &signal : *m_finished)
            codes.append(signal.at(0).toInt());
        return codes;
    }

    static int taskCount() { return XCoreDataManagement::shared().existHistorys().size(); }

    static void forgetChoices()
    {
        for (const char *key : {StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER,
                                StoredSettings::KEY_NSCreateTaskView_LAST_BESTVIDEO,
                                StoredSettings::KEY_NSCreateTaskView_LAST_MP4})
            StoredSettings::setValue(key, QVariant());
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

        XCoreDataManagement &store = XCoreDataManagement::shared();
        QVERIFY(store.open());
        QVERIFY(store.creatTaskURL(knownURL, QString(), QString()));
        QVERIFY(store.save());
    }

    void cleanupTestCase()
    {
        m_firefox.kill();
        m_firefox.waitForFinished();
    }

    void init()
    {
        forgetChoices();
        QGuiApplication::clipboard()->clear();
    }

    void cleanup()
    {
        m_sheet.reset();
        m_finished.reset();
    }

    // On a new user's first task no choice was remembered: "None" stands, so no warning.
    void freshHomeStartsWithNone()
    {
        openSheet();
        QCOMPARE(view()->selectedSegment(), 0);
        QVERIFY(!view()->needShowAccountWarning(-1));
        for (QCheckBox *box : checkBoxes())
            QVERIFY(!box->isChecked());
        AlertScript script;
        urlField()->setText(QStringLiteral("https://example.com/first"));
        QTest::mouseClick(button(QStringLiteral("Create")), Qt::LeftButton);
        QVERIFY(script.alerts().isEmpty());
        QCOMPARE(endings(), QList<int>{NSCreateTaskView::NSModalResponseContinue});
        QCOMPARE(view()->browser(), QStringLiteral("None"));
    }

    void urlTest_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("alert"); // empty: accepted
        QTest::addColumn<QString>("accepted");
        const QString none;
        QTest::newRow("bare scheme") << "http://" << none << "http://";
        QTest::newRow("five characters") << "http:" << none << "http:";
        QTest::newRow("capital scheme")
            << "HTTPS://example.com/v" << none << "HTTPS://example.com/v";
        QTest::newRow("spaces around") << " http://x\n" << none << "http://x";
        QTest::newRow("other path")
            << "https://example.com/known/Clip" << none << "https://example.com/known/Clip";
        QTest::newRow("ftp") << "ftp://x" << chineseInvalid << "ftp://x";
        QTest::newRow("no scheme") << "example.com/v" << chineseInvalid << "example.com/v";
        QTest::newRow("space inside") << "http://a b" << chineseInvalid << "http://a b";
        QTest::newRow("four characters") << "ab:c" << chineseInvalid << "ab:c";
        QTest::newRow("host case")
            << "https://EXAMPLE.com/Known/Clip" << chineseKnown << "https://EXAMPLE.com/Known/Clip";
    }

    // A refused URL leaves the form open with the field cleared, and stores nothing.
    void urlTest()
    {
        QFETCH(QString, typed);
        QFETCH(QString, alert);
        QFETCH(QString, accepted);
        openSheet();
        AlertScript script;
        create(typed);
        if (alert.isEmpty()) {
            QVERIFY(script.alerts().isEmpty());
            QCOMPARE(endings(), QList<int>{NSCreateTaskView::NSModalResponseContinue});
            QCOMPARE(view()->url(), accepted);
            return;
        }
        QCOMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts()[0].messageText, alert);
        const QString informative = alert == chineseInvalid
                                        ? QStringLiteral("%1 不是正确的视频网址链接.")
                                        : QStringLiteral("%1 已经下载过了.");
        QCOMPARE(script.alerts()[0].informativeText, informative.arg(accepted));
        QCOMPARE(script.alerts()[0].buttons, QStringList{QStringLiteral("OK")});
        QVERIFY(endings().isEmpty());
        QVERIFY(m_sheet->isVisible());
        QVERIFY(urlField()->text().isEmpty());
        QVERIFY(StoredSettings::value(StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER).isNull());
        QCOMPARE(taskCount(), 1);
    }

    void browserWarning_data()
    {
        QTest::addColumn<QString>("browser");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<bool>("created");
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
        QFETCH(bool, created);
        openSheet();
        AlertScript script;
        script.queueAnswer(answer);
        noteField()->setText(QStringLiteral("a note"));
        create(QStringLiteral("https://example.com/warning"), browser);
        QCOMPARE(script.alerts().size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(script.alerts()[0].messageText, QStringLiteral("Warning"));
            QCOMPARE(script.alerts()[0].informativeText,
                     QStringLiteral("Selected browser is NOT running, Zelvo may can NOT get your "
                                    "account infomation.\n\nDo you want to continue?"));
            QCOMPARE(script.alerts()[0].buttons,
                     (QStringList{QStringLiteral("Continue"), QStringLiteral("Stop")}));
        }
        if (!created) {
            QVERIFY(endings().isEmpty());
            QCOMPARE(urlField()->text(), QStringLiteral("https://example.com/warning"));
            QCOMPARE(noteField()->text(), QStringLiteral("a note"));
            QVERIFY(
                StoredSettings::value(StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER).isNull());
            return;
        }
        QCOMPARE(endings(), QList<int>{NSCreateTaskView::NSModalResponseContinue});
        QCOMPARE(view()->browser(), browser);
        QCOMPARE(view()->note(), QStringLiteral("a note"));
    }

    // Cancel and refusals leave the remembered choices alone; a success replaces them.
    void choicesRememberedOnlyAfterSuccess()
    {
        const auto chooseAndEnd = [this](const QString &url, bool viaCreate) {
            openSheet();
            QTest::mouseClick(button(QStringLiteral("Firefox")), Qt::LeftButton);
            checkAllBoxes();
            urlField()->setText(url);
            AlertScript script;
            QTest::mouseClick(
                button(viaCreate ? QStringLiteral("Create") : QStringLiteral("Cancel")),
                Qt::LeftButton);
        };
        const auto reopenedChoice = [this] {
            openSheet();
            QStringList state{view()->labelForSegment(view()->selectedSegment())};
            for (QCheckBox *box : checkBoxes())
                state.append(box->isChecked() ? QStringLiteral("on") : QStringLiteral("off"));
            return state;
        };
        chooseAndEnd(QStringLiteral("https://example.com/cancelled"), false);
        QCOMPARE(reopenedChoice(), (QStringList{"None", "off", "off"}));
        chooseAndEnd(QStringLiteral("ftp://refused"), true);
        QCOMPARE(reopenedChoice(), (QStringList{"None", "off", "off"}));
        chooseAndEnd(QStringLiteral("https://example.com/accepted"), true);
        QVERIFY(view()->tryBestVideo() && view()->mustMP4Format());
        QCOMPARE(reopenedChoice(), (QStringList{"Firefox", "on", "on"}));
    }

    void returnKey_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("alerts");
        QTest::addColumn<QList<int>>("ended");
        QTest::newRow("five characters") << "http:" << 0 << QList<int>{};
        QTest::newRow("six characters, invalid") << "abcdef" << 1 << QList<int>{};
        QTest::newRow("valid") << "https://example.com/return" << 0
                               << QList<int>{NSCreateTaskView::NSModalResponseContinue};
    }

    // Return in the URL field creates from six characters on, and only creates: no button of
    // the dialog answers it as well.
    void returnKey()
    {
        QFETCH(QString, typed);
        QFETCH(int, alerts);
        QFETCH(QList<int>, ended);
        openSheet();
        AlertScript script;
        QTest::mouseClick(button(QStringLiteral("Firefox")), Qt::LeftButton);
        urlField()->setFocus(Qt::MouseFocusReason);
        urlField()->setText(typed);
        QTest::keyClick(urlField(), Qt::Key_Return);
        QCOMPARE(script.alerts().size(), alerts);
        QCOMPARE(endings(), ended);
        QCOMPARE(view()->selectedSegment(), 1);
        QCOMPARE(m_sheet->isVisible(), ended.isEmpty());
    }

    void cancelWays_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Cancel") << "Cancel";
        QTest::newRow("Esc") << "Esc";
        QTest::newRow("close button") << "close";
    }

    void cancelWays()
    {
        QFETCH(QString, way);
        openSheet();
        urlField()->setText(QStringLiteral("https://example.com/cancel"));
        if (way == QLatin1String("Cancel"))
            QTest::mouseClick(button(QStringLiteral("Cancel")), Qt::LeftButton);
        else if (way == QLatin1String("Esc"))
            QTest::keyClick(urlField(), Qt::Key_Escape);
        else
            m_sheet->close();
        QCOMPARE(endings(), QList<int>{NSCreateTaskView::NSModalResponseAbort});
        QVERIFY(!m_sheet->isVisible());
        QVERIFY(StoredSettings::value(StoredSettings::KEY_LAST_SELECTED_COOKIE_BROWSER).isNull());
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

    void clipboardPrefill()
    {
        QFETCH(QString, copied);
        QFETCH(QString, prefilled);
        QGuiApplication::clipboard()->setText(copied);
        openSheet();
        QCOMPARE(urlField()->text(), prefilled);
        if (prefilled.isEmpty()) return;
        // Selected, so what the user types replaces it.
        QCOMPARE(urlField()->selectedText(), prefilled);
        QTest::keyClicks(urlField(), QStringLiteral("https://other"));
        QCOMPARE(urlField()->text(), QStringLiteral("https://other"));
    }

    // The check at create time sees what another process saved while the form was open, and
    // so does the creation after the form ended, which checks and inserts in one step.
    void urlAddedBehindTheFormsBack()
    {
        XCoreDataManagement other(XCoreDataManagement::shared().storePath());
        QVERIFY(other.open());
        const QString early = QStringLiteral("https://example.com/early");
        const QString late = QStringLiteral("https://example.com/late");

        openSheet();
        QVERIFY(other.creatTaskUnlessKnown(early, QString(), QString()).created);
        AlertScript script;
        create(early);
        QCOMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts()[0].messageText, chineseKnown);
        QVERIFY(endings().isEmpty());

        create(late);
        QCOMPARE(endings(), QList<int>{NSCreateTaskView::NSModalResponseContinue});
        QVERIFY(other.creatTaskUnlessKnown(late, QString(), QString()).created);
        QVERIFY(!view()->createTaskIn(XCoreDataManagement::shared()));
        QCOMPARE(script.alerts().size(), 2);
        QCOMPARE(script.alerts()[1].messageText, chineseKnown);
        QCOMPARE(script.alerts()[1].informativeText, QStringLiteral("%1 已经下载过了.").arg(late));
        QCOMPARE(XCoreDataManagement::shared().searchURL(late).size(), 1);
    }

    // What the form accepted becomes a saved task with every value it collected.
    void createTaskInStoresTheValues()
    {
        openSheet();
        AlertScript script;
        noteField()->setText(QStringLiteral("kept"));
        checkAllBoxes();
        create(QStringLiteral("https://example.com/stored"), QStringLiteral("Firefox"));
        const auto task = view()->createTaskIn(XCoreDataManagement::shared());
        QVERIFY(task);
        QVERIFY(script.alerts().isEmpty());

        XCoreDataManagement reopened(XCoreDataManagement::shared().storePath());
        QVERIFY(reopened.open());
        const auto stored = reopened.searchURL(QStringLiteral("https://example.com/stored"));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0]->browers(), QStringLiteral("Firefox"));
        QCOMPARE(stored[0]->note(), QStringLiteral("kept"));
        QCOMPARE(stored[0]->tryBestVideo(), std::optional<bool>(true));
        QCOMPARE(stored[0]->mustMP4Format(), std::optional<bool>(true));
    }

    void accessibility()
    {
        openSheet();
        QCOMPARE(m_sheet->windowTitle(), QStringLiteral("New Task"));
        QCOMPARE(m_sheet->objectName(), QStringLiteral("NSCreateTaskWindowController"));
        QCOMPARE(m_sheet->windowModality(), Qt::WindowModal);
        QCOMPARE(AccessibilityWalk::unnamedControls(m_sheet.get()), QStringList());
        QVERIFY(urlField() && noteField());
        for (const char *text : {"None", "Firefox", "Chrome", "Create", "Cancel"})
            QVERIFY2(button(QString::fromLatin1(text)), text);
    }
};

QTEST_MAIN(TestAppNewTask)
#include "tst_app_new_task.moc"
