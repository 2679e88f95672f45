#include "app/ZelvoApplication.h"

#include "ZelvoVersion.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <vector>

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
    // Each part of the application keeps its own catalogue ("tasklist_zh_CN.qm", ...), so all
    // catalogues compiled in are loaded by the part of their name before the locale.
    std::vector<std::pair<QString, QString>> catalogues{
        {QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)}};
    const QString ours = QStringLiteral(":/i18n");
    QStringList names;
    for (const QString &file : QDir(ours).entryList({QStringLiteral("*_*.qm")}, QDir::Files)) {
        const QString name = file.section(QLatin1Char('_'), 0, 0);
        if (!names.contains(name)) names.append(name);
    }
    for (const QString &name : names)
        catalogues.emplace_back(name, ours);
    for (const auto &[name, folder] : catalogues) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, name, QStringLiteral("_"), folder))
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
