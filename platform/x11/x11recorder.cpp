// Recording the user's keys and mouse buttons on X11 through the RECORD extension. The server
// copies every core key and button event to a context of ours, whatever window gets it, so
// nothing is grabbed and the desktop behaves as usual. Enabling a context blocks its connection
// for as long as it records, so it runs on a thread of its own with a data connection of its
// own; a control connection creates, stops and frees it from the GUI thread.
#include "platform/x11/x11keysyms.h"
#include "platform/x11/x11platform.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// After every Qt header: Xlib's macros (None, Bool, Status …) would break them.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>

namespace {

using InputEvent = Platform::InputEvent;

// One key or button event as the server recorded it.
struct RawEvent
{
    int type = 0;
    unsigned int detail = 0; // keycode or button
    unsigned int state = 0; // modifiers and group before the event
    unsigned long time = 0; // server milliseconds, wrapping at 32 bits
    QPoint root;
};

// The keyboard as it was when the recording started, for turning keycodes into keysyms off the
// connections (those are busy while the context records).
struct Keyboard
{
    XkbDescPtr map = nullptr;
    unsigned int numLock = 0; // the modifier Num Lock sets
};

constexpr unsigned int kGroupBits = 0x6000; // the Xkb group in a core state

// The keysym the key gives with these modifiers; Caps Lock on a key whose type ignores it
// still gives the capital, as XLookupString would.
KeySym keysymOf(const Keyboard &keyboard, unsigned int keycode, unsigned int mods)
{
    unsigned int consumed = 0;
    KeySym sym = NoSymbol;
    if (!XkbTranslateKeyCode(keyboard.map, KeyCode(keycode), mods, &consumed, &sym))
        return NoSymbol;
    if ((mods & LockMask) && !(consumed & LockMask)) {
        KeySym lower = NoSymbol, upper = NoSymbol;
        XConvertCase(sym, &lower, &upper);
        sym = upper;
    }
    return sym;
}

// Fills the key fields: the code and name from the key without Shift and Caps Lock (so Shift+a
// is 'A' with Shift held), the text on presses from Shift, Caps Lock, Num Lock and the group
// alone, so Ctrl, Alt and the logo key never change it.
void describeKey(const Keyboard &keyboard, const RawEvent &raw, InputEvent *event)
{
    const unsigned int base = raw.state & (kGroupBits | keyboard.numLock);
    const KeySym plain = keysymOf(keyboard, raw.detail, base);
    event->virtualKey = x11keys::virtualKeyForKeysym(plain);
    if (const char *name = plain == NoSymbol ? nullptr : XKeysymToString(plain))
        event->keyName = QString::fromLatin1(name);
    if (event->kind == InputEvent::KeyDown) {
        const unsigned int typing = base | (raw.state & (ShiftMask | LockMask));
        event->text = x11keys::textOfKeysym(keysymOf(keyboard, raw.detail, typing));
    }
}

// The event for a recorded one; false for those a recording leaves out (the wheel).
bool eventOf(const Keyboard &keyboard, const RawEvent &raw, InputEvent *event)
{
    static const InputEvent::Kind kinds[]
        = {InputEvent::KeyDown, InputEvent::KeyUp, InputEvent::ButtonDown, InputEvent::ButtonUp};
    if (raw.type < KeyPress || raw.type > ButtonRelease)
        return false;
    event->kind = kinds[raw.type - KeyPress];
    event->position = raw.root;
    if (raw.type == ButtonPress || raw.type == ButtonRelease) {
        if (raw.detail < Button1 || raw.detail > Button3)
            return false;
        event->button = int(raw.detail);
        return true;
    }
    describeKey(keyboard, raw, event);
    return true;
}

// The server sends what it recorded when it next flushes output to a client, and an event's
// record can miss the flush that the event itself caused: where no window takes the keys or
// buttons (a bare server, a click on an empty desktop) it would wait for the next event. So the
// control connection asks for raw input events, which wake the GUI thread on each key and
// button, and answers each with a round trip, after which the server has sent everything.
// Without XInput 2 the recording still works, only later where nothing else flushes.
void askForRawInput(Display *control)
{
    int opcode = 0, event = 0, error = 0;
    int major = 2, minor = 0;
    if (!XQueryExtension(control, "XInputExtension", &opcode, &event, &error)
        || XIQueryVersion(control, &major, &minor) != Success)
        return;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    for (int type : {XI_RawKeyPress, XI_RawKeyRelease, XI_RawButtonPress, XI_RawButtonRelease})
        XISetMask(bits, type);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    XISelectEvents(control, DefaultRootWindow(control), &mask, 1);
}

class Recorder
{
public:
    static Recorder &instance();
    bool start(Platform::InputHandler handler);
    void stop();

private:
    Recorder() = default;
    ~Recorder();
    bool openConnections();
    bool readKeyboard();
    void closeConnections();
    void record();
    static void intercept(XPointer closure, XRecordInterceptData *data);
    void take(const RawEvent &raw);
    void deliverQueued();
    void flushServer();
    void end(bool deliverRest);

