#include "paint/ZumbrelBarChartPainter.h"

#include "common/Translate.h"
#include "paint/BitmapPainters.h"
#include "paint/Checked.h"

using namespace paint_checked;

std::string TZumbrelBarChartPainter::PainterName()
{
    return _("Zumbrel");
}

std::unique_ptr<TZumbrelBarChartPainter> TZumbrelBarChartPainter::CreateWithParams(
    TColor ABorderColor, TColor AFillColor)
{
    auto painter = std::make_unique<TZumbrelBarChartPainter>();
    painter->FBorderColor = ABorderColor;
    painter->FFillColor = AFillColor;
    return painter;
}

void TZumbrelBarChartPainter::DrawBarRect(TCanvas &ACanvas, const TRect &ABarRect) const
{
    ACanvas.SetBrushColor(FFillColor);
    const int width = Sub(ABarRect.Right, ABarRect.Left);
    if (width >= 2) {
        ACanvas.SetPenColor(FBorderColor);
        ACanvas.SetPenWidth(1);
        ACanvas.Rectangle(ABarRect);
    } else if (width == 1) {
        ACanvas.SetPenColor(FBorderColor);
        ACanvas.SetPenWidth(1);
        ACanvas.MoveTo(ABarRect.Left, ABarRect.Top);
        ACanvas.LineTo(ABarRect.Left, ABarRect.Bottom);
    }
}

void TZumbrelBarChartPainter::DrawBarText(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText,
    double APercent, bool ASelected, TColor ABackground)
{
    const TColor wanted = ASelected ? SelectedTextColor() : clBlack;
    const int split = Sub(BarRect(APaintRect, APercent).Right, 1);
    const TTextColors colors
        = ReadableTextColors(ACanvas, APaintRect, AText, APercent, ASelected, ABackground, split, {wanted, wanted});
    if (colors.OnBar != colors.OnBackground) {
        DrawSplitText(ACanvas, APaintRect, AText, colors.OnBackground, colors.OnBar, split);
        return;
    }
    const QSize extent = ACanvas.TextExtent(AText);
    const int w = extent.width();
    // An odd height counts as the next even one, so the text never sits a pixel high.
    const int h = Add(extent.height(), extent.height() % 2);
    const int x = Sub(Add(APaintRect.Left, Sub(APaintRect.Right, APaintRect.Left) / 2), w / 2);
    const int y = Sub(Add(APaintRect.Top, Sub(APaintRect.Bottom, APaintRect.Top) / 2), h / 2);
    ACanvas.SetFontColor(colors.OnBar);
    ACanvas.SetBrushStyle(TBrushStyle::Clear);
    ACanvas.TextRect(APaintRect, x, y, AText);
}

void TZumbrelBarChartPainter::DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    const TColor background = ACanvas.BrushColor();
    DrawBarRect(ACanvas, BarRect(APaintRect, APercent));
    if (!AText.isEmpty()) {
        DrawBarText(ACanvas, APaintRect, AText, APercent, false, background);
    }
}

void TZumbrelBarChartPainter::DrawSelectedBar(
    TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    const TColor background = ACanvas.BrushColor();
    const TRect bar = BarRect(APaintRect, APercent);
    ACanvas.SetPenColor(clHighlightText);
    ACanvas.Rectangle(bar);
    if (!AText.isEmpty()) {
        DrawBarText(ACanvas, APaintRect, AText, APercent, true, background);
    }
}
