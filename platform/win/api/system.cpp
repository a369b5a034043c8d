#include "platform/win/api/system.h"
#include "platform/win/api/calls.h"

// This file speaks the ANSI API whatever the build defines.
#undef UNICODE
#undef _UNICODE
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <direct.h>
#include <string>

namespace win32 {

namespace {

// The program's narrow path buffers hold 1023 bytes and a terminating zero.
constexpr std::size_t kPathBuffer = 1024;

void EndCommand(HANDLE job, HANDLE process)
{
    if (!job || !TerminateJobObject(job, 1))
        TerminateProcess(process, 1);
    WaitForSingleObject(process, 2000);
}

} // namespace

int RunCommandLine(const char *commandLine, KeepWaiting keepWaiting, void *context)
{
    if (!commandLine)
        return -1;
    // What system() runs: the command interpreter named by COMSPEC with "/c" and the line.
    char interpreter[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("COMSPEC", interpreter, sizeof interpreter);
    if (n == 0 || n >= sizeof interpreter)
        std::strcpy(interpreter, "cmd.exe");
    std::string line = std::string("\"") + interpreter + "\" /c " + commandLine;

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    // Started suspended and put into a job first, so a stop also ends what it starts.
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
            nullptr, &startup, &info))
        return -1;
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job && !AssignProcessToJobObject(job, info.hProcess)) {
        CloseHandle(job);
        job = nullptr;
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);

    int result = -1;
    for (;;) {
        if (WaitForSingleObject(info.hProcess, 20) == WAIT_OBJECT_0) {
            DWORD code = 0;
            if (GetExitCodeProcess(info.hProcess, &code))
                result = int(code);
            break;
        }
        if (keepWaiting && !keepWaiting(context)) {
            EndCommand(job, info.hProcess);
            break;
        }
    }
    // Programs the command left running on purpose (start ...) stay: the job is only closed.
    if (job)
        CloseHandle(job);
    CloseHandle(info.hProcess);
    return result;
}

void MakeDirectories(const char *path)
{
    if (!path)
        return;
    const std::size_t length = std::strlen(path);
    if (length == 0 || length + 1 >= kPathBuffer)
        return;
    char buf[kPathBuffer];
    std::memcpy(buf, path, length + 1);
    for (char *p = buf; *p; ++p) {
        if (*p == '/')
            *p = '\\';
    }
    std::size_t end = length;
    if (buf[end - 1] != '\\') {
        buf[end++] = '\\';
        buf[end] = '\0';
    }
    // Every prefix before the second, third … "\": D:\a\b\ makes D:\a, then D:\a\b.
    int separators = 0;
    for (std::size_t i = 0; i < end; ++i) {
        if (buf[i] != '\\')
            continue;
        if (++separators < 2)
            continue;
        buf[i] = '\0';
        _mkdir(buf);
        buf[i] = '\\';
    }
}

int MoveFound(const char *source, const char *destination)
{
    if (!FileFound(source))
        return 1;
    return destination && std::rename(source, destination) == 0 ? 0 : -1;
}

int CopyFound(const char *source, const char *destination)
{
    if (!FileFound(source))
        return 1;
    return destination && CopyFileA(source, destination, FALSE) ? 0 : -1;
}

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The command with "\" for every "/", and the value name: the text after the last "\" up to
// the last ".exe" after it, or empty (the key's default value) when either is missing.
bool PrepareCommand(const char *command, char *buf, char *name)
{
    if (!command)
        return false;
    const std::size_t length = std::strlen(command);
    if (length >= kPathBuffer)
        return false;
    std::memcpy(buf, command, length + 1);
    for (char *p = buf; *p; ++p) {
        if (*p == '/')
            *p = '\\';
    }
    name[0] = '\0';
    const char *slash = std::strrchr(buf, '\\');
    if (!slash)
        return true;
    const char *exe = nullptr;
    for (const char *p = std::strstr(slash + 1, ".exe"); p; p = std::strstr(p + 1, ".exe"))
        exe = p;
    if (!exe)
        return true;
    const std::size_t n = std::size_t(exe - (slash + 1));
    std::memcpy(name, slash + 1, n);
    name[n] = '\0';
    return true;
}

HKEY OpenRunKey()
{
    HKEY key = nullptr;
    const LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr);
    return r == ERROR_SUCCESS ? key : nullptr;
}

} // namespace

int SetAutostart(const char *command)
{
    char buf[kPathBuffer];
    char name[kPathBuffer];
    if (!PrepareCommand(command, buf, name))
        return -1;
    HKEY key = OpenRunKey();
    if (!key)
        return -1;
    // The data is the command's characters without a terminating zero.
    const LONG r = RegSetValueExA(
        key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(buf), DWORD(std::strlen(buf)));
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? 0 : -1;
}

int RemoveAutostart(const char *command)
{
    char buf[kPathBuffer];
    char name[kPathBuffer];
    if (!PrepareCommand(command, buf, name))
        return -1;
    HKEY key = OpenRunKey();
    if (!key)
        return -1;
    const LONG r = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND ? 0 : -1;
}

} // namespace win32
