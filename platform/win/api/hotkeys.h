#pragma once

// Global atoms and system-wide hotkeys through the Win32 calls, in plain C++ so it builds
// without Qt.

namespace win32 {

// GlobalAddAtomA; 0 when it fails. GlobalDeleteAtom.
unsigned short AddGlobalAtom(const char *name);
void DeleteGlobalAtom(unsigned short atom);

// RegisterHotKey / UnregisterHotKey for a window handle (HWND).
bool RegisterWindowHotKey(void *window, int id, unsigned modifiers, unsigned virtualKey);
void UnregisterWindowHotKey(void *window, int id);

// For a WM_HOTKEY message (a MSG): true, with the modifier word (low word of lParam) and the
// virtual-key code (high word). false for every other message.
bool HotKeyOfMessage(const void *msg, unsigned *modifiers, unsigned *virtualKey);

} // namespace win32
