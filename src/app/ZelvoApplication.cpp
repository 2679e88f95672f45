#include "app/ZelvoApplication.h"

#include "ZelvoVersion.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void ZelvoApplication::configure(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("zelvo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelvo"));
    QApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("zelvo"));
    app.setWindowIcon(icon());
    installTranslations(QLocale::system());
}

void ZelvoApplication::installTranslations(const QLocale &locale)
{
    const std::pair<const char *, QString> catalogues[] = {
        {"qtbase", QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
        {"zelvo", QStringLiteral(":/i18n")}};
    for (const auto &[name, folder] : catalogues) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, QLatin1String(name), QStringLiteral("_"), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

QString ZelvoApplication::versionLabel()
{
    return QStringLiteral("Zelvo %1(%2)")
        .arg(QStringLiteral(ZELVO_VERSION), QStringLiteral(ZELVO_BUILD_NUMBER));
}

QIcon ZelvoApplication::icon()
{
    const QDir hicolor(QApplication::applicationDirPath() +
                       QStringLiteral("/../share/icons/hicolor"));
    QIcon icon;
    for (const QString &size : hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString file = hicolor.filePath(size + QStringLiteral("/apps/zelvo.png"));
        if (QFile::exists(file)) icon.addFile(file);
    }
    return icon.isNull() ? QIcon::fromTheme(QStringLiteral("zelvo")) : icon;
}
