#include "imaging/screen.h"

#include "platform/platform.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <atomic>

namespace imaging {

namespace {
std::atomic<ScreenSource *> g_source {nullptr};
}

void setScreenSource(ScreenSource *source)
{
    g_source = source;
}

QImage captureScreen()
{
    if (ScreenSource *source = g_source)
        return source->capture();
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QImage();
    // Window 0 is the whole screen (the desktop window) on every platform, and needs no
    // widget, which could not be touched from the interpreter thread.
    return screen->grabWindow(0).toImage();
}

QPoint cursorPosition(Platform &platform)
{
    if (ScreenSource *source = g_source)
        return source->cursor();
    return platform.cursorPosition();
}

void setCursorPosition(Platform &platform, const QPoint &position)
{
    if (ScreenSource *source = g_source) {
        source->setCursor(position);
        return;
    }
    platform.setCursorPosition(position);
}

} // namespace imaging
