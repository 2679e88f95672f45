#include "app/ZelvoApplication.h"

#include "ZelvoVersion.h"

#include <QApplication>
#include <QDir>

void ZelvoApplication::configure(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("zelvo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Zelvo"));
    QApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("zelvo"));
    app.setWindowIcon(icon());
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
