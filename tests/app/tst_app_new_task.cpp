#include "app/NSCreateTaskView.h"
#include "app/NSCreateTaskWindowController.h"
#include "desktop/AlertScript.h"
#include "download/CookieBrowser.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"
#include "support/AccessibilityWalk.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

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
const QString invalidURL = QStringLiteral("视频地址错误");
const QString knownAlready = QStringLiteral("已经存在");
const QString warning = QStringLiteral("Warning");
const QList<int> created{NSCreateTaskView::NSModalResponseContinue};
const QList<int> cancelled{NSCreateTaskView::NSModalResponseAbort};
const QList<int> open;
} // namespace

class TestAppNewTask : public QObject
{
    Q_OBJECT
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
    void click(const QString &button) const
    {
        QTest::mouseClick(AccessibilityWalk::findNamed<QAbstractButton>(m_sheet.get(), button),
                          Qt::LeftButton);
    }
    // Every box when asked, then the browser, the URL and Create.
    void create(const QString &url, const QString &browser, bool allBoxes = false) const
    {
        if (allBoxes) // clicked on the box: the row's middle may lie past its text
            for (QCheckBox *box : m_sheet->findChildren<QCheckBox *>())
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        click(browser);
        field("URL")->setText(url);
        click("Create");
    }

    void openSheet()
    {
        m_sheet = std::make_unique<NSCreateTaskWindowController>();
        m_finished = std::make_unique<QSignalSpy>(m_sheet.get(), &QDialog::finished);
        m_sheet->open();
        QVERIFY(QTest::qWaitForWindowActive(m_sheet.get()));
        QCOMPARE(AccessibilityWalk::unnamedControls(m_sheet.get()), QStringList());
    }

    QList<int> endings() const
    {
        QList<int> codes;
        for (const QList<QVariant> &signal : *m_finished)
            codes.append(signal.at(0).toInt());
        return codes;
    }

    // What a new form starts with: the browser and each box.
    QStringList reopened()
    {
        openSheet();
        QStringList state{view()->labelForSegment(view()->selectedSegment())};
        for (QCheckBox *box : m_sheet->findChildren<QCheckBox *>())
            state.append(box->isChecked() ? "on" : "off");
        return state;
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

    void submit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("browser");
        QTest::addColumn<QString>("way"); // a button, or Return or Esc in the URL field
        QTest::addColumn<QString>("alert");
        QTest::addColumn<QList<int>>("ended");
        const auto row = [](const char *name, const char *typed, const char *browser,
                            const char *way, const QString &alert, const QList<int> &ended) {
            addRow(name, QString::fromUtf8(typed), QString::fromUtf8(browser),
                   QString::fromUtf8(way), alert, ended);
        };
        row("five characters", "http:", "None", "Create", {}, created);
        row("capital scheme", "HTTPS://e.com/v", "None", "Create", {}, created);
        row("spaces around", " http://x\n", "None", "Create", {}, created);
        row("ftp", "ftp://x", "Firefox", "Create", invalidURL, open);
        row("space inside", "http://a b", "Firefox", "Create", invalidURL, open);
        row("four characters", "ab:c", "Firefox", "Create", invalidURL, open);
        // Return creates from six characters on and does nothing else: no button answers it.
        row("Return, 5 characters", "http:", "Firefox", "Return", {}, open);
        row("Return, 6 characters", "abcdef", "Firefox", "Return", invalidURL, open);
        row("Esc", "https://e.com/r", "Firefox", "Esc", {}, cancelled);
        row("Cancel", "https://e.com/r", "Firefox", "Cancel", {}, cancelled);
        // Firefox runs (the test started one), Chrome does not.
        row("Chrome not running, Continue", "https://e.com/c", "Chrome", "Continue", warning,
            created);
        row("Chrome not running, Stop", "https://e.com/c", "Chrome", "Stop", warning, open);
    }

