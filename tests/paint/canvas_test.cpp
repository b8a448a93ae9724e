#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QtTest>

#include "PaintTestUtils.h"
#include "paint/Canvas.h"

using namespace painttest;

namespace {
constexpr TColor Red = 0x0000FF;
constexpr TColor Blue = 0xFF0000;
} // namespace

class TCanvasTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QPalette palette = QGuiApplication::palette();
        palette.setColor(QPalette::Active, QPalette::Text, QColor(4, 5, 6));
        palette.setColor(QPalette::Active, QPalette::HighlightedText, QColor(1, 2, 3));
        palette.setColor(QPalette::Active, QPalette::Highlight, QColor(7, 8, 9));
        QGuiApplication::setPalette(palette);
    }

    void systemColorsComeFromThePalette()
    {
        QCOMPARE(ColorToRGB(clWindowText), RGBColor(4, 5, 6));
        QCOMPARE(ColorToRGB(clHighlightText), RGBColor(1, 2, 3));
        QCOMPARE(ColorToRGB(clHighlight), RGBColor(7, 8, 9));
        QCOMPARE(ColorToRGB(0x123456), TColor(0x123456));
        QCOMPARE(ToQColor(0x123456), QColor(0x56, 0x34, 0x12));
    }

    // Every pixel of a 10 x 10 image after Rectangle(r): 'o' outline, 'i' interior, '.' untouched.
    void rectangleCoversLeftToRightExclusive_data()
    {
        QTest::addColumn<TRect>("rect");
        QTest::addColumn<int>("penWidth");
        QTest::newRow("5x5") << TRect {2, 3, 7, 8} << 1;
        QTest::newRow("2 wide is all outline") << TRect {2, 3, 4, 8} << 1;
        QTest::newRow("1 wide is all outline") << TRect {2, 3, 3, 8} << 1;
        QTest::newRow("empty") << TRect {2, 3, 2, 8} << 1;
        QTest::newRow("inverted") << TRect {7, 3, 2, 8} << 1;
        QTest::newRow("pen 2") << TRect {1, 1, 9, 9} << 2;
    }
    void rectangleCoversLeftToRightExclusive()
    {
        QFETCH(TRect, rect);
        QFETCH(int, penWidth);
        QImage image = NewImage(10, 10);
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetBrushColor(Blue);
            canvas.SetPenColor(Red);
            canvas.SetPenWidth(penWidth);
            canvas.Rectangle(rect);
        }
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= rect.Left && x < rect.Right && y >= rect.Top && y < rect.Bottom;
                const bool ring = inside
                    && (x < rect.Left + penWidth || x >= rect.Right - penWidth || y < rect.Top + penWidth
                        || y >= rect.Bottom - penWidth);
                const TColor want = !inside ? clWhite : ring ? Red : Blue;
                QVERIFY2(Px(image, x, y) == want, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void fillAndFrameRectUseTheBrush()
    {
        QImage image = NewImage(10, 10);
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetBrushColor(Blue);
            canvas.FillRect({0, 0, 3, 2});
            canvas.SetBrushColor(Red);
            canvas.FrameRect({4, 4, 8, 9});
            canvas.SetBrushStyle(TBrushStyle::Clear);
            canvas.FillRect({0, 8, 3, 10}); // a clear brush paints nothing
        }
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                TColor want = clWhite;
                if (x < 3 && y < 2) {
                    want = Blue;
                } else if (x >= 4 && x < 8 && y >= 4 && y < 9 && (x == 4 || x == 7 || y == 4 || y == 8)) {
                    want = Red;
                }
                QVERIFY2(Px(image, x, y) == want, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void linesLeaveOutTheEndPoint_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QList<QPoint>>("pixels");
        QTest::newRow("down") << QPoint(2, 1) << QPoint(2, 4) << QList<QPoint> {{2, 1}, {2, 2}, {2, 3}};
        QTest::newRow("up") << QPoint(2, 4) << QPoint(2, 1) << QList<QPoint> {{2, 4}, {2, 3}, {2, 2}};
        QTest::newRow("right") << QPoint(1, 5) << QPoint(4, 5) << QList<QPoint> {{1, 5}, {2, 5}, {3, 5}};
        QTest::newRow("left") << QPoint(4, 5) << QPoint(1, 5) << QList<QPoint> {{4, 5}, {3, 5}, {2, 5}};
        QTest::newRow("diagonal") << QPoint(0, 0) << QPoint(3, 3) << QList<QPoint> {{0, 0}, {1, 1}, {2, 2}};
        QTest::newRow("point") << QPoint(3, 3) << QPoint(3, 3) << QList<QPoint> {};
    }
    void linesLeaveOutTheEndPoint()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QList<QPoint>, pixels);
        QImage image = NewImage(8, 8);
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetPenColor(Red);
            canvas.MoveTo(from.x(), from.y());
            canvas.LineTo(to.x(), to.y());
        }
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const TColor want = pixels.contains(QPoint(x, y)) ? Red : clWhite;
                QVERIFY2(Px(image, x, y) == want, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void xorCopyModeCombinesWithTheDestination()
    {
        TBitmap source(4, 4);
        source.Canvas().SetBrushColor(RGBColor(0, 255, 0));
        source.Canvas().FillRect({0, 0, 4, 4});
        QImage image = NewImage(8, 4);
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetBrushColor(RGBColor(0x12, 0x34, 0x56));
            canvas.FillRect({4, 0, 8, 4});
            canvas.SetCopyMode(TCopyMode::SrcInvert);
            canvas.Draw(0, 0, source);
            canvas.StretchDraw({4, 0, 8, 4}, source);
        }
        QCOMPARE(Px(image, 1, 1), RGBColor(255, 0, 255));
        QCOMPARE(Px(image, 5, 1), RGBColor(0x12, 0x34 ^ 0xFF, 0x56));
    }

    void stretchedCopiesPickPixelsOrSmooth()
    {
        TBitmap source(2, 1);
        source.Canvas().SetBrushColor(clWhite);
        source.Canvas().FillRect({1, 0, 2, 1}); // black, white
        for (TStretchMode mode : {TStretchMode::ColorOnColor, TStretchMode::Halftone}) {
            QImage image = NewImage(20, 1);
            {
                QPainter p(&image);
                TCanvas canvas(p);
                canvas.SetStretchMode(mode);
                canvas.CopyRect({0, 0, 20, 1}, source, {0, 0, 2, 1});
            }
            QCOMPARE(Px(image, 0, 0), clBlack);
            QCOMPARE(Px(image, 19, 0), clWhite);
            bool grey = false;
            for (int x = 0; x < 20; ++x) {
                const TColor c = Px(image, x, 0);
                grey = grey || (c != clBlack && c != clWhite);
            }
            QCOMPARE(grey, mode == TStretchMode::Halftone);
        }
    }

    void stretchBltCopiesOnlyTheSourceRectangle()
    {
        TBitmap source(4, 1);
        source.Canvas().SetBrushColor(clWhite);
        source.Canvas().FillRect({2, 0, 4, 1}); // black black white white
        QImage image = NewImage(10, 1, Qt::red);
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetStretchMode(TStretchMode::Halftone);
            canvas.SetCopyMode(TCopyMode::SrcInvert); // StretchBlt ignores the copy mode
            canvas.StretchBlt({0, 0, 10, 1}, source, {0, 0, 2, 1}, TCopyMode::SrcCopy);
        }
        for (int x = 0; x < 10; ++x) {
            QCOMPARE(Px(image, x, 0), clBlack); // no white bleeding in from column 2
        }
    }

    void textIsClippedToItsRectangle()
    {
        QImage image = NewImage(60, 30);
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetFont(TestFont(16));
            canvas.SetFontColor(clBlack);
            canvas.SetBrushStyle(TBrushStyle::Clear);
            canvas.TextRect({10, 5, 30, 25}, 2, 2, QStringLiteral("WWWWWWWW"));
        }
        QVERIFY(HasInk(image, QRect(10, 5, 20, 20)));
        QImage outside = image;
        QPainter(&outside).fillRect(QRect(10, 5, 20, 20), Qt::white);
        QVERIFY(!HasInk(outside, outside.rect()));
    }

    void textOutPlacesTheTopOfTheTextCell()
    {
        const QFont font = TestFont(14);
        QImage image = NewImage(40, 40);
        QSize extent;
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetFont(font);
            canvas.SetBrushColor(Red); // a solid brush paints the text cell
            canvas.SetFontColor(clBlack);
            extent = canvas.TextExtent(QStringLiteral("Hg"));
            canvas.TextOut(5, 7, QStringLiteral("Hg"));
        }
        QCOMPARE(extent.height(), QFontMetrics(font, &image).height());
        QCOMPARE(Px(image, 5, 7), Red); // corner of the cell
        QCOMPARE(Px(image, 4, 7), clWhite);
        QCOMPARE(Px(image, 5, 6), clWhite);
        QCOMPARE(Px(image, 5 + extent.width() - 1, 7 + extent.height() - 1), Red);
        QCOMPARE(Px(image, 5 + extent.width(), 7 + extent.height() - 1), clWhite);
        QCOMPARE(Px(image, 5, 7 + extent.height()), clWhite);
    }

    void drawTextCentresOnTheRectangle()
    {
        const QFont font = TestFont(12);
        const QString text = QStringLiteral("42 %");
        const TRect r {3, 4, 64, 27};
        QImage centred = NewImage(70, 30);
        QImage expected = NewImage(70, 30);
        QSize extent;
        {
            QPainter p(&centred);
            TCanvas canvas(p);
            canvas.SetFont(font);
            canvas.SetBrushStyle(TBrushStyle::Clear);
            extent = canvas.TextExtent(text);
            canvas.DrawText(r, text, dtSingleLine | dtCenter | dtVCenter);
        }
        {
            QPainter p(&expected);
            TCanvas canvas(p);
            canvas.SetFont(font);
            canvas.SetBrushStyle(TBrushStyle::Clear);
            canvas.TextRect(
                r, r.Left + (r.Width() - extent.width()) / 2, r.Top + (r.Height() - extent.height()) / 2, text);
        }
        QVERIFY(HasInk(centred, centred.rect()));
        QCOMPARE(centred, expected);
    }

    void savedStateComesBack()
    {
        QImage image = NewImage(4, 4);
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        {
            TCanvas canvas(p);
            canvas.SetBrushColor(Red);
            canvas.SetCopyMode(TCopyMode::SrcInvert);
            {
                TCanvasStateSaver saver(canvas);
                canvas.SetBrushColor(Blue);
                canvas.SetBrushStyle(TBrushStyle::Clear);
                canvas.SetCopyMode(TCopyMode::SrcCopy);
                canvas.SetFont(TestFont(30));
            }
            QCOMPARE(canvas.BrushColor(), Red);
            QCOMPARE(canvas.BrushStyle(), TBrushStyle::Solid);
            QCOMPARE(canvas.CopyMode(), TCopyMode::SrcInvert);
            canvas.SaveState(); // left open: the canvas unwinds it
            canvas.FillRect({0, 0, 4, 4});
        }
        // A borrowed painter comes back as the caller left it.
        QCOMPARE(p.compositionMode(), QPainter::CompositionMode_Multiply);
    }

    void hugeRectanglesAreReportedNotWrapped()
    {
        QImage image = NewImage(4, 4);
        QPainter p(&image);
        TCanvas canvas(p);
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, canvas.FillRect({-2147483647 - 1, 0, 2147483647, 4}));
    }
};

QTEST_MAIN(TCanvasTest)
#include "canvas_test.moc"
