#include "input/commands.h"

#include "window/form1.h"

namespace qm::input {

namespace {

constexpr Command kCommands[] = {
    {0x0010, u"撤销上次分发(&U)...", characterKey(u'z'), kControl, u"Ctrl+Z",
     [](Form1& form) { return form.CanUndoLastRun(); }, [](Form1& form) { form.UndoLastRun(); }},
    {0x0020, u"分发选项(&O)...", characterKey(u'o'), kControl | kShift, u"Ctrl+Shift+O",
     [](Form1&) { return true; }, [](Form1& form) { form.ShowOptions(); }},
};

}  // namespace

std::span<const Command> commands() { return kCommands; }

const Command* commandWithId(unsigned id) {
    for (const Command& command : kCommands) {
        if (command.id == id) return &command;
    }
    return nullptr;
}

}  // namespace qm::input
