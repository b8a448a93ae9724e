#include <QPainter>
#include <QtTest>

#include "PaintTestUtils.h"
#include "paint/Scale9.h"

using namespace painttest;

namespace {

// A 9 x 7 picture whose nine regions under the grid (2, 2, 3, 1) each have their own colour:
// columns 0-1 | 2-5 | 6-8, rows 0-1 | 2-5 | 6.
TColor RegionColor(int column, int row)
{
    return RGBColor(40 + 80 * column, 40 + 80 * row, 200);
}

QImage RegionPicture()
{
    QImage picture(9, 7, QImage::Format_RGB32);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 9; ++x) {
            picture.setPixelColor(x, y, ToQColor(RegionColor(x < 2 ? 0 : x < 6 ? 1 : 2, y < 2 ? 0 : y < 6 ? 1 : 2)));
        }
    }
    return picture;
}

} // namespace

class TScale9Test : public QObject
{
    Q_OBJECT

    static QImage DrawRegions(const TRect &target, TCopyMode mode = TCopyMode::SrcCopy)
    {
        TScale9Image image;
        image.Resource().SetPicture(RegionPicture());
        image.Resource().ScaleGrid().SetGrid(2, 2, 3, 1);
        QImage out = NewImage(40, 20);
        QPainter p(&out);
        TCanvas canvas(p);
        canvas.SetCopyMode(mode);
        image.Draw(canvas, target);
        return out;
    }

private slots:
    void gridDefaultsAndNotifications()
    {
        TScaleGrid grid;
        QCOMPARE(grid.Left(), 3);
        QCOMPARE(grid.Top(), 3);
        QCOMPARE(grid.Right(), 3);
        QCOMPARE(grid.Bottom(), 3);
        int changes = 0;
        grid.OnChange = [&] { ++changes; };
        grid.SetGrid(1, 2, 3, 4);
        QCOMPARE(changes, 0);
        QCOMPARE(grid.Bottom(), 4);
        grid.SetLeft(1);
        QCOMPARE(changes, 0); // same value: nothing happens
        grid.SetLeft(5);
        grid.SetBottom(0);
        QCOMPARE(changes, 2);
        QCOMPARE(grid.Left(), 5);
        QVERIFY_THROWS_EXCEPTION(std::range_error, grid.SetGrid(0, -1, 0, 0));
        QVERIFY_THROWS_EXCEPTION(std::range_error, grid.SetTop(-1));
        QCOMPARE(grid.Top(), 2);
    }

    void resourceAssignmentCopiesPictureAndMargins()
    {
        TScale9Resource source;
        source.SetPicture(RegionPicture());
        source.ScaleGrid().SetGrid(1, 2, 3, 4);
        TScale9Image image;
        int repaints = 0;
        image.OnRepaint = [&] { ++repaints; };
        image.SetResource(source);
        QCOMPARE(repaints, 1);
        QCOMPARE(image.Resource().Picture(), source.Picture());
        QCOMPARE(image.Resource().ScaleGrid().Right(), 3);
        QCOMPARE(image.Resource().ScaleGrid().Bottom(), 4);
        image.Resource().ScaleGrid().SetTop(7); // a grid change asks for a repaint
        QCOMPARE(repaints, 2);
    }

    void skinGridSlicesA32x16Picture()
    {
        TScale9Image image;
        image.Resource().SetPicture(NewImage(32, 16));
        image.Resource().ScaleGrid().SetGrid(2, 2, 2, 2);
        QImage out = NewImage(40, 20);
        QPainter p(&out);
        TCanvas canvas(p);
        image.Draw(canvas, {0, 0, 40, 20});
        QCOMPARE(image.Slice(TScale9Image::Central)->Image().size(), QSize(28, 12));
        for (auto corner :
            {TScale9Image::TopLeft, TScale9Image::TopRight, TScale9Image::BottomLeft, TScale9Image::BottomRight}) {
            QCOMPARE(image.Slice(corner)->Image().size(), QSize(2, 2));
        }
        QCOMPARE(image.Slice(TScale9Image::Top)->Image().size(), QSize(28, 2));
        QCOMPARE(image.Slice(TScale9Image::Right)->Image().size(), QSize(2, 12));
    }

