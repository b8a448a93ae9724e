#include "paint/Scale9.h"

#include <stdexcept>

#include "paint/Checked.h"

using namespace paint_checked;

void TScaleGrid::SetGrid(int ALeft, int ATop, int ARight, int ABottom)
{
    if (ALeft < 0 || ATop < 0 || ARight < 0 || ABottom < 0) {
        throw std::range_error("Range check error: negative scale grid margin");
    }
    FLeft = ALeft;
    FTop = ATop;
    FRight = ARight;
    FBottom = ABottom;
}

void TScaleGrid::SetMargin(TMarginSize &AField, int AValue)
{
    if (AValue < 0) {
        throw std::range_error("Range check error: negative scale grid margin");
    }
    if (AField != AValue) {
        AField = AValue;
        Change();
    }
}

void TScaleGrid::Change()
{
    if (OnChange) {
        OnChange();
    }
}

void TScale9Resource::Assign(const TScale9Resource &ASource)
{
    FPicture = ASource.FPicture;
    FGrid.Assign(ASource.FGrid);
}

TScale9Image::TScale9Image()
{
    FResource.ScaleGrid().OnChange = [this] { Invalidate(); };
}

void TScale9Image::SetResource(const TScale9Resource &AResource)
{
    FResource.Assign(AResource);
    Invalidate();
}

void TScale9Image::Invalidate()
{
    if (OnRepaint && !FDrawing) {
        OnRepaint();
    }
}

void TScale9Image::SliceBitmaps()
{
    const QImage &picture = FResource.Picture();
    if (picture.isNull()) {
        return;
    }
    const int W = picture.width();
    const int H = picture.height();
    const TScaleGrid &g = FResource.ScaleGrid();
    const int l = g.Left();
    const int t = g.Top();
    const int r = g.Right();
    const int b = g.Bottom();
    TBitmap temp(W, H);
    temp.Canvas().Draw(0, 0, TBitmap(picture));
    const int cw = Sub(Sub(W, l), r);
    const int ch = Sub(Sub(H, t), b);
    const int wr = Sub(W, r);
    const int hb = Sub(H, b);
    const struct
    {
        int Width, Height;
        TRect Source;
    } pieces[9] = {
        {l, t, {0, 0, l, t}},
        {cw, t, {l, 0, wr, t}},
        {r, t, {wr, 0, W, t}},
        {l, ch, {0, t, l, hb}},
        {cw, ch, {l, t, wr, hb}},
        {r, ch, {wr, t, W, hb}},
        {l, b, {0, hb, l, H}},
        {cw, b, {l, hb, wr, H}},
        {r, b, {wr, hb, W, H}},
    };
    for (int i = 0; i < 9; ++i) {
        FSlices[i].reset();
        auto slice = std::make_unique<TS9Bitmap>(pieces[i].Width, pieces[i].Height);
        if (!slice->Empty()) {
            slice->Canvas().CopyRect({0, 0, slice->Width(), slice->Height()}, temp, pieces[i].Source);
        }
        FSlices[i] = std::move(slice);
    }
}

void TScale9Image::Draw(TCanvas &ACanvas, const TRect &R)
{
    SliceBitmaps();
    const TScaleGrid &g = FResource.ScaleGrid();
    const int l = g.Left();
    const int t = g.Top();
    const int r = g.Right();
    const int b = g.Bottom();
    auto stretch = [&](TSlice slice, const TRect &dest) {
        if (FSlices[slice] && dest.Right > dest.Left && dest.Bottom > dest.Top) {
            ACanvas.StretchDraw(dest, *FSlices[slice]);
        }
    };
    auto draw = [&](TSlice slice, int x, int y) {
        if (FSlices[slice]) {
            ACanvas.Draw(x, y, *FSlices[slice]);
        }
    };
    // Unscaled corners of a target lower than the margins would reach past it.
    TCanvasStateSaver saved(ACanvas);
    ACanvas.IntersectClipRect(R);
    const int top = Add(R.Top, t);
    const int bottom = Sub(R.Bottom, b);
    if (Sub(R.Right, R.Left) < Add(l, r)) {
        stretch(Top, {R.Left, R.Top, R.Right, top});
        stretch(Central, {R.Left, top, R.Right, bottom});
        stretch(Bottom, {R.Left, bottom, R.Right, R.Bottom});
        return;
    }
    const int left = Add(R.Left, l);
    const int right = Sub(R.Right, r);
    stretch(Top, {left, R.Top, right, top});
    stretch(Central, {left, top, right, bottom});
    stretch(Bottom, {left, bottom, right, R.Bottom});
    draw(TopLeft, R.Left, R.Top);
    stretch(Left, {R.Left, top, left, bottom});
    draw(BottomLeft, R.Left, bottom);
    draw(TopRight, right, R.Top);
    stretch(Right, {right, top, R.Right, bottom});
    draw(BottomRight, right, bottom);
}

void TScale9Image::Paint(TCanvas &ACanvas, int AWidth, int AHeight)
{
    struct TDrawingFlag
    {
        bool &Flag;
        bool Old;
        ~TDrawingFlag() { Flag = Old; }
    } guard {FDrawing, FDrawing};
    FDrawing = true;
    Draw(ACanvas, {0, 0, AWidth, AHeight});
}
