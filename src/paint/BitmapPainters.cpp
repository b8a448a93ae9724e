#include "paint/BitmapPainters.h"

#include <QPainter>

#include "paint/Checked.h"
#include "paint/SkinResources.h"

using namespace paint_checked;

namespace {

// Top-left corner of a text of `extent` centred on P.
QPoint CenteredTextOrigin(const TRect &P, QSize extent)
{
    return {Add(P.Left, Sub(Sub(P.Right, P.Left), extent.width()) / 2),
        Add(P.Top, Sub(Sub(P.Bottom, P.Top), extent.height()) / 2)};
}

} // namespace

TBasicBarChartBitmapPainter::TBasicBarChartBitmapPainter(std::string_view AResourceName)
    : FBitmap(std::make_unique<TBitmap>(LoadBitmapResource(AResourceName)))
{ }

TRect TBasicBarChartBitmapPainter::GetBarRect(const TRect &APaintRect, double APercent) const
{
    return BarRect(APaintRect, APercent);
}

void TBasicBarChartBitmapPainter::DrawCenteredText(
    TCanvas &ACanvas, const TRect &ARect, TColor AColor, const QString &AText) const
{
    ACanvas.SetFontColor(AColor);
    ACanvas.SetBrushStyle(TBrushStyle::Clear);
    ACanvas.DrawText(ARect, AText, dtSingleLine | dtCenter | dtVCenter);
}

int TBasicBarChartBitmapPainter::TextSplit(const TRect &ABar) const
{
    return Sub(ABar.Right, 1);
}

void TBasicBarChartBitmapPainter::DrawReadableText(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText,
    double APercent, bool ASelected, TColor ABackground)
{
    if (AText.isEmpty())
        return;
    const int split = TextSplit(GetBarRect(APaintRect, APercent));
    const TTextColors preferred = ASelected ? TTextColors {SelectedTextColor(), SelectedTextColor()}
                                            : TTextColors {FTextColorOnBitmap, FTextColorOnBackground};
    const TTextColors colors
        = ReadableTextColors(ACanvas, APaintRect, AText, APercent, ASelected, ABackground, split, preferred);
    if (colors.OnBar == colors.OnBackground)
        DrawCenteredText(ACanvas, APaintRect, colors.OnBar, AText);
    else
        DrawSplitText(ACanvas, APaintRect, AText, colors.OnBackground, colors.OnBar, split);
}

void TBasicBarChartBitmapPainter::DrawSelectedBar(
    TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    const TColor highlight = ACanvas.BrushColor();
    ACanvas.SetBrushColor(clWhite);
    ACanvas.FillRect(GetBarRect(APaintRect, APercent));
    {
        struct TCopyModeReset
        {
            TCanvas &Canvas;
            ~TCopyModeReset() { Canvas.SetCopyMode(TCopyMode::SrcCopy); }
        } reset {ACanvas};
        ACanvas.SetCopyMode(TCopyMode::SrcInvert);
        DrawBar(ACanvas, APaintRect, QString(), APercent);
    }
    DrawReadableText(ACanvas, APaintRect, AText, APercent, true, highlight);
}

void DrawSplitText(
    TCanvas &ACanvas, const TRect &P, const QString &AText, TColor ABackColor, TColor ABarColor, int ASplit)
{
    const QSize extent = ACanvas.TextExtent(AText);
    const QPoint origin = CenteredTextOrigin(P, extent);
    const int x = origin.x();
    const int y = origin.y();
    const int end = Add(x, extent.width());
    const int splitEnd = Add(ASplit, 1);
    if (ASplit < end) {
        ACanvas.SetBrushStyle(TBrushStyle::Clear);
        ACanvas.SetFontColor(ABackColor);
        ACanvas.TextOut(x, y, AText);
    }
    if (x < splitEnd) {
        ACanvas.SetFontColor(ABarColor);
        ACanvas.SetBrushStyle(TBrushStyle::Clear);
        ACanvas.DrawText({x, y, splitEnd, Add(y, extent.height())}, AText, dtSingleLine);
    }
}