    // Every target pixel shows the region the nine-slice geometry assigns to it: margins
    // unscaled at the edges and the rest stretched; below l + r only three bands.
    void geometry_data()
    {
        QTest::addColumn<TRect>("target");
        QTest::newRow("wide") << TRect {3, 2, 33, 17};
        QTest::newRow("exactly l + r") << TRect {3, 2, 8, 17};
        QTest::newRow("one narrower: three bands") << TRect {3, 2, 7, 17};
        QTest::newRow("one pixel") << TRect {3, 2, 4, 17};
        QTest::newRow("unscaled") << TRect {1, 1, 10, 8};
    }
    void geometry()
    {
        QFETCH(TRect, target);
        const QImage out = DrawRegions(target);
        const int l = 2, t = 2, r = 3, b = 1;
        const bool nine = target.Width() >= l + r;
        for (int y = 0; y < out.height(); ++y) {
            for (int x = 0; x < out.width(); ++x) {
                TColor want = clWhite;
                if (x >= target.Left && x < target.Right && y >= target.Top && y < target.Bottom) {
                    const int row = y < target.Top + t ? 0 : y < target.Bottom - b ? 1 : 2;
                    const int column = !nine ? 1 : x < target.Left + l ? 0 : x < target.Right - r ? 1 : 2;
                    want = RegionColor(column, row);
                }
                QVERIFY2(Px(out, x, y) == want, qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    void emptyTargetsAndPicturesDrawNothing()
    {
        QVERIFY(!HasInk(DrawRegions({5, 2, 5, 17}), QRect(0, 0, 40, 20)));
        TScale9Image image;
        QImage out = NewImage(10, 10);
        QPainter p(&out);
        TCanvas canvas(p);
        image.Draw(canvas, {0, 0, 10, 10});
        QVERIFY(!image.Slice(TScale9Image::Central));
        QVERIFY(!HasInk(out, out.rect()));
    }

    void lowTargetsLeaveOutTheNegativeCentre()
    {
        const QImage out = DrawRegions({3, 2, 33, 4}); // 2 rows, top + bottom margins are 3
        QCOMPARE(Px(out, 10, 2), RegionColor(1, 0));
        QCOMPARE(Px(out, 10, 3), RegionColor(1, 2)); // the bottom band, drawn last, wins
        QCOMPARE(Px(out, 10, 4), clWhite);
        const QImage flat = DrawRegions({3, 2, 33, 3});
        QVERIFY(!HasInk(flat, QRect(0, 3, 40, 17))); // the corners stay inside the target
    }

    void xorCopyModeInvertsTheImageOnWhite()
    {
        const TRect target {3, 2, 33, 17};
        const QImage normal = DrawRegions(target);
        const QImage inverted = DrawRegions(target, TCopyMode::SrcInvert);
        for (int y = target.Top; y < target.Bottom; ++y) {
            for (int x = target.Left; x < target.Right; ++x) {
                QCOMPARE(Px(inverted, x, y), Px(normal, x, y) ^ 0xFFFFFFu);
            }
        }
    }

    void paintingAsAControlFillsTheClientArea()
    {
        TScale9Image image;
        image.Resource().SetPicture(RegionPicture());
        image.Resource().ScaleGrid().SetGrid(2, 2, 3, 1);
        QImage out = NewImage(20, 10);
        QPainter p(&out);
        TCanvas canvas(p);
        image.Paint(canvas, 20, 10);
        QVERIFY(!image.Drawing());
        QCOMPARE(Px(out, 0, 0), RegionColor(0, 0));
        QCOMPARE(Px(out, 19, 9), RegionColor(2, 2));
    }
};

QTEST_MAIN(TScale9Test)
#include "scale9_test.moc"
