#pragma once

// The screen and the pointer in physical pixels, in plain C++ so it builds without Qt. The
// program is DPI-aware (its manifest says so), so these calls see the display as it is, also
// when Windows scales it; the toolkit's own positions are in scaled units there.

namespace win32 {

// The pointer's position on the desktop, origin at the primary screen's top left.
bool CursorPosition(int *x, int *y);
void SetCursorPosition(int x, int y);

// Copies the primary screen (width x height pixels from its top left) into a top-down buffer of
// 32-bit pixels 0xffRRGGBB, stride bytes a line. false when the screen could not be read.
bool CaptureScreen(void *pixels, int width, int height, int stride);

} // namespace win32
