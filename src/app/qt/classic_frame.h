// The group frame as the layout table places its controls: a thin line
// round the frame whose top runs through the middle of the caption. Qt's own
// styles draw the line below the caption, right across the first control.
// It is drawn here rather than by a style sheet, because a widget with a
// style sheet does not pass its font on to the controls inside it: they
// would take the desktop's font instead of the window's and be cut off.
#pragma once

#include <QGroupBox>

namespace qm::desktop {

class ClassicFrame : public QGroupBox {
public:
    ClassicFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace qm::desktop
