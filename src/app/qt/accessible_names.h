// What a screen reader says for each control. Every widget gets a name: its
// own caption, or the caption of the control that the layout table says
// labels it. The labels that show a value (the two folders, the file count)
// are named by the caption beside them followed by the value, and the link
// is a link. (On Linux, Qt reads a list's text as its name and names it
// through the label whose buddy it is, so the labels beside fields are made
// their buddies.)
#pragma once

#include <QString>

class QWidget;

namespace qm {
class Form;
struct ControlSpec;
}  // namespace qm

namespace qm::desktop {

// A caption as it is read out: without its access-key mark ("(&I)" or a
// lone "&"; the key itself is announced as the shortcut), a trailing "..."
// and a trailing colon.
QString spokenCaption(QString caption);

// The accessible name of the widget of a control of `form`.
QString accessibleNameOf(const ControlSpec& row, const Form& form);

// Lets a folder or count label answer with its value, the link as a link
// and an option button as one; once per program, before the first is asked
// for.
void installAccessibility();

// Tells assistive tools that the value of such a label, and so its name,
// changed.
void announceValueChange(QWidget& label);

}  // namespace qm::desktop
