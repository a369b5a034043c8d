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
 *   wineprobe screen                   "DPI WIDTH HEIGHT L T R B": the system's DPI, the screen's
 *                                      size and its work area (the part the taskbar leaves)
 *   wineprobe frame TITLE              "L T R B CL CT CR CB AWARE": the window's outer rectangle,
 *                                      its client area on the screen, and whether the window is
 *                                      per-monitor DPI-aware (1) or not (0)
 *   wineprobe icon DATA FILE           compares window icons with the icon file at the same
 *                                      sizes. DATA is a text file of the numbers of an X window's
 *                                      _NET_WM_ICON (WIDTH, HEIGHT, then ARGB pixels, for every
 *                                      image), which Wine fills from the window's icon: an
 *                                      icon handle of another process cannot be read here.
 *                                      Prints "WxH OPAQUE DIFFERENT" per image (pixels that
 *                                      show, pixels unlike the file's); exit 1 when there is no
 *                                      image, or one shows nothing or differs
 *   wineprobe pattern X Y W H FILE     a topmost borderless window at X,Y (W x H) that shows a
 *                                      fixed pattern, which FILE (a 24-bit .bmp) receives as
 *                                      well; prints "ready", then runs until it is ended
 *   wineprobe samebmp FILE1 FILE2      compares two bitmaps pixel by pixel (colour only); exit 1
 *                                      with the first difference when they differ
 *   wineprobe copy TITLE               brings the window to the front, presses Ctrl+C as a user
 *                                      would and prints the text that then is on the clipboard
 *   wineprobe console COMMANDLINE      runs the command line (one argument) in a new console
 *                                      as a command prompt runs a GUI program (no standard
 *                                      handles, the console to attach to; its code page the
 *                                      ANSI one), then prints the console's rows and
 *                                      "codepage N", its output code page afterwards; exits
 *                                      with the command's exit code
 *
 * The probe is per-monitor DPI-aware: all positions and sizes are the screen's pixels, also when
 * the system's DPI is not 96.
 */
#define UNICODE
#define _UNICODE
#define WINVER 0x0A00
#define _WIN32_WINNT 0x0A00
#include <windows.h>
/* Needs windows.h first. */
#include <shellapi.h>
#include <stdio.h>
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

/* Says "ready" to the test, then serves the probe's windows until it is ended. */
static int serveWindows(void)
{
    outLine("ready");
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
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
    return serveWindows();
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
    return serveWindows();
}

static int screen(void)
{
    RECT work;
    char line[128];
    HDC dc = GetDC(NULL);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(NULL, dc);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    wsprintfA(line, "%d %d %d %ld %ld %ld %ld", dpi, GetSystemMetrics(SM_CXSCREEN),
        GetSystemMetrics(SM_CYSCREEN), work.left, work.top, work.right, work.bottom);
    outLine(line);
    return 0;
}

static int frame(const wchar_t *title)
{
    HWND hwnd = findVisible(title);
    RECT outer, client;
    POINT origin = {0, 0};
    char line[160];
    if (!hwnd || !GetWindowRect(hwnd, &outer) || !GetClientRect(hwnd, &client)
        || !ClientToScreen(hwnd, &origin))
        return 1;
    const int aware = AreDpiAwarenessContextsEqual(
        GetWindowDpiAwarenessContext(hwnd), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    wsprintfA(line, "%ld %ld %ld %ld %ld %ld %ld %ld %d", outer.left, outer.top, outer.right,
        outer.bottom, origin.x, origin.y, origin.x + client.right, origin.y + client.bottom, aware);
    outLine(line);
    return 0;
}

/* An icon's pixels as 32-bit BGRA, top-down; alpha from the mask when the colour bitmap has
 * none. NULL when the icon cannot be read. */
static DWORD *iconPixels(HICON icon, int *width, int *height)
{
    ICONINFO info;
    BITMAP bm;
    if (!icon || !GetIconInfo(icon, &info))
        return NULL;
    DWORD *pixels = NULL;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
        const int w = bm.bmWidth, h = bm.bmHeight;
        BITMAPINFO bi;
        memset(&bi, 0, sizeof bi);
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        pixels = calloc((size_t)w * h, sizeof *pixels);
        DWORD *mask = calloc((size_t)w * h, sizeof *mask);
        HDC dc = GetDC(NULL);
        GetDIBits(dc, info.hbmColor, 0, h, pixels, &bi, DIB_RGB_COLORS);
        GetDIBits(dc, info.hbmMask, 0, h, mask, &bi, DIB_RGB_COLORS);
        ReleaseDC(NULL, dc);
        int alpha = 0;
        for (int i = 0; i < w * h; ++i)
            alpha |= pixels[i] >> 24 != 0;
        for (int i = 0; i < w * h; ++i) {
            if (!alpha) /* the mask says which pixels show: black ones */
                pixels[i] = (pixels[i] & 0xffffff) | ((mask[i] & 0xffffff) ? 0 : 0xff000000u);
            else if (!(pixels[i] >> 24))
                pixels[i] = 0; /* a transparent pixel has no colour to compare */
        }
        free(mask);
        *width = w;
        *height = h;
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return pixels;
}

/* Compares two ARGB pixels as they show: colours weighted by their alpha, so a faint edge
 * pixel's colour counts as little as it shows. */
static int pixelsDiffer(DWORD a, DWORD b, int tolerance)
{
    const int alphaA = (int)(a >> 24), alphaB = (int)(b >> 24);
    if (alphaA - alphaB > tolerance || alphaB - alphaA > tolerance)
        return 1;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = ((int)((a >> shift) & 0xff) * alphaA - (int)((b >> shift) & 0xff) * alphaB) / 255;
        if (d > tolerance || d < -tolerance)
            return 1;
    }
    return 0;
}

static int icon(const wchar_t *data, const wchar_t *file)
{
    FILE *f = _wfopen(data, L"r");
    if (!f)
        return 2;
    int images = 0, rc = 0;
    unsigned long w, h;
    while (fscanf(f, " %lu ,", &w) == 1 && fscanf(f, " %lu ,", &h) == 1) {
        if (w == 0 || h == 0 || w > 256 || h > 256) {
            rc = 2;
            break;
        }
        ++images;
        int fw = 0, fh = 0, opaque = 0, different = 0;
        HICON reference = LoadImageW(NULL, file, IMAGE_ICON, (int)w, (int)h, LR_LOADFROMFILE);
        DWORD *want = iconPixels(reference, &fw, &fh);
        for (unsigned long i = 0; i < w * h; ++i) {
            unsigned long argb = 0;
            if (fscanf(f, " %lu ,", &argb) != 1) {
                rc = 2;
                break;
            }
            /* A pixel that does not show has no colour to compare. */
            const DWORD got = (argb >> 24) ? (DWORD)argb : 0;
            opaque += got != 0;
            /* The toolkit's icon went through premultiplied alpha: a few steps of rounding. */
            different += !want || fw != (int)w || fh != (int)h || pixelsDiffer(got, want[i], 8);
        }
        char line[96];
        wsprintfA(line, "%lux%lu %d %d", w, h, opaque, different);
        outLine(line);
        if (opaque == 0 || different > 0)
            rc = rc ? rc : 1;
        free(want);
        if (reference)
            DestroyIcon(reference);
    }
    fclose(f);
    if (images == 0) {
        outLine("no icon");
        return 1;
    }
    return rc;
}

/* The pattern: every pixel different from its neighbours, no large single-colour areas, so a
 * search finds it at one place only and a shifted or scaled copy does not pass for it. */
static COLORREF patternColour(int x, int y)
{
    const unsigned v = (unsigned)(x * 73856093) ^ (unsigned)(y * 19349663) ^ 0x5bd1e995u;
    const unsigned m = v * 2654435761u;
    return RGB((m >> 8) & 0xff, (m >> 16) & 0xff, (m >> 24) & 0xff);
}

static int patternWidth, patternHeight;

static LRESULT CALLBACK patternProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        for (int y = 0; y < patternHeight; ++y)
            for (int x = 0; x < patternWidth; ++x)
                SetPixel(dc, x, y, patternColour(x, y));
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

static int writePatternFile(const wchar_t *file, int w, int h)
{
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    memset(&fh, 0, sizeof fh);
    memset(&ih, 0, sizeof ih);
    fh.bfType = 0x4d42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + (DWORD)(stride * h);
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h; /* bottom-up */
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = (DWORD)(stride * h);
    unsigned char *bits = calloc((size_t)stride * h, 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = patternColour(x, y);
            unsigned char *p = bits + (size_t)(h - 1 - y) * stride + x * 3;
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    FILE *f = _wfopen(file, L"wb");
    int ok = f && fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&ih, sizeof ih, 1, f) == 1
        && fwrite(bits, (size_t)stride * h, 1, f) == 1;
    if (f)
        ok = fclose(f) == 0 && ok;
    free(bits);
    return ok;
}

static int pattern(int x, int y, int w, int h, const wchar_t *file)
{
    if (!writePatternFile(file, w, h))
        return 2;
    patternWidth = w;
    patternHeight = h;
    HWND hwnd = makeWindow(L"QuorvelPattern", patternProc, NULL, WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
        w, h);
    if (!hwnd)
        return 2;
    SetWindowPos(hwnd, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(hwnd);
    return serveWindows();
}

/* A bitmap file's colours as 0xRRGGBB, top-down; NULL when it cannot be loaded. */
static DWORD *bitmapPixels(const wchar_t *file, int *width, int *height)
{
    HBITMAP bitmap = LoadImageW(NULL, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    BITMAP bm;
    if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm)) {
        if (bitmap)
            DeleteObject(bitmap);
        return NULL;
    }
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    DWORD *pixels = calloc((size_t)bm.bmWidth * bm.bmHeight, sizeof *pixels);
    HDC dc = GetDC(NULL);
    GetDIBits(dc, bitmap, 0, bm.bmHeight, pixels, &bi, DIB_RGB_COLORS);
    ReleaseDC(NULL, dc);
    DeleteObject(bitmap);
    for (int i = 0; i < bm.bmWidth * bm.bmHeight; ++i)
        pixels[i] &= 0xffffff;
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    return pixels;
}

static int sameBitmap(const wchar_t *first, const wchar_t *second)
{
    int w1 = 0, h1 = 0, w2 = 0, h2 = 0, rc = 0;
    char line[160];
    DWORD *a = bitmapPixels(first, &w1, &h1);
    DWORD *b = bitmapPixels(second, &w2, &h2);
    if (!a || !b) {
        outLine(a ? "the second bitmap cannot be read" : "the first bitmap cannot be read");
        rc = 2;
    } else if (w1 != w2 || h1 != h2) {
        wsprintfA(line, "sizes differ: %dx%d and %dx%d", w1, h1, w2, h2);
        outLine(line);
        rc = 1;
    } else {
        for (int i = 0; i < w1 * h1; ++i) {
            if (a[i] != b[i]) {
                wsprintfA(line, "pixel %d,%d: %06lx and %06lx", i % w1, i / w1, a[i], b[i]);
                outLine(line);
                rc = 1;
                break;
            }
        }
    }
    free(a);
    free(b);
    return rc;
}

static void key(BYTE vk, DWORD flags)
{
    keybd_event(vk, (BYTE)MapVirtualKeyW(vk, MAPVK_VK_TO_VSC), flags, 0);
}

static int copyText(const wchar_t *title)
{
    HWND hwnd = findVisible(title);
    if (!hwnd)
        return 1;
    setClip(L"");
    SetForegroundWindow(hwnd);
    for (int i = 0; i < 40 && GetForegroundWindow() != hwnd; ++i)
        Sleep(50);
    if (GetForegroundWindow() != hwnd) {
        outLine("the window does not come to the front");
        return 2;
    }
    Sleep(200);
    key(VK_CONTROL, 0);
    key('C', 0);
    key('C', KEYEVENTF_KEYUP);
    key(VK_CONTROL, KEYEVENTF_KEYUP);
    /* The window sets the clipboard when it has handled the keys. */
    for (int i = 0; i < 100; ++i) {
        Sleep(50);
        if (!OpenClipboard(NULL))
            continue;
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const wchar_t *text = data ? GlobalLock(data) : NULL;
        const int filled = text && text[0];
        if (text)
            GlobalUnlock(data);
        CloseClipboard();
        if (filled)
            return clip();
    }
    return 3;
}

/* Prints the rows of the console's screen buffer up to the cursor, each without its trailing
 * blanks, to `to`: what a user sees in the console window. */
static void printScreen(HANDLE to)
{
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (screen == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(screen, &info))
        return;
    wchar_t *row = malloc(sizeof(wchar_t) * ((size_t)info.dwSize.X + 2));
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        DWORD n = 0;
        const COORD at = {0, y};
        ReadConsoleOutputCharacterW(screen, row, (DWORD)info.dwSize.X, at, &n);
        while (n > 0 && row[n - 1] == L' ')
            --n;
        row[n] = L'\n';
        row[n + 1] = 0;
        char utf8[4096];
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, row, -1, utf8, sizeof utf8, NULL, NULL);
        DWORD written = 0;
        if (bytes > 1)
            WriteFile(to, utf8, (DWORD)bytes - 1, &written, NULL);
    }
    free(row);
    CloseHandle(screen);
}