    Display *m_control = nullptr;
    Display *m_data = nullptr;
    XRecordContext m_context = 0;
    Keyboard m_keyboard;
    std::thread m_thread;
    Platform::InputHandler m_handler;
    // Lives on the GUI thread; the recording thread queues the deliveries to it. Deleting it
    // drops deliveries still queued.
    std::unique_ptr<QObject> m_receiver;
    std::unique_ptr<QSocketNotifier> m_rawInput; // the control connection has data

    std::mutex m_mutex; // guards the members below
    std::condition_variable m_changed;
    bool m_recording = false; // the server has started sending
    bool m_finished = false; // the recording thread is done
    bool m_wakePosted = false; // a delivery is queued to the receiver
    std::vector<InputEvent> m_queue;
    qint64 m_timeBase = 0; // adds the wraps of the server's 32-bit clock
    unsigned long m_lastTime = 0;
};

Recorder &Recorder::instance()
{
    static Recorder recorder;
    return recorder;
}

Recorder::~Recorder()
{
    // At program exit the handler's objects may be gone: stop without delivering.
    end(false);
}

bool Recorder::start(Platform::InputHandler handler)
{
    if (m_thread.joinable() || !handler || !openConnections())
        return false;
    m_handler = std::move(handler);
    m_receiver = std::make_unique<QObject>();
    m_recording = m_finished = m_wakePosted = false;
    m_timeBase = 0;
    m_lastTime = 0;
    m_rawInput
        = std::make_unique<QSocketNotifier>(ConnectionNumber(m_control), QSocketNotifier::Read);
    QObject::connect(m_rawInput.get(), &QSocketNotifier::activated, [this] { flushServer(); });
    m_thread = std::thread([this] { record(); });
    // Until the server confirms, so that what the user does after a successful start is in.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_recording || m_finished; });
    const bool recording = m_recording;
    lock.unlock();
    if (!recording)
        end(false);
    return recording;
}

void Recorder::stop()
{
    end(true);
}

bool Recorder::openConnections()
{
    m_control = XOpenDisplay(nullptr);
    m_data = m_control ? XOpenDisplay(DisplayString(m_control)) : nullptr;
    int major = 0, minor = 0;
    if (!m_data || !XRecordQueryVersion(m_control, &major, &minor) || !readKeyboard()) {
        closeConnections();
        return false;
    }
    XRecordRange *range = XRecordAllocRange();
    if (!range) {
        closeConnections();
        return false;
    }
    askForRawInput(m_control);
    range->device_events.first = KeyPress;
    range->device_events.last = ButtonRelease;
    XRecordClientSpec clients = XRecordAllClients;
    m_context = XRecordCreateContext(m_control, 0, &clients, 1, &range, 1);
    XFree(range);
    XSync(m_control, False);
    if (!m_context)
        closeConnections();
    return m_context != 0;
}

bool Recorder::readKeyboard()
{
    m_keyboard.map = XkbGetMap(m_control, XkbAllClientInfoMask, XkbUseCoreKbd);
    m_keyboard.numLock = m_keyboard.map ? XkbKeysymToModifiers(m_control, XK_Num_Lock) : 0;
    return m_keyboard.map != nullptr;
}

void Recorder::closeConnections()
{
    if (m_context)
        XRecordFreeContext(m_control, m_context);
    m_context = 0;
    if (m_keyboard.map)
        XkbFreeKeyboard(m_keyboard.map, 0, True);
    m_keyboard = Keyboard();
    for (Display **display : {&m_data, &m_control}) {
        if (*display)
            XCloseDisplay(*display);
        *display = nullptr;
    }
}

// The recording thread: blocks in the server's stream of events until the context is disabled.
void Recorder::record()
{
    XRecordEnableContext(m_data, m_context, &Recorder::intercept, reinterpret_cast<XPointer>(this));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_finished = true;
    m_changed.notify_all();
}

void Recorder::intercept(XPointer closure, XRecordInterceptData *data)
{
    auto *self = reinterpret_cast<Recorder *>(closure);
    if (data->category == XRecordStartOfData) {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_recording = true;
        self->m_changed.notify_all();
    } else if (data->category == XRecordFromServer && data->data_len * 4 >= sizeof(xEvent)) {
        const auto *wire = reinterpret_cast<const xEvent *>(data->data);
        RawEvent raw;
        raw.type = wire->u.u.type & 0x7f;
        raw.detail = wire->u.u.detail;
        raw.state = wire->u.keyButtonPointer.state;
        raw.time = wire->u.keyButtonPointer.time;
        raw.root = QPoint(wire->u.keyButtonPointer.rootX, wire->u.keyButtonPointer.rootY);
        self->take(raw);
    }
    XRecordFreeData(data);
}

// On the recording thread: queues the event and, unless one is on its way, sends the GUI thread
// a delivery; one serves a burst.
void Recorder::take(const RawEvent &raw)
{
    InputEvent event;
    if (!eventOf(m_keyboard, raw, &event))
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (raw.time < m_lastTime && m_lastTime - raw.time > 0x80000000ul)
        m_timeBase += qint64(1) << 32;
    m_lastTime = raw.time;
    event.timeMs = m_timeBase + qint64(raw.time);
    m_queue.push_back(event);
    if (!m_wakePosted) {
        m_wakePosted = true;
        QMetaObject::invokeMethod(
            m_receiver.get(), [this] { deliverQueued(); }, Qt::QueuedConnection);
    }
}

void Recorder::deliverQueued()
{
    std::vector<InputEvent> events;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        events.swap(m_queue);
        m_wakePosted = false;
    }
    for (const InputEvent &event : events) {
        // A copy, looked at anew for each event: the handler may stop the recording.
        const Platform::InputHandler handler = m_handler;
        if (!handler)
            break;
        handler(event);
    }
}

