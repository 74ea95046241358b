// The keyboard and the mouse as the router reads them. Each front end
// translates its toolkit's events into these and nothing more; what they
// mean to the window is the router's.
#pragma once

#include <cstdint>

namespace qm::input {

// A key by what it is, whatever the toolkit calls it. Letters and digits
// are their upper-case characters, as both toolkits number them, so that a
// shortcut reads as it is pressed: characterKey(u'z') is Z.
enum class Key : char16_t {
    Other = 0,
    Backspace = 8,
    Tab = 9,
    Enter = 13,
    Escape = 27,
    Left = 0xE000,
    Up,
    Right,
    Down,
};

constexpr Key characterKey(char16_t c) {
    return static_cast<Key>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
}

constexpr bool isArrow(Key key) { return key >= Key::Left && key <= Key::Down; }

// The modifier keys held, as a set of bits.
using Modifiers = unsigned;
inline constexpr Modifiers kNoModifier = 0;
inline constexpr Modifiers kShift = 1;
inline constexpr Modifiers kControl = 2;
inline constexpr Modifiers kAlt = 4;
inline constexpr Modifiers kMeta = 8;  // the Super / Windows / Command key

struct KeyDown {
    Key key = Key::Other;
    Modifiers held = kNoModifier;
    bool repeated = false;  // sent again by a key held down
};

enum class MouseButton { Primary, Secondary, Other };

}  // namespace qm::input
