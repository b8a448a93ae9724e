#pragma once

#include <cstdint>

#include <QColor>

// A colour as the settings and the painters store it: 0x00BBGGRR is a literal colour (red in
// the low byte); 0xFF0000nn names system colour nn and is resolved only when painting.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clActiveCaption = 0xFF000002;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clCaptionText = 0xFF000009;
inline constexpr TColor clActiveBorder = 0xFF00000A;
inline constexpr TColor clHighlight = 0xFF00000D;
inline constexpr TColor clHighlightText = 0xFF00000E;

// A literal colour from its red, green and blue parts.
[[nodiscard]] constexpr TColor RGBColor(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

[[nodiscard]] constexpr bool IsSystemColor(TColor color)
{
    return (color & 0xFF000000u) == 0xFF000000u;
}

// The literal 0x00BBGGRR value of `color`: system colours take their current value from the
// application palette (an index without a palette counterpart resolves to black).
[[nodiscard]] TColor ColorToRGB(TColor color);

// `color` resolved and converted for QPainter (always opaque).
[[nodiscard]] QColor ToQColor(TColor color);

// The 0x00BBGGRR value of an opaque QColor.
[[nodiscard]] TColor FromQColor(const QColor &color);
