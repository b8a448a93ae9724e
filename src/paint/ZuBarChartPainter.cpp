#include "paint/ZuBarChartPainter.h"

#include <algorithm>
#include <vector>

#include <QImage>
#include <QPainter>

#include "paint/Checked.h"
#include "paint/Contrast.h"

TRect TZuBarChartPainter::BarRect(const TRect &APaintRect, double APercent)
{
    using namespace paint_checked;
    const int width = Sub(APaintRect.Right, APaintRect.Left);
    const int filled = RoundHalfEven(static_cast<double>(width) * APercent);
    return {APaintRect.Left, APaintRect.Top, Add(APaintRect.Left, filled), APaintRect.Bottom};
}

TZuBarChartPainter::TTextColors TZuBarChartPainter::ReadableTextColors(TCanvas &ACanvas, const TRect &APaintRect,
    const QString &AText, double APercent, bool ASelected, TColor ABackground, int ASplit, TTextColors APreferred)
{
    using namespace paint_checked;
    const int w = Sub(APaintRect.Right, APaintRect.Left);
    const int h = Sub(APaintRect.Bottom, APaintRect.Top);
    if (AText.isEmpty() || w <= 0 || h <= 0)
        return APreferred;
    // The bar as this painter draws it, without text, on a surface of its own.
    QImage beneath(w, h, QImage::Format_RGB32);
    beneath.fill(ToQColor(ABackground));
    {
        QPainter painter(&beneath);
        TCanvas canvas(painter);
        canvas.SetFont(ACanvas.Font());
        canvas.SetBrushColor(ABackground);
        const TRect local {0, 0, w, h};
        if (ASelected)
            DrawSelectedBar(canvas, local, QString(), APercent);
        else
            DrawBar(canvas, local, QString(), APercent);
    }
    const QSize extent = ACanvas.TextExtent(AText);
    const int left = std::max(0, (w - extent.width()) / 2);
    const int top = std::max(0, (h - extent.height()) / 2);
    const int right = std::min(w, left + extent.width());
    const int bottom = std::min(h, top + extent.height());
    const int split = Sub(Add(ASplit, 1), APaintRect.Left);
    std::vector<QRgb> onBar;
    std::vector<QRgb> onBackground;
    for (int y = top; y < bottom; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(beneath.constScanLine(y));
        for (int x = left; x < right; ++x)
            (x < split ? onBar : onBackground).push_back(line[x]);
    }
    return {ReadableTextColor(APreferred.OnBar, onBar), ReadableTextColor(APreferred.OnBackground, onBackground)};
}
