#include "app/recorder.h"

Recorder::Recorder(Platform &platform)
    : m_platform(platform)
    , m_convert(&recording::linesOf)
{
}

Recorder::~Recorder()
{
    abandon();
}

bool Recorder::start(OwnArea ownArea)
{
    if (m_recording)
        return true;
    m_events.clear();
    m_ownArea = std::move(ownArea);
    // The platform delivers on the GUI thread, so the events need no lock.
    m_recording = m_platform.startInputRecording([this](const InputEvent &event) { take(event); });
    return m_recording;
}

QStringList Recorder::stop(const recording::Options &options)
{
    if (!m_recording)
        return {};
    m_platform.stopInputRecording();
    m_recording = false;
    const QVector<InputEvent> events = std::exchange(m_events, {});
    return m_convert(events, options);
}

void Recorder::abandon()
{
    if (!m_recording)
        return;
    m_platform.stopInputRecording();
    m_recording = false;
    m_events.clear();
}

void Recorder::take(const InputEvent &event)
{
    // A late event after the stop (already queued by the system) belongs to no recording.
    if (!m_recording)
        return;
    if (m_ownArea && recorder::isClickIn(event, m_ownArea()))
        return;
    m_events.append(event);
}

namespace recorder {

bool isClickIn(const Platform::InputEvent &event, const QRect &area)
{
    const bool button = event.kind == Platform::InputEvent::ButtonDown
        || event.kind == Platform::InputEvent::ButtonUp;
    return button && area.contains(event.position);
}

QString insertion(const QStringList &lines, QChar before, QChar after)
{
    if (lines.isEmpty())
        return {};
    QString text = lines.join(QLatin1Char('\n'));
    if (!before.isNull() && before != QLatin1Char('\n'))
        text.prepend(QLatin1Char('\n'));
    // The line after the recording stays a line of its own too; at the very end of the text a
    // line feed leaves the cursor ready for what the user writes next.
    if (after != QLatin1Char('\n'))
        text.append(QLatin1Char('\n'));
    return text;
}

} // namespace recorder
