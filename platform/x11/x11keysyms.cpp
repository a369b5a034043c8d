#include "platform/x11/x11keysyms.h"

// After every Qt header: Xlib's macros (None, Bool, Status …) would break them.
#include <X11/Xlib.h>
#include <X11/keysym.h>

// libX11's own keysym-to-Unicode conversion (the one behind Xutf8LookupString). It has been
// exported for decades but has no public header.
extern "C" unsigned int KeySymToUcs4(KeySym keysym);

namespace x11keys {

namespace {

// Which way a row of the table serves: some keysyms have two codes (Shift is 16 and 160), some
// keys of the keypad have the code of their counterpart on the main block.
enum Direction { Both, SendOnly, RecordOnly };

struct KeyPair
{
    int virtualKey;
    KeySym sym;
    Direction direction;
};

// The codes that come in runs (letters, digit row, keypad digits, function keys) are worked out
// in the functions below.
constexpr KeyPair kKeyTable[] = {{8, XK_BackSpace, Both}, {9, XK_Tab, Both}, {12, XK_Clear, Both},
    {13, XK_Return, Both}, {16, XK_Shift_L, SendOnly}, {17, XK_Control_L, SendOnly},
    {18, XK_Alt_L, SendOnly}, {19, XK_Pause, Both}, {20, XK_Caps_Lock, Both}, {27, XK_Escape, Both},
    {32, XK_space, Both}, {33, XK_Prior, Both}, {34, XK_Next, Both}, {35, XK_End, Both},
    {36, XK_Home, Both}, {37, XK_Left, Both}, {38, XK_Up, Both}, {39, XK_Right, Both},
    {40, XK_Down, Both}, {44, XK_Print, Both}, {45, XK_Insert, Both}, {46, XK_Delete, Both},
    {91, XK_Super_L, Both}, {92, XK_Super_R, Both}, {93, XK_Menu, Both},
    {106, XK_KP_Multiply, Both}, {107, XK_KP_Add, Both}, {108, XK_KP_Separator, Both},
    {109, XK_KP_Subtract, Both}, {110, XK_KP_Decimal, Both}, {111, XK_KP_Divide, Both},
    {144, XK_Num_Lock, Both}, {145, XK_Scroll_Lock, Both}, {160, XK_Shift_L, Both},
    {161, XK_Shift_R, Both}, {162, XK_Control_L, Both}, {163, XK_Control_R, Both},
    {164, XK_Alt_L, Both}, {165, XK_Alt_R, Both}, {186, XK_semicolon, Both}, {187, XK_equal, Both},
    {188, XK_comma, Both}, {189, XK_minus, Both}, {190, XK_period, Both}, {191, XK_slash, Both},
    {192, XK_grave, Both}, {219, XK_bracketleft, Both}, {220, XK_backslash, Both},
    {221, XK_bracketright, Both}, {222, XK_apostrophe, Both},
    // Keys Windows reports under the main block's codes: the keypad without Num Lock, its
    // Enter, and AltGr (right Alt there).
    {13, XK_KP_Enter, RecordOnly}, {12, XK_KP_Begin, RecordOnly}, {33, XK_KP_Prior, RecordOnly},
    {34, XK_KP_Next, RecordOnly}, {35, XK_KP_End, RecordOnly}, {36, XK_KP_Home, RecordOnly},
    {37, XK_KP_Left, RecordOnly}, {38, XK_KP_Up, RecordOnly}, {39, XK_KP_Right, RecordOnly},
    {40, XK_KP_Down, RecordOnly}, {45, XK_KP_Insert, RecordOnly}, {46, XK_KP_Delete, RecordOnly},
    {165, XK_ISO_Level3_Shift, RecordOnly}};

} // namespace

unsigned long keysymForVirtualKey(int vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XK_0 + (vk - '0');
    if (vk >= 96 && vk <= 105)
        return XK_KP_0 + (vk - 96);
    if (vk >= 112 && vk <= 135)
        return XK_F1 + (vk - 112);
    for (const KeyPair &pair : kKeyTable) {
        if (pair.virtualKey == vk && pair.direction != RecordOnly)
            return pair.sym;
    }
    return NoSymbol;
}

int virtualKeyForKeysym(unsigned long sym)
{
    if (sym >= XK_a && sym <= XK_z)
        return int('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z)
        return int(sym);
    if (sym >= XK_0 && sym <= XK_9)
        return int(sym);
    if (sym >= XK_KP_0 && sym <= XK_KP_9)
        return int(96 + (sym - XK_KP_0));
    if (sym >= XK_F1 && sym <= XK_F24)
        return int(112 + (sym - XK_F1));
    for (const KeyPair &pair : kKeyTable) {
        if (pair.sym == sym && pair.direction != SendOnly)
            return pair.virtualKey;
    }
    return -1;
}

QString textOfKeysym(unsigned long sym)
{
    // The keypad's characters are their ASCII codes in the low bits, as XLookupString has it.
    const bool keypad = sym >= XK_KP_Space && sym <= XK_KP_Equal;
    const unsigned int ucs = keypad ? sym & 0x7f : sym == NoSymbol ? 0 : KeySymToUcs4(sym);
    const bool control = ucs < 0x20 || (ucs >= 0x7f && ucs < 0xa0);
    if (control || ucs > 0x10ffff || (ucs >= 0xd800 && ucs < 0xe000))
        return QString();
    const uint code = ucs;
    return QString::fromUcs4(&code, 1);
}

} // namespace x11keys
