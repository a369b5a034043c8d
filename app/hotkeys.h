#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

// What the global hotkeys compute, apart from the window (app/hotkeydispatch.cpp does the rest).
namespace hotkeys {

// The modifier word of the hotkeys: Ctrl alone (Windows' MOD_CONTROL), and Alt added to it
// for the recorder's Ctrl+Alt+R (MOD_ALT).
constexpr unsigned modControl = 2;
constexpr unsigned modAlt = 1;

// The window's hotkey atoms: Ctrl+M, Q, E, W, K, T, the ten slots, Ctrl+Alt+R.
constexpr int atomCount = 17;

// Digits of the hotkey slots (Ctrl+1 … Ctrl+0) in the order of their rows.
constexpr int slotDigits[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};

// The script Ctrl+W runs from the clipboard's text: a text that begins with a double quote is
// taken from after that quote up to its last double quote; any other text as it is.
QString clipboardScript(const QString &clipboard);

// What Ctrl+M writes at the editor's cursor for the pointer at position: before holds the (up
// to) four characters in front of the cursor, after the one behind it. A started mouse line or
// a region of 截图 gets the coordinates only; anywhere else a whole mouse line is written, and
// a delay line of delay milliseconds after it when autoDelay is on.
QString mouseInsertion(const QString &before, const QString &after, const QPoint &position,
    bool autoDelay, const QString &delay);

// The status-line note for hotkeys that another program holds ("Ctrl+E", ...).
QString unavailableNote(const QStringList &keys);

} // namespace hotkeys
