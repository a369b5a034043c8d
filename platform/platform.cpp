#include "platform/platform.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QUrl>

// Portable defaults; a system's implementation overrides them where it has its own call.

QSize Platform::screenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

QImage Platform::captureScreen()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QImage();
    // Window 0 is the whole screen (the desktop window) on every platform, and needs no
    // widget, which could not be touched from the interpreter thread.
    return screen->grabWindow(0).toImage();
}

void Platform::openTextFile(const QString &path, std::function<void()> onFailure)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)) && onFailure)
        onFailure();
}


bool Platform::startInputRecording(InputHandler)
{
    return false;
}

void Platform::stopInputRecording()
{
}
