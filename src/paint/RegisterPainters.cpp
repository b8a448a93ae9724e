#include "paint/RegisterPainters.h"

#include "paint/Skins.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "paint/ZumbrelBarChartPainter.h"

void RegisterBarChartPainters()
{
    static const bool registered = [] {
        TZuBarChartPainterRegistry &registry = TZuBarChartPainterRegistry::GetInstance();
        registry.AddToRegistry(PainterClassOf<TZumbrelBarChartPainter>());
        registry.AddToRegistry(PainterClassOf<TSkinCairoHelix>());
        registry.AddToRegistry(PainterClassOf<TSkinCrystal>());
        registry.AddToRegistry(PainterClassOf<TSkinBluePlastic>());
        registry.AddToRegistry(PainterClassOf<TSkinChromeRed>());
        registry.AddToRegistry(PainterClassOf<TSkinGreenGlass>());
        registry.AddToRegistry(PainterClassOf<TSkinBlackIce>());
        registry.AddToRegistry(PainterClassOf<TSkinTrueBlue>());
        registry.AddToRegistry(PainterClassOf<TSkinBronceAge>());
        registry.AddToRegistry(PainterClassOf<TSkinSpectrum>());
        return true;
    }();
    (void)registered;
}
