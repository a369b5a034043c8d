#pragma once

// What the parts of the recording conversion share: the names of keys and modifiers, comment
// lines, and the actions with their pauses. Internal to engine/recording*.cpp.

#include "engine/recording.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace recording::detail {

// Modifier bits as the Windows hotkey word has them.
enum ModifierBit : unsigned { AltBit = 1, CtrlBit = 2, ShiftBit = 4, WinBit = 8 };

constexpr int kBackspace = 8;

// The modifier bit of a key (either side's code or the generic one), 0 for other keys.
unsigned modifierBit(int virtualKey);

// The name the key table gives a key, for script lines; empty when the table has none. Of a
// key's spellings the first that begins with a capital is taken ("Enter", "PageUp", "F5").
QString keyName(int virtualKey);

// The names of held modifier keys in the order a combination writes them (Ctrl, Shift, Alt,
// then the logo key as LWin or RWin).
QStringList modifierNames(const QVector<int> &heldModifierKeys);

// A comment line with text that the preparation cannot read as anything else: no line break,
// nothing that opens or closes a block comment, no directive.
QString commentLine(const QString &text);

// Lines written for one moment of the recording.
struct Action
{
    QStringList lines;
    qint64 start = 0;
    qint64 end = 0;
    bool timed = true; // false for comments: no pause before them, no end of their own
};

// The lines of the actions with the pause lines between them, by the options' rule.
QStringList withPauses(const QVector<Action> &actions, const Options &options);

} // namespace recording::detail
