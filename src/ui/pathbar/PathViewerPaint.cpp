// Drawing of the path bar: flat elements, glossy gradients for hot and pressed ones, and the
// arrow glyphs as pixel lines.
#include <algorithm>
#include <initializer_list>

#include <QImage>
#include <QPainter>

#include "ui/pathbar/PathViewer.h"

namespace {

// Pixel lines relative to an origin: the first point is a move, every further one a line.
void PolyLine(QPainter &painter, QPoint origin, std::initializer_list<QPoint> points)
{
    const QPoint *previous = nullptr;
    for (const QPoint &p : points) {
        if (previous)
            painter.drawLine(origin + *previous, origin + p);
        previous = &p;
    }
}

int Mix(int c1, int c2, int numerator, int denominator)
{
    return denominator == 0 ? c1 : c1 + (c2 - c1) * numerator / denominator;
}

} // namespace

void TqvPathViewer::GradientFillRect(QPainter &painter, const QRect &r, const QColor &c1, const QColor &c2) const
{
    const int h = r.height() - 1;
    if (h <= 0 || r.width() <= 0)
        return;
    const int half = h / 2;
    const auto middle = [](int a, int b) { return std::clamp(a + (b - a) * 15 / 9, 0, 255); };
    const QColor m(middle(c1.red(), c2.red()), middle(c1.green(), c2.green()), middle(c1.blue(), c2.blue()));
    QImage column(1, h, QImage::Format_RGB32);
    for (int row = 0; row < h; ++row) {
        QColor c;
        if (row < half - 1)
            c = QColor(Mix(c1.red(), c2.red(), row, half), Mix(c1.green(), c2.green(), row, half),
                Mix(c1.blue(), c2.blue(), row, half));
        else
            c = QColor(
                Mix(m.red(), c2.red(), row, h), Mix(m.green(), c2.green(), row, h), Mix(m.blue(), c2.blue(), row, h));
        column.setPixel(0, row, c.rgb());
    }
    painter.drawImage(r, column);
}

void TqvPathViewer::DrawElement(
    QPainter &painter, QRect r, bool segment, bool back, TpvItemState state, const QString &text)
{
    // r is given as left, top and exclusive right, bottom: (x1, y1) - (x2 + 1, y2 + 1).
    int left = r.left();
    const int top = r.top();
    const int right = r.right() + 1;
    const int bottom = r.bottom() + 1;
    if (!segment)
        left -= 1; // the arrow overlaps the segment's right edge
    const bool highlighted = state != isNormal;
    const bool pressed = state == isButtonPressed || state == isArrowPressed;
    QColor fontColor = palette().color(QPalette::WindowText);
    QRect textRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    if (highlighted) {
        // The gradients are light in every palette, so the text on them is black.
        fontColor = Qt::black;
        const bool grey = segment && state == isArrowHot;
        QColor g1 = FColors.BtnHotGrad1;
        QColor g2 = FColors.BtnHotGrad2;
        if (grey) {
            g1 = FColors.BtnGreyGrad1;
            g2 = FColors.BtnGreyGrad2;
        } else if (!segment && state == isArrowHot) {
            g1 = FColors.BtnNormGrad1;
            g2 = FColors.BtnNormGrad2;
        }
        painter.setPen(grey ? FColors.BtnPenGray : FColors.BtnPenNorm);
        painter.drawLine(left, top, left, bottom - 1);
        painter.drawLine(right - 1, top, right - 1, bottom - 1);
        const QRect inner(QPoint(left + 2, top + 1), QPoint(right - 3, bottom - 2));
        textRect = inner;
        if (!pressed) {
            GradientFillRect(painter, inner, g1, g2);
        } else {
            GradientFillRect(painter, inner.adjusted(-1, -1, 1, 1), g1, g2);
            const int il = left + 2;
            const int it = top;
            const int ir = right - 2;
            const int ib = bottom;
            painter.setPen(FColors.BtnPenShade1);
            painter.drawLine(il - 1, ib - 1, il - 1, it + 1);
            painter.drawLine(il - 1, it, ir, it);
            painter.setPen(FColors.BtnPenShade2);
            painter.drawLine(ir - 1, it + 1, il + 1, it + 1);
            painter.drawLine(il, it + 1, il, ib - 2);
            painter.drawLine(il, ib - 1, ir, ib - 1);
            textRect.translate(1, 1);
        }
    }
    if (segment) {
        painter.setPen(fontColor);
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text);
        return;
    }
    painter.setPen(highlighted ? FColors.BtnPenArrow : fontColor);
    const QPoint o(right - 12, top + (bottom - top - 7) / 2 + 2);
    if (back) {
        PolyLine(painter, o, {{2, 0}, {0, 2}, {3, 5}});
        PolyLine(painter, o, {{3, 0}, {1, 2}, {4, 5}});
        PolyLine(painter, o, {{6, 0}, {4, 2}, {7, 5}});
        PolyLine(painter, o, {{7, 0}, {5, 2}, {8, 5}});
    } else if (pressed) {
        PolyLine(painter, o, {{3, 3}, {7, 3}, {5, 5}, {3, 3}, {6, 5}});
        PolyLine(painter, o, {{2, 2}, {9, 2}});
    } else {
        PolyLine(painter, o, {{4, 0}, {4, 4}, {6, 2}, {4, 0}, {5, 3}, {3, -1}, {3, 6}});
    }
}

void TqvPathViewer::UpdateView()
{
    repaint();
}

void TqvPathViewer::paintEvent(QPaintEvent *)
{
    if (!FInEdit)
        UpdateHotState();
    QPainter painter(this);
    const QColor background = palette().color(QPalette::Base);
    QRect client = rect();
    painter.fillRect(client, background);
    if (FFramed) {
        painter.setPen(FBorderColor);
        painter.drawRect(client.adjusted(0, 0, -1, -1));
        client.adjust(1, 1, -1, -1);
    }
    if (FInEdit)
        return;
    if (!FImage.isNull())
        FImage.paint(&painter, QRect(4, (height() - 16) / 2, 16, 16));
    painter.setFont(font());
    for (const TPathElement &e : Layout()) {
        const TpvItemState state = e.Index == FHotPos ? FState : isNormal;
        const QRect r(QPoint(e.Left, client.top()), QPoint(e.Right - 1, client.bottom()));
        DrawElement(painter, r, e.Kind == TPathElement::Segment, e.Kind == TPathElement::BackArrow, state,
            SegmentText(e.Index));
    }
}
