#include "platform/win/api/calls.h"

// This file speaks the ANSI API whatever the build defines.
#undef UNICODE
#undef _UNICODE
#include <windows.h>
// Needs windows.h first.
#include <tlhelp32.h>

#include <cstring>

namespace win32 {

namespace {

// Calls visit(entry) for every process of a snapshot until it returns false. The system idle
// process (id 0) is left out: it is the first entry on Windows, but other implementations of
// the API (Wine) list a real process first, so skipping by position would lose it.
template<typename Visit> bool forEachProcess(Visit visit)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    // The ANSI entry: 296 bytes in a 32-bit process, 304 in a 64-bit one.
    entry.dwSize = sizeof(PROCESSENTRY32);
    if (Process32First(snap, &entry)) {
        do {
            if (entry.th32ProcessID != 0 && !visit(entry))
                break;
        } while (Process32Next(snap, &entry));
    }
    CloseHandle(snap);
    return true;
}

} // namespace

int CountProcessesByName(const char *name)
{
    if (!name)
        return 0;
    int count = 0;
    forEachProcess([&](const PROCESSENTRY32 &entry) {
        if (std::strcmp(entry.szExeFile, name) == 0)
            ++count;
        return true;
    });
    return count;
}

int TerminateProcessByName(const char *name)
{
    if (!name)
        return 0;
    int found = 0;
    // Skipping our own id instead of relying on the older instance being listed first.
    const DWORD self = GetCurrentProcessId();
    forEachProcess([&](const PROCESSENTRY32 &entry) {
        if (entry.th32ProcessID == self || std::strcmp(entry.szExeFile, name) != 0)
            return true;
        found = 1;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            TerminateProcess(process, 0); // failure ignored; not waited on
            CloseHandle(process);
        }
        return false;
    });
    return found;
}

void RefreshNotificationArea()
{
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    HWND notify = tray ? FindWindowExA(tray, nullptr, "TrayNotifyWnd", nullptr) : nullptr;
    if (!notify)
        return;
    HWND pager = FindWindowExA(notify, nullptr, "SysPager", nullptr);
    HWND toolbar = FindWindowExA(pager ? pager : notify, nullptr, "ToolbarWindow32", nullptr);
    if (!toolbar)
        return;
    RECT r;
    if (!GetWindowRect(toolbar, &r))
        return;
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    for (int x = 1; x < width; ++x)
        SendMessageA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(x, height / 2));
}

bool FileFound(const char *path)
{
    if (!path || !*path)
        return false;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path, &data);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

int ScreenWidth()
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int ScreenHeight()
{
    return GetSystemMetrics(SM_CYSCREEN);
}

std::size_t ExecutablePath(char *buf, std::size_t size)
{
    if (!buf || size == 0)
        return 0;
    buf[0] = '\0';
    const DWORD n = GetModuleFileNameA(nullptr, buf, DWORD(size));
    // A path that filled the buffer was cut short.
    if (n == 0 || n >= size) {
        buf[0] = '\0';
        return 0;
    }
    return n;
}

} // namespace win32
