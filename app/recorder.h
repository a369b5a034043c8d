#pragma once

#include "engine/recording.h"
#include "platform/platform.h"

#include <QRect>
#include <QStringList>
#include <QVector>

#include <functional>

// One recording of the user's input: started and stopped on the platform, holding what came
// in between. Clicks on the program's own window are the user talking to the program, so they
// are left out as they arrive.
class Recorder
{
public:
    using InputEvent = Platform::InputEvent;
    // Where button events are not kept; an empty rectangle keeps them all.
    using OwnArea = std::function<QRect()>;
    using Converter
        = std::function<QStringList(const QVector<InputEvent> &, const recording::Options &)>;

    explicit Recorder(Platform &platform);
    ~Recorder();

    // false when the system cannot record; nothing is recording then.
    bool start(OwnArea ownArea);
    // Stops and gives the script lines of what was recorded.
    QStringList stop(const recording::Options &options);
    // Stops without keeping anything (the program ends).
    void abandon();
    bool isRecording() const { return m_recording; }

    // The conversion of the events to lines; tests may put their own in.
    void setConverter(Converter converter) { m_convert = std::move(converter); }

private:
    void take(const InputEvent &event);

    Platform &m_platform;
    OwnArea m_ownArea;
    Converter m_convert;
    QVector<InputEvent> m_events;
    bool m_recording = false;
};

namespace recorder {

// Whether an event is a button pressed or released inside area.
bool isClickIn(const Platform::InputEvent &event, const QRect &area);

// What goes into the editor for lines, so that they start on a line of their own: before and
// after are the characters just in front of and behind the cursor (null at the text's ends).
QString insertion(const QStringList &lines, QChar before, QChar after);

} // namespace recorder
