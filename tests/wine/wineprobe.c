/* Test helper for the Wine tests, a Windows console program: it looks at the Windows side the
 * way the user's other programs would (clipboard, top-level windows, ANSI code page) and can
 * stand in for the shell's notification area. Output is UTF-8 on stdout.
 *
 *   wineprobe acp                      the ANSI code page
 *   wineprobe clip                     the clipboard's text; exit 3 when it holds none
 *   wineprobe setclip TEXT             puts TEXT on the clipboard, as another program would
 *   wineprobe windows                  titles of the visible top-level windows, one a line
 *   wineprobe wait TITLE MS            waits for a visible top-level window; exit 1 on timeout
 *   wineprobe close TITLE              asks that window to close; exit 1 when there is none
 *   wineprobe place TITLE              "LEFT TOP WIDTH HEIGHT": the window's outer top-left
 *                                      corner and its client size
 *   wineprobe edit CLASS               the text of the edit control in the top-level window of
 *                                      that class (Notepad's page); exit 1 when there is none
 *   wineprobe idle                     runs until it is ended (copied under other names, it
 *                                      stands for a user's program)
 *   wineprobe target WIDTH HEIGHT      a foreground window at 0,0 that takes the input; prints
 *                                      "ready", then one line per key or button message:
 *                                      "down VK", "up VK", "ldown X,Y", "lup X,Y", "ldbl X,Y",
 *                                      "rdown X,Y", "rup X,Y"
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

static int setClip(const wchar_t *text)
{
    const size_t bytes = (wcslen(text) + 1) * sizeof *text;
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!data)
        return 2;
    memcpy(GlobalLock(data), text, bytes);
    GlobalUnlock(data);
    for (int attempt = 0; !OpenClipboard(NULL); ++attempt) {
        if (attempt == 50) {
            GlobalFree(data);
            return 2;
        }
        Sleep(20);
    }
    EmptyClipboard();
    /* The system owns the data from here on, also after this program has ended. */
    const int rc = SetClipboardData(CF_UNICODETEXT, data) ? 0 : 2;
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

static int editText(const wchar_t *cls)
{
    HWND top = FindWindowW(cls, NULL);
    HWND edit = top ? FindWindowExW(top, NULL, L"Edit", NULL) : NULL;
    if (!edit)
        return 1;
    /* WM_GETTEXT is marshalled across processes for edit controls. */
    const LRESULT n = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    wchar_t *text = calloc((size_t)n + 1, sizeof *text);
    SendMessageW(edit, WM_GETTEXT, (WPARAM)n + 1, (LPARAM)text);
    outText(text);
    free(text);
    return 0;
}

/* The input target: what synthetic keys and buttons reach a window of another program. */
static LRESULT CALLBACK targetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    const char *button = NULL;
    char line[64];
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        wsprintfA(
            line, "%s %u", msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN ? "down" : "up", (unsigned)wp);
        outLine(line);
        return 0;
    case WM_LBUTTONDOWN:
        button = "ldown";
        break;
    case WM_LBUTTONUP:
        button = "lup";
        break;
    case WM_LBUTTONDBLCLK:
        button = "ldbl";
        break;
    case WM_RBUTTONDOWN:
        button = "rdown";
        break;
    case WM_RBUTTONUP:
        button = "rup";
        break;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    wsprintfA(line, "%s %d,%d", button, (short)LOWORD(lp), (short)HIWORD(lp));
    outLine(line);
    return 0;
}

static int target(int width, int height)
{
    WNDCLASSW wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = targetProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = L"QuorvelInputTarget";
    RegisterClassW(&wc);
    /* A borderless window at the origin: its client coordinates are screen coordinates. */
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"input target", WS_POPUP | WS_VISIBLE, 0, 0,
        width, height, NULL, NULL, wc.hInstance, NULL);
    if (!hwnd)
        return 2;
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    outLine("ready");
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
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
    if (argc >= 3 && wcscmp(argv[1], L"setclip") == 0)
        return setClip(argv[2]);
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
    if (argc >= 3 && wcscmp(argv[1], L"edit") == 0)
        return editText(argv[2]);
    if (argc >= 2 && wcscmp(argv[1], L"idle") == 0) {
        Sleep(INFINITE);
        return 0;
    }
    if (argc >= 4 && wcscmp(argv[1], L"target") == 0)
        return target(_wtoi(argv[2]), _wtoi(argv[3]));
    if (argc >= 4 && wcscmp(argv[1], L"tray") == 0)
        return tray(_wtoi(argv[2]), _wtoi(argv[3]));
    outLine("usage: wineprobe acp | clip | setclip TEXT | windows | wait TITLE MS | close TITLE"
            " | place TITLE | edit CLASS | idle | target W H | tray W H");
    return 64;
}
