// Which events of which controls are handled, and by which handler: the
// window's event table as data. Form1 attaches every row when it is built;
// events that are not in the table are not handled.
#pragma once

#include <span>
#include <string_view>

namespace qm {

class Form1;

struct EventBinding {
    std::u16string_view control;
    std::u16string_view event;
    std::u16string_view handler;
    void (*attach)(Form1&);
};

std::span<const EventBinding> eventTable();

}  // namespace qm
