#include "app/qt/bound_label.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "app/qt/dropped_paths.h"
#include "app/qt/link_color.h"
#include "app/qt/qt_text.h"
#include "window/layout.h"

namespace qm::desktop {

BoundLabel::BoundLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);  // a folder name is never markup
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);  // MouseMove is reported without a button held
}

void BoundLabel::setCaption(const QString& caption) {
    setText(caption);
    fitToolTip();
}

void BoundLabel::elidePath(const ControlSpec& row) {
    pathRow_ = &row;
    fitToolTip();
}

QString BoundLabel::shownText() const {
    if (!pathRow_) return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

// The text is kept whole (assistive tools read it); only the drawing is
// cut, and in the link's case coloured.
void BoundLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPalette colours = palette();
    if (isLink) {
        // While the window is disabled (during a run) it is drawn as disabled.
        const QColor link = readableLinkColor(colours);
        colours.setColor(QPalette::Active, QPalette::WindowText, link);
        colours.setColor(QPalette::Inactive, QPalette::WindowText, link);
    }
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), colours, isEnabled(),
                          shownText(), foregroundRole());
}

void BoundLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fitToolTip();
}

void BoundLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) fitToolTip();
}

void BoundLabel::fitToolTip() {
    if (!pathRow_) return;
    const QString tip = toQString(shownText() == text() ? pathRow_->tooltip
                                                        : elidedPathTooltip(*pathRow_, text().toStdU16String()));
    if (toolTip() != tip) setToolTip(tip);
}

void BoundLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void BoundLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && onClick) onClick();
}

void BoundLabel::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    if (onMouseMove) onMouseMove();
}

namespace {

// Every drag is welcome: whether it holds a usable folder is the handler's
// question, and a drop of anything else must still reach it (it beeps). The
// label only reads the paths, so it never agrees to a move: a file manager
// would take that as leave to delete what was dragged.
void acceptAsCopy(QDropEvent* event) {
    const Qt::DropActions possible = event->possibleActions();
    if (possible & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
    } else if (possible & Qt::LinkAction) {
        event->setDropAction(Qt::LinkAction);
    } else {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace

void BoundLabel::dragEnterEvent(QDragEnterEvent* event) { acceptAsCopy(event); }

void BoundLabel::dragMoveEvent(QDragMoveEvent* event) { acceptAsCopy(event); }

void BoundLabel::dropEvent(QDropEvent* event) {
    acceptAsCopy(event);
    if (!event->isAccepted()) return;
    const std::vector<std::u16string> paths =
        event->mimeData() ? localPathsOf(*event->mimeData()) : std::vector<std::u16string>{};
    if (onDrop) onDrop(paths);
}

}  // namespace qm::desktop
