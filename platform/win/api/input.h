#pragma once

// Synthetic input through the Win32 calls, in plain C++ so it builds without Qt.

namespace win32 {

// keybd_event with scan code 0 and no extended-key flag; up adds KEYEVENTF_KEYUP.
void KeyEvent(unsigned char virtualKey, bool up);

// mouse_event with these flags at position 0,0, no wheel data, no extra information.
void MouseEvent(unsigned long flags);

} // namespace win32
