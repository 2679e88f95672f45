#include "desktop/DesktopServices.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

bool DesktopServices::openURL(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool DesktopServices::openURLInBrowser(const QUrl &url, const QString &browser)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    for (const QString &program : browserPrograms(browser)) {
        const QString executable = QStandardPaths::findExecutable(program);
        // Detached, no shell: the URL is the browser's one argument, never parsed as options.
        if (!executable.isEmpty() &&
            QProcess::startDetached(executable, {url.toString(QUrl::FullyEncoded)}))
            return true;
    }
    return openURL(url);
}

QStringList DesktopServices::browserPrograms(const QString &browser)
{
    if (browser == QLatin1String("Chrome"))
        return {QStringLiteral("google-chrome"), QStringLiteral("google-chrome-stable")};
    if (browser == QLatin1String("Firefox"))
        return {QStringLiteral("firefox"), QStringLiteral("firefox-esr")};
    return {};
}

void DesktopServices::openFolderOf(const QString &path)
{
    openURL(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void DesktopServices::copyText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

void DesktopServices::copyFiles(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    data->setText(paths.join(QLatin1Char('\n')));
    QGuiApplication::clipboard()->setMimeData(data);
}
