#include "paint/Canvas.h"

#include <cstdlib>
#include <stdexcept>

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>

#include "paint/Checked.h"

using namespace paint_checked;

QRect ToQRect(const TRect &r)
{
    const int w = Sub(r.Right, r.Left);
    const int h = Sub(r.Bottom, r.Top);
    if (w <= 0 || h <= 0) {
        return {};
    }
    return {r.Left, r.Top, w, h};
}

TRect ToTRect(const QRect &r)
{
    return {r.left(), r.top(), Add(r.left(), r.width()), Add(r.top(), r.height())};
}

TCanvas::TCanvas(QPainter &painter)
    : FPainter(painter)
{
    FPainter.save();
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FState.Font = FPainter.font();
}

TCanvas::~TCanvas()
{
    while (!FSaved.empty()) {
        RestoreState();
    }
    FPainter.restore();
}

void TCanvas::SaveState()
{
    FSaved.push_back(FState);
    FPainter.save();
}

void TCanvas::RestoreState()
{
    if (FSaved.empty()) {
        return;
    }
    FState = FSaved.back();
    FSaved.pop_back();
    FPainter.restore();
}

void TCanvas::IntersectClipRect(const TRect &r)
{
    FPainter.setClipRect(ToQRect(r), Qt::IntersectClip);
}

void TCanvas::FillPixels(const QRect &r, TColor color)
{
    if (r.isEmpty()) {
        return;
    }
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter.fillRect(r, ToQColor(color));
}

void TCanvas::Rectangle(const TRect &r)
{
    const QRect q = ToQRect(r);
    if (q.isEmpty()) {
        return;
    }
    const int pw = std::max(FState.PenWidth, 1);
    if (FState.BrushStyle == TBrushStyle::Solid) {
        FillPixels(q.adjusted(pw, pw, -pw, -pw), FState.BrushColor);
    }
    // The ring, each band clipped to the rectangle so narrow rectangles stay inside it.
    FillPixels(QRect(q.left(), q.top(), q.width(), pw) & q, FState.PenColor);
    FillPixels(QRect(q.left(), q.bottom() - pw + 1, q.width(), pw) & q, FState.PenColor);
    FillPixels(QRect(q.left(), q.top(), pw, q.height()) & q, FState.PenColor);
    FillPixels(QRect(q.right() - pw + 1, q.top(), pw, q.height()) & q, FState.PenColor);
}

void TCanvas::MoveTo(int x, int y)
{
    FState.PenPos = {x, y};
}

void TCanvas::LineTo(int x, int y)
{
    const int pw = std::max(FState.PenWidth, 1);
    const QPoint from = FState.PenPos;
    FState.PenPos = {x, y};
    const long dx = std::labs(static_cast<long>(x) - from.x());
    const long dy = -std::labs(static_cast<long>(y) - from.y());
    if (from.x() == x && from.y() != y) {
        const int top = std::min(from.y(), y) + (y < from.y() ? 1 : 0);
        FillPixels(QRect(x, top, pw, static_cast<int>(-dy)), FState.PenColor);
        return;
    }
    if (from.y() == y && from.x() != x) {
        const int left = std::min(from.x(), x) + (x < from.x() ? 1 : 0);
        FillPixels(QRect(left, y, static_cast<int>(dx), pw), FState.PenColor);
        return;
    }
    // Bresenham; the end point is left out as GDI does.
    const int sx = from.x() < x ? 1 : -1;
    const int sy = from.y() < y ? 1 : -1;
    long err = dx + dy;
    long px = from.x();
    long py = from.y();
    while (px != x || py != y) {
        FillPixels(QRect(static_cast<int>(px), static_cast<int>(py), pw, pw), FState.PenColor);
        const long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            px += sx;
        }
        if (e2 <= dx) {
            err += dx;
            py += sy;
        }
    }
}

void TCanvas::FillRect(const TRect &r)
{
    if (FState.BrushStyle == TBrushStyle::Solid) {
        FillPixels(ToQRect(r), FState.BrushColor);
    }
}

void TCanvas::FrameRect(const TRect &r)
{
    const QRect q = ToQRect(r);
    if (q.isEmpty() || FState.BrushStyle != TBrushStyle::Solid) {
        return;
    }
    FillPixels(QRect(q.left(), q.top(), q.width(), 1), FState.BrushColor);
    FillPixels(QRect(q.left(), q.bottom(), q.width(), 1), FState.BrushColor);
    FillPixels(QRect(q.left(), q.top(), 1, q.height()), FState.BrushColor);
    FillPixels(QRect(q.right(), q.top(), 1, q.height()), FState.BrushColor);
}

QSize TCanvas::TextExtent(const QString &text) const
{
    const QFontMetrics fm(FState.Font, FPainter.device());
    return {fm.horizontalAdvance(text), fm.height()};
}

