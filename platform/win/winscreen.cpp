// The screen's capture on Windows, in physical pixels through GDI rather than the toolkit,
// whose coordinates are scaled when the display is (see prepareGuiEnvironment).
#include "platform/win/api/screen.h"
#include "platform/win/winplatform.h"

QImage WinPlatform::captureScreen()
{
    // Called on the interpreter thread: GDI needs no window and no GUI-thread object.
    const QSize size = screenSize();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()
        || !win32::CaptureScreen(
            image.bits(), size.width(), size.height(), int(image.bytesPerLine())))
        return Platform::captureScreen();
    return image;
}
