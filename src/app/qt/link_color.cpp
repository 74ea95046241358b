#include "app/qt/link_color.h"

#include <QPalette>
#include <algorithm>
#include <cmath>

namespace qm::desktop {

namespace {

// Relative luminance of an sRGB colour.
double luminance(const QColor& colour) {
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor readableLinkColor(const QPalette& palette) {
    const QColor background = palette.color(QPalette::Window);
    QColor link = palette.color(QPalette::Link);
    // Towards white on a dark background, towards black on a light one, in
    // small steps of lightness, so that it stays as near its own as it can.
    const bool lighten = contrastRatio(Qt::white, background) > contrastRatio(Qt::black, background);
    float hue = 0, saturation = 0, lightness = 0, alpha = 1;
    link.getHslF(&hue, &saturation, &lightness, &alpha);
    while (contrastRatio(link, background) < kReadableContrast && lightness > 0.0f && lightness < 1.0f) {
        lightness = std::clamp(lightness + (lighten ? 0.01f : -0.01f), 0.0f, 1.0f);
        link = QColor::fromHslF(hue, saturation, lightness, alpha);
    }
    return link;
}

}  // namespace qm::desktop
