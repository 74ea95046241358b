#include "app/qt/classic_frame.h"

#include <QPainter>
#include <QStyle>

namespace qm::desktop {

void ClassicFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int lineTop = metrics.height() / 2;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRoundedRect(QRectF(0.5, lineTop + 0.5, width() - 1.0, height() - lineTop - 1.0), 2.0, 2.0);
    // The caption sits on the line, which stops short of it on either side.
    const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    painter.fillRect(caption, palette().color(backgroundRole()));
    style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(), QPalette::WindowText);
}

}  // namespace qm::desktop
