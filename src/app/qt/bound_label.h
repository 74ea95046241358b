// A label that reports what the pointer does to it: a click, a move over it,
// and (when it accepts drops) the paths dropped on it. It decides nothing;
// the model's handlers do.
#pragma once

#include <QLabel>
#include <functional>
#include <string>
#include <vector>

namespace qm {
struct ControlSpec;
}

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
    // Drawn in the palette's link colour, made readable on its background.
    bool isLink = false;
    // From now on a path wider than the label is drawn cut in the middle and
    // shown whole in the tooltip, above the tooltip that `row` gives.
    void elidePath(const ControlSpec& row);

    // The caption, and the tooltip that goes with it.
    void setCaption(const QString& caption);
    // The caption as drawn.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fitToolTip();

    bool pressed_ = false;  // a click is a press and a release over the label
    const ControlSpec* pathRow_ = nullptr;
};

}  // namespace qm::desktop
