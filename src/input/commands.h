// The window's commands beyond its 21 controls, as data: one row each, from
// which the shortcut keys and both windows' menus (the Qt window's context
// menu, the Windows window's system menu) are made. Adding a command is one row.
#pragma once

#include <span>

#include "input/user_input.h"

namespace qm {
class Form1;
}  // namespace qm

namespace qm::input {

struct Command {
    // The menu item's identifier: a multiple of 16 below 0xF000, as the
    // Windows system menu's own commands leave room for.
    unsigned id;
    const char16_t* text;      // the menu item, with its access key
    Key key;                   // the shortcut
    Modifiers held;
    const char16_t* keyText;   // the shortcut as a menu shows it beside the item
    // Whether the item can be chosen now (the window enabled aside).
    bool (*enabled)(Form1& form);
    // What it does; also what its shortcut does (which answers for itself
    // when there is nothing to do: the undo beeps).
    void (*action)(Form1& form);
};

std::span<const Command> commands();
// The command with the menu identifier `id`; nullptr for none.
const Command* commandWithId(unsigned id);

}  // namespace qm::input
