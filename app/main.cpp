#include "app/appresources.h"
#include "app/checkcommand.h"
#include "app/mainwindow.h"
#include "app/processstate.h"
#include "platform/platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // A check of a script file is a console tool of its own: it comes before everything of the
    // start-up, so it needs no display and leaves running instances and the settings alone.
    if (checkcommand::requested(argc, argv))
        return checkcommand::main(argc, argv);
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