void TCanvas::DrawTextAt(int x, int y, const QString &text, const QRect *clip)
{
    if (text.isEmpty()) {
        return;
    }
    FPainter.save();
    if (clip) {
        FPainter.setClipRect(*clip, Qt::IntersectClip);
    }
    const QFontMetrics fm(FState.Font, FPainter.device());
    if (FState.BrushStyle == TBrushStyle::Solid) {
        FillPixels(QRect(x, y, fm.horizontalAdvance(text), fm.height()), FState.BrushColor);
    }
    FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter.setFont(FState.Font);
    FPainter.setPen(ToQColor(FState.FontColor));
    FPainter.drawText(QPoint(x, Add(y, fm.ascent())), text);
    FPainter.restore();
}

void TCanvas::TextOut(int x, int y, const QString &text)
{
    DrawTextAt(x, y, text, nullptr);
}

void TCanvas::TextRect(const TRect &r, int x, int y, const QString &text)
{
    const QRect clip = ToQRect(r);
    if (clip.isEmpty()) {
        return;
    }
    if (FState.BrushStyle == TBrushStyle::Solid) {
        FillPixels(clip, FState.BrushColor);
    }
    DrawTextAt(x, y, text, &clip);
}

void TCanvas::DrawText(const TRect &r, const QString &text, unsigned flags)
{
    const QRect clip = ToQRect(r);
    if (clip.isEmpty()) {
        return;
    }
    const QSize extent = TextExtent(text);
    int x = r.Left;
    int y = r.Top;
    if (flags & dtCenter) {
        x = Add(x, Sub(r.Width(), extent.width()) / 2);
    }
    if ((flags & dtVCenter) && (flags & dtSingleLine)) {
        y = Add(y, Sub(r.Height(), extent.height()) / 2);
    }
    DrawTextAt(x, y, text, &clip);
}

void TCanvas::DrawImage(const QRect &dest, const QImage &image, TCopyMode mode)
{
    if (dest.isEmpty() || image.isNull()) {
        return;
    }
    FPainter.save();
    FPainter.setCompositionMode(
        mode == TCopyMode::SrcInvert ? QPainter::RasterOp_SourceXorDestination : QPainter::CompositionMode_SourceOver);
    FPainter.setRenderHint(QPainter::SmoothPixmapTransform, FState.StretchMode == TStretchMode::Halftone);
    FPainter.drawImage(dest, image);
    FPainter.restore();
}

void TCanvas::CopyRect(const TRect &dest, const TBitmap &source, const TRect &sourceRect)
{
    StretchBlt(dest, source, sourceRect, FState.CopyMode);
}

void TCanvas::Draw(int x, int y, const TBitmap &bitmap)
{
    DrawImage(QRect(x, y, bitmap.Width(), bitmap.Height()), bitmap.Image(), FState.CopyMode);
}

void TCanvas::StretchDraw(const TRect &dest, const TBitmap &bitmap)
{
    DrawImage(ToQRect(dest), bitmap.Image(), FState.CopyMode);
}

void TCanvas::StretchBlt(const TRect &dest, const TBitmap &source, const TRect &sourceRect, TCopyMode rop)
{
    const QRect d = ToQRect(dest);
    const QRect s = ToQRect(sourceRect);
    if (d.isEmpty() || s.isEmpty()) {
        return;
    }
    // Cut the source out first: a smoothed stretch of a sub-rectangle would otherwise blend
    // in the pixels just outside it.
    DrawImage(d, s == source.Image().rect() ? source.Image() : source.Image().copy(s), rop);
}

TBitmap::TBitmap(int width, int height)
{
    SetSize(width, height);
}

TBitmap::TBitmap(const QImage &image)
{
    Assign(image);
}

TBitmap::~TBitmap()
{
    EndCanvas();
}

void TBitmap::EndCanvas()
{
    FCanvas.reset();
    FPainter.reset();
}

void TBitmap::SetSize(int width, int height)
{
    EndCanvas();
    if (width <= 0 || height <= 0) {
        FImage = QImage();
        return;
    }
    FImage = QImage(width, height, QImage::Format_RGB32);
    if (FImage.isNull()) {
        throw std::runtime_error("Out of memory for a bitmap");
    }
    FImage.fill(Qt::black);
    ApplyResolution();
}

void TBitmap::MatchResolution(const QPaintDevice *device)
{
    if (!device) {
        return;
    }
    EndCanvas();
    FDotsPerMeterX = qRound(device->logicalDpiX() / 0.0254);
    FDotsPerMeterY = qRound(device->logicalDpiY() / 0.0254);
    ApplyResolution();
}

void TBitmap::ApplyResolution()
{
    if (!FImage.isNull() && FDotsPerMeterX > 0 && FDotsPerMeterY > 0) {
        FImage.setDotsPerMeterX(FDotsPerMeterX);
        FImage.setDotsPerMeterY(FDotsPerMeterY);
    }
}

void TBitmap::Assign(const QImage &image)
{
    EndCanvas();
    FImage = image.convertToFormat(QImage::Format_RGB32);
    ApplyResolution();
}

TCanvas &TBitmap::Canvas()
{
    if (!FCanvas) {
        if (FImage.isNull()) {
            throw std::logic_error("Canvas of an empty bitmap");
        }
        FPainter = std::make_unique<QPainter>(&FImage);
        FCanvas = std::make_unique<TCanvas>(*FPainter);
    }
    return *FCanvas;
}
