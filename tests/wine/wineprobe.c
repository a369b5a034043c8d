/* Test helper for the Wine tests, a Windows console program: it looks at the Windows side the
 * way the user's other programs would (clipboard, top-level windows, ANSI code page) and can
 * stand in for the shell's notification area. Output is UTF-8 on stdout.
 *
 *   wineprobe acp                      the ANSI code page
 *   wineprobe clip                     the clipboard's text; exit 3 when it holds none
 *   wineprobe windows                  titles of the visible top-level windows, one a line
 *   wineprobe wait TITLE MS            waits for a visible top-level window; exit 1 on timeout
 *   wineprobe close TITLE              asks that window to close; exit 1 when there is none
 *   wineprobe place TITLE              "LEFT TOP WIDTH HEIGHT": the window's outer top-left
 *                                      corner and its client size
 *   wineprobe tray WIDTH HEIGHT        a stand-in tray (Shell_TrayWnd > TrayNotifyWnd > SysPager
 *                                      > ToolbarWindow32); prints "ready", then one line
 *                                      "sweep COUNT FIRSTX,Y LASTX,Y" per burst of mouse moves
 */
#define UNICODE
#define _UNICODE
#include <windows.h>
/* Needs windows.h first. */
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static void out(const char *bytes, int n)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, (DWORD)n, &written, NULL);
}

static void outText(const wchar_t *text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    if (n <= 1)
        return;
    char *utf8 = malloc((size_t)n);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, n, NULL, NULL);
    out(utf8, n - 1);
    free(utf8);
}

static void outLine(const char *text)
{
    out(text, (int)strlen(text));
    out("\n", 1);
}

static int acp(void)
{
    char buf[16];
    wsprintfA(buf, "%u", GetACP());
    outLine(buf);
    return 0;
}

static int clip(void)
{
    /* The owner may hold the clipboard open for a moment. */
    for (int attempt = 0; !OpenClipboard(NULL); ++attempt) {
        if (attempt == 50)
            return 2;
        Sleep(20);
    }
    int rc = 3;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data) {
        const wchar_t *text = GlobalLock(data);
        if (text) {
            outText(text);
            GlobalUnlock(data);
            rc = 0;
        }
    }
    CloseClipboard();
    return rc;
}

struct Search
{
    const wchar_t *title; /* NULL: list every title */
    HWND found;
};

static BOOL CALLBACK visitWindow(HWND hwnd, LPARAM param)
{
    struct Search *search = (struct Search *)param;
    wchar_t title[512];
    if (!IsWindowVisible(hwnd))
        return TRUE;
    GetWindowTextW(hwnd, title, 512);
    if (!search->title) {
        outText(title);
        out("\n", 1);
        return TRUE;
    }
    if (wcscmp(title, search->title) == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

static HWND findVisible(const wchar_t *title)
{
    struct Search search = {title, NULL};
    EnumWindows(visitWindow, (LPARAM)&search);
    return search.found;
}

static int waitFor(const wchar_t *title, int ms)
{
    const DWORD start = GetTickCount();
    while (!findVisible(title)) {
        if ((int)(GetTickCount() - start) > ms)
            return 1;
        Sleep(50);
    }
    return 0;
}

static int closeWindow(const wchar_t *title)
{
    HWND hwnd = findVisible(title);
    if (!hwnd)
        return 1;
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    return 0;
}

static int place(const wchar_t *title)
{
    HWND hwnd = findVisible(title);
    RECT outer, client;
    char line[96];
    if (!hwnd || !GetWindowRect(hwnd, &outer) || !GetClientRect(hwnd, &client))
        return 1;
    wsprintfA(line, "%ld %ld %ld %ld", outer.left, outer.top, client.right, client.bottom);
    outLine(line);
    return 0;
}

/* The stand-in tray: counts the WM_MOUSEMOVE messages that reach the toolbar; a burst ends
 * when no move has come for a while. */
static int sweepCount, firstX, firstY, lastX, lastY;
enum { BurstTimer = 1 };

static LRESULT CALLBACK toolbarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_MOUSEMOVE) {
        const int x = (short)LOWORD(lp), y = (short)HIWORD(lp);
        if (sweepCount++ == 0) {
            firstX = x;
            firstY = y;
        }
        lastX = x;
        lastY = y;
        SetTimer(hwnd, BurstTimer, 300, NULL);
        return 0;
    }
    if (msg == WM_TIMER && wp == BurstTimer) {
        char line[96];
        KillTimer(hwnd, BurstTimer);
        wsprintfA(line, "sweep %d %d,%d %d,%d", sweepCount, firstX, firstY, lastX, lastY);
        outLine(line);
        sweepCount = 0;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

static HWND makeWindow(const wchar_t *cls, WNDPROC proc, HWND parent, DWORD exStyle, int w, int h)
{
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = cls;
    RegisterClassW(&wc);
    return CreateWindowExW(exStyle, cls, L"", parent ? WS_CHILD : WS_POPUP, 0, 0, w, h, parent,
        NULL, wc.hInstance, NULL);
}

static int tray(int width, int height)
{
    /* Topmost, so a window search finds it before a tray window that Wine's own shell keeps. */
    HWND shell = makeWindow(L"Shell_TrayWnd", DefWindowProcW, NULL,
        WS_EX_TOPMOST | WS_EX_TOOLWINDOW, width + 100, height);
    HWND notify = makeWindow(L"TrayNotifyWnd", DefWindowProcW, shell, 0, width + 50, height);
    HWND pager = makeWindow(L"SysPager", DefWindowProcW, notify, 0, width, height);
    HWND toolbar = makeWindow(L"ToolbarWindow32", toolbarProc, pager, 0, width, height);
    if (!toolbar)
        return 2;
    if (FindWindowW(L"Shell_TrayWnd", NULL) != shell) {
        outLine("hidden by another tray");
        return 2;
    }
    outLine("ready");
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

int main(void)
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 2 && wcscmp(argv[1], L"acp") == 0)
        return acp();
    if (argc >= 2 && wcscmp(argv[1], L"clip") == 0)
        return clip();
    if (argc >= 2 && wcscmp(argv[1], L"windows") == 0) {
        struct Search all = {NULL, NULL};
        EnumWindows(visitWindow, (LPARAM)&all);
        return 0;
    }
    if (argc >= 4 && wcscmp(argv[1], L"wait") == 0)
        return waitFor(argv[2], _wtoi(argv[3]));
    if (argc >= 3 && wcscmp(argv[1], L"close") == 0)
        return closeWindow(argv[2]);
    if (argc >= 3 && wcscmp(argv[1], L"place") == 0)
        return place(argv[2]);
    if (argc >= 4 && wcscmp(argv[1], L"tray") == 0)
        return tray(_wtoi(argv[2]), _wtoi(argv[3]));
    outLine("usage: wineprobe acp | clip | windows | wait TITLE MS | close TITLE | place TITLE"
            " | tray W H");
    return 64;
}
