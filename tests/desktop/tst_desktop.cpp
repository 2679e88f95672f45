// The desktop seams: alerts and panels, the browser, the file manager, sharing, sheets.
#include "desktop/AlertScript.h"
#include "desktop/Alerts.h"
#include "desktop/DesktopServices.h"
#include "desktop/FileReveal.h"
#include "desktop/ShareMenu.h"
#include "desktop/SheetQueue.h"
#include "media/NSTavoTools.h"
#include "support/AccessibilityWalk.h"
#include "support/FakeExecutable.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <thread>

namespace
{

// The button layout of GNOME and XFCE, where Qt puts accept buttons in reverse order.
class GnomeButtonLayout : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *answer) const override
    {
        if (hint == SH_DialogButtonLayout) return QDialogButtonBox::GnomeLayout;
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

// Acts on the modal window the facade opens, once it shows.
void whenModalShows(std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, qApp, [act] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        act(QApplication::activeModalWidget());
    });
}

QPushButton *buttonTitled(QWidget *box, const QString &title)
{
    for (QPushButton *button : box->findChildren<QPushButton *>())
        if (button->text() == title) return button;
    return nullptr;
}

Alert twoButtonAlert()
{
    Alert alert;
    alert.messageText = QStringLiteral("Remove <b>this</b>?");
    alert.informativeText = QStringLiteral("https://example.org/?a=<script>&b=1\nsecond line");
    alert.buttons = {QStringLiteral("Remove"), QStringLiteral("Keep")};
    return alert;
}

} // namespace

// Stands in for the desktop's URL handlers, so no test starts a real browser or file manager.
class OpenedURLs : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

// The file manager's side of org.freedesktop.FileManager1, on a private bus.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList &uris, const QString &) { shown = uris; }
};

class TestDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_bin;
    OpenedURLs m_opened;

    QString browserArguments(const QString &program) const
    {
        QFile record(m_bin.filePath(program + QStringLiteral(".args")));
        return record.open(QIODevice::ReadOnly) ? QString::fromUtf8(record.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QApplication::setStyle(new GnomeButtonLayout);
        // One argument per line, exactly as received.
        for (const char *program : {"google-chrome-stable", "firefox-esr"})
            FakeExecutable::write(m_bin.filePath(QLatin1String(program)),
                                  QStringLiteral("printf '%s\\n' \"$@\" > \"$0.args\"\n"));
        qputenv("PATH", m_bin.path().toUtf8());
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &m_opened, "open");
    }

    void init() { m_opened.urls.clear(); }

    void cleanupTestCase()
    {
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    void browserRules_data()
    {
        QTest::addColumn<QString>("browser");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("program"); // empty: the default browser
        const auto row = [](const char *name, const QString &browser, const QString &url,
                            bool opened, const QString &program = {}) {
            addRow(name, browser, url, opened, program);
        };
        row("Chrome, stable installed", "Chrome", "https://example.org/a b;$(touch x)&c=\"d\"",
            true, "google-chrome-stable");
        row("Firefox, ESR installed", "Firefox", "http://127.0.0.1:8/v", true, "firefox-esr");
        row("Chromium is not Chrome", "Chromium", "https://example.org/", true);
        row("None", "None", "https://example.org/", true);
        row("not web", "Chrome", "file:///etc/passwd", false);
        row("script", "Firefox", "javascript:alert(1)", false);
        row("no host", "None", "https://", false);
    }

    void browserRules()
    {
        QFETCH(QString, browser);
        QFETCH(QString, url);
        QFETCH(bool, opened);
        QFETCH(QString, program);
        for (const char *name : {"google-chrome-stable", "firefox-esr"})
            QFile::remove(m_bin.filePath(QLatin1String(name) + QStringLiteral(".args")));

        QCOMPARE(DesktopServices::openURLInBrowser(QUrl(url), browser), opened);
        if (!program.isEmpty()) {
            // The URL arrives as one argument, untouched by any shell.
            const QString expected = QUrl(url).toString(QUrl::FullyEncoded) + QLatin1Char('\n');
            QTRY_COMPARE(browserArguments(program), expected);
            QVERIFY(m_opened.urls.isEmpty());
        } else {
            QCOMPARE(m_opened.urls.size(), opened ? 1 : 0);
        }
    }

    // Against a real bus: the file manager gets the file URIs; with none, the folder opens.
    void revealOverTheSessionBus()
    {
        if (!PrivateSessionBus::available()) QSKIP("dbus-daemon is not installed");
        PrivateSessionBus session;
        QVERIFY(!session.address().isEmpty());
        QDBusConnection bus = session.connect(QStringLiteral("app"));
        QDBusConnection managerBus = session.connect(QStringLiteral("fm"));
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("a #1.mp4"));

        // Nobody owns the name yet: the bus refuses at once and the folder opens.
        FileReveal::reveal({file}, bus);
        QTRY_COMPARE(m_opened.urls.size(), 1);

        FakeFileManager manager;
        QVERIFY(managerBus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        QVERIFY(managerBus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                          QDBusConnection::ExportAllSlots));
        FileReveal::reveal({file}, bus);
        QTRY_COMPARE(manager.shown,
                     QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)});
        QTest::qWait(50);
        QCOMPARE(m_opened.urls.size(), 1);
    }

    void shareMenuOffersMailOnlyWithXdgEmail()
    {
        const QStringList paths{QStringLiteral("/tmp/a.mp4"), QStringLiteral("/tmp/b.mp4")};
        auto titles = [](QMenu *menu) {
            QStringList texts;
            for (QAction *action : menu->actions())
                texts.append(action->text());
            return texts;
        };
        std::unique_ptr<QMenu> menu(ShareMenu::create(paths, nullptr));
        QCOMPARE(titles(menu.get()), QStringList({"Copy", "Copy Path", "Open"}));

        menu->actions().at(0)->trigger();
        const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(copied->urls(),
                 QList<QUrl>({QUrl::fromLocalFile(paths[0]), QUrl::fromLocalFile(paths[1])}));
        menu->actions().at(1)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/tmp/a.mp4\n/tmp/b.mp4"));

        FakeExecutable::write(m_bin.filePath(QStringLiteral("xdg-email")),
                              QStringLiteral("exit 0\n"));
        menu.reset(ShareMenu::create(paths, nullptr));
        QCOMPARE(titles(menu.get()).last(), QStringLiteral("E-mail"));
        QFile::remove(m_bin.filePath(QStringLiteral("xdg-email")));
    }

    // A sheet presented while another shows waits for it; codes pass through finished().
    void sheetsQueuePerWindow()
    {
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Zelvo"));
        window.show();
        auto *first = new QDialog(&window);
        auto *second = new QDialog(&window);
        auto *button = new QPushButton(QStringLiteral("Close"), second);
        QSignalSpy firstEnded(first, &QDialog::finished);
        SheetQueue::present(first);
        SheetQueue::present(second);
        QVERIFY(first->isVisible());
        QCOMPARE(first->windowModality(), Qt::WindowModal);
        QVERIFY(!second->isVisible());
        QCOMPARE(SheetQueue::currentSheet(&window), first);
        QVERIFY(!button->autoDefault());

        first->done(1);
        QCOMPARE(firstEnded.value(0).value(0).toInt(), 1);
        QVERIFY(second->isVisible());
        QCOMPARE(SheetQueue::currentSheet(&window), second);
        delete second; // a sheet destroyed while showing frees the window too
        QCOMPARE(SheetQueue::currentSheet(&window), nullptr);
    }

    void accessibilityWalkFindsUnnamedControls()
    {
        QWidget window;
        window.setWindowTitle(QStringLiteral("Walk"));
        auto *layout = new QVBoxLayout(&window);
        auto *label = new QLabel(QStringLiteral("Working folder"));
        auto *labelled = new QLineEdit;
        label->setBuddy(labelled);
        auto *iconOnly = new QPushButton;
        iconOnly->setToolTip(QStringLiteral("Reveal"));
        auto *bare = new QLineEdit;
        bare->setObjectName(QStringLiteral("bare"));
        for (QWidget *widget : std::initializer_list<QWidget *>{label, labelled, iconOnly, bare})
            layout->addWidget(widget);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // A tooltip is read as a description, not as the name: icon-only controls need both.
        const QStringList unnamed = AccessibilityWalk::unnamedControls(&window);
        QCOMPARE(unnamed.size(), 2);
        QVERIFY2(unnamed.last().contains(QLatin1String("'bare'")), qPrintable(unnamed.last()));
        bare->setAccessibleName(QStringLiteral("Search"));
        iconOnly->setAccessibleName(iconOnly->toolTip());
        QVERIFY(AccessibilityWalk::unnamedControls(&window).isEmpty());
    }

    // The core's one-button alert may be raised on a job thread; it shows on the main one.
    void coreAlertHopsToTheMainThread()
    {
        AlertScript script;
        Alerts::installAsAlertHandler();
        std::thread([] { NSTavoTools::alertMessage(QStringLiteral("ffprobe error.")); }).join();
        QVERIFY(script.alerts().isEmpty());
        QTRY_COMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts().first().messageText, QStringLiteral("ffprobe error."));
        QCOMPARE(script.alerts().first().buttons, QStringList{QStringLiteral("OK")});
        NSTavoTools::setAlertHandler(nullptr);
    }

    void realBoxAnswersByButtonUnderGnomeLayout_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("response");
        addRow("Return", "Return", 1000);
        addRow("Esc", "Escape", 1001);
        addRow("click first", "Remove", 1000);
        addRow("click second", "Keep", 1001);
    }

    void realBoxAnswersByButtonUnderGnomeLayout()
    {
        QFETCH(QString, action);
        QFETCH(int, response);
        QString shownInformative;
        QStringList unnamed;
        bool reversed = false;
        whenModalShows([&](QWidget *box) {
            auto *informative =
                box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
            QTextDocument rendered;
            rendered.setHtml(informative ? informative->text() : QString());
            shownInformative = rendered.toPlainText();
            QPushButton *remove = buttonTitled(box, QStringLiteral("Remove"));
            QPushButton *keep = buttonTitled(box, QStringLiteral("Keep"));
            reversed = remove->mapToGlobal(QPoint()).x() > keep->mapToGlobal(QPoint()).x();
            unnamed = AccessibilityWalk::unnamedControls(box);
            if (action == QLatin1String("Return"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (action == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                QTest::mouseClick(buttonTitled(box, action), Qt::LeftButton);
        });
        QCOMPARE(Alerts::run(twoButtonAlert()).response, response);
        QVERIFY2(reversed, "the GNOME layout should show the buttons in reverse");
        QCOMPARE(shownInformative, twoButtonAlert().informativeText);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    }

    void questionReturnsTheField()
    {
        Alert alert;
        alert.messageText = QStringLiteral("Note");
        alert.buttons = {QStringLiteral("Save"), QStringLiteral("Cancel")};
        alert.hasTextField = true;
        alert.fieldText = QStringLiteral("old");
        whenModalShows([](QWidget *dialog) {
            auto *field = dialog->findChild<QLineEdit *>();
            field->selectAll();
            QTest::keyClicks(field, QStringLiteral("a <new> note"));
            QTest::keyClick(field, Qt::Key_Return);
        });
        AlertAnswer answer = Alerts::run(alert);
        QCOMPARE(answer.response, 1000);
        QCOMPARE(answer.fieldText, QStringLiteral("a <new> note"));

        whenModalShows([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
        QCOMPARE(Alerts::run(alert).response, 1001);
    }

    void folderPanelChoosesFoldersOnly()
    {
        QTemporaryDir folder;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        whenModalShows([&](QWidget *panel) {
            auto *dialog = qobject_cast<QFileDialog *>(panel);
            QVERIFY(dialog);
            mode = dialog->fileMode();
            dialog->setDirectory(folder.path());
            dialog->selectFile(folder.path());
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const QString chosen = Alerts::chooseFolder(QStringLiteral("Select path for work."));
        QCOMPARE(mode, QFileDialog::Directory);
        QCOMPARE(QDir(chosen).canonicalPath(), QDir(folder.path()).canonicalPath());
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
