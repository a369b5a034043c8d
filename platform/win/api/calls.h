#pragma once

// The Win32 calls behind the platform interface, in plain C++ with narrow strings in the
// system's ANSI code page, so they can be compiled and exercised without Qt.

#include <cstddef>

namespace win32 {

// Number of running processes whose executable file name equals name exactly (byte
// comparison, no path); the caller counts itself. 0 for a null name or a failed snapshot.
int CountProcessesByName(const char *name);

// Terminates one running process of that name other than the caller. 1 when one was found
// (even if it could not be ended), 0 otherwise.
int TerminateProcessByName(const char *name);

// True while the process with this id has not ended.
bool ProcessRunning(unsigned processId);
// Ends the process with this id (exit code 1); not waited on.
void EndProcess(unsigned processId);

// Sweeps the mouse over the tray toolbar so the shell drops icons of dead processes.
void RefreshNotificationArea();

// True when a file search on path finds an entry (a file or a folder).
bool FileFound(const char *path);

// Size of the primary screen in pixels (the desktop's resolution).
int ScreenWidth();
int ScreenHeight();

// The running executable's full path into buf (zero-terminated). Returns its length, or 0
// when it does not fit or cannot be had.
std::size_t ExecutablePath(char *buf, std::size_t size);

// Standard output and error that lead nowhere (a GUI-subsystem program started from a console)
// are reopened on the parent process's console, when it has one: the standard handles and the C
// runtime's descriptors 1 and 2. Redirected ones stay as they are. While the output goes to a
// console, its output code page is UTF-8, restored when the process ends.
void AttachParentConsole();

} // namespace win32