/* Runs a command line in a console of the probe's own, the way a command prompt starts a GUI
 * program: the child gets no standard handles, only the console to attach to, whose output code
 * page is the ANSI one as on a Chinese Windows. Then prints the console's rows, "codepage N"
 * (its output code page afterwards) and exits with the child's code. */
static int inConsole(wchar_t *commandLine)
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    FreeConsole();
    if (!AllocConsole()) {
        outLine("no console");
        return 124;
    }
    SetConsoleOutputCP(GetACP());
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    if (!CreateProcessW(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        SetStdHandle(STD_OUTPUT_HANDLE, output);
        outLine("cannot start the command");
        return 125;
    }
    DWORD code = 126;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printScreen(output);
    const UINT codePage = GetConsoleOutputCP();
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    char line[32];
    snprintf(line, sizeof line, "codepage %u", codePage);
    outLine(line);
    return (int)code;
}

int main(void)
{
    /* Positions in the screen's pixels whatever the system's DPI. */
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
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
    if (argc >= 2 && wcscmp(argv[1], L"screen") == 0)
        return screen();
    if (argc >= 3 && wcscmp(argv[1], L"frame") == 0)
        return frame(argv[2]);
    if (argc >= 4 && wcscmp(argv[1], L"icon") == 0)
        return icon(argv[2], argv[3]);
    if (argc >= 7 && wcscmp(argv[1], L"pattern") == 0)
        return pattern(_wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), argv[6]);
    if (argc >= 4 && wcscmp(argv[1], L"samebmp") == 0)
        return sameBitmap(argv[2], argv[3]);
    if (argc >= 3 && wcscmp(argv[1], L"copy") == 0)
        return copyText(argv[2]);
    if (argc >= 3 && wcscmp(argv[1], L"console") == 0)
        return inConsole(argv[2]);
    outLine("usage: wineprobe acp | clip | setclip TEXT | windows | wait TITLE MS | close TITLE"
            " | place TITLE | edit CLASS | idle | target W H | tray W H | screen | frame TITLE"
            " | icon DATA FILE | pattern X Y W H FILE | samebmp FILE1 FILE2 | copy TITLE"
            " | console COMMANDLINE");
    return 64;
}
