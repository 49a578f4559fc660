// Recorded input in the test corpora's JSON form: an array of events, each
// {"type": ..., ...}. swfrender and the corpus runner replay them through
// the player's own input entry points, as the control does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swf {

struct InputEvent {
    enum class Type {
        Wait,
        MouseMove,
        MouseDown,
        MouseUp,
        MouseWheel,
        KeyDown,
        KeyUp,
        TextInput,
        TextControl,
        SetClipboardText,
        FocusGained,
        FocusLost,
        Other, // kinds the player does not take (ImePreedit, ...)
    } type = Type::Other;
    double x = 0, y = 0;      // stage pixels
    int button = 0;           // 0 left, 1 right, 2 middle
    double lines = 0;         // the wheel's
    uint32_t keyCode = 0;     // Flash's (Key.getCode) for KeyDown/KeyUp
    uint32_t codepoint = 0;   // TextInput's character; KeyDown's too for a character key
    std::string control;      // TextControl's: Paste, Copy, Cut, SelectAll, MoveLeft, ...
    std::string text;         // SetClipboardText's, UTF-8
};

// False, with one plain line in `error`, for text that is no such array.
bool readInputScript(const std::string& json, std::vector<InputEvent>& out, std::string& error);

// Flash's key code of a key name ("Tab", "ArrowLeft", "LeftShift", ...) or
// of a character key's character; 0 when it has none.
uint32_t flashKeyCode(const std::string& name);
uint32_t flashKeyCodeOfChar(uint32_t codepoint);

} // namespace swf
