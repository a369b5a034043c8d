#pragma once

#include <QImage>
#include <QPoint>

class Platform;

// The screen and the pointer as the image commands see them.
namespace imaging {

// The whole primary screen, captured now through the platform. Safe on the interpreter thread.
QImage captureScreen(Platform &platform);
// Where the pointer is, and moving it (desktop pixels of the primary screen), through the same
// platform input as the mouse commands, so moves and clicks reach the system in order.
QPoint cursorPosition(Platform &platform);
void setCursorPosition(Platform &platform, const QPoint &position);

// A stand-in for the screen and the pointer, so the commands can be run against a known
// picture in tests. While one is installed, the three functions above use it instead.
class ScreenSource
{
public:
    virtual ~ScreenSource() = default;
    virtual QImage capture() = 0;
    virtual QPoint cursor() = 0;
    virtual void setCursor(const QPoint &position) = 0;
};
// nullptr restores the real screen.
void setScreenSource(ScreenSource *source);

} // namespace imaging
