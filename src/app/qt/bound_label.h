// A label that reports what the pointer does to it: a click, a move over it,
// and (when it accepts drops) the paths dropped on it. It decides nothing;
// the model's handlers do.
#pragma once

#include <QLabel>
#include <functional>
#include <string>
#include <vector>

namespace qm::desktop {

class BoundLabel : public QLabel {
public:
    explicit BoundLabel(QWidget* parent);

    std::function<void()> onClick;
    std::function<void()> onMouseMove;
    std::function<void(const std::vector<std::u16string>&)> onDrop;
    // The caption is a value (a folder, a count) that a screen reader reads
    // under the name of the caption beside it (accessible_names.h).
    bool captionIsValue = false;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool pressed_ = false;  // a click is a press and a release over the label
};

}  // namespace qm::desktop
