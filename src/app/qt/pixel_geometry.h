// The layout table measures in twips; widgets in pixels. 15 twips are one
// pixel at 96 dots per inch, and a screen set to more dots per inch gets
// proportionally larger controls, as the classic toolkit did.
#pragma once

#include <QRect>
#include <QSize>

#include "window/layout.h"

namespace qm::desktop {

// Pixels per 96-dpi pixel on the primary screen (1.0 on an ordinary screen).
double screenScale();

QRect toPixels(const Twips& twips, double scale);
QSize toPixels(int widthTwips, int heightTwips, double scale);

}  // namespace qm::desktop
