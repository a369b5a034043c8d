#include "platform/win/api/input.h"

#include <windows.h>

namespace win32 {

void KeyEvent(unsigned char virtualKey, bool up)
{
    keybd_event(virtualKey, 0, up ? KEYEVENTF_KEYUP : 0, 0);
}

void MouseEvent(unsigned long flags)
{
    mouse_event(flags, 0, 0, 0, 0);
}

} // namespace win32
