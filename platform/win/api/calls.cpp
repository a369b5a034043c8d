#include "platform/win/api/calls.h"

// This file speaks the ANSI API whatever the build defines.
#undef UNICODE
#undef _UNICODE
#include <windows.h>
// Needs windows.h first.
#include <tlhelp32.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

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

// A standard handle that leads somewhere: a console, a file or a pipe. A GUI program started
// from a console has none (null), one whose output is redirected has the file's or pipe's.
bool leadsSomewhere(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE
        && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Points a standard handle and the C runtime's descriptor of it (1 or 2) at the console. The
// descriptor rather than the stdio stream: a stream that had no handle at start-up cannot be
// reopened with every runtime (Wine's freopen refuses it).
void reopenOnConsole(DWORD which, int descriptor)
{
    HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return;
    const int opened = _open_osfhandle(intptr_t(console), _O_BINARY);
    if (opened < 0) {
        CloseHandle(console);
        return;
    }
    if (opened != descriptor) {
        _dup2(opened, descriptor);
        _close(opened);
    }
    SetStdHandle(which, HANDLE(_get_osfhandle(descriptor)));
}

// True when the descriptor writes to a console; then the runtime passes its bytes on as they
// are. In text mode some runtimes (Wine's) decode them for the console in the C locale, which
// garbles UTF-8; the console's own code page decodes them right, and it starts a new line at a
// bare line feed.
bool passBytesToConsole(DWORD which, int descriptor)
{
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(which), &mode))
        return false;
    _setmode(descriptor, _O_BINARY);
    return true;
}

UINT savedOutputCodePage = 0;

void restoreOutputCodePage()
{
    // The console belongs to the shell: leave it with the code page it had.
    SetConsoleOutputCP(savedOutputCodePage);
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

bool ProcessRunning(unsigned processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

void EndProcess(unsigned processId)
{
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId)) {
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
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

void AttachParentConsole()
{
    const bool outputLeads = leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool errorsLead = leadsSomewhere(STD_ERROR_HANDLE);
    if (!outputLeads || !errorsLead) {
        // Wine already gives a GUI program the console of a console parent; so may Windows one
        // day. Either way there is a console to write to.
        const bool console
            = AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED;
        if (console && !outputLeads)
            reopenOnConsole(STD_OUTPUT_HANDLE, 1);
        if (console && !errorsLead)
            reopenOnConsole(STD_ERROR_HANDLE, 2);
    }
    const bool outputOnConsole = passBytesToConsole(STD_OUTPUT_HANDLE, 1);
    const bool errorsOnConsole = passBytesToConsole(STD_ERROR_HANDLE, 2);
    if ((outputOnConsole || errorsOnConsole) && savedOutputCodePage == 0) {
        savedOutputCodePage = GetConsoleOutputCP();
        if (savedOutputCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
            std::atexit(restoreOutputCodePage);
    }
}

} // namespace win32
