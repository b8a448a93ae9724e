#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <QString>

#include "common/Rect.h"
#include "paint/Canvas.h"
#include "paint/Color.h"

class TZuBarChartPainter;

// A class reference: names one concrete painter class, creates instances of it and answers
// its display name without an instance. Values point to one static record per class, so two
// references to the same class compare equal. Obtain one with PainterClassOf<T>().
struct TZuBarChartPainterClassInfo
{
    std::string_view ClassName; // "TSkinCrystal"; persisted by the settings
    std::string (*PainterName)(); // display name, translated
    std::unique_ptr<TZuBarChartPainter> (*Create)();
};
using TZuBarChartPainterClass = const TZuBarChartPainterClassInfo *;

// A percentage bar painter: draws one bar with its text into a rectangle of a canvas.
//
// How a caller draws a bar, for example from a QStyledItemDelegate::paint:
//
//     TCanvas canvas(*painter);            // borrows the painter, restores it on destruction
//     canvas.SetFont(option.font);
//     const TRect r = ToTRect(option.rect.adjusted(1, 1, -1, -1));
//     if (selected) {
//         canvas.SetBrushColor(clHighlight); // the plain painter fills its bar with it
//         barPainter.DrawSelectedBar(canvas, r, QStringLiteral("37.5 %"), 0.375);
//     } else {
//         backgroundShape->DrawBar(canvas, r, QString(), 1.0); // optional grey shape first,
//         barPainter.DrawBar(canvas, r, QStringLiteral("37.5 %"), 0.375);
//     }
//
// where barPainter comes from the chosen class (`cls->Create()`) and backgroundShape is
// TZumbrelBarChartPainter::CreateWithParams(0xD7D7D7, 0xF7F7F7) (0xC7C7C7 on the start page).
// Make painters once and keep them: the skins load their bitmap when created.
//
// `APercent` is the filled fraction (1.0 = the full width); it is not clamped, callers pass
// 0.0 to 1.0. An empty `AText` draws no text. The brush colour on the canvas at the call is
// what lies beneath the paint rectangle (the canvas starts with the window's base colour, a
// background shape leaves its fill, a selected row sets the highlight): the text is drawn in
// the painter's own colours where they read over it and over the bar, in black or white where
// they would not (a dark palette, an inverted skin). Painters change the canvas's brush, pen, font
// colour and copy mode and leave them changed; the plain painter's DrawSelectedBar fills its
// bar with the brush colour the caller set. XOR drawing of the selected skins needs a raster
// surface (QImage, or a widget's raster backing store).
//
// Painters hold no canvas between calls and are used from the user-interface thread only.
// Coordinate arithmetic that overflows throws std::overflow_error.
class TZuBarChartPainter
{
public:
    TZuBarChartPainter() = default;
    virtual ~TZuBarChartPainter() = default;
    TZuBarChartPainter(const TZuBarChartPainter &) = delete;
    TZuBarChartPainter &operator=(const TZuBarChartPainter &) = delete;

    virtual void DrawBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) = 0;
    virtual void DrawSelectedBar(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText, double APercent) = 0;

    // The text colour of selected bars: window text (the system is newer than the Windows 5
    // family in every sense that matters here; highlight text would vanish on the bar).
    [[nodiscard]] static TColor SelectedTextColor() { return clWindowText; }

    // The rectangle the bar covers: APaintRect with Right = Left + the paint width times
    // APercent, rounded to nearest with exact halves to the even neighbour.
    [[nodiscard]] static TRect BarRect(const TRect &APaintRect, double APercent);

protected:
    struct TTextColors
    {
        TColor OnBar;
        TColor OnBackground;
    };
    // The colours for AText centred on APaintRect, left of column ASplit + 1 (over the bar) and
    // right of it: APreferred where it reads, black or white where it would not, judged by the
    // pixels the text covers when the bar is drawn without text over ABackground.
    [[nodiscard]] TTextColors ReadableTextColors(TCanvas &ACanvas, const TRect &APaintRect, const QString &AText,
        double APercent, bool ASelected, TColor ABackground, int ASplit, TTextColors APreferred);
};

// The class reference of painter class T, which must offer `static constexpr std::string_view
// ClassName` and `static std::string PainterName()` and be default-constructible.
template <class T> [[nodiscard]] TZuBarChartPainterClass PainterClassOf()
{
    static const TZuBarChartPainterClassInfo info {
        T::ClassName, &T::PainterName, []() -> std::unique_ptr<TZuBarChartPainter> { return std::make_unique<T>(); }};
    return &info;
}
