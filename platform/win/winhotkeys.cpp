// Win32 implementation of the global hotkeys: global atoms, RegisterHotKey for the main window,
// and the WM_HOTKEY messages that reach the window's nativeEvent.
#include "platform/win/api/hotkeys.h"
#include "platform/win/winplatform.h"

quint16 WinPlatform::globalAddAtom(const QByteArray &name)
{
    return win32::AddGlobalAtom(name.constData());
}

void WinPlatform::globalDeleteAtom(quint16 atom)
{
    win32::DeleteGlobalAtom(atom);
}

bool WinPlatform::registerHotKey(
    quintptr window, quint16 id, unsigned modifiers, unsigned virtualKey)
{
    return win32::RegisterWindowHotKey(reinterpret_cast<void *>(window), id, modifiers, virtualKey);
}

void WinPlatform::unregisterHotKey(quintptr window, quint16 id)
{
    win32::UnregisterWindowHotKey(reinterpret_cast<void *>(window), id);
}

void WinPlatform::setHotKeyHandler(HotKeyHandler, void *)
{
    // The system posts WM_HOTKEY to the window that registered the key: hotKeyOfMessage.
}

bool WinPlatform::hotKeyOfMessage(
    const QByteArray &eventType, void *message, unsigned *modifiers, unsigned *virtualKey)
{
    // The window's own messages; the application-wide dispatcher type would see them twice.
    return eventType == "windows_generic_MSG"
        && win32::HotKeyOfMessage(message, modifiers, virtualKey);
}
