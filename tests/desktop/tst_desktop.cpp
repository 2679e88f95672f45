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
#include "support/FileContents.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QProxyStyle>
#include <QPushButton>
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

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QApplication::setStyle(new GnomeButtonLayout);
        // One argument per line, exactly as received.
        FakeExecutable::write(m_bin.filePath(QStringLiteral("google-chrome-stable")),
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
        const auto row = [](const char *name, const char *browser, const char *url, bool opened,
                            const char *program = "") {
            addRow(name, QString::fromLatin1(browser), QString::fromLatin1(url), opened,
                   QString::fromLatin1(program));
        };
        row("Chrome, stable installed", "Chrome", "https://example.org/a b;$(touch x)&c=\"d\"",
            true, "google-chrome-stable");
        row("None", "None", "https://example.org/", true);
        row("not web", "Chrome", "file:///etc/passwd", false);
        row("no host", "None", "https://", false);
    }

    void browserRules()
    {
        QFETCH(QString, browser);
        QFETCH(QString, url);
        QFETCH(bool, opened);
        QFETCH(QString, program);
        const QString record = m_bin.filePath(program + QStringLiteral(".args"));
        QFile::remove(record);
        QCOMPARE(DesktopServices::openURLInBrowser(QUrl(url), browser), opened);
        QCOMPARE(m_opened.urls.size(), opened && program.isEmpty() ? 1 : 0);
        if (program.isEmpty()) return;
        // The URL arrives as one argument, untouched by any shell.
        QTRY_COMPARE(FileContents::read(record), QUrl(url).toEncoded() + '\n');
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

    // Copy puts the files as file URLs, for a file manager to paste; Copy Path as text.
    void shareMenuCopiesEveryFile()
    {
        const QStringList paths{QStringLiteral("/tmp/a.mp4"), QStringLiteral("/tmp/b.mp4")};
        std::unique_ptr<QMenu> menu(ShareMenu::create(paths, nullptr));
        menu->actions().at(0)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls(),
                 QList<QUrl>({QUrl::fromLocalFile(paths[0]), QUrl::fromLocalFile(paths[1])}));
        menu->actions().at(1)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/tmp/a.mp4\n/tmp/b.mp4"));
    }

    // A sheet presented while another shows waits for it.
    void sheetsQueuePerWindow()
    {
        QMainWindow window;
        window.show();
        auto *first = new QDialog(&window);
        auto *second = new QDialog(&window);
        SheetQueue::present(first);
        SheetQueue::present(second);
        QVERIFY(first->isVisible() && !second->isVisible());
        QCOMPARE(SheetQueue::currentSheet(&window), first);

        first->done(1);
        QVERIFY(second->isVisible());
        QCOMPARE(SheetQueue::currentSheet(&window), second);
        delete second; // a sheet destroyed while showing frees the window too
        QCOMPARE(SheetQueue::currentSheet(&window), nullptr);
    }

    // The walk the window tests rely on sees what a screen reader misses: a tooltip is read as
    // a description, not as the name, so icon-only controls need both.
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
        for (QWidget *widget : std::initializer_list<QWidget *>{label, labelled, iconOnly, bare})
            layout->addWidget(widget);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList unnamed = AccessibilityWalk::unnamedControls(&window);
        QCOMPARE(unnamed.size(), 2); // the labelled field is named by its label
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
        NSTavoTools::setAlertHandler(nullptr);
    }

    void realDialogs_data()
    {
        QTest::addColumn<bool>("question");  // with a text field
        QTest::addColumn<QString>("action"); // a key or a button's title
        QTest::addColumn<int>("response");
        addRow("Return", false, QStringLiteral("Return"), 1000);
        addRow("Esc", false, QStringLiteral("Escape"), 1001);
        addRow("click second", false, QStringLiteral("Keep"), 1001);
        addRow("question, Return", true, QStringLiteral("Return"), 1000);
    }

    // The real windows answer by which button was pressed whatever the layout (GNOME reverses
    // them), show the texts exactly, name every control, and return the field.
    void realDialogs()
    {
        QFETCH(bool, question);
        QFETCH(QString, action);
        QFETCH(int, response);
        Alert alert;
        alert.messageText = QStringLiteral("Remove <b>this</b>?");
        alert.informativeText = QStringLiteral("https://example.org/?a=<script>&b=1\nsecond line");
        alert.buttons = {QStringLiteral("Remove"), QStringLiteral("Keep")};
        alert.hasTextField = question;
        alert.fieldText = QStringLiteral("old");
        QString shownInformative;
        QStringList unnamed;
        bool reversed = false;
        int informativeWidth = 0;
        whenModalShows([&](QWidget *dialog) {
            const auto button = [dialog](const QString &title) {
                return AccessibilityWalk::findNamed<QPushButton>(dialog, title);
            };
            unnamed = AccessibilityWalk::unnamedControls(dialog);
            QWidget *target = dialog;
            if (auto *field = dialog->findChild<QLineEdit *>(); question) {
                field->selectAll();
                QTest::keyClicks(field, QStringLiteral("a <new> note"));
                target = field;
            } else {
                auto *informative = dialog->findChild<QLabel *>("qt_msgbox_informativelabel");
                QTextDocument rendered;
                rendered.setHtml(informative->text());
                shownInformative = rendered.toPlainText();
                informativeWidth = informative->width();
                reversed = button("Remove")->x() > button("Keep")->x(); // one button box
            }
            if (action == QLatin1String("Return") || action == QLatin1String("Escape"))
                QTest::keyClick(target, action == "Return" ? Qt::Key_Return : Qt::Key_Escape);
            else
                QTest::mouseClick(button(action), Qt::LeftButton);
        });
        const AlertAnswer answer = Alerts::run(alert);
        QCOMPARE(answer.response, response);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        if (question && response == 1000)
            QCOMPARE(answer.fieldText, QStringLiteral("a <new> note"));
        if (question) return;
        QVERIFY2(reversed, "the GNOME layout should show the buttons in reverse");
        QCOMPARE(shownInformative, alert.informativeText);
        QVERIFY2(informativeWidth >= 320, "a long text must not wrap into a narrow column");
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
