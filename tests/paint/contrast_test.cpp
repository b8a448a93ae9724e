// Every bar style keeps its percentage readable: in a light and a dark palette, selected and
// not, on the bare row, over the grey background shape and on a drive tile, the text reaches
// a contrast of 4.5:1 (WCAG 2.x) with the pixels it covers, or where no plain colour can over
// a skin's mid tones, at least what black or white would reach (those cases are listed).
#include <algorithm>
#include <memory>
#include <vector>

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QtTest>

#include "PaintTestUtils.h"
#include "paint/Contrast.h"
#include "paint/RegisterPainters.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "paint/ZumbrelBarChartPainter.h"

using namespace painttest;

namespace {

QPalette LightPalette()
{
    QPalette p(QColor(239, 239, 239));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Highlight, QColor(48, 140, 198));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

// The dark palette of Fusion that users set up (and what Adwaita-dark and Breeze Dark resemble).
QPalette DarkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, QColor(238, 238, 238));
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
    p.setColor(QPalette::Text, QColor(238, 238, 238));
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, QColor(238, 238, 238));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

enum class TPlace { Row, RowWithShape, Tile, Selected };

// One cell as the window paints it: the row's background, the optional grey shape, the bar.
QImage PaintCell(TZuBarChartPainter &bar, TPlace place, double percent, const QString &text)
{
    const QPalette palette = QGuiApplication::palette();
    const QColor base = place == TPlace::Selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
    QImage image = NewImage(140, 20, base);
    QPainter p(&image);
    TCanvas canvas(p);
    QFont font = TestFont(13);
    font.setStyleStrategy(QFont::NoAntialias); // text pixels carry the text colour itself
    canvas.SetFont(font);
    const TRect r {1, 1, 139, 19};
    if (place == TPlace::RowWithShape || place == TPlace::Tile) {
        const auto shape = TZumbrelBarChartPainter::CreateWithParams(
            place == TPlace::Tile ? RGBColor(199, 199, 199) : RGBColor(215, 215, 215), RGBColor(247, 247, 247));
        shape->DrawBar(canvas, r, QString(), 1.0);
    }
    if (place == TPlace::Selected) {
        canvas.SetBrushColor(FromQColor(palette.color(QPalette::Highlight)));
        bar.DrawSelectedBar(canvas, r, text, percent);
    } else {
        bar.DrawBar(canvas, r, text, percent);
    }
    return image;
}

} // namespace

class TContrastTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { RegisterBarChartPainters(); }

    void luminanceAndContrastFollowWcag()
    {
        QCOMPARE(ContrastRatio(qRgb(0, 0, 0), qRgb(255, 255, 255)), 21.0);
        QCOMPARE(ContrastRatio(qRgb(9, 9, 9), qRgb(9, 9, 9)), 1.0);
        // #777 on white is the classic just-failing grey: 4.48.
        QVERIFY(std::abs(ContrastRatio(qRgb(0x77, 0x77, 0x77), qRgb(255, 255, 255)) - 4.48) < 0.01);
        QCOMPARE(ReadableTextColor(clWhite, {qRgb(250, 250, 250)}), clBlack);
        QCOMPARE(ReadableTextColor(clWhite, {qRgb(20, 20, 20)}), clWhite);
        QCOMPARE(ReadableTextColor(0x0000FF, {}), TColor(0x0000FF));
    }

    void everyStyleKeepsItsTextReadable_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<int>("place");
        const char *places[] = {"row", "row with shape", "tile", "selected row"};
        for (const bool dark : {false, true})
            for (int place = 0; place < 4; ++place)
                QTest::addRow("%s, %s", dark ? "dark" : "light", places[place]) << dark << place;
    }

    void everyStyleKeepsItsTextReadable()
    {
        QFETCH(bool, dark);
        QFETCH(int, place);
        const QPalette saved = QGuiApplication::palette();
        QGuiApplication::setPalette(dark ? DarkPalette() : LightPalette());
        const TZuBarChartPainterRegistry &registry = TZuBarChartPainterRegistry::GetInstance();
        QStringList failures;
        QStringList limits;
        for (int i = 0; i < registry.Count(); ++i) {
            const auto bar = registry.GetItem(i)->Create();
            const QString name = QString::fromStdString(registry.GetItem(i)->PainterName());
            for (const double percent : {0.0, 0.2, 0.5, 0.8, 1.0}) {
                const QString text = QStringLiteral("%1%").arg(percent * 100.0, 0, 'f', 1);
                const QImage with = PaintCell(*bar, static_cast<TPlace>(place), percent, text);
                const QImage without = PaintCell(*bar, static_cast<TPlace>(place), percent, QString());
                std::vector<double> ratios, black, white;
                for (int y = 0; y < with.height(); ++y)
                    for (int x = 0; x < with.width(); ++x)
                        if (with.pixel(x, y) != without.pixel(x, y)) {
                            ratios.push_back(ContrastRatio(with.pixel(x, y), without.pixel(x, y)));
                            black.push_back(ContrastRatio(qRgb(0, 0, 0), without.pixel(x, y)));
                            white.push_back(ContrastRatio(qRgb(255, 255, 255), without.pixel(x, y)));
                        }
                if (ratios.empty()) {
                    failures << QStringLiteral("%1 at %2: no text").arg(name).arg(percent);
                    continue;
                }
                // A glossy skin's thin highlight line may fall short; the letters must not.
                const auto typical = [](std::vector<double> &v) {
                    std::sort(v.begin(), v.end());
                    return v[v.size() / 20];
                };
                const double achieved = typical(ratios);
                const double plainBest = std::max(typical(black), typical(white));
                const QString where = QStringLiteral("%1 at %2: contrast %3 (black or white: %4)")
                                          .arg(name)
                                          .arg(percent)
                                          .arg(achieved, 0, 'f', 2)
                                          .arg(plainBest, 0, 'f', 2);
                if (achieved >= ReadableContrast)
                    continue;
                // Short of 4.5:1 only where no plain colour reaches it over these pixels (the
                // mid tones of some skins); clearly worse than black or white would be is a
                // fault (the painter judges the text's box, the test its letters: a margin).
                if (achieved < 0.75 * std::min(plainBest, ReadableContrast))
                    failures << where;
                else
                    limits << where;
            }
        }
        QGuiApplication::setPalette(saved);
        if (!limits.isEmpty())
            qWarning("short of 4.5:1 where neither black nor white reaches it: %s",
                qPrintable(limits.join(QStringLiteral("; "))));
        if (!failures.isEmpty())
            QFAIL(qPrintable(failures.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TContrastTest)
#include "contrast_test.moc"
