#pragma once

// The user's keys and mouse buttons, anywhere on the desktop, through the low-level hooks of
// the Win32 calls, in plain C++ so it builds without Qt.

namespace win32 {

struct RecordedInput
{
    enum Kind { KeyDown, KeyUp, ButtonDown, ButtonUp };
    Kind kind = KeyDown;
    unsigned long time = 0; // the hook's milliseconds (GetTickCount's clock)
    int x = 0, y = 0; // the pointer, in physical pixels
    int button = 0; // 1 left, 2 middle, 3 right
    int virtualKey = -1;
    wchar_t keyName[64] = {}; // GetKeyNameTextW, terminated
    wchar_t text[8] = {}; // keys going down: what the key types with Shift and Caps Lock alone
};

// Receives each event on the thread that started the hooks, inside the hook: it must return
// quickly (the system drops a hook that keeps input waiting).
using RecordedInputSink = void (*)(void *context, const RecordedInput &input);

// Installs WH_KEYBOARD_LL and WH_MOUSE_LL on the calling thread, whose message loop then runs
// them; false (and nothing installed) when either fails or the hooks run already. Injected
// input, such as the program's own playback, is left out.
bool StartInputHooks(RecordedInputSink sink, void *context);
void StopInputHooks();

} // namespace win32
