#pragma once

// The Win32 calls behind command lines, files, folders and autostart, in plain C++ with
// narrow strings in the system's ANSI code page (no Qt), so they can be compiled and
// exercised without it.

namespace win32 {

// Asked every few milliseconds while a command line runs; false gives up the wait.
using KeepWaiting = bool (*)(void *context);

// Runs a command line as the C runtime's system does ("%COMSPEC% /c line", a console window
// of its own) and waits for its end. Once keepWaiting says no, the command and everything it
// started are ended. Returns the exit code, or -1 when it could not run or was ended.
int RunCommandLine(const char *commandLine, KeepWaiting keepWaiting, void *context);

// Creates the folder path and every missing level above it with _mkdir, ignoring failures
// (an existing level simply fails). "/" counts as "\"; the drive itself is never created.
// Paths of more than 1022 bytes are left alone (the path buffers hold 1023 and a "\").
void MakeDirectories(const char *path);

// The C runtime's rename (an existing destination makes it fail) and CopyFileA, which
// replaces an existing destination. 0 when done, 1 when FindFirstFileA finds no source,
// -1 when the system refused.
int MoveFound(const char *source, const char *destination);
int CopyFound(const char *source, const char *destination);

// The Run value of HKEY_LOCAL_MACHINE (64-bit view) for command, named after the executable
// in it. 0 on success, -1 otherwise; removing a value that is not there succeeds.
int SetAutostart(const char *command);
int RemoveAutostart(const char *command);

} // namespace win32
