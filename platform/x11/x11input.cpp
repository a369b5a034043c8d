// Synthetic keys, buttons and pointer moves on X11 through XTest. The events go out on a
// display connection of this file's own, so they never interleave with the toolkit's requests
// and can be sent from the interpreter thread.
#include "platform/x11/x11keysyms.h"
#include "platform/x11/x11platform.h"

#include <QMutex>
#include <QMutexLocker>

#include <chrono>
#include <thread>
#include <vector>

// After every Qt header: Xlib's macros (None, Bool, Status …) would break them.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

// Where a keysym stands in the keyboard map as it is now.
struct KeycodeSearch
{
    KeyCode found = 0; // a key that gives it without any modifier
    KeyCode anyLevel = 0; // a key that gives it with some modifier
    KeyCode spare = 0; // an unused keycode, the highest one
};

KeycodeSearch searchKeycode(Display *display, KeySym sym)
{
    KeycodeSearch result;
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display, &minCode, &maxCode);
    int perCode = 0;
    KeySym *map = XGetKeyboardMapping(display, KeyCode(minCode), maxCode - minCode + 1, &perCode);
    if (!map)
        return result;
    const auto at = [&](int code, int level) { return map[(code - minCode) * perCode + level]; };
    for (int code = minCode; code <= maxCode && !result.found; ++code) {
        bool empty = true;
        for (int level = 0; level < perCode; ++level) {
            const KeySym s = at(code, level);
            empty = empty && s == NoSymbol;
            if (s == sym && level == 0)
                result.found = KeyCode(code);
            else if (s == sym && !result.anyLevel)
                result.anyLevel = KeyCode(code);
        }
        // From the top: the low keycodes are the ones real keyboards report.
        if (empty && perCode > 0)
            result.spare = KeyCode(code);
    }
    XFree(map);
    return result;
}

class XInput
{
public:
    static XInput &instance();
    void key(int virtualKey, bool press);
    void button(unsigned int button, bool press);
    QPoint pointer();
    void movePointer(const QPoint &to);

private:
    XInput() = default;
    ~XInput();
    bool open();
    KeyCode keycodeFor(KeySym sym);

    struct Borrowed
    {
        KeyCode code;
    };

    QMutex m_mutex;
    Display *m_display = nullptr;
    bool m_failed = false;
    std::vector<Borrowed> m_borrowed;
};

XInput &XInput::instance()
{
    static XInput input;
    return input;
}

void XInput::key(int virtualKey, bool press)
{
    QMutexLocker lock(&m_mutex);
    if (!open())
        return;
    const KeySym sym = x11keys::keysymForVirtualKey(virtualKey & 0xFF);
    if (sym == NoSymbol)
        return;
    const KeyCode code = keycodeFor(sym);
    if (code == 0)
        return;
    XTestFakeKeyEvent(m_display, code, press ? True : False, CurrentTime);
    XSync(m_display, False);
}

void XInput::button(unsigned int button, bool press)
{
    QMutexLocker lock(&m_mutex);
    if (!open())
        return;
    XTestFakeButtonEvent(m_display, button, press ? True : False, CurrentTime);
    XSync(m_display, False);
}

QPoint XInput::pointer()
{
    QMutexLocker lock(&m_mutex);
    if (!open())
        return {};
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &winX,
        &winY, &mask);
    return QPoint(rootX, rootY);
}

void XInput::movePointer(const QPoint &to)
{
    QMutexLocker lock(&m_mutex);
    if (!open())
        return;
    // A device motion, as a real mouse gives it; the server keeps it on the screen.
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), to.x(), to.y(), CurrentTime);
    XSync(m_display, False);
}

XInput::~XInput()
{
    if (!m_display)
        return;
    // Hand the borrowed keycodes back empty, as they were.
    for (const Borrowed &b : m_borrowed) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(m_display, b.code, 2, none, 1);
    }
    XCloseDisplay(m_display);
}

bool XInput::open()
{
    if (m_display)
        return true;
    if (m_failed)
        return false;
    m_display = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (m_display && !XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
        XCloseDisplay(m_display);
        m_display = nullptr;
    }
    m_failed = !m_display;
    return m_display;
}

// The keycode that gives sym without any modifier, from the keyboard map as it is now.
// A keysym that needs a modifier on its key (the keypad digits want Num Lock) or is on no
// key at all gets an unused keycode of its own, so it arrives as itself whatever the
// lock state.
KeyCode XInput::keycodeFor(KeySym sym)
{
    const KeycodeSearch search = searchKeycode(m_display, sym);
    if (search.found)
        return search.found;
    if (!search.spare)
        return search.anyLevel;

    KeySym both[2] = {sym, sym};
    XChangeKeyboardMapping(m_display, search.spare, 2, both, 1);
    XSync(m_display, False);
    m_borrowed.push_back({search.spare});
    // Clients reload their key tables when the change reaches them; the notice is ahead of the
    // key event in every client's queue, this pause is for those that reload lazily.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    return search.spare;
}

} // namespace

void X11Platform::keyDown(int virtualKey)
{
    XInput::instance().key(virtualKey, true);
}

void X11Platform::keyUp(int virtualKey)
{
    XInput::instance().key(virtualKey, false);
}

void X11Platform::mouseButton(MouseButtonEvent event)
{
    switch (event) {
    case LeftDown:
        XInput::instance().button(Button1, true);
        break;
    case LeftUp:
        XInput::instance().button(Button1, false);
        break;
    case RightDown:
        XInput::instance().button(Button3, true);
        break;
    case RightUp:
        XInput::instance().button(Button3, false);
        break;
    }
}

QPoint X11Platform::cursorPosition()
{
    return XInput::instance().pointer();
}

void X11Platform::setCursorPosition(const QPoint &position)
{
    XInput::instance().movePointer(position);
}
