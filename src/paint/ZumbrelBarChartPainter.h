#pragma once

#include "paint/ZuBarChartPainter.h"

// The plain bar: a solid rectangle with a one-pixel border and the text centred on the whole
// paint rectangle. Also draws the grey background shapes behind bars (CreateWithParams).
class TZumbrelBarChartPainter : public TZuBarChartPainter
{
public:
    static constexpr std::string_view ClassName = "TZumbrelBarChartPainter";
    [[nodiscard]] static std::string PainterName();

    TZumbrelBarChartPainter() = default;
    [[nodiscard]] static std::unique_ptr<TZumbrelBarChartPainter> CreateWithParams(
        TColor ABorderColor, TColor AFillColor);

    void DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;
    // The bar outlined in highlight text and filled with the brush the caller left on the
    // canvas; the text in SelectedTextColor.
    void DrawSelectedBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) override;

    [[nodiscard]] TColor BorderColor() const { return FBorderColor; }
    [[nodiscard]] TColor FillColor() const { return FFillColor; }

private:
    void DrawBarRect(TCanvas &ACanvas, const TRect &ABarRect) const;
    // AText in black (SelectedTextColor when selected) where that reads over the bar and
    // ABackground, otherwise in black or white, each side of the bar's end as it reads there.
    void DrawBarText(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent, bool ASelected,
        TColor ABackground);

    TColor FBorderColor = 0xE07603;
    TColor FFillColor = 0xFE9234;
};
