#include <cmath>
#include <limits>

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QtTest>

#include "PaintTestUtils.h"
#include "paint/ZumbrelBarChartPainter.h"

using namespace painttest;

namespace {
constexpr TColor Border = 0xE07603;
constexpr TColor Fill = 0xFE9234;
constexpr TColor Green = 0x00FF00;
} // namespace

class TZumbrelPainterTest : public QObject
{
    Q_OBJECT

    // Paints with a fresh plain painter into a white 30 x 14 image.
    template <class F> static QImage Paint(F draw, int w = 30, int h = 14)
    {
        QImage image = NewImage(w, h);
        QPainter p(&image);
        TCanvas canvas(p);
        TZumbrelBarChartPainter painter;
        draw(canvas, painter);
        return image;
    }

private slots:
    void initTestCase()
    {
        QPalette palette = QGuiApplication::palette();
        palette.setColor(QPalette::Active, QPalette::Text, QColor(4, 5, 6));
        palette.setColor(QPalette::Active, QPalette::HighlightedText, QColor(1, 2, 3));
        QGuiApplication::setPalette(palette);
    }

    void barWidthRoundsHalvesToEven_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("percent");
        QTest::addColumn<int>("barWidth");
        QTest::newRow("101 at 0.5") << 0 << 101 << 0.5 << 50;
        QTest::newRow("99 at 0.5") << 7 << 99 << 0.5 << 50;
        QTest::newRow("3 at 0.5") << -4 << 3 << 0.5 << 2;
        QTest::newRow("5 at 0.5") << 0 << 5 << 0.5 << 2;
        QTest::newRow("10 at 0.35") << 0 << 10 << 0.35 << 4;
        QTest::newRow("10 at 0.26") << 0 << 10 << 0.26 << 3;
        QTest::newRow("zero percent") << 3 << 200 << 0.0 << 0;
        QTest::newRow("full") << 3 << 200 << 1.0 << 200;
    }
    void barWidthRoundsHalvesToEven()
    {
        QFETCH(int, left);
        QFETCH(int, width);
        QFETCH(double, percent);
        QFETCH(int, barWidth);
        const TRect bar = TZuBarChartPainter::BarRect({left, 2, left + width, 9}, percent);
        QCOMPARE(bar, (TRect {left, 2, left + barWidth, 9}));
    }

    void barArithmeticRaisesInsteadOfWrapping()
    {
        const int max = std::numeric_limits<int>::max();
        const int min = std::numeric_limits<int>::min();
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, (void)TZuBarChartPainter::BarRect({min, 0, max, 10}, 0.5));
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, (void)TZuBarChartPainter::BarRect({max - 10, 0, max, 10}, 3.0));
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, (void)TZuBarChartPainter::BarRect({0, 0, 10, 10}, std::nan("")));
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, (void)TZuBarChartPainter::BarRect({0, 0, 10, 10}, 1e300));
    }

    // Bars of 0, 1, 2 and 5 pixels: nothing, a border line, all border, border around fill.
    void barPixels_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<int>("barWidth");
        QTest::newRow("0 px") << 0.0 << 0;
        QTest::newRow("1 px") << 0.05 << 1;
        QTest::newRow("2 px") << 0.1 << 2;
        QTest::newRow("5 px") << 0.25 << 5;
    }
    void barPixels()
    {
        QFETCH(double, percent);
        QFETCH(int, barWidth);
        const TRect P {1, 1, 21, 11};
        const QImage image
            = Paint([&](TCanvas &c, TZumbrelBarChartPainter &bar) { bar.DrawBar(c, P, QString(), percent); });
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool inBar = x >= 1 && x < 1 + barWidth && y >= 1 && y < 11;
                const bool edge = x == 1 || x == barWidth || y == 1 || y == 10;
                const TColor want = !inBar ? clWhite : edge ? Border : Fill;
                QVERIFY2(Px(image, x, y) == want, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void createWithParamsDrawsTheBackgroundShape()
    {
        const auto shape = TZumbrelBarChartPainter::CreateWithParams(0xD7D7D7, 0xF7F7F7);
        QImage image = NewImage(12, 6);
        {
            QPainter p(&image);
            TCanvas canvas(p);
            shape->DrawBar(canvas, {1, 1, 11, 5}, QString(), 1.0);
        }
        QCOMPARE(Px(image, 1, 1), TColor(0xD7D7D7));
        QCOMPARE(Px(image, 10, 4), TColor(0xD7D7D7));
        QCOMPARE(Px(image, 5, 2), TColor(0xF7F7F7));
        QCOMPARE(Px(image, 11, 2), clWhite);
    }

    void selectedBarIsOutlinedInHighlightTextAroundTheCallersBrush()
    {
        const QImage image = Paint([](TCanvas &c, TZumbrelBarChartPainter &bar) {
            c.SetBrushColor(Green);
            bar.DrawSelectedBar(c, {1, 1, 21, 11}, QString(), 0.5);
        });
        const TColor ring = RGBColor(1, 2, 3);
        QCOMPARE(Px(image, 1, 5), ring);
        QCOMPARE(Px(image, 10, 5), ring);
        QCOMPARE(Px(image, 5, 1), ring);
        QCOMPARE(Px(image, 5, 10), ring);
        QCOMPARE(Px(image, 5, 5), Green);
        QCOMPARE(Px(image, 11, 5), clWhite);
        QCOMPARE(TZuBarChartPainter::SelectedTextColor(), clWindowText);
    }

    // The text is centred on the whole paint rectangle with an odd height counted as the next
    // even one; drawn black unselected and in the selected text colour otherwise.
    void textPlacement_data()
    {
        QTest::addColumn<bool>("oddHeight");
        QTest::addColumn<TRect>("paintRect");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<double>("percent");
        QTest::newRow("odd height") << true << TRect {2, 3, 83, 23} << false << 0.0;
        QTest::newRow("even height") << false << TRect {2, 3, 83, 23} << false << 0.0;
        QTest::newRow("odd height, odd rect") << true << TRect {1, 2, 80, 21} << false << 0.0;
        QTest::newRow("selected") << true << TRect {2, 3, 83, 23} << true << 0.0;
        QTest::newRow("over a bar") << false << TRect {2, 3, 83, 23} << false << 0.75;
    }
    void textPlacement()
    {
        QFETCH(bool, oddHeight);
        QFETCH(TRect, paintRect);
        QFETCH(bool, selected);
        QFETCH(double, percent);
        const QFont font = TestFont(TestFontSizeWithHeightParity(oddHeight));
        const QString text = QStringLiteral("37.5 %");
        const QImage drawn = Paint(
            [&](TCanvas &c, TZumbrelBarChartPainter &bar) {
                c.SetFont(font);
                c.SetBrushColor(Green);
                if (selected) {
                    bar.DrawSelectedBar(c, paintRect, text, percent);
                } else {
                    bar.DrawBar(c, paintRect, text, percent);
                }
            },
            90, 26);
        const QImage expected = Paint(
            [&](TCanvas &c, TZumbrelBarChartPainter &bar) {
                c.SetFont(font);
                c.SetBrushColor(Green);
                if (selected) {
                    bar.DrawSelectedBar(c, paintRect, QString(), percent);
                } else {
                    bar.DrawBar(c, paintRect, QString(), percent);
                }
                const QSize e = c.TextExtent(text);
                QCOMPARE(e.height() % 2 == 1, oddHeight);
                const int h = e.height() + e.height() % 2;
                c.SetFontColor(selected ? RGBColor(4, 5, 6) : clBlack);
                c.SetBrushStyle(TBrushStyle::Clear);
                c.TextRect(paintRect, paintRect.Left + paintRect.Width() / 2 - e.width() / 2,
                    paintRect.Top + paintRect.Height() / 2 - h / 2, text);
            },
            90, 26);
        QVERIFY(HasInk(drawn, ToQRect(paintRect)));
        QCOMPARE(drawn, expected);
    }

    void textStaysInsideThePaintRectangle()
    {
        const TRect P {10, 4, 30, 12};
        QImage image = Paint(
            [&](TCanvas &c, TZumbrelBarChartPainter &bar) {
                c.SetFont(TestFont(20));
                bar.DrawBar(c, P, QStringLiteral("100.0 %"), 0.0);
            },
            40, 16);
        QVERIFY(HasInk(image, ToQRect(P)));
        QPainter(&image).fillRect(ToQRect(P), Qt::white);
        QVERIFY(!HasInk(image, image.rect()));
    }

    void classReferenceCreatesAndNames()
    {
        const TZuBarChartPainterClass cls = PainterClassOf<TZumbrelBarChartPainter>();
        QCOMPARE(cls, PainterClassOf<TZumbrelBarChartPainter>());
        QCOMPARE(cls->ClassName, std::string_view("TZumbrelBarChartPainter"));
        QCOMPARE(cls->PainterName(), std::string("Zumbrel"));
        const auto painter = cls->Create();
        const auto *plain = dynamic_cast<TZumbrelBarChartPainter *>(painter.get());
        QVERIFY(plain);
        QCOMPARE(plain->BorderColor(), Border);
        QCOMPARE(plain->FillColor(), Fill);
    }
};

QTEST_MAIN(TZumbrelPainterTest)
#include "zumbrel_painter_test.moc"
