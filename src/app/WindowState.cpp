#include "app/WindowState.h"

#include <QDir>
#include <QSettings>
#include <QWidget>

namespace
{
const QString geometryKey = QStringLiteral("mainWindow/geometry");
}

QString WindowState::stateFile()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty()) state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/zelvo/window.ini");
}

void WindowState::restore(QWidget *window)
{
    const QSettings state(stateFile(), QSettings::IniFormat);
    const QByteArray geometry = state.value(geometryKey).toByteArray();
    // A file from another screen layout is ignored, not half applied.
    if (!geometry.isEmpty()) window->restoreGeometry(geometry);
}

void WindowState::save(const QWidget *window)
{
    QSettings state(stateFile(), QSettings::IniFormat);
    state.setValue(geometryKey, window->saveGeometry());
    state.sync();
}
