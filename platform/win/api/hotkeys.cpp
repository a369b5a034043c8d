#include "platform/win/api/hotkeys.h"

// This file speaks the ANSI API whatever the build defines.
#undef UNICODE
#undef _UNICODE
#include <windows.h>

namespace win32 {

unsigned short AddGlobalAtom(const char *name)
{
    return GlobalAddAtomA(name);
}

void DeleteGlobalAtom(unsigned short atom)
{
    GlobalDeleteAtom(atom);
}

bool RegisterWindowHotKey(void *window, int id, unsigned modifiers, unsigned virtualKey)
{
    return RegisterHotKey(static_cast<HWND>(window), id, modifiers, virtualKey) != 0;
}

void UnregisterWindowHotKey(void *window, int id)
{
    UnregisterHotKey(static_cast<HWND>(window), id);
}

bool HotKeyOfMessage(const void *msg, unsigned *modifiers, unsigned *virtualKey)
{
    const MSG *m = static_cast<const MSG *>(msg);
    if (!m || m->message != WM_HOTKEY)
        return false;
    *modifiers = LOWORD(m->lParam);
    *virtualKey = HIWORD(m->lParam);
    return true;
}

} // namespace win32
