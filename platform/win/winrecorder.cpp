// Recording the user's input on Windows: the low-level hooks (api/recorder.h) run on the GUI
// thread that starts them, inside its message loop. The hooks only queue what they see; the
// handler runs from the event loop afterwards, so it may take its time or open a window without
// holding up the desktop's input.
#include "platform/win/api/recorder.h"
#include "platform/win/winplatform.h"

#include <QObject>

#include <memory>
#include <vector>

namespace {

using InputEvent = Platform::InputEvent;

InputEvent eventOf(const win32::RecordedInput &input)
{
    static const InputEvent::Kind kinds[]
        = {InputEvent::KeyDown, InputEvent::KeyUp, InputEvent::ButtonDown, InputEvent::ButtonUp};
    InputEvent event;
    event.kind = kinds[input.kind];
    event.position = QPoint(input.x, input.y);
    event.button = input.button;
    event.virtualKey = input.virtualKey;
    event.keyName = QString::fromWCharArray(input.keyName);
    event.text = QString::fromWCharArray(input.text);
    return event;
}

class Recorder
{
public:
    static Recorder &instance()
    {
        static Recorder recorder;
        return recorder;
    }
    bool start(Platform::InputHandler handler);
    void stop();

private:
    Recorder() = default;
    ~Recorder() { win32::StopInputHooks(); } // at exit: nothing delivered any more
    static void take(void *context, const win32::RecordedInput &input);
    void deliverQueued();

    Platform::InputHandler m_handler;
    std::unique_ptr<QObject> m_receiver; // the queued deliveries go to it
    std::vector<InputEvent> m_queue; // only ever touched on the GUI thread
    bool m_timeKnown = false;
    qint64 m_time = 0;
    unsigned long m_lastRawTime = 0;
};

bool Recorder::start(Platform::InputHandler handler)
{
    if (m_handler || !handler || !win32::StartInputHooks(&Recorder::take, this))
        return false;
    m_handler = std::move(handler);
    m_receiver = std::make_unique<QObject>();
    m_timeKnown = false;
    return true;
}

void Recorder::take(void *context, const win32::RecordedInput &input)
{
    auto *self = static_cast<Recorder *>(context);
    InputEvent event = eventOf(input);
    // The hook's clock wraps after 49 days; the differences between events do not.
    if (self->m_timeKnown)
        self->m_time += qint64(quint32(input.time - self->m_lastRawTime));
    else
        self->m_time = qint64(input.time);
    self->m_timeKnown = true;
    self->m_lastRawTime = input.time;
    event.timeMs = self->m_time;
    self->m_queue.push_back(event);
    if (self->m_queue.size() == 1) {
        QMetaObject::invokeMethod(
            self->m_receiver.get(), [self] { self->deliverQueued(); }, Qt::QueuedConnection);
    }
}

void Recorder::deliverQueued()
{
    std::vector<InputEvent> events;
    events.swap(m_queue);
    for (const InputEvent &event : events) {
        // A copy, looked at anew for each event: the handler may stop the recording.
        const Platform::InputHandler handler = m_handler;
        if (!handler)
            break;
        handler(event);
    }
}

// What the user did before the stop still reaches the handler, before this returns; nothing
// after it.
void Recorder::stop()
{
    if (!m_handler)
        return;
    win32::StopInputHooks();
    std::vector<InputEvent> rest;
    rest.swap(m_queue);
    const Platform::InputHandler handler = std::move(m_handler);
    m_handler = nullptr;
    // A stop from inside a delivery runs in the receiver's own call: it goes later.
    m_receiver.release()->deleteLater();
    for (const InputEvent &event : rest)
        handler(event);
}

} // namespace

bool WinPlatform::startInputRecording(InputHandler handler)
{
    return Recorder::instance().start(std::move(handler));
}

void WinPlatform::stopInputRecording()
{
    Recorder::instance().stop();
}
