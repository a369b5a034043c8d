#include "platform/win/api/recorder.h"

#include <initializer_list>

#include <windows.h>

namespace win32 {

namespace {

// The hook procedures take no context: the one recording of the process lives here.
HHOOK g_keyboardHook = nullptr;
HHOOK g_mouseHook = nullptr;
RecordedInputSink g_sink = nullptr;
void *g_context = nullptr;

// Leaves ToUnicodeEx's keyboard state alone (Windows 10 1607 and later), so a dead key the
// user is composing is not consumed by the recording. Older systems ignore the flag.
constexpr UINT kKeepKeyboardState = 0x4;

// The text of a key going down, with a keyboard state holding only Shift and Caps Lock, on the
// layout of the window the user types into. Dead keys and control characters give none.
void textOfKey(const KBDLLHOOKSTRUCT &key, wchar_t *text, int size)
{
    BYTE state[256] = {};
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000)
        state[VK_SHIFT] = 0x80;
    if (GetKeyState(VK_CAPITAL) & 1)
        state[VK_CAPITAL] = 1;
    const HKL layout = GetKeyboardLayout(GetWindowThreadProcessId(GetForegroundWindow(), nullptr));
    wchar_t buffer[8] = {};
    const int n
        = ToUnicodeEx(key.vkCode, key.scanCode, state, buffer, 7, kKeepKeyboardState, layout);
    if (n <= 0 || n >= size)
        return;
    for (int i = 0; i < n; ++i) {
        if (buffer[i] < 0x20 || buffer[i] == 0x7f)
            return;
    }
    for (int i = 0; i < n; ++i)
        text[i] = buffer[i];
    text[n] = 0;
}

void nameOfKey(const KBDLLHOOKSTRUCT &key, wchar_t *name, int size)
{
    LONG lParam = LONG(key.scanCode & 0xff) << 16;
    if (key.flags & LLKHF_EXTENDED)
        lParam |= 1 << 24;
    if (GetKeyNameTextW(lParam, name, size) <= 0)
        name[0] = 0;
}

LRESULT CALLBACK keyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lParam);
    if (code == HC_ACTION && g_sink && !(key->flags & LLKHF_INJECTED)) {
        RecordedInput input;
        const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        input.kind = down ? RecordedInput::KeyDown : RecordedInput::KeyUp;
        input.time = key->time;
        POINT pt = {};
        GetCursorPos(&pt);
        input.x = pt.x;
        input.y = pt.y;
        input.virtualKey = int(key->vkCode);
        nameOfKey(*key, input.keyName, 64);
        if (down)
            textOfKey(*key, input.text, 8);
        g_sink(g_context, input);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The button and direction of a mouse message; false for moves, the wheel and X buttons.
bool buttonOf(WPARAM message, int *button, bool *down)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        *button = 1;
        *down = true;
        return true;
    case WM_LBUTTONUP:
        *button = 1;
        *down = false;
        return true;
    case WM_MBUTTONDOWN:
        *button = 2;
        *down = true;
        return true;
    case WM_MBUTTONUP:
        *button = 2;
        *down = false;
        return true;
    case WM_RBUTTONDOWN:
        *button = 3;
        *down = true;
        return true;
    case WM_RBUTTONUP:
        *button = 3;
        *down = false;
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK mouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto *mouse = reinterpret_cast<const MSLLHOOKSTRUCT *>(lParam);
    RecordedInput input;
    bool down = false;
    if (code == HC_ACTION && g_sink && !(mouse->flags & LLMHF_INJECTED)
        && buttonOf(wParam, &input.button, &down)) {
        input.kind = down ? RecordedInput::ButtonDown : RecordedInput::ButtonUp;
        input.time = mouse->time;
        input.x = mouse->pt.x;
        input.y = mouse->pt.y;
        g_sink(g_context, input);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

bool StartInputHooks(RecordedInputSink sink, void *context)
{
    if (g_keyboardHook || g_mouseHook || !sink)
        return false;
    const HINSTANCE module = GetModuleHandleW(nullptr);
    g_keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardProc, module, 0);
    g_mouseHook = SetWindowsHookExW(WH_MOUSE_LL, mouseProc, module, 0);
    if (!g_keyboardHook || !g_mouseHook) {
        StopInputHooks();
        return false;
    }
    g_sink = sink;
    g_context = context;
    return true;
}

void StopInputHooks()
{
    for (HHOOK *hook : {&g_keyboardHook, &g_mouseHook}) {
        if (*hook)
            UnhookWindowsHookEx(*hook);
        *hook = nullptr;
    }
    g_sink = nullptr;
    g_context = nullptr;
}

} // namespace win32
