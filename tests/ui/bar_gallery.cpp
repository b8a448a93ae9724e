// A tool, not a test: draws every bar style as the window shows it in a dark palette (Fusion and
// a dark QPalette), on the start page tiles, in the folder tree and in Largest Files, one
// selected row each, into one picture for people to look at:
//
//     QT_QPA_PLATFORM=xcb build/tests/ui/ui_bar_gallery gallery.png [light]
//
// (under Xvfb, or offscreen). The readable contrast itself is checked by paint_contrast_test.
#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QStyleFactory>

#include "UiTestSupport.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "ui/LargestFilesView.h"
#include "ui/startpage/FavoriteListView.h"

namespace {

QPalette DarkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, QColor(238, 238, 238));
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
    p.setColor(QPalette::ToolTipBase, QColor(53, 53, 53));
    p.setColor(QPalette::ToolTipText, QColor(238, 238, 238));
    p.setColor(QPalette::Text, QColor(238, 238, 238));
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, QColor(238, 238, 238));
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    return p;
}

void SelectSecondRow(QTreeView *view)
{
    const QModelIndex top = view->model()->index(0, 0);
    const QModelIndex row
        = view->model()->rowCount(top) > 1 ? view->model()->index(1, 0, top) : view->model()->index(1, 0);
    view->setCurrentIndex(row);
    view->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_bar_gallery OUTPUT.png [light]\n");
        return 2;
    }
    const bool light = argc > 2 && std::string_view(argv[2]) == "light";
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (!light)
        QApplication::setPalette(DarkPalette());
    InitUiTests();
    TempTree tree;
    tree.MakeFile("Videos/film.mkv", 9 * 1024 * 1024);
    tree.MakeFile("Music/album.flac", 4 * 1024 * 1024);
    tree.MakeFile("Documents/report.pdf", 1024 * 1024);
    tree.MakeFile("Pictures/photo.jpg", 600 * 1024);
    tree.MakeFile("notes.txt", 40 * 1024);

    TWindowFixture folders, start, largest;
    for (TWindowFixture *w : {&folders, &start, &largest}) {
        w->Form->resize(1100, 260);
        w->Settings->SetLanguageCode("en");
    }
    folders.Form->ProcessCommandLine({tree.Path()});
    largest.Form->ProcessCommandLine({tree.Path()});
    if (!folders.WaitForScans() || !largest.WaitForScans())
        return 1;
    largest.Form->ActLargestFiles->trigger();
    folders.Form->Tree()->expandToDepth(0);

    const TZuBarChartPainterRegistry &registry = TZuBarChartPainterRegistry::GetInstance();
    const int rowHeight = 170;
    QImage gallery(1750, rowHeight * registry.Count(), QImage::Format_RGB32);
    gallery.fill(QApplication::palette().color(QPalette::Window));
    QPainter out(&gallery);
    for (int i = 0; i < registry.Count(); ++i) {
        for (TWindowFixture *w : {&folders, &start, &largest}) {
            w->Settings->SetBarChartPainterClass(std::string(registry.GetItem(i)->ClassName));
            w->Form->SettingsApplied(*w->Settings);
        }
        SelectSecondRow(folders.Form->Tree());
        SelectSecondRow(largest.Form->LargestFilesView());
        QApplication::processEvents();
        const int y = i * rowHeight;
        out.setPen(QApplication::palette().color(QPalette::WindowText));
        out.drawText(QRect(4, y, 200, 18), Qt::AlignLeft | Qt::AlignVCenter,
            QString::fromStdString(registry.GetItem(i)->PainterName()));
        out.drawImage(QRect(0, y + 18, 500, rowHeight - 20),
            start.Form->ListViewFavorites->grab().toImage().copy(0, 0, 500, rowHeight - 20));
        out.drawImage(QRect(500, y + 18, 750, rowHeight - 20),
            folders.Form->Tree()->grab().toImage().copy(0, 0, 750, rowHeight - 20));
        const QImage list = largest.Form->LargestFilesView()->grab().toImage();
        out.drawImage(QRect(1250, y + 18, 500, rowHeight - 20), list.copy(0, 0, 500, rowHeight - 20));
    }
    out.end();
    return gallery.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
