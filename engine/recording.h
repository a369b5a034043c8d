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

// Pauses shorter than this are left out of Delays::AsRecorded: the replay's own pace
// (about 20 ms after a key, 50 ms after a line) already covers them.
constexpr int shortestRecordedPauseMs = 20;
// Clicks this many pixels apart (in x and in y) count as clicks at the same place.
constexpr int samePlacePixels = 4;

// The script lines of a recording, in order.
//
// An action is what the user did at one moment: a click (its position line and click line), a
// double click, each end of a drag, a key or combination, a run of typed text (its 粘贴 and
// 键盘 lines), a modifier held down for a click and its release. Before every action but the
// first comes a 延时 line for the time since the previous action ended (the up of a click, the
// last key of a typed run) to the time it began:
// - Delays::AsRecorded writes the measured milliseconds, none under shortestRecordedPauseMs;
// - Delays::Rounded writes them to the nearest 100 ms, none when that is 0;
// - Delays::Fixed writes fixedDelayMs (none when it is 0 or less), whatever the time was.
// What the language cannot replay (the middle button, a key without a name in the key table)
// becomes a comment line ("// ..."); comments are no actions and take no pause.
//
// Keys: a key pressed with Ctrl, Alt or the logo key held becomes a combination with every
// modifier held (键盘->Ctrl+Shift+Esc, modifiers in the order Ctrl, Shift, Alt, Win); keys that
// type text without them become one 粘贴 run (see pasteLines), where Backspace takes back the
// last character; other keys are 键盘 lines, Shift+ when Shift is held; a key held down so
// that it repeats is written once with its count (键盘->DOWN*5). Modifiers pressed and released
// without any other key are written as a key of their own (键盘->Alt, 键盘->Ctrl+Shift).
// Modifiers held when a mouse button goes down are written as 按下 before the click and 抬起 at
// their release (keys pressed meanwhile are then written without them); any still held at the
// end are released there. The program's own hotkeys, and releases of keys pressed before the
// recording began, write nothing.
QStringList linesOf(const QVector<InputEvent> &events, const Options &options);

// Lines that together type exactly text when they run: 粘贴 lines for its pieces, and 键盘
// lines for what 粘贴 cannot carry (Space and Tab at either end of a piece, which the line's
// trimming would drop, and Enter for a line break). No piece may be read as another form (a
// count "5>>", a variable "[串1]", a comment, a directive, a second "->"): such text is cut
// between two pieces. White space at either end that has no key name (a full-width space) is
// written as a comment instead.
QStringList pasteLines(const QString &text);

} // namespace recording
