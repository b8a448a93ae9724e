#pragma once

#include <memory>
#include <vector>

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "common/Rect.h"
#include "paint/Color.h"

class QPaintDevice;
class QPainter;
class TBitmap;

enum class TBrushStyle { Solid, Clear };

// How images are combined with what is already on the surface (GDI raster operation codes).
enum class TCopyMode : std::uint32_t {
    SrcCopy = 0x00CC0020,
    SrcInvert = 0x00660046, // source XOR destination
};

// How stretched copies pick their pixels: nearest pixel, or smoothed (halftone).
enum class TStretchMode { ColorOnColor, Halftone };

// Flags of TCanvas::DrawText.
enum TDrawTextFlag : unsigned {
    dtLeft = 0x0,
    dtCenter = 0x1,
    dtVCenter = 0x4,
    dtSingleLine = 0x20,
};

// A QRect covering the same pixels as `r`; an empty or inverted TRect gives an empty QRect.
// Throws std::overflow_error when the width or height does not fit an int.
[[nodiscard]] QRect ToQRect(const TRect &r);
[[nodiscard]] TRect ToTRect(const QRect &r);

// A GDI-style drawing surface over a QPainter.
//
// The canvas keeps its own brush, pen, font colour, copy mode and stretch mode and applies
// them to every operation, so the painters get the pixel coverage they rely on:
// - Rectangle, FillRect, FrameRect cover exactly Left <= x < Right, Top <= y < Bottom and are
//   never antialiased; Rectangle's outline is the outermost pen-width ring of pixels.
// - MoveTo/LineTo draw in the pen colour and leave out the end point.
// - TextOut/TextRect place the top-left corner of the text cell at (x, y); TextRect and
//   DrawText clip the text to their rectangle. A solid brush paints the text background, a
//   clear brush leaves it. Text ignores the copy mode.
// - Draw, StretchDraw and CopyRect use the copy mode (SrcInvert is QPainter's raster
//   operation source XOR destination, which needs a raster surface such as QImage or a
//   widget's backing store); StretchBlt takes its raster operation as an argument.
//
// A canvas made over a caller's painter saves that painter's state and restores it when the
// canvas is destroyed, so a borrowed painter comes back unchanged.
class TCanvas
{
public:
    explicit TCanvas(QPainter &painter);
    ~TCanvas();
    TCanvas(const TCanvas &) = delete;
    TCanvas &operator=(const TCanvas &) = delete;

    [[nodiscard]] QPainter &Painter() { return FPainter; }

    // Setting a colour makes a clear brush solid again, as the painters expect after text.
    void SetBrushColor(TColor color)
    {
        FState.BrushColor = color;
        FState.BrushStyle = TBrushStyle::Solid;
    }
    [[nodiscard]] TColor BrushColor() const { return FState.BrushColor; }
    void SetBrushStyle(TBrushStyle style) { FState.BrushStyle = style; }
    [[nodiscard]] TBrushStyle BrushStyle() const { return FState.BrushStyle; }
    void SetBrushOrigin(QPoint origin) { FState.BrushOrigin = origin; }
    void SetPenColor(TColor color) { FState.PenColor = color; }
    [[nodiscard]] TColor PenColor() const { return FState.PenColor; }
    void SetPenWidth(int width) { FState.PenWidth = width; }
    [[nodiscard]] int PenWidth() const { return FState.PenWidth; }
    void SetFont(const QFont &font) { FState.Font = font; }
    [[nodiscard]] const QFont &Font() const { return FState.Font; }
    void SetFontColor(TColor color) { FState.FontColor = color; }
    [[nodiscard]] TColor FontColor() const { return FState.FontColor; }
    void SetCopyMode(TCopyMode mode) { FState.CopyMode = mode; }
    [[nodiscard]] TCopyMode CopyMode() const { return FState.CopyMode; }
    void SetStretchMode(TStretchMode mode) { FState.StretchMode = mode; }
    [[nodiscard]] TStretchMode StretchMode() const { return FState.StretchMode; }

    void Rectangle(const TRect &r);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void FillRect(const TRect &r);
    void FrameRect(const TRect &r);

