#include "paint/Skins.h"

#include "common/Translate.h"

std::string TSkinCairoHelix::PainterName()
{
    return _("Cairo Helix");
}

std::string TSkinCrystal::PainterName()
{
    return _("Crystal");
}

std::string TSkinBluePlastic::PainterName()
{
    return _("Blue Plastic");
}

std::string TSkinChromeRed::PainterName()
{
    return _("Chrome Red");
}

std::string TSkinGreenGlass::PainterName()
{
    return _("Green Glass");
}

std::string TSkinBlackIce::PainterName()
{
    return _("Black Ice");
}

std::string TSkinTrueBlue::PainterName()
{
    return _("True Blue");
}

std::string TSkinBronceAge::PainterName()
{
    return _("Bronze Age");
}

std::string TSkinSpectrum::PainterName()
{
    return _("Spectrum");
}

void TSkinSpectrum::DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    TBarChartClippingBitmapPainter::DrawBar(ACanvas, APaintRect, AText, APercent);
    ACanvas.SetBrushColor(0x555555);
    ACanvas.FrameRect(GetBarRect(APaintRect, APercent));
}

void TSkinSpectrum::DrawSelectedBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent)
{
    TBarChartClippingBitmapPainter::DrawSelectedBar(ACanvas, APaintRect, AText, APercent);
}
