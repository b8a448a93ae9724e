#include <functional>
#include <memory>

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QtTest>

#include "PaintTestUtils.h"
#include "paint/SkinResources.h"
#include "paint/Skins.h"

using namespace painttest;

namespace {

using TPainterFactory = std::function<std::unique_ptr<TBasicBarChartBitmapPainter>()>;

template <class T> TPainterFactory Factory()
{
    return [] { return std::make_unique<T>(); };
}

QImage Paint(TZuBarChartPainter &bar, const TRect &P, double percent, bool selected, const QString &text = QString(),
    int w = 220, int h = 24)
{
    QImage image = NewImage(w, h);
    QPainter p(&image);
    TCanvas canvas(p);
    canvas.SetFont(TestFont(12));
    if (selected) {
        bar.DrawSelectedBar(canvas, P, text, percent);
    } else {
        bar.DrawBar(canvas, P, text, percent);
    }
    return image;
}

} // namespace

Q_DECLARE_METATYPE(TPainterFactory)

class TBitmapPaintersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QPalette palette = QGuiApplication::palette();
        palette.setColor(QPalette::Active, QPalette::Text, QColor(4, 5, 6));
        QGuiApplication::setPalette(palette);
    }

    void repeatPainterTilesTheBitmapAndCutsTheLastTile()
    {
        TSkinCairoHelix cairo;
        const TBitmap &tile = cairo.Bitmap();
        QCOMPARE(tile.Image().size(), QSize(32, 16));
        const TRect P {2, 3, 202, 19}; // 16 high: the tiles are not stretched
        const QImage image = Paint(cairo, P, 0.35, false); // 70 pixels: two tiles and 6 columns
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 70; ++x) {
                QCOMPARE(Px(image, P.Left + x, P.Top + y), Px(tile.Image(), x % 32, y));
            }
            QCOMPARE(Px(image, P.Left + 70, P.Top + y), clWhite);
        }
    }

    void repeatPainterStretchesTheTileRowToTheBarHeight()
    {
        TSkinCairoHelix cairo;
        const QImage image = Paint(cairo, {0, 0, 64, 32}, 1.0, false, QString(), 64, 32);
        for (int y = 0; y < 32; ++y) {
            QCOMPARE(Px(image, 40, y), Px(cairo.Bitmap().Image(), 8, y / 2));
        }
    }

    void stretchPainterKeepsTheFrame()
    {
        TSkinBluePlastic plastic;
        const QImage &bitmap = plastic.Bitmap().Image();
        const TRect P {1, 1, 201, 17};
        const QImage image = Paint(plastic, P, 0.5, false); // bar 100 x 16, columns 1..100
        for (int y = 0; y < 16; ++y) {
            QCOMPARE(Px(image, 1, 1 + y), Px(bitmap, 0, y));
            QCOMPARE(Px(image, 2, 1 + y), Px(bitmap, 1, y));
            QCOMPARE(Px(image, 99, 1 + y), Px(bitmap, 30, y));
            QCOMPARE(Px(image, 100, 1 + y), Px(bitmap, 31, y));
            QCOMPARE(Px(image, 50, 1 + y), Px(bitmap, 16, y));
            QCOMPARE(Px(image, 101, 1 + y), clWhite);
        }
    }

    // Selected repeat and stretch skins show the colour negative of their normal bar.
    void selectedSkinsAreInverted_data()
    {
        QTest::addColumn<TPainterFactory>("factory");
        QTest::newRow("Cairo Helix") << Factory<TSkinCairoHelix>();
        QTest::newRow("Crystal") << Factory<TSkinCrystal>();
        QTest::newRow("Blue Plastic") << Factory<TSkinBluePlastic>();
        QTest::newRow("Chrome Red") << Factory<TSkinChromeRed>();
        QTest::newRow("Green Glass") << Factory<TSkinGreenGlass>();
        QTest::newRow("Black Ice") << Factory<TSkinBlackIce>();
        QTest::newRow("True Blue") << Factory<TSkinTrueBlue>();
        QTest::newRow("Bronze Age") << Factory<TSkinBronceAge>();
    }
    void selectedSkinsAreInverted()
    {
        QFETCH(TPainterFactory, factory);
        const auto bar = factory();
        const TRect P {1, 1, 201, 21};
        for (double percent : {0.0, 0.005, 0.01, 0.375, 1.0}) {
            const QImage normal = Paint(*bar, P, percent, false);
            const QImage selected = Paint(*bar, P, percent, true);
            const TRect B = TZuBarChartPainter::BarRect(P, percent);
            for (int y = 0; y < normal.height(); ++y) {
                for (int x = 0; x < normal.width(); ++x) {
                    const bool inBar = x >= B.Left && x < B.Right && y >= B.Top && y < B.Bottom;
                    const TColor want = inBar ? Px(normal, x, y) ^ 0xFFFFFFu : clWhite;
                    QVERIFY2(Px(selected, x, y) == want,
                        qPrintable(QStringLiteral("%1 at %2,%3").arg(percent).arg(x).arg(y)));
                }
            }
        }
    }

    void selectedSpectrumKeepsItsColours()
    {
        TSkinSpectrum spectrum;
        const TRect P {1, 1, 201, 21};
        const QImage normal = Paint(spectrum, P, 0.6, false);
        const QImage selected = Paint(spectrum, P, 0.6, true);
        QCOMPARE(selected, normal);
    }

    void clippingPainterCopiesTheLeadingColumns()
    {
        TSkinSpectrum spectrum;
        QCOMPARE(spectrum.SourceRect(0.5), (TRect {0, 0, 160, 16}));
        QCOMPARE(spectrum.SourceRect(1.0), (TRect {0, 0, 320, 16}));
        QCOMPARE(spectrum.SourceRect(0.0999), (TRect {0, 0, 31, 16})); // truncated, not rounded
        QCOMPARE(spectrum.SourceRect(0.0), (TRect {0, 0, 0, 16}));
        QVERIFY_THROWS_EXCEPTION(std::range_error, (void)spectrum.SourceRect(1e10));

        const TRect P {0, 0, 200, 16};
        const QImage half = Paint(spectrum, P, 0.5, false, QString(), 200, 16);
        // The bar's last column shows column ~159 of the spectrum: yellow, not the red end.
        const QColor end = half.pixelColor(98, 12);
        QVERIFY2(end.red() > 230 && end.green() > 230, qPrintable(end.name()));
        const QColor start = half.pixelColor(1, 12);
        QVERIFY2(start.red() < 10 && start.green() > 245, qPrintable(start.name()));
        QCOMPARE(Px(half, 99, 8), TColor(0x555555)); // the frame around the bar
        QCOMPARE(Px(half, 100, 8), clWhite);
        const QImage full = Paint(spectrum, P, 1.0, false, QString(), 200, 16);
        const QColor red = full.pixelColor(198, 12);
        QVERIFY2(red.red() > 245 && red.green() < 10, qPrintable(red.name()));
    }

    // With equal colours the text is centred on the paint rectangle in that colour.
    void crystalCentresItsTextInOneColour()
    {
        TSkinCrystal crystal;
        const TRect P {1, 1, 201, 21};
        const QString text = QStringLiteral("50.0 %");
        const QImage drawn = Paint(crystal, P, 0.5, false, text);
        QImage expected = Paint(crystal, P, 0.5, false);
        {
            QPainter p(&expected);
            TCanvas canvas(p);
            canvas.SetFont(TestFont(12));
            const QSize e = canvas.TextExtent(text);
            canvas.SetFontColor(clWindowText);
            canvas.SetBrushStyle(TBrushStyle::Clear);
            canvas.TextRect(P, P.Left + (P.Width() - e.width()) / 2, P.Top + (P.Height() - e.height()) / 2, text);
        }
        QCOMPARE(drawn, expected);
    }

    // Split text: the part left of column split + 1 in the bar colour, the rest in the
    // background colour.
    void splitTextColoursEachSideOfTheSplit()
    {
        const TColor back = 0x0000FF; // red
        const TColor over = 0xFF0000; // blue
        const TRect P {0, 0, 120, 20};
        const QString text = QStringLiteral("8888888888");
        QImage image = NewImage(120, 20);
        QSize extent;
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetFont(TestFont(14));
            extent = canvas.TextExtent(text);
            DrawSplitText(canvas, P, text, back, over, 59);
        }
        const int x0 = (120 - extent.width()) / 2;
        QVERIFY(x0 < 59 && x0 + extent.width() > 60);
        bool blueInk = false, redInk = false;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 120; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() < 128 || c.red() < 128) { // strong ink
                    if (x <= 59) {
                        QVERIFY2(c.blue() > c.red(), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                        blueInk = true;
                    } else {
                        QVERIFY2(c.red() > 128 && c.blue() < 128, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                        redInk = true;
                    }
                }
            }
        }
        QVERIFY(blueInk && redInk);
    }

    void splitTextWhollyOverTheBarIsDrawnOnceInTheBarColour()
    {
        const TRect P {0, 0, 120, 20};
        const QString text = QStringLiteral("12 %");
        QImage drawn = NewImage(120, 20);
        QImage expected = NewImage(120, 20);
        for (QImage *image : {&drawn, &expected}) {
            QPainter p(image);
            TCanvas canvas(p);
            canvas.SetFont(TestFont(14));
            const QSize e = canvas.TextExtent(text);
            const int x = (120 - e.width()) / 2;
            const int y = (20 - e.height()) / 2;
            if (image == &drawn) {
                DrawSplitText(canvas, P, text, 0x0000FF, 0xFF0000, x + e.width());
            } else {
                canvas.SetBrushStyle(TBrushStyle::Clear);
                canvas.SetFontColor(0xFF0000);
                canvas.TextOut(x, y, text);
            }
        }
        QVERIFY(HasInk(drawn, drawn.rect()));
        QCOMPARE(drawn, expected);
    }

    // The repeat skin splits its text at the bar's last column, the stretch skins two columns
    // further right. Over these bars white does not reach 4.5:1 (mid tones), black does
    // better: the painters take it (paint_contrast_test).
    void skinsSplitTheirTextAtTheirColumn_data()
    {
        QTest::addColumn<TPainterFactory>("factory");
        QTest::addColumn<int>("splitFromBarRight");
        QTest::addColumn<TColor>("barColor");
        QTest::newRow("Cairo Helix") << Factory<TSkinCairoHelix>() << -1 << clBlack;
        QTest::newRow("Blue Plastic") << Factory<TSkinBluePlastic>() << 1 << clBlack;
        QTest::newRow("Green Glass") << Factory<TSkinGreenGlass>() << 1 << clBlack;
    }
    void skinsSplitTheirTextAtTheirColumn()
    {
        QFETCH(TPainterFactory, factory);
        QFETCH(int, splitFromBarRight);
        QFETCH(TColor, barColor);
        const auto bar = factory();
        const TRect P {1, 1, 201, 21};
        const QString text = QStringLiteral("MMMMMMMMMMMMMMMM");
        auto reference = [&](double percent, int split) {
            QImage image = Paint(*bar, P, percent, false);
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetFont(TestFont(12));
            DrawSplitText(canvas, P, text, clWindowText, barColor, split);
            return image;
        };
        bool discriminating = false;
        for (double percent : {0.4, 0.43, 0.47, 0.5, 0.53, 0.57, 0.6}) {
            const int right = TZuBarChartPainter::BarRect(P, percent).Right;
            const QImage drawn = Paint(*bar, P, percent, false, text);
            QCOMPARE(drawn, reference(percent, right + splitFromBarRight));
            discriminating = discriminating || drawn != reference(percent, right - splitFromBarRight);
        }
        QVERIFY(discriminating);
    }

    void xorTextShowsItsColourOnWhiteAndUndoesItself()
    {
        const TRect P {0, 0, 80, 20};
        QImage image = NewImage(80, 20);
        QPainter p(&image);
        TCanvas canvas(p);
        canvas.SetFont(TestFont(14));
        canvas.SetBrushColor(0x00FF00);
        canvas.SetCopyMode(TCopyMode::SrcCopy);
        DrawXorText(canvas, P, QStringLiteral("50 %"), 0x0000FF); // red
        QCOMPARE(canvas.BrushColor(), TColor(0x00FF00)); // the state comes back
        QCOMPARE(canvas.CopyMode(), TCopyMode::SrcCopy);
        bool ink = false;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 80; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c != Qt::white) {
                    ink = true;
                    QVERIFY(c.red() == 255 && c.green() == c.blue()); // shades of red only
                }
            }
        }
        QVERIFY(ink);
        DrawXorText(canvas, P, QStringLiteral("50 %"), 0x0000FF);
        QVERIFY(!HasInk(image, image.rect()));
    }

    void xorTextFollowsTheResolutionOfTheSurface()
    {
        QFont font = TestFont(10);
        font.setPointSize(10);
        const QString text = QStringLiteral("88 %");
        QImage image = NewImage(200, 60);
        image.setDotsPerMeterX(qRound(192 / 0.0254));
        image.setDotsPerMeterY(qRound(192 / 0.0254));
        {
            QPainter p(&image);
            TCanvas canvas(p);
            canvas.SetFont(font);
            DrawXorText(canvas, {0, 0, 200, 60}, text, clBlack);
        }
        int left = 200, right = -1;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 200; ++x) {
                if (image.pixelColor(x, y) != Qt::white) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        const QImage at96 = NewImage(1, 1);
        QVERIFY(right - left + 1 > QFontMetrics(font, &at96).horizontalAdvance(text) * 3 / 2);
    }

    void zeroPercentStillDrawsTheText_data()
    {
        QTest::addColumn<TPainterFactory>("factory");
        QTest::newRow("repeat") << Factory<TSkinCairoHelix>();
        QTest::newRow("stretch") << Factory<TSkinBlackIce>();
        QTest::newRow("clipping") << Factory<TSkinSpectrum>();
    }
    void zeroPercentStillDrawsTheText()
    {
        QFETCH(TPainterFactory, factory);
        const auto bar = factory();
        const TRect P {1, 1, 201, 21};
        QVERIFY(!HasInk(Paint(*bar, P, 0.0, false), QRect(0, 0, 220, 24)));
        QVERIFY(HasInk(Paint(*bar, P, 0.0, false, QStringLiteral("0.0 %")), QRect(0, 0, 220, 24)));
        QVERIFY(HasInk(Paint(*bar, P, 0.0, true, QStringLiteral("0.0 %")), QRect(0, 0, 220, 24)));
    }

    void missingResourcesAreReported()
    {
        QVERIFY_THROWS_EXCEPTION(EResNotFound, (void)LoadBitmapResource("RES_SKIN_Nothing"));
    }
};

QTEST_MAIN(TBitmapPaintersTest)
#include "bitmap_painters_test.moc"
