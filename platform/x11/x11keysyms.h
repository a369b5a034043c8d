#pragma once

#include <QString>

// Windows virtual-key codes and X keysyms, both ways, from one table: the synthetic input turns
// codes into keysyms, the recording turns the keysyms of the user's keys back into codes.
// Keysyms are passed as unsigned long (Xlib's KeySym), so this header needs no Xlib header.
namespace x11keys {

// The keysym a code is sent as; 0 (NoSymbol) for codes without a counterpart. Letters give the
// lower-case keysym, so the key arrives without Shift, as on Windows; the digits 96 … 105 are
// the keypad's.
unsigned long keysymForVirtualKey(int virtualKey);

// The code a key with this keysym (taken without Shift) has on Windows; -1 when it has none.
// Left and right modifiers keep their sides (160 … 165), as Windows reports the user's keys.
int virtualKeyForKeysym(unsigned long keysym);

// The text a keysym types: empty for keysyms that type nothing and for control characters
// (Return, Tab, BackSpace, Escape, Delete).
QString textOfKeysym(unsigned long keysym);

} // namespace x11keys
