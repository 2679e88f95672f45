#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "app/ZelvoApplication.h"
#include "desktop/Alerts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ZelvoApplication::configure(app);
    SingleInstance instance;
    if (!instance.claim(app.arguments().mid(1))) return 0;
    Alerts::installAsAlertHandler();
    AppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::argumentsReceived, &delegate,
                     &AppDelegate::applicationShouldHandleReopen);
    delegate.start();
    return app.exec();
}