    // A new user's form starts at "None", never at no browser (which would warn). A refused
    // URL leaves the form open with the field cleared and stores nothing; a browser not
    // running warns; only a created task remembers the choices.
    void submit()
    {
        QFETCH(QString, typed);
        QFETCH(QString, browser);
        QFETCH(QString, way);
        QFETCH(QString, alert);
        QFETCH(QList<int>, ended);
        openSheet();
        AlertScript script;
        if (way == QLatin1String("Continue")) script.queueAnswer(Alert::FirstButtonReturn);
        if (browser != QLatin1String("None")) click(browser);
        field("Note")->setText(QStringLiteral("a note"));
        field("URL")->setFocus(Qt::MouseFocusReason);
        field("URL")->setText(typed);
        if (way == QLatin1String("Return") || way == QLatin1String("Esc"))
            QTest::keyClick(field("URL"), way == "Esc" ? Qt::Key_Escape : Qt::Key_Return);
        else
            click(alert == warning ? QStringLiteral("Create") : way);
        QCOMPARE(endings(), ended);
        QCOMPARE(m_sheet->isVisible(), ended.isEmpty());
        QCOMPARE(view()->labelForSegment(view()->selectedSegment()), browser);
        QCOMPARE(choiceRemembered(), ended == created);
        if (ended == created) QCOMPARE(view()->url(), typed.trimmed());
        if (ended == created) QCOMPARE(view()->browser(), browser);
        QCOMPARE(field("Note")->text(), QStringLiteral("a note"));
        const bool refused = !alert.isEmpty() && alert != warning;
        QCOMPARE(field("URL")->text(), refused ? QString() : typed);
        QCOMPARE(script.alerts().size(), alert.isEmpty() ? 0 : 1);
        if (alert.isEmpty()) return;
        QCOMPARE(script.alerts()[0].messageText, alert);
        if (refused) QVERIFY(script.alerts()[0].informativeText.contains(typed.trimmed()));
    }

    // A new web URL on the clipboard starts the field, selected, so typing replaces it.
    void clipboardPrefill()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("  https://example.com/copied\n"));
        openSheet();
        QCOMPARE(field("URL")->text(), QStringLiteral("https://example.com/copied"));
        QTest::keyClicks(field("URL"), QStringLiteral("https://typed"));
        QCOMPARE(field("URL")->text(), QStringLiteral("https://typed"));
    }

    // What another process saves while the form is open is refused at create time, and also
    // after the form ended, when the check and the insert are one step. Cancel and refusals
    // leave the remembered choices alone; a success replaces them and saves every value.
    void createdAgainstAnotherWriter()
    {
        XCoreDataManagement other(XCoreDataManagement::shared().storePath());
        QVERIFY(other.open());
        const QString early = QStringLiteral("https://example.com/early");
        const QString late = QStringLiteral("https://example.com/late");
        const QString mine = QStringLiteral("https://example.com/mine");
        AlertScript script;
        openSheet();
        QVERIFY(other.creatTaskUnlessKnown(early, QString(), QString()).created);
        create(early, QStringLiteral("Firefox"), true);
        QCOMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts()[0].messageText, knownAlready);
        click("Cancel");
        QCOMPARE(reopened(), (QStringList{"None", "off", "off"}));

        create(late, QStringLiteral("None"));
        QCOMPARE(endings(), created);
        QVERIFY(other.creatTaskUnlessKnown(late, QString(), QString()).created);
        QVERIFY(!view()->createTaskIn(XCoreDataManagement::shared()));
        QCOMPARE(script.alerts().size(), 2);
        QVERIFY(script.alerts()[1].informativeText.contains(late));
        QCOMPARE(other.searchURL(late).size(), 1);

        openSheet();
        field("Note")->setText(QStringLiteral("kept"));
        create(mine, QStringLiteral("Firefox"), true);
        QVERIFY(view()->tryBestVideo() && view()->mustMP4Format());
        QVERIFY(view()->createTaskIn(XCoreDataManagement::shared()));
        QCOMPARE(script.alerts().size(), 2);
        const auto stored = other.searchURL(mine);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0]->browers(), QStringLiteral("Firefox"));
        QCOMPARE(stored[0]->note(), QStringLiteral("kept"));
        QCOMPARE(stored[0]->tryBestVideo(), std::optional<bool>(true));
        QCOMPARE(stored[0]->mustMP4Format(), std::optional<bool>(true));
        QCOMPARE(reopened(), (QStringList{"Firefox", "on", "on"}));
    }
};

QTEST_MAIN(TestAppNewTask)
#include "tst_app_new_task.moc"
