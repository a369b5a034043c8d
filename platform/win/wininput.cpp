// Win32 synthetic input: keys and buttons through keybd_event and mouse_event, the pointer
// through GetCursorPos and SetCursorPos. Not the toolkit's cursor: with a scaled display its
// positions are in scaled units, and scripts speak in the screen's pixels.
#include "platform/win/api/input.h"
#include "platform/win/api/screen.h"
#include "platform/win/winplatform.h"

void WinPlatform::keyDown(int virtualKey)
{
    win32::KeyEvent(static_cast<unsigned char>(virtualKey & 0xFF), false);
}

void WinPlatform::keyUp(int virtualKey)
{
    win32::KeyEvent(static_cast<unsigned char>(virtualKey & 0xFF), true);
}

void WinPlatform::mouseButton(MouseButtonEvent event)
{
    // The enumeration's values are MOUSEEVENTF_LEFTDOWN (2), _LEFTUP (4), _RIGHTDOWN (8) and
    // _RIGHTUP (16).
    win32::MouseEvent(static_cast<unsigned long>(event));
}

QPoint WinPlatform::cursorPosition()
{
    int x = 0, y = 0;
    win32::CursorPosition(&x, &y);
    return QPoint(x, y);
}

void WinPlatform::setCursorPosition(const QPoint &position)
{
    win32::SetCursorPosition(position.x(), position.y());
}
