// Global hotkeys on X11: passive grabs of the keys on the root window, made on the toolkit's own
// connection so that the presses arrive through its event loop, where a native event filter
// hands them to the window's handler. Atoms are counted within the process: on X11 they only
// serve as the hotkeys' ids.
#include "platform/x11/x11platform.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QHash>
#include <QVector>
#include <QX11Info>

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

constexpr unsigned modAlt = 1;
constexpr unsigned modControl = 2;
constexpr unsigned modShift = 4;
constexpr unsigned modWin = 8;

constexpr xcb_keysym_t keysymNumLock = 0xff7f;

// The keysym of a virtual key that can be a hotkey: a letter (lower case, as the key gives it
// without Shift) or a digit of the main block.
xcb_keysym_t keysymOfVirtualKey(unsigned virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return virtualKey - 'A' + 'a';
    if (virtualKey >= '0' && virtualKey <= '9')
        return virtualKey;
    return 0;
}

// X modifier masks of a Windows modifier word. Alt and the Windows key sit on Mod1 and Mod4 in
// every common keyboard map.
uint16_t maskOfModifiers(unsigned modifiers)
{
    uint16_t mask = 0;
    if (modifiers & modAlt)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & modControl)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & modShift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & modWin)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

unsigned modifiersOfMask(uint16_t mask)
{
    unsigned modifiers = 0;
    if (mask & XCB_MOD_MASK_1)
        modifiers |= modAlt;
    if (mask & XCB_MOD_MASK_CONTROL)
        modifiers |= modControl;
    if (mask & XCB_MOD_MASK_SHIFT)
        modifiers |= modShift;
    if (mask & XCB_MOD_MASK_4)
        modifiers |= modWin;
    return modifiers;
}

// The first keycode that gives the keysym, unshifted columns first; 0 when none does.
xcb_keycode_t keycodeOf(xcb_connection_t *c, xcb_keysym_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, xcb_keycode_t(first), uint8_t(count)), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perKeycode = reply->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int column = 0; column < perKeycode && !found; ++column) {
        for (int i = 0; i < count; ++i) {
            if (keysyms[i * perKeycode + column] == keysym) {
                found = xcb_keycode_t(first + i);
                break;
            }
        }
    }
    std::free(reply);
    return found;
}

// The modifier that Num Lock sets (usually Mod2); 0 when it sets none.
uint16_t numLockMask(xcb_connection_t *c)
{
    const xcb_keycode_t numLock = keycodeOf(c, keysymNumLock);
    if (!numLock)
        return 0;
    xcb_get_modifier_mapping_reply_t *reply
        = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    if (!reply)
        return 0;
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    uint16_t mask = 0;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int k = 0; k < perModifier; ++k) {
            if (codes[modifier * perModifier + k] == numLock)
                mask = uint16_t(1u << modifier);
        }
    }
    std::free(reply);
    return mask;
}

struct Grab
{
    xcb_keycode_t keycode = 0;
    uint16_t mask = 0; // without Lock and Num Lock
    unsigned virtualKey = 0;
    QVector<uint16_t> grabbed; // the masks actually grabbed (with the lock variants)
};

class HotKeys : public QAbstractNativeEventFilter
{
public:
    static HotKeys &instance();
    quint16 addAtom(const QByteArray &name);
    void deleteAtom(quint16 atom);
    bool grab(quint16 id, unsigned modifiers, unsigned virtualKey);
    void ungrab(quint16 id);
    void setHandler(Platform::HotKeyHandler handler, void *context);
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *) override;

private:
    struct Atom
    {
        quint16 atom;
        int references;
    };

    HotKeys() = default;
    bool atomInUse(quint16 atom) const;
    static void release(xcb_connection_t *c, xcb_window_t root, const Grab &grab);
    void deliver(unsigned modifiers, unsigned virtualKey);
    static QVector<uint16_t> lockVariants(uint16_t mask, uint16_t numLock);
    static void grabMasks(xcb_connection_t *c, const QVector<uint16_t> &masks, Grab *grab);

    QHash<QByteArray, Atom> m_atoms;
    quint16 m_nextAtom = 0xC000;
    QHash<quint16, Grab> m_grabs;
    uint16_t m_lockMasks = XCB_MOD_MASK_LOCK; // Caps Lock and Num Lock, as of the last grab
    Platform::HotKeyHandler m_handler = nullptr;
    void *m_context = nullptr;
    bool m_filterInstalled = false;
};

// The same key with Caps Lock or Num Lock on is another combination to X: the masks to grab
// for one combination, the plain one first.
QVector<uint16_t> HotKeys::lockVariants(uint16_t mask, uint16_t numLock)
{
    QVector<uint16_t> masks {mask, uint16_t(mask | XCB_MOD_MASK_LOCK)};
    if (numLock)
        masks << uint16_t(mask | numLock) << uint16_t(mask | numLock | XCB_MOD_MASK_LOCK);
    return masks;
}

// Grabs the key with each mask on the root window; grab->grabbed gets those that were had.
void HotKeys::grabMasks(xcb_connection_t *c, const QVector<uint16_t> &masks, Grab *grab)
{
    const xcb_window_t root = xcb_window_t(QX11Info::appRootWindow());
    QVector<xcb_void_cookie_t> cookies;
    for (uint16_t mask : masks) {
        // Not owner events: the press goes to the grab, also when our own window has the
        // focus. Asynchronous modes: the keyboard never freezes.
        cookies << xcb_grab_key_checked(
            c, 0, root, mask, grab->keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    // A key that another client holds fails with an Access error, for this request alone;
    // checking each request keeps the error away from the toolkit's error log.
    for (int i = 0; i < cookies.size(); ++i) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookies[i]))
            std::free(error);
        else
            grab->grabbed << masks[i];
    }
}

