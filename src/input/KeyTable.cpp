#include "input/KeyTable.h"

#include <QKeyEvent>

namespace {

// X11 and Wayland key codes (evdev + 8) of the digit row: 1 … 9, then 0.
constexpr quint32 firstDigitScanCode = 10;
constexpr quint32 zeroScanCode = 19;

constexpr int digitCodes[] = {KeyCode::digit0, KeyCode::digit1, KeyCode::digit2,
                              KeyCode::digit3, KeyCode::digit4, KeyCode::digit5};
constexpr int keypadCodes[] = {KeyCode::keypad0, KeyCode::keypad1, KeyCode::keypad2,
                               KeyCode::keypad3, KeyCode::keypad4, KeyCode::keypad5};

int digitCode(int digit)
{
    return digit >= 0 && digit <= 5 ? digitCodes[digit] : KeyCode::none;
}

int keypadCode(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_5)
        return keypadCodes[key - Qt::Key_0];
    switch (key) {
    // Num Lock off: the keypad's 0 … 5 arrive as these.
    case Qt::Key_Insert: return KeyCode::keypad0;
    case Qt::Key_End: return KeyCode::keypad1;
    case Qt::Key_Down: return KeyCode::keypad2;
    case Qt::Key_PageDown: return KeyCode::keypad3;
    case Qt::Key_Left: return KeyCode::keypad4;
    case Qt::Key_Clear: return KeyCode::keypad5;
    case Qt::Key_Slash: return KeyCode::keypadSlash;
    default: return KeyCode::none;
    }
}

int otherCode(int key)
{
    switch (key) {
    case Qt::Key_Space: return KeyCode::space;
    case Qt::Key_Left: return KeyCode::left;
    case Qt::Key_Right: return KeyCode::right;
    case Qt::Key_Up: return KeyCode::up;
    case Qt::Key_Down: return KeyCode::down;
    case Qt::Key_Slash: return KeyCode::slash;
    case Qt::Key_S: return KeyCode::s;
    case Qt::Key_Control: return KeyCode::control;
    case Qt::Key_Alt: return KeyCode::option;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R: return KeyCode::command;
    default: return KeyCode::none;
    }
}

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Shift:
    case Qt::Key_CapsLock:
        return true;
    default:
        return false;
    }
}

quint32 flagsOf(Qt::KeyboardModifiers modifiers)
{
    quint32 flags = 0;
    if (modifiers & Qt::ControlModifier)
        flags |= KeyFlag::control;
    if (modifiers & Qt::AltModifier)
        flags |= KeyFlag::option;
    if (modifiers & Qt::MetaModifier)
        flags |= KeyFlag::command;
    return flags;
}

quint32 ownFlag(int code)
{
    switch (code) {
    case KeyCode::control: return KeyFlag::control;
    case KeyCode::option: return KeyFlag::option;
    case KeyCode::command: return KeyFlag::command;
    default: return 0;
    }
}

} // namespace

KeyStroke keyStroke(const QKeyEvent &event)
{
    KeyStroke stroke;
    const int key = event.key();
    stroke.flags = flagsOf(event.modifiers());
    if (event.modifiers() & Qt::KeypadModifier) {
        stroke.code = keypadCode(key);
        return stroke;
    }
    const quint32 scan = event.nativeScanCode();
    if (scan >= firstDigitScanCode && scan <= zeroScanCode) {
        stroke.code = digitCode(scan == zeroScanCode ? 0 : int(scan - firstDigitScanCode + 1));
        return stroke;
    }
    if (scan == 0 && key >= Qt::Key_0 && key <= Qt::Key_9) {
        stroke.code = digitCode(key - Qt::Key_0); // made by a program: no scan code to go by
        return stroke;
    }
    stroke.code = otherCode(key);
    stroke.modifier = isModifierKey(key);
    if (stroke.modifier && event.type() == QEvent::KeyPress)
        stroke.flags |= ownFlag(stroke.code);
    return stroke;
}

std::vector<std::unique_ptr<QKeyEvent>> strokesFor(QKeyCombination chord)
{
    static constexpr std::pair<Qt::KeyboardModifier, Qt::Key> modifierKeys[] = {
        {Qt::ControlModifier, Qt::Key_Control}, {Qt::AltModifier, Qt::Key_Alt},
        {Qt::MetaModifier, Qt::Key_Meta}, {Qt::ShiftModifier, Qt::Key_Shift}};
    const Qt::KeyboardModifiers all = chord.keyboardModifiers();
    std::vector<std::unique_ptr<QKeyEvent>> events;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> held;
    Qt::KeyboardModifiers down;
    for (const auto &[modifier, key] : modifierKeys) {
        if (!(all & modifier))
            continue;
        // As X11 reports it: the state before the press.
        events.push_back(std::make_unique<QKeyEvent>(QEvent::KeyPress, key, down));
        down |= modifier;
        held.emplace_back(key, down);
    }
    const Qt::KeyboardModifiers withKeypad = down | (all & Qt::KeypadModifier);
    events.push_back(std::make_unique<QKeyEvent>(QEvent::KeyPress, chord.key(), withKeypad));
    events.push_back(std::make_unique<QKeyEvent>(QEvent::KeyRelease, chord.key(), withKeypad));
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        events.push_back(std::make_unique<QKeyEvent>(QEvent::KeyRelease, it->first, it->second));
    return events;
}