void DrawXorText(TCanvas &ACanvas, const TRect &P, const QString &AText, TColor AColor)
{
    if (AText.isEmpty()) {
        return;
    }
    TCanvasStateSaver saved(ACanvas);
    TBitmap mask(1, 1);
    mask.MatchResolution(ACanvas.Painter().device());
    mask.Canvas().SetFont(ACanvas.Font());
    const QSize extent = mask.Canvas().TextExtent(AText);
    const int w = extent.width();
    const int h = extent.height();
    if (w <= 0 || h <= 0) {
        return;
    }
    mask.SetSize(w, h);
    TCanvas &m = mask.Canvas();
    m.SetFont(ACanvas.Font());
    m.SetBrushStyle(TBrushStyle::Clear);
    m.SetFontColor(ColorToRGB(AColor) ^ 0xFFFFFFu);
    m.TextOut(0, 0, AText);

    const QPoint origin = CenteredTextOrigin(P, extent);
    const TCopyMode mode = ACanvas.CopyMode();
    ACanvas.SetCopyMode(TCopyMode::SrcInvert);
    ACanvas.CopyRect({origin.x(), origin.y(), Add(origin.x(), w), Add(origin.y(), h)}, mask, {0, 0, w, h});
    ACanvas.SetCopyMode(mode);
}

TBarChartRepeatBitmapPainter::TBarChartRepeatBitmapPainter(std::string_view AResourceName)
    : TBasicBarChartBitmapPainter(AResourceName)
{
    if (FBitmap->Width() <= 0) {
        throw EResNotFound("Bitmap resource is empty: " + std::string(AResourceName));
    }
}

void TBarChartRepeatBitmapPainter::DrawBar(
    TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    const TColor background = ACanvas.BrushColor();
    const TRect bar = GetBarRect(APaintRect, APercent);
    const int width = Sub(bar.Right, bar.Left);
    if (width > 0) {
        TBitmap tiles(width, FBitmap->Height());
        for (int x = 0; x < width; x = Add(x, FBitmap->Width())) {
            tiles.Canvas().Draw(x, 0, *FBitmap);
        }
        ACanvas.CopyRect(bar, tiles, {0, 0, tiles.Width(), tiles.Height()});
    }
    DrawReadableText(ACanvas, APaintRect, AText, APercent, false, background);
}

void TBarChartRepeatBitmapPainter::DrawSelectedBar(
    TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    TBasicBarChartBitmapPainter::DrawSelectedBar(ACanvas, APaintRect, AText, APercent);
}

TBarChartStretchBitmapPainter::TBarChartStretchBitmapPainter(std::string_view AResourceName)
    : TBasicBarChartBitmapPainter(AResourceName)
    , FScale9Image(std::make_unique<TScale9Image>())
{
    FScale9Image->Resource().SetPicture(FBitmap->Image());
    FScale9Image->Resource().ScaleGrid().SetGrid(2, 2, 2, 2);
}

void TBarChartStretchBitmapPainter::DrawBar(
    TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    const TColor background = ACanvas.BrushColor();
    FScale9Image->Draw(ACanvas, GetBarRect(APaintRect, APercent));
    ACanvas.SetBrushColor(background);
    DrawReadableText(ACanvas, APaintRect, AText, APercent, false, background);
}

void TBarChartStretchBitmapPainter::DrawSelectedBar(
    TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    TBasicBarChartBitmapPainter::DrawSelectedBar(ACanvas, APaintRect, AText, APercent);
}

int TBarChartStretchBitmapPainter::TextSplit(const TRect &ABar) const
{
    return Add(ABar.Right, 1);
}

TBarChartClippingBitmapPainter::TBarChartClippingBitmapPainter(std::string_view AResourceName)
    : TBasicBarChartBitmapPainter(AResourceName)
{
    FTextColorOnBitmap = clWhite;
}

TRect TBarChartClippingBitmapPainter::SourceRect(double APercent) const
{
    return {0, 0, Trunc(APercent * FBitmap->Width()), FBitmap->Height()};
}

void TBarChartClippingBitmapPainter::DrawBar(
    TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    const TColor background = ACanvas.BrushColor();
    const TRect bar = GetBarRect(APaintRect, APercent);
    const TRect source = SourceRect(APercent);
    // Smoothing applies to this copy only; later nine-slice drawing stays crisp.
    const TStretchMode stretchMode = ACanvas.StretchMode();
    ACanvas.SetStretchMode(TStretchMode::Halftone);
    ACanvas.SetBrushOrigin({0, 0});
    ACanvas.StretchBlt(bar, *FBitmap, source, TCopyMode::SrcCopy);
    ACanvas.SetStretchMode(stretchMode);
    DrawReadableText(ACanvas, APaintRect, AText, APercent, false, background);
}
