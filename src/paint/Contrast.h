#pragma once

#include <vector>

#include <QColor>

#include "paint/Color.h"

// The contrast a reader needs between text and what lies beneath it (WCAG 2.x, normal text).
inline constexpr double ReadableContrast = 4.5;

// The relative luminance of an sRGB colour: 0 for black, 1 for white.
[[nodiscard]] double RelativeLuminance(QRgb color);

// (L1 + 0.05) / (L2 + 0.05) with L1 the lighter of the two: 1 to 21.
[[nodiscard]] double ContrastRatio(QRgb a, QRgb b);

// The text colour to draw over `under` (the pixels the text covers): `preferred` when it
// reaches ReadableContrast over nearly all of them (a glossy skin's highlight line may be
// spared), otherwise black or white, whichever reads better. Empty `under` keeps `preferred`.
[[nodiscard]] TColor ReadableTextColor(TColor preferred, const std::vector<QRgb> &under);
