// The recorder's Win32 half (platform/win/api/recorder.cpp) on its own, for the Wine tests: a
// window to type into, the low-level hooks, one line per recorded event on standard output.
// It sends a key of its own first, which must not be recorded (playback is injected input),
// and ends when F12 is let go.
#include "platform/win/api/recorder.h"

#include <windows.h>

#include <cstdio>

namespace {

bool g_done = false;

void print(void *, const win32::RecordedInput &input)
{
    if (input.virtualKey == VK_F12) {
        g_done = g_done || input.kind == win32::RecordedInput::KeyUp;
        return;
    }
    char text[32] = {};
    WideCharToMultiByte(CP_UTF8, 0, input.text, -1, text, sizeof text, nullptr, nullptr);
    switch (input.kind) {
    case win32::RecordedInput::KeyDown:
        std::printf("down %d '%s'\n", input.virtualKey, text);
        break;
    case win32::RecordedInput::KeyUp:
        std::printf("up %d\n", input.virtualKey);
        break;
    case win32::RecordedInput::ButtonDown:
    case win32::RecordedInput::ButtonUp:
        std::printf("%s %d %d,%d\n",
            input.kind == win32::RecordedInput::ButtonDown ? "press" : "release", input.button,
            input.x, input.y);
        break;
    }
    std::fflush(stdout);
}

void sendOwnKey()
{
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = 'Q';
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

} // namespace

int main()
{
    HWND window = CreateWindowExW(0, L"STATIC", L"recorderprobe", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
        0, 0, 400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window || !win32::StartInputHooks(print, nullptr)) {
        std::printf("no hooks\n");
        return 1;
    }
    win32::StartInputHooks(print, nullptr); // a second start is refused and changes nothing
    sendOwnKey();
    std::printf("ready\n");
    std::fflush(stdout);
    const DWORD start = GetTickCount();
    SetTimer(nullptr, 1, 100, nullptr); // the loop looks at the clock now and then
    MSG msg;
    while (!g_done && GetTickCount() - start < 30000 && GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    win32::StopInputHooks();
    win32::StopInputHooks();
    return g_done ? 0 : 2;
}