    // Width of `text` and the height of the font's text cell (ascent + descent).
    [[nodiscard]] QSize TextExtent(const QString &text) const;
    void TextOut(int x, int y, const QString &text);
    void TextRect(const TRect &r, int x, int y, const QString &text);
    // One line of text in `r`, left/top aligned unless dtCenter/dtVCenter, clipped to `r`.
    void DrawText(const TRect &r, const QString &text, unsigned flags);

    // `source`'s rectangle `sourceRect` stretched onto `dest` under the copy and stretch mode.
    void CopyRect(const TRect &dest, const TBitmap &source, const TRect &sourceRect);
    // `bitmap` unscaled with its top-left corner at (x, y), under the copy mode.
    void Draw(int x, int y, const TBitmap &bitmap);
    // All of `bitmap` stretched onto `dest` under the copy and stretch mode.
    void StretchDraw(const TRect &dest, const TBitmap &bitmap);
    // `sourceRect` of `source` stretched onto `dest` with raster operation `rop` (whatever
    // the copy mode) under the stretch mode.
    void StretchBlt(const TRect &dest, const TBitmap &source, const TRect &sourceRect, TCopyMode rop);

    // Restricts all further drawing to `r` (within the current clipping) until the state is
    // restored.
    void IntersectClipRect(const TRect &r);

    // Saves the whole state (brush, pen, font, modes, clipping); RestoreState brings back the
    // latest saved one. Prefer TCanvasStateSaver.
    void SaveState();
    void RestoreState();

private:
    struct TState
    {
        TColor BrushColor = clWindow; // what lies beneath: the base colour of the palette
        TBrushStyle BrushStyle = TBrushStyle::Solid;
        QPoint BrushOrigin;
        TColor PenColor = clBlack;
        int PenWidth = 1;
        QPoint PenPos;
        QFont Font;
        TColor FontColor = clWindowText;
        TCopyMode CopyMode = TCopyMode::SrcCopy;
        TStretchMode StretchMode = TStretchMode::ColorOnColor;
    };

    void FillPixels(const QRect &r, TColor color);
    void DrawTextAt(int x, int y, const QString &text, const QRect *clip);
    void DrawImage(const QRect &dest, const QImage &image, TCopyMode mode);

    QPainter &FPainter;
    TState FState;
    std::vector<TState> FSaved;
};

// Saves a canvas's state on construction and restores it on destruction, also when an
// exception leaves the scope.
class TCanvasStateSaver
{
public:
    explicit TCanvasStateSaver(TCanvas &canvas)
        : FCanvas(canvas)
    {
        FCanvas.SaveState();
    }
    ~TCanvasStateSaver() { FCanvas.RestoreState(); }
    TCanvasStateSaver(const TCanvasStateSaver &) = delete;
    TCanvasStateSaver &operator=(const TCanvasStateSaver &) = delete;

private:
    TCanvas &FCanvas;
};

// An off-screen 24-bit bitmap (QImage::Format_RGB32) with its own canvas. A new bitmap is
// black. Neither copyable nor movable: its canvas paints into its own image.
class TBitmap
{
public:
    TBitmap() = default;
    TBitmap(int width, int height);
    explicit TBitmap(const QImage &image);
    virtual ~TBitmap();
    TBitmap(const TBitmap &) = delete;
    TBitmap &operator=(const TBitmap &) = delete;

    [[nodiscard]] int Width() const { return FImage.width(); }
    [[nodiscard]] int Height() const { return FImage.height(); }
    [[nodiscard]] bool Empty() const { return FImage.isNull(); }
    // Reallocates the bitmap (black); negative sizes count as 0.
    void SetSize(int width, int height);
    // Replaces the content with a copy of `image` converted to 24-bit colour.
    void Assign(const QImage &image);
    // Gives this bitmap (also after SetSize) the logical resolution of `device`, so text in
    // point-sized fonts comes out as large as on that device.
    void MatchResolution(const QPaintDevice *device);

    // The canvas painting into this bitmap, made on first use. Must not be called on an empty
    // bitmap (throws std::logic_error).
    [[nodiscard]] TCanvas &Canvas();
    // The pixels, current also while the canvas is in use.
    [[nodiscard]] const QImage &Image() const { return FImage; }

private:
    void EndCanvas();
    void ApplyResolution();

    QImage FImage;
    int FDotsPerMeterX = 0; // 0: the QImage default
    int FDotsPerMeterY = 0;
    std::unique_ptr<QPainter> FPainter;
    std::unique_ptr<TCanvas> FCanvas;
};
