// The Change column of a comparison with a saved analysis: a small-files group that did not
// change shows no change, and the figures of a row stand beside its bar, never under it.
#include <QPainter>
#include <QTreeView>

#include "UiTestSupport.h"
#include "export/NcduJsonExport.h"
#include "scan/DirScanner.h"

namespace {

// Dark grey pixels: anti-aliased black text; the plain bar is blue and its background white.
int TextPixels(const QImage &image, const QRect &r)
{
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - c.blue()) < 16 && std::abs(c.green() - c.blue()) < 16 && c.value() < 128)
                ++count;
        }
    return count;
}

} // namespace

class CompareViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void groupsWithoutChangeAndFiguresBesideTheBars()
    {
        TempTree tree;
        tree.MakeFile("same/a", 100); // small files, grouped in the window
        tree.MakeFile("same/b", 145);
        tree.MakeFile("same/big", 2 * 1048576);
        tree.MakeFile("grows/f", 2 * 1048576);
        tree.MakeFile("shrinks/g", 3 * 1048576);
        TempTree files;
        const std::string saved = files / "before.json";
        {
            // A saved analysis holds no groups.
            auto root = std::make_unique<TRootDirNode>();
            root->SetGroupFileSize(0);
            TDirScanner scanner(root.get());
            scanner.StartScan(tree.Path(), {0, 0});
            TNcduJsonExport(root.get()).SaveToFile(saved);
        }
        tree.MakeFile("grows/f", 6 * 1048576);
        tree.MakeFile("shrinks/g", 1048576);

        TWindowFixture w;
        TFormMain &form = *w.Form;
        w.Settings->SetBarChartPainterClass("TZumbrelBarChartPainter");
        form.SettingsApplied(*w.Settings);
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        QVERIFY(form.CompareWithFile(saved));
        auto *root = static_cast<TGroupNode *>(form.RootNode());
        const auto *same = dynamic_cast<const TDirNode *>(root->FindChildNode("same"));
        QVERIFY(same && same->SmallFilesGroup());
        QCOMPARE(form.GetText(same->SmallFilesGroup(), 5, TTextType::Normal), QStringLiteral("0"));
        QCOMPARE(form.GetText(same, 5, TTextType::Normal), QStringLiteral("0"));

        const QRect cell(0, 0, 240, 20);
        for (const char *name : {"grows", "shrinks"}) {
            QImage image(cell.size(), QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                form.PaintChangeBar(root->FindChildNode(name), painter, cell, false);
            }
            const QRect left(0, 0, 120, 20);
            const QRect right(120, 0, 120, 20);
            const bool grows = std::string_view(name) == "grows";
            // Growth draws its bar right of the middle, its figures left of it; shrinkage mirrored.
            QVERIFY2(TextPixels(image, grows ? left : right) > 20, name);
            QCOMPARE(TextPixels(image, grows ? right : left), 0);
        }
    }
};

QTEST_MAIN(CompareViewTest)
#include "compare_view_test.moc"
