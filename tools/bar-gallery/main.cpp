// bar-gallery [OUTPUT.png]: draws every registered bar painter at a few percentages, unselected
// and selected, as the file tree would, into one PNG sheet (default bar-gallery.png).
#include <cstdio>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include "paint/Canvas.h"
#include "paint/RegisterPainters.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "paint/ZumbrelBarChartPainter.h"

namespace {

constexpr int NameWidth = 110;
constexpr int CellWidth = 122;
constexpr int CellHeight = 20;
constexpr double Percents[] = {0.0, 0.01, 0.375, 0.5, 1.0};

QString PercentText(double percent)
{
    return QString::number(percent * 100.0, 'f', 1) + QStringLiteral(" %");
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bar-gallery.png");
    RegisterBarChartPainters();
    const TZuBarChartPainterRegistry &registry = TZuBarChartPainterRegistry::GetInstance();
    const int columns = 2 * static_cast<int>(std::size(Percents));
    QImage sheet(NameWidth + columns * CellWidth, (registry.Count() + 1) * CellHeight, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    const QColor highlight = QGuiApplication::palette().color(QPalette::Highlight);
    try {
        TCanvas canvas(painter);
        const auto background = TZumbrelBarChartPainter::CreateWithParams(0xD7D7D7, 0xF7F7F7);
        canvas.SetFontColor(clBlack);
        canvas.SetBrushStyle(TBrushStyle::Clear);
        for (int c = 0; c < columns; ++c) {
            const double percent = Percents[c % std::size(Percents)];
            const QString head
                = (c < columns / 2 ? QStringLiteral("") : QStringLiteral("sel. ")) + PercentText(percent);
            canvas.TextOut(NameWidth + c * CellWidth + 4, 2, head);
        }
        for (int i = 0; i < registry.Count(); ++i) {
            const TZuBarChartPainterClass cls = registry.GetItem(i);
            const int top = (i + 1) * CellHeight;
            canvas.SetFontColor(clBlack);
            canvas.SetBrushStyle(TBrushStyle::Clear);
            canvas.TextOut(4, top + 2, QString::fromStdString(cls->PainterName()));
            const auto bar = cls->Create();
            for (int c = 0; c < columns; ++c) {
                const bool selected = c >= columns / 2;
                const double percent = Percents[c % std::size(Percents)];
                const TRect cell {NameWidth + c * CellWidth, top, NameWidth + (c + 1) * CellWidth, top + CellHeight};
                const TRect paintRect {cell.Left + 1, cell.Top + 1, cell.Right - 1, cell.Bottom - 1};
                if (selected) {
                    painter.fillRect(ToQRect(cell), highlight);
                    canvas.SetBrushColor(clHighlight);
                    bar->DrawSelectedBar(canvas, paintRect, PercentText(percent), percent);
                } else {
                    background->DrawBar(canvas, paintRect, QString(), 1.0);
                    bar->DrawBar(canvas, paintRect, PercentText(percent), percent);
                }
            }
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bar-gallery: %s\n", e.what());
        return 1;
    }
    painter.end();
    if (!sheet.save(output, "png")) {
        std::fprintf(stderr, "bar-gallery: cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
