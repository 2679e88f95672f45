#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "app/ZelvoApplication.h"
#include "desktop/Alerts.h"
#include "platform/SignalBridge.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ZelvoApplication::configure(app);
    SingleInstance instance;
    const QStringList arguments = app.arguments().mid(1);
    if (!instance.claim(arguments)) return 0;
    Alerts::installAsAlertHandler();
    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::argumentsReceived, &delegate,
                     &AppDelegate::applicationShouldHandleReopen);
    // Logout and kill end the application the way Quit does, with every window closed
    // normally; a second signal ends it at once.
    SignalBridge termination;
    QObject::connect(&termination, &SignalBridge::terminationRequested, &app, [](int count) {
        if (count == 1) QApplication::closeAllWindows();
        QApplication::exit(count == 1 ? 0 : 1);
    });
    delegate.start(arguments);
    return app.exec();
}
