#include "imaging/screen.h"

#include "platform/platform.h"

#include <atomic>

namespace imaging {

namespace {
std::atomic<ScreenSource *> g_source {nullptr};
}

void setScreenSource(ScreenSource *source)
{
    g_source = source;
}

QImage captureScreen(Platform &platform)
{
    if (ScreenSource *source = g_source)
        return source->capture();
    return platform.captureScreen();
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
