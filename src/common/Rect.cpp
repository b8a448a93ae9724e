#include "common/Rect.h"

#include <cstdio>

#include "common/TextUtils.h"

std::string RectToText(const TRect &rect)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d,%d,%d,%d", rect.Left, rect.Top, rect.Right, rect.Bottom);
    return buffer;
}

TRect TextToRect(std::string_view text, const TRect &defaultRect)
{
    std::string rest(text);
    TRect result;
    for (int *field : {&result.Left, &result.Top, &result.Right, &result.Bottom})
        if (!TryStrToInt(NextToken(rest, ",;"), *field))
            return defaultRect;
    return result;
}

TRect CenteredWindowRect(int width, int height, const TRect &screen, const TRect &workArea)
{
    TRect result;
    if (workArea.Width() < width) {
        result.Left = workArea.Left;
        result.Right = workArea.Right;
    } else {
        result.Left = (screen.Width() - width) / 2;
        result.Right = result.Left + width;
    }
    if (workArea.Height() < height) {
        result.Top = workArea.Top;
        result.Bottom = workArea.Bottom;
    } else {
        result.Top = (screen.Height() - height) / 2;
        result.Bottom = result.Top + height;
    }
    return result;
}
