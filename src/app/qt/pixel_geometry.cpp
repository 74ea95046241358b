#include "app/qt/pixel_geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtMath>

namespace qm::desktop {

namespace {

int pixels(int twips, double scale) { return qRound(twips * scale / kTwipsPerPixel); }

}  // namespace

double screenScale() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() / 96.0 : 1.0;
}

QRect toPixels(const Twips& twips, double scale) {
    return QRect(pixels(twips.left, scale), pixels(twips.top, scale), pixels(twips.width, scale),
                 pixels(twips.height, scale));
}

QSize toPixels(int widthTwips, int heightTwips, double scale) {
    return QSize(pixels(widthTwips, scale), pixels(heightTwips, scale));
}

}  // namespace qm::desktop
