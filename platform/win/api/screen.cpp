#include "platform/win/api/screen.h"

#include <windows.h>

#include <cstring>

namespace win32 {

bool CursorPosition(int *x, int *y)
{
    POINT point;
    if (!GetCursorPos(&point))
        return false;
    *x = point.x;
    *y = point.y;
    return true;
}

void SetCursorPosition(int x, int y)
{
    SetCursorPos(x, y);
}

bool CaptureScreen(void *pixels, int width, int height, int stride)
{
    if (width <= 0 || height <= 0 || stride < width * 4)
        return false;
    HDC screen = GetDC(nullptr);
    if (!screen)
        return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, as the caller's lines are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap
        = memory ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool done = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        // CAPTUREBLT takes layered (translucent) windows too, as the user sees them.
        done = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        SelectObject(memory, old);
        if (done) {
            // GDI leaves the fourth byte 0; the caller's pixels are opaque.
            const auto *from = static_cast<const unsigned char *>(bits);
            auto *to = static_cast<unsigned char *>(pixels);
            for (int y = 0; y < height; ++y) {
                const auto *in = reinterpret_cast<const DWORD *>(from + std::size_t(y) * width * 4);
                auto *out = reinterpret_cast<DWORD *>(to + std::size_t(y) * stride);
                for (int x = 0; x < width; ++x)
                    out[x] = in[x] | 0xff000000u;
            }
        }
        DeleteObject(bitmap);
    }
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return done;
}

} // namespace win32