HotKeys &HotKeys::instance()
{
    static HotKeys hotKeys;
    return hotKeys;
}

quint16 HotKeys::addAtom(const QByteArray &name)
{
    auto it = m_atoms.find(name);
    if (it != m_atoms.end()) {
        ++it->references;
        return it->atom;
    }
    // String atoms take the values 0xC000 … 0xFFFF, as on Windows; a deleted one's value
    // is handed out again only after all the others.
    for (int tries = 0; tries < 0x4000; ++tries) {
        const quint16 atom = m_nextAtom;
        m_nextAtom = m_nextAtom == 0xFFFF ? 0xC000 : quint16(m_nextAtom + 1);
        if (!atomInUse(atom)) {
            m_atoms.insert(name, {atom, 1});
            return atom;
        }
    }
    return 0;
}

void HotKeys::deleteAtom(quint16 atom)
{
    for (auto it = m_atoms.begin(); it != m_atoms.end(); ++it) {
        if (it->atom == atom) {
            if (--it->references == 0)
                m_atoms.erase(it);
            return;
        }
    }
}

bool HotKeys::grab(quint16 id, unsigned modifiers, unsigned virtualKey)
{
    xcb_connection_t *c = QX11Info::isPlatformX11() ? QX11Info::connection() : nullptr;
    const xcb_keysym_t keysym = keysymOfVirtualKey(virtualKey);
    if (!c || !keysym || id == 0)
        return false;
    ungrab(id); // one key per id, as RegisterHotKey keeps one per window and id
    Grab grab;
    grab.keycode = keycodeOf(c, keysym);
    grab.mask = maskOfModifiers(modifiers);
    grab.virtualKey = virtualKey;
    if (!grab.keycode)
        return false;

    const uint16_t numLock = numLockMask(c);
    m_lockMasks = uint16_t(XCB_MOD_MASK_LOCK | numLock);
    grabMasks(c, lockVariants(grab.mask, numLock), &grab);
    // The plain combination decides; a lock variant that another client holds only costs
    // that variant.
    if (!grab.grabbed.contains(grab.mask)) {
        release(c, xcb_window_t(QX11Info::appRootWindow()), grab);
        return false;
    }
    m_grabs.insert(id, grab);
    return true;
}

void HotKeys::ungrab(quint16 id)
{
    const auto it = m_grabs.find(id);
    if (it == m_grabs.end())
        return;
    xcb_connection_t *c = QX11Info::isPlatformX11() ? QX11Info::connection() : nullptr;
    if (c)
        release(c, xcb_window_t(QX11Info::appRootWindow()), *it);
    m_grabs.erase(it);
}

void HotKeys::setHandler(Platform::HotKeyHandler handler, void *context)
{
    m_handler = handler;
    m_context = context;
    QCoreApplication *app = QCoreApplication::instance();
    if (handler && !m_filterInstalled && app) {
        app->installNativeEventFilter(this);
        m_filterInstalled = true;
    } else if (!handler && m_filterInstalled) {
        if (app)
            app->removeNativeEventFilter(this);
        m_filterInstalled = false;
    }
}

bool HotKeys::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    if (eventType != "xcb_generic_event_t" || m_grabs.isEmpty())
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (key->event != xcb_window_t(QX11Info::appRootWindow()))
        return false;
    const uint16_t state = key->state & ~m_lockMasks & 0xff;
    for (const Grab &grab : qAsConst(m_grabs)) {
        if (grab.keycode != key->detail || grab.mask != state)
            continue;
        if (type == XCB_KEY_PRESS)
            deliver(modifiersOfMask(state), grab.virtualKey);
        return true;
    }
    return false;
}

bool HotKeys::atomInUse(quint16 atom) const
{
    for (const Atom &a : m_atoms) {
        if (a.atom == atom)
            return true;
    }
    return false;
}

void HotKeys::release(xcb_connection_t *c, xcb_window_t root, const Grab &grab)
{
    for (uint16_t mask : grab.grabbed)
        xcb_ungrab_key(c, grab.keycode, root, mask);
    xcb_flush(c);
}

// After the toolkit has finished with this event: the handler may open a message box,
// whose event loop must not run inside the event filter.
void HotKeys::deliver(unsigned modifiers, unsigned virtualKey)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, modifiers, virtualKey] {
            if (m_handler)
                m_handler(m_context, modifiers, virtualKey);
        },
        Qt::QueuedConnection);
}

} // namespace

quint16 X11Platform::globalAddAtom(const QByteArray &name)
{
    return name.isEmpty() ? 0 : HotKeys::instance().addAtom(name);
}

void X11Platform::globalDeleteAtom(quint16 atom)
{
    HotKeys::instance().deleteAtom(atom);
}

bool X11Platform::registerHotKey(quintptr, quint16 id, unsigned modifiers, unsigned virtualKey)
{
    return HotKeys::instance().grab(id, modifiers, virtualKey);
}

void X11Platform::unregisterHotKey(quintptr, quint16 id)
{
    HotKeys::instance().ungrab(id);
}

void X11Platform::setHotKeyHandler(HotKeyHandler handler, void *context)
{
    HotKeys::instance().setHandler(handler, context);
}

bool X11Platform::hotKeyOfMessage(const QByteArray &, void *, unsigned *, unsigned *)
{
    // Presses come through the event filter, not as messages of the window.
    return false;
}
