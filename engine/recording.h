#pragma once

#include "platform/platform.h"

#include <QStringList>
#include <QVector>

// Turning what the user did while recording into script lines that do it again. Pure: the
// events come from the platform's recording (or a test), the lines go into the editor.
namespace recording {

using InputEvent = Platform::InputEvent;

// A hotkey of the program: its presses are the user talking to the program, not to the
// desktop, and are left out of a recording. Modifiers as the Windows word (MOD_ALT 1,
// MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8), the key as a virtual-key code.
struct HotKey
{
    unsigned modifiers = 0;
    int virtualKey = 0;
};

struct Options
{
    // The pauses between actions: as they were, rounded, or always the builder's delay.
    enum class Delays { AsRecorded, Rounded, Fixed };
    Delays delays = Delays::AsRecorded;
    int fixedDelayMs = 100; // the builder's automatic delay, for Delays::Fixed
    int doubleClickMs = 500; // a second click this soon at the same place makes a double click
    QVector<HotKey> ownHotKeys;
};

// The script lines of a recording, in order.
QStringList linesOf(const QVector<InputEvent> &events, const Options &options);

// 粘贴 lines that together paste exactly text when they run: no piece may be read as another
// form (a count "5>>", a variable "[串1]", a comment, a directive, a second "->"), and no white
// space at either end may be lost to trimming.
QStringList pasteLines(const QString &text);

} // namespace recording