// On the GUI thread, which owns the control connection, when raw input events arrived: they have
// done their part and are read away; the round trip has the server send the recording.
void Recorder::flushServer()
{
    while (XPending(m_control) > 0) {
        XEvent event;
        XNextEvent(m_control, &event);
    }
    XSync(m_control, False);
    // Events the round trip read are in Xlib's queue, where the notifier does not see them.
    while (XEventsQueued(m_control, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(m_control, &event);
    }
}

// Stops the context and waits for the thread; with deliverRest, what the user did before the
// stop still reaches the handler, before this returns (after the cleanup, so the handler may
// start a new recording). Safe to call when nothing records.
void Recorder::end(bool deliverRest)
{
    if (!m_thread.joinable())
        return;
    bool enabled = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        enabled = m_recording && !m_finished;
    }
    if (enabled) {
        // The server ends the stream with what it recorded before the disable.
        XRecordDisableContext(m_control, m_context);
        XSync(m_control, False);
    }
    m_thread.join();
    std::vector<InputEvent> rest;
    rest.swap(m_queue); // the thread is gone: no lock needed
    const Platform::InputHandler handler = std::move(m_handler);
    m_handler = nullptr;
    // At program exit the event dispatcher a notifier belongs to may be gone already.
    if (QCoreApplication::instance())
        m_rawInput.reset();
    else
        m_rawInput.release();
    // A stop from inside a delivery runs in the receiver's own call: it goes later. Its calls
    // still queued then find no handler, or the next recording's events in order.
    if (deliverRest)
        m_receiver.release()->deleteLater();
    else
        m_receiver.reset();
    closeConnections();
    for (const InputEvent &event : rest) {
        if (deliverRest && handler)
            handler(event);
    }
}

} // namespace

bool X11Platform::startInputRecording(InputHandler handler)
{
    return Recorder::instance().start(std::move(handler));
}

void X11Platform::stopInputRecording()
{
    Recorder::instance().stop();
}
