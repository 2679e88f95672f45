#include "app/ZelvoApplication.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ZelvoApplication::configure(app);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Zelvo"));
    window.setCentralWidget(new QLabel(ZelvoApplication::versionLabel()));
    window.show();
    return app.exec();
}
