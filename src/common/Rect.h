#pragma once

#include <string>
#include <string_view>

// A rectangle in pixels covering Left <= x < Right and Top <= y < Bottom.
struct TRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    [[nodiscard]] int Width() const { return Right - Left; }
    [[nodiscard]] int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect &, const TRect &) = default;
};

// "Left,Top,Right,Bottom" in decimal, as stored in the settings file.
[[nodiscard]] std::string RectToText(const TRect &rect);
// Reads four whole numbers separated by "," or ";"; when any of them is missing or is not a
// number, the result is `defaultRect` as a whole.
[[nodiscard]] TRect TextToRect(std::string_view text, const TRect &defaultRect);

// A window of `width` x `height` centred on the screen: each axis takes the work area's
// edges when the work area is smaller than the window on that axis, and otherwise the
// window is centred on the full screen's size.
[[nodiscard]] TRect CenteredWindowRect(int width, int height, const TRect &screen, const TRect &workArea);
