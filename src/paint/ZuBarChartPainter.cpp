#include "paint/ZuBarChartPainter.h"

#include "paint/Checked.h"

TRect TZuBarChartPainter::BarRect(const TRect &APaintRect, double APercent)
{
    using namespace paint_checked;
    const int width = Sub(APaintRect.Right, APaintRect.Left);
    const int filled = RoundHalfEven(static_cast<double>(width) * APercent);
    return {APaintRect.Left, APaintRect.Top, Add(APaintRect.Left, filled), APaintRect.Bottom};
}
