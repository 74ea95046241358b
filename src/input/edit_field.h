// The toolkit's field of an edit control (the text box, the editable list),
// and how it and the model's control are kept alike. Typed keys and pastes
// reach the model through the router; the field's own edits (Delete, cut,
// undo, an input method) and its caret and selection are sent here, and the
// model's text and selection are copied back.
#pragma once

#include <cstddef>
#include <string>

#include "input/mirror.h"

namespace qm {
class EditControl;
}

namespace qm::input {

// Positions count UTF-16 code units, as the model's do.
struct Selection {
    std::size_t start = 0, length = 0;
    bool operator==(const Selection&) const = default;
};

class EditField {
public:
    virtual ~EditField() = default;
    virtual std::u16string text() const = 0;
    virtual Selection selection() const = 0;
    // Where the caret stands after an edit of the field's own.
    virtual std::size_t caret() const = 0;
    virtual void setText(const std::u16string& text) = 0;
    virtual void select(Selection selection) = 0;
};

// Copies the control's text and selection into the field. What already
// matches is left alone, so that a selection the user is dragging out keeps
// its anchor.
void mirrorEdit(EditField& field, const EditControl& edit);
// The field's own edit, as the model's.
void sendEdit(Mirror& mirror, const EditField& field, EditControl& edit);
// The keystroke rules look at the selection, so the model always knows where
// the caret is; moving it is left to the field, which reports it here.
void sendSelection(const Mirror& mirror, const EditField& field, EditControl& edit);

}  // namespace qm::input
