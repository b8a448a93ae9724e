#pragma once

#include <memory>
#include <string_view>

#include "paint/Scale9.h"
#include "paint/ZuBarChartPainter.h"

// Base of the skins: a painter that draws its bar from a bitmap resource loaded once, at
// construction (EResNotFound when the resource is missing or unreadable).
class TBasicBarChartBitmapPainter : public TZuBarChartPainter
{
public:
    // White fill of the bar, then the bar without text under the copy mode source XOR
    // destination: every bitmap lands inverted. The copy mode is back to source copy
    // afterwards, also when drawing fails. The text follows in SelectedTextColor where it reads
    // over the inverted bar and the highlight, in black or white where it would not.
    void DrawSelectedBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;

    [[nodiscard]] virtual std::string_view GetBitmapResourceName() const = 0;
    [[nodiscard]] const TBitmap &Bitmap() const { return *FBitmap; }

protected:
    explicit TBasicBarChartBitmapPainter(std::string_view AResourceName);

    [[nodiscard]] virtual TRect GetBarRect(const TRect &APaintRect, double APercent) const;
    virtual void DrawCenteredText(TCanvas &ACanvas, const TRect &ARect, TColor AColor, const QString &AText) const;
    // The last column of the text drawn in the colour over the bar.
    [[nodiscard]] virtual int TextSplit(const TRect &ABar) const;
    // AText centred on APaintRect: in the painter's colours (FTextColorOnBitmap over the bar,
    // FTextColorOnBackground beside it; SelectedTextColor when selected) where they read over
    // what lies beneath, in black or white where they would not. ABackground is the colour
    // beside the bar.
    void DrawReadableText(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent,
        bool ASelected, TColor ABackground);

    std::unique_ptr<TBitmap> FBitmap;
    TColor FTextColorOnBitmap = clWindowText;
    TColor FTextColorOnBackground = clWindowText;
};

// The bitmap repeated along the bar (the last tile cut off), stretched to the bar's height.
class TBarChartRepeatBitmapPainter : public TBasicBarChartBitmapPainter
{
public:
    void DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;
    void DrawSelectedBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;

protected:
    explicit TBarChartRepeatBitmapPainter(std::string_view AResourceName);
};

// The bitmap stretched over the bar as a nine-slice image with a 2-pixel frame.
class TBarChartStretchBitmapPainter : public TBasicBarChartBitmapPainter
{
public:
    void DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;
    void DrawSelectedBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;

protected:
    explicit TBarChartStretchBitmapPainter(std::string_view AResourceName);
    [[nodiscard]] int TextSplit(const TRect &ABar) const override;

    std::unique_ptr<TScale9Image> FScale9Image;
};

// The leading APercent of a wide bitmap squeezed (smoothed) into the bar; the text in white over
// the bar where that reads, in black where the colours beneath are light.
class TBarChartClippingBitmapPainter : public TBasicBarChartBitmapPainter
{
public:
    void DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;

    // The part of the bitmap shown at APercent: (0, 0, trunc(APercent x width), height).
    // std::range_error when the width does not fit 32 bits.
    [[nodiscard]] TRect SourceRect(double APercent) const;

protected:
    explicit TBarChartClippingBitmapPainter(std::string_view AResourceName);
};

// Text centred on P (the two terms halved together), the part left of column ASplit + 1 in
// ABarColor and the rest in ABackColor.
void DrawSplitText(
    TCanvas &ACanvas, const TRect &P, const QString &AText, TColor ABackColor, TColor ABarColor, int ASplit);

// Text centred on P, XOR-ed onto the surface: AColor on white, the inverse of what lies
// beneath elsewhere. The canvas state is restored afterwards.
void DrawXorText(TCanvas &ACanvas, const TRect &P, const QString &AText, TColor AColor);
