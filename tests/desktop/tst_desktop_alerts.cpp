#include "desktop/AlertScript.h"
#include "desktop/Alerts.h"
#include "media/NSTavoTools.h"
#include "support/AccessibilityWalk.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

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

class TestDesktopAlerts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QApplication::setStyle(new GnomeButtonLayout);
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
        QTest::newRow("Return") << "Return" << 1000;
        QTest::newRow("Esc") << "Escape" << 1001;
        QTest::newRow("click first") << "Remove" << 1000;
        QTest::newRow("click second") << "Keep" << 1001;
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

QTEST_MAIN(TestDesktopAlerts)
#include "tst_desktop_alerts.moc"
