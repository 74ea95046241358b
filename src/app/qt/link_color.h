// The colour the link is drawn in: the palette's own link colour, unless it
// reads badly on the window's background (the classic pure blue on a dark
// theme); then it is made lighter or darker, keeping its hue, until it reads.
#pragma once

#include <QColor>

class QPalette;

namespace qm::desktop {

// Normal-sized text needs this contrast with its background (WCAG 2, AA).
inline constexpr double kReadableContrast = 4.5;

// The contrast ratio of two colours as WCAG 2 measures it, from 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

QColor readableLinkColor(const QPalette& palette);

}  // namespace qm::desktop
