// Win32 implementation of the platform interface. Narrow ANSI strings throughout, as the
// program's buffers are; Qt only at the interface's edges.
#include "platform/platform.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

namespace {

class WinPlatform final : public Platform
{
public:
    QString executablePath() override
    {
        char buf[1024] = {};
        const DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf - 1);
        return QString::fromLocal8Bit(buf, int(n));
    }

    QByteArray instanceImageName() override { return QByteArrayLiteral("Quorvel.exe"); }

    int countProcessesByName(const QByteArray &name) override
    {
        if (name.isEmpty())
            return 0;
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snap == INVALID_HANDLE_VALUE)
            return 0;
        PROCESSENTRY32 entry;
        std::memset(&entry, 0, sizeof entry);
        entry.dwSize = sizeof(PROCESSENTRY32); // 296 bytes for the ANSI entry
        int count = 0;
        // The first entry is the idle process; counting starts after it.
        if (Process32First(snap, &entry)) {
            while (Process32Next(snap, &entry)) {
                if (std::strcmp(entry.szExeFile, name.constData()) == 0)
                    ++count;
            }
        }
        CloseHandle(snap);
        return count;
    }

    int terminateProcessByName(const QByteArray &name) override
    {
        if (name.isEmpty())
            return 0;
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snap == INVALID_HANDLE_VALUE)
            return 0;
        PROCESSENTRY32 entry;
        std::memset(&entry, 0, sizeof entry);
        entry.dwSize = sizeof(PROCESSENTRY32);
        int found = 0;
        const DWORD self = GetCurrentProcessId();
        if (Process32First(snap, &entry)) {
            while (Process32Next(snap, &entry)) {
                // Skipping our own id gives the same result as relying on the older
                // instance being listed first, without depending on the list order.
                if (entry.th32ProcessID == self)
                    continue;
                if (std::strcmp(entry.szExeFile, name.constData()) == 0) {
                    found = 1;
                    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
                    if (process) {
                        TerminateProcess(process, 0);
                        CloseHandle(process);
                    }
                    break;
                }
            }
        }
        CloseHandle(snap);
        return found;
    }

    void refreshNotificationArea() override
    {
        // Icons of a killed process stay until the mouse passes over them: sweep it synthetically.
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

    bool fileExists(const QString &path) override
    {
        if (path.isEmpty())
            return false;
        const QByteArray narrow = path.toLocal8Bit();
        WIN32_FIND_DATAA data;
        HANDLE h = FindFirstFileA(narrow.constData(), &data);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        FindClose(h);
        return true;
    }
};

} // namespace

Platform &systemPlatform()
{
    static WinPlatform platform;
    return platform;
}

void initLocalEncoding()
{
    // The local 8-bit codec is the system's ANSI code page already.
}
