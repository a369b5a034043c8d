#include "app/appresources.h"
#include "app/mainwindow.h"
#include "app/processstate.h"
#include "platform/platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    initLocalEncoding();
    prepareGuiEnvironment();
    const QString argument = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    Platform &platform = systemPlatform();
    const ProcessState process = startup::prepareProcess(argument, platform);

    QApplication app(argc, argv);
    installQtTranslations(&app);
    // The program lives in the tray: closing its window or a message box never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    auto *window = new MainWindow(process, platform);
    const int result = app.exec();
    delete window; // stops and waits for a running script before the application goes
    return result;
}
