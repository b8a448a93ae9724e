#pragma once

#include <functional>
#include <memory>

#include <QImage>

#include "common/Rect.h"
#include "paint/Canvas.h"

// A non-negative margin in pixels.
using TMarginSize = int;

// The four margins along which a nine-slice picture is cut; each 3 after creation.
// Setting a property to a new value fires OnChange; SetGrid does not. Negative values throw
// std::range_error.
class TScaleGrid
{
public:
    TScaleGrid() = default;
    virtual ~TScaleGrid() = default;
    TScaleGrid(const TScaleGrid &) = delete;
    TScaleGrid &operator=(const TScaleGrid &) = delete;

    void Assign(const TScaleGrid &ASource) { SetGrid(ASource.FLeft, ASource.FTop, ASource.FRight, ASource.FBottom); }
    void SetGrid(int ALeft, int ATop, int ARight, int ABottom);

    [[nodiscard]] TMarginSize Left() const { return FLeft; }
    [[nodiscard]] TMarginSize Top() const { return FTop; }
    [[nodiscard]] TMarginSize Right() const { return FRight; }
    [[nodiscard]] TMarginSize Bottom() const { return FBottom; }
    void SetLeft(int AValue) { SetMargin(FLeft, AValue); }
    void SetTop(int AValue) { SetMargin(FTop, AValue); }
    void SetRight(int AValue) { SetMargin(FRight, AValue); }
    void SetBottom(int AValue) { SetMargin(FBottom, AValue); }

    std::function<void()> OnChange;

protected:
    virtual void Change();

private:
    void SetMargin(TMarginSize &AField, int AValue);

    TMarginSize FRight = 3;
    TMarginSize FBottom = 3;
    TMarginSize FTop = 3;
    TMarginSize FLeft = 3;
};

// A picture paired with the grid that cuts it.
class TScale9Resource
{
public:
    TScale9Resource() = default;
    TScale9Resource(const TScale9Resource &) = delete;
    TScale9Resource &operator=(const TScale9Resource &) = delete;

    // Copies the picture and the four margins (without a change notification).
    void Assign(const TScale9Resource &ASource);

    [[nodiscard]] const QImage &Picture() const { return FPicture; }
    void SetPicture(const QImage &APicture) { FPicture = APicture; }
    [[nodiscard]] TScaleGrid &ScaleGrid() { return FGrid; }
    [[nodiscard]] const TScaleGrid &ScaleGrid() const { return FGrid; }

private:
    QImage FPicture;
    TScaleGrid FGrid;
};

// One slice of a nine-slice image, sized at construction (negative sizes count as 0).
class TS9Bitmap : public TBitmap
{
public:
    TS9Bitmap(int AWidth, int AHeight)
        : TBitmap(AWidth, AHeight)
    { }
};

// A picture drawn nine-sliced: corners unscaled at the target's corners, edges and centre
// stretched, so the frame keeps its thickness at every size. A target narrower than the
// left plus right margins gets only the top, centre and bottom bands stretched over its whole
// width. Bands whose height would be negative (targets lower than top plus bottom margin)
// are left out, and nothing is drawn outside the target. Draw honours the canvas's copy mode, so a selected bar can XOR
// it.
class TScale9Image
{
public:
    TScale9Image();
    TScale9Image(const TScale9Image &) = delete;
    TScale9Image &operator=(const TScale9Image &) = delete;

    [[nodiscard]] TScale9Resource &Resource() { return FResource; }
    // Copies `AResource` and asks for a repaint.
    void SetResource(const TScale9Resource &AResource);

    // Draws the picture nine-sliced into R of the canvas (slicing it first).
    void Draw(TCanvas &ACanvas, const TRect &R);
    // Paints the image as a control into its client area (0, 0, AWidth, AHeight).
    void Paint(TCanvas &ACanvas, int AWidth, int AHeight);
    [[nodiscard]] bool Drawing() const { return FDrawing; }

    // Called when the image needs repainting (the grid or the resource changed).
    std::function<void()> OnRepaint;

    // The slices of the latest Draw, for inspection; null until the first slicing.
    enum TSlice { TopLeft, Top, TopRight, Left, Central, Right, BottomLeft, Bottom, BottomRight };
    [[nodiscard]] const TBitmap *Slice(TSlice ASlice) const { return FSlices[ASlice].get(); }

private:
    void SliceBitmaps();
    void Invalidate();

    std::unique_ptr<TS9Bitmap> FSlices[9];
    bool FDrawing = false;
    TScale9Resource FResource;
};
