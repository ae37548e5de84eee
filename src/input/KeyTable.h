#pragma once

#include <QKeyCombination>
#include <QtGlobal>
#include <memory>
#include <vector>

class QKeyEvent;

// The display's key codes: fixed numbers for the keys it acts on, by their
// place on the keyboard, so a layout that puts other characters on the
// digit row still rates with 1 to 5. A key the table does not know has no
// code (-1) and only counts as the user being back.
namespace KeyCode {
constexpr int none = -1;
constexpr int s = 1;
constexpr int digit1 = 18, digit2 = 19, digit3 = 20, digit4 = 21, digit5 = 23, digit0 = 29;
constexpr int slash = 44;
constexpr int space = 49;
constexpr int command = 55, option = 58, control = 59;
constexpr int keypadSlash = 75;
constexpr int keypad0 = 82, keypad1 = 83, keypad2 = 84, keypad3 = 85, keypad4 = 86, keypad5 = 87;
constexpr int left = 123, right = 124, down = 125, up = 126;
} // namespace KeyCode

// The modifier flags a key carries: Control, Option (Alt), Command (Meta, Super).
namespace KeyFlag {
constexpr quint32 control = 0x40000;
constexpr quint32 option = 0x80000;
constexpr quint32 command = 0x100000;
} // namespace KeyFlag

struct KeyStroke
{
    int code = KeyCode::none;
    quint32 flags = 0;
    // A modifier key (Control, Alt, Super, Shift, Caps Lock, AltGr): its
    // press only changes the flags, its release is an ordinary key release.
    bool modifier = false;
};

// What a key event is in the display's terms. The digit row goes by the
// native scan code (X11 and Wayland key codes), every other key by key(),
// never by the text the layout gives it; keypad keys (KeypadModifier) go by
// position, also as the arrows and editing keys Num Lock off turns them
// into. A modifier's own press carries its flag, which the window system
// reports only from the next event on.
KeyStroke keyStroke(const QKeyEvent &event);

// The presses and releases a user makes for one chord of a scenario
// ("Alt+4", "Ctrl+S", "Alt+Num+Left"): the modifiers pressed in turn, the
// key pressed and released, the modifiers released in reverse. No native
// scan codes: the table reads such keys by key().
std::vector<std::unique_ptr<QKeyEvent>> strokesFor(QKeyCombination chord);
