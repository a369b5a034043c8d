// Win32 synthetic input: keys and buttons through keybd_event and mouse_event, the pointer
// through the toolkit's cursor.
#include "platform/win/win32input.h"
#include "platform/win/winplatform.h"

#include <QCursor>

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
    return QCursor::pos();
}

void WinPlatform::setCursorPosition(const QPoint &position)
{
    QCursor::setPos(position);
}
