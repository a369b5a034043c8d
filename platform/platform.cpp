#include "platform/platform.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

// Portable defaults; a system's implementation overrides them where it has its own call.

QSize Platform::screenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

void Platform::openTextFile(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
