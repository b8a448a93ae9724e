#pragma once

#include "paint/BitmapPainters.h"

// The nine skins. Class names are persisted by the settings and must not change.

class TSkinCairoHelix : public TBarChartRepeatBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinCairoHelix";
    static constexpr std::string_view ResourceName = "RES_CHARTBAR_SKIN_CAIRO";
    [[nodiscard]] static std::string PainterName();

    TSkinCairoHelix()
        : TBarChartRepeatBitmapPainter(ResourceName)
    {
        FTextColorOnBitmap = clWhite;
    }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinCrystal : public TBarChartStretchBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinCrystal";
    static constexpr std::string_view ResourceName = "RES_SKIN_Crystal";
    [[nodiscard]] static std::string PainterName();

    TSkinCrystal()
        : TBarChartStretchBitmapPainter(ResourceName)
    { }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinBluePlastic : public TBarChartStretchBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinBluePlastic";
    static constexpr std::string_view ResourceName = "RES_SKIN_BluePlastic";
    [[nodiscard]] static std::string PainterName();

    TSkinBluePlastic()
        : TBarChartStretchBitmapPainter(ResourceName)
    {
        FTextColorOnBitmap = clWhite;
    }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinChromeRed : public TBarChartStretchBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinChromeRed";
    static constexpr std::string_view ResourceName = "RES_SKIN_RedGlass";
    [[nodiscard]] static std::string PainterName();

    TSkinChromeRed()
        : TBarChartStretchBitmapPainter(ResourceName)
    {
        FTextColorOnBitmap = clWhite;
    }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinGreenGlass : public TBarChartStretchBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinGreenGlass";
    static constexpr std::string_view ResourceName = "RES_SKIN_GreenGlass";
    [[nodiscard]] static std::string PainterName();

    TSkinGreenGlass()
        : TBarChartStretchBitmapPainter(ResourceName)
    {
        FTextColorOnBitmap = clBlack;
    }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinBlackIce : public TBarChartStretchBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinBlackIce";
    static constexpr std::string_view ResourceName = "RES_SKIN_BlackIce";
    [[nodiscard]] static std::string PainterName();

    TSkinBlackIce()
        : TBarChartStretchBitmapPainter(ResourceName)
    {
        FTextColorOnBitmap = clWhite;
    }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinTrueBlue : public TBarChartStretchBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinTrueBlue";
    static constexpr std::string_view ResourceName = "RES_SKIN_BlueChip";
    [[nodiscard]] static std::string PainterName();

    TSkinTrueBlue()
        : TBarChartStretchBitmapPainter(ResourceName)
    {
        FTextColorOnBitmap = clWhite;
    }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinBronceAge : public TBarChartStretchBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinBronceAge";
    static constexpr std::string_view ResourceName = "RES_SKIN_BrownBrick";
    [[nodiscard]] static std::string PainterName();

    TSkinBronceAge()
        : TBarChartStretchBitmapPainter(ResourceName)
    {
        FTextColorOnBitmap = clWhite;
    }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
};

class TSkinSpectrum : public TBarChartClippingBitmapPainter
{
public:
    static constexpr std::string_view ClassName = "TSkinSpectrum";
    static constexpr std::string_view ResourceName = "RES_SKIN_Spectrum";
    [[nodiscard]] static std::string PainterName();

    TSkinSpectrum()
        : TBarChartClippingBitmapPainter(ResourceName)
    { }
    [[nodiscard]] std::string_view GetBitmapResourceName() const override { return ResourceName; }
    // The clipping bar framed in dark grey after its text.
    void DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;
    // The bar in its own colours (the copy is opaque), its frame inverted, the text in
    // SelectedTextColor where it reads.
    void DrawSelectedBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;
};

// The painter used when no painter class is stored or the stored one is unknown: looks and is
// named like "Cairo Helix" but has a class name of its own and is not registered.
class TDefaultBarChartPainter : public TSkinCairoHelix
{
public:
    static constexpr std::string_view ClassName = "TDefaultBarChartPainter";
};
