#include "app/ZelvoApplication.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

class TestAppTranslations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }

    // Our menus and Qt's own buttons follow the locale; untranslated texts stay as written.
    void chineseLocale()
    {
        ZelvoApplication::installTranslations(QLocale(QStringLiteral("zh_CN")));
        QCOMPARE(QCoreApplication::translate("AppDelegate", "Quit"), QStringLiteral("退出"));
        QCOMPARE(QCoreApplication::translate("SearchField", "Search"), QStringLiteral("搜索"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("AppDelegate", "ffprobe error."),
                 QStringLiteral("ffprobe error."));
    }
};

QTEST_MAIN(TestAppTranslations)
#include "tst_app_translations.moc"
