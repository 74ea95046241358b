#include "input/edit_field.h"

#include "window/controls.h"

namespace qm::input {

namespace {

Selection selectionOf(const EditControl& edit) { return {edit.selStart(), edit.selLength()}; }

}  // namespace

void mirrorEdit(EditField& field, const EditControl& edit) {
    if (field.text() != edit.text()) field.setText(edit.text());
    const Selection wanted = selectionOf(edit);
    if (field.selection() != wanted) field.select(wanted);
}

void sendEdit(Mirror& mirror, const EditField& field, EditControl& edit) {
    if (!mirror.listening()) return;
    edit.replaceText(field.text(), field.caret());
    mirror.mirrorAll();
}

void sendSelection(const Mirror& mirror, const EditField& field, EditControl& edit) {
    if (!mirror.listening()) return;
    // A selection in another text is no caret movement: the field is half
    // way through a change (the list writing a chosen entry into it) that
    // reaches the model by its own way, and must not be disturbed.
    if (field.text() != edit.text()) return;
    const Selection now = field.selection();
    if (now != selectionOf(edit)) edit.setSelection(now.start, now.length);
}

}  // namespace qm::input
