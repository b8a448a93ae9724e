// The window's navigation: the start page at start, opening a tile, moving inside a finished
// analysis through the path bar without a rescan, its drop-downs, Home and a typed path.
#include <tuple>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QTreeView>

#include "UiTestSupport.h"
#include "model/Paths.h"
#include "common/Translate.h"
#include "ui/UiText.h"
#include "ui/pathbar/PathViewer.h"
#include "ui/popups/ScrollPopupMenu.h"
#include "ui/startpage/FavoriteListView.h"

namespace {

int TileOf(const TFavoriteListView &view, const std::string &path)
{
    for (int i = 0; i < view.Count(); ++i)
        if (view.Item(i).Path == path)
            return i;
    return -1;
}

const TPathElement *Element(const TqvPathViewer &bar, TPathElement::TKind kind, int index)
{
    static std::vector<TPathElement> layout;
    layout = bar.Layout();
    for (const TPathElement &e : layout)
        if (e.Kind == kind && e.Index == index)
            return &e;
    return nullptr;
}

void ClickSegment(TqvPathViewer &bar, int index)
{
    const TPathElement *e = Element(bar, TPathElement::Segment, index);
    QVERIFY(e);
    const QPoint p((e->Left + e->Right) / 2, bar.height() / 2);
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, p);
}

TPopupForm *OpenPopup(TFormMain &form, int segment)
{
    TqvPathViewer &bar = *form.qvPathViewer1;
    const TPathElement *e = Element(bar, TPathElement::Arrow, segment);
    if (!e)
        return nullptr;
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(e->Left + 5, bar.height() / 2));
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(e->Left + 5, bar.height() / 2));
    const auto forms = form.findChildren<TPopupForm *>();
    for (TPopupForm *f : forms)
        if (f->isVisible())
            return f;
    return nullptr;
}

} // namespace

class FormNavigationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void startPageThenAnalysisThenHome()
    {
        TempTree tree;
        tree.MakeFile("big/inner/deep.bin", 3000000);
        tree.MakeFile("big/b.bin", 1000000);
        tree.MakeFile("small/s.bin", 1000);
        tree.MakeFile("only-files/f.bin", 10);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        TFavoriteListView &page = *form.ListViewFavorites;
        TqvPathViewer &bar = *form.qvPathViewer1;

        // No folder given, or one that is not a folder: the start page with the drives, "Home"
        // alone in the bar, nothing analysed.
        form.ProcessCommandLine({tree / "missing"});
        form.ProcessCommandLine({tree / "small/s.bin"});
        QVERIFY(form.StartPageShown());
        QVERIFY(!form.RootNode());
        QCOMPARE(bar.PathParts(), QStringList {QString::fromStdString(_("Home"))});
        QVERIFY(TileOf(page, "/") >= 0);
        QCOMPARE(page.Item(TileOf(page, "/")).GroupId, int(TFavoriteListView::GroupDrives));

        // A recent folder appears as soon as the list changes; opening its tile analyses it,
        // also when opening makes it the most recent one and so reorders the tiles.
        form.MRUDirList().AddDirectory(tree.Path());
        TempTree newer;
        form.MRUDirList().AddDirectory(newer.Path());
        const int tile = TileOf(page, tree.Path());
        QCOMPARE(tile, TileOf(page, newer.Path()) + 1);
        QVERIFY(tile >= 0);
        QCOMPARE(page.Item(tile).GroupId, int(TFavoriteListView::GroupRecent));
        page.SetSelectedIndex(tile);
        QCOMPARE(form.StatusText(0), page.Item(tile).Caption);
        page.OpenItem(tile);
        QVERIFY(!form.StartPageShown());
        QVERIFY(form.Tree()->isEnabled());
        QVERIFY(w.WaitForScans());
        QCOMPARE(form.LastScanDir(), tree.Path());
        QCOMPARE(TileOf(page, tree.Path()), TileOf(page, newer.Path()) - 1);
        const QString title = form.windowTitle();
        TRootNode *root = form.RootNode();
        QVERIFY(root);

        // The bar holds Home, the root and one segment per level of the folder.
        const QStringList parts = bar.PathParts();
        QCOMPARE(parts.first(), QString::fromStdString(_("Home")));
        QCOMPARE(parts[1], QString());
        QCOMPARE(parts.last(), QString::fromStdString(std::string(LastPathComponent(tree.Path()))));

        // Into a sub-folder of the finished analysis: no new scan, the sub-folder is the top
        // row and the base of every percentage, the title stays.
        form.ProcessPath(tree / "big", false);
        auto *big = dynamic_cast<TDirNode *>(root->FindChildNode("big"));
        QVERIFY(big);
        QCOMPARE(form.PaintNode(), big);
        QCOMPARE(form.RootNode(), root);
        QVERIFY(form.ScanThreads().IsEmpty());
        QCOMPARE(form.windowTitle(), title);
        QCOMPARE(form.Model()->index(0, 0, {}), form.Model()->FindCreatedRow(big));
        QCOMPARE(bar.PathParts().last(), QStringLiteral("big"));

        // Clicking the root folder's segment goes back up, again without a rescan.
        ClickSegment(bar, static_cast<int>(bar.PathParts().size()) - 2);
        QCOMPARE(form.PaintNode(), root);
        QCOMPARE(form.RootNode(), root);
        QVERIFY(form.ScanThreads().IsEmpty());

        // The arrow after the root folder lists its sub-folders, largest first, as the tree
        // does; choosing one moves there.
        TPopupForm *popup = OpenPopup(form, static_cast<int>(bar.PathParts().size()) - 1);
        QVERIFY(popup);
        QListWidget *list = popup->ListBox();
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(0)->text(), QStringLiteral("big"));
        QCOMPARE(list->item(1)->text(), QStringLiteral("small"));
        QCOMPARE(list->item(2)->text(), QStringLiteral("only-files"));
        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(form.PaintNode(), root->FindChildNode("small"));
        QCOMPARE(form.RootNode(), root);
        // A level holding only files has no drop-down.
        form.ProcessPath(tree / "only-files", false);
        QVERIFY(!OpenPopup(form, static_cast<int>(bar.PathParts().size()) - 1));

        // "Home" shows the start page; Alt+Home does from the tree too.
        ClickSegment(bar, 0);
        QVERIFY(form.StartPageShown());
        QVERIFY(form.StatusText(1).isEmpty());
        form.ProcessPath(tree.Path(), false);
        QVERIFY(!form.StartPageShown());
        QCOMPARE(form.ActHomepage->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Home));
        form.ActHomepage->trigger();
        QVERIFY(form.StartPageShown());
        // The arrow after Home lists the start page's tiles.
        popup = OpenPopup(form, 0);
        QVERIFY(popup);
        QCOMPARE(popup->ListBox()->count(), page.Count());
        QCOMPARE(popup->ListBox()->item(0)->text(), page.Item(0).Caption);
        QTest::keyClick(popup->ListBox(), Qt::Key_Escape);
    }

    void typedPathAndRescanRules()
    {
        TempTree tree;
        tree.MakeFile("a/one.bin", 5000);
        tree.MakeFile("b/two.bin", 7000);
        TempTree other;
        other.MakeFile("x.bin", 100);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        TqvPathViewer &bar = *form.qvPathViewer1;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());

        // Clicking the empty part of the bar: a field with the last analysed folder, whatever
        // level the bar shows.
        form.ProcessPath(tree / "a", false);
        const int empty = bar.Layout().back().Right + 10;
        QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(empty, 12));
        QVERIFY(bar.InEdit());
        QCOMPARE(bar.EditField()->text(), QString::fromStdString(tree.Path()));
        // Escape restores the breadcrumb unchanged.
        const QStringList before = bar.PathParts();
        QTest::keyClick(bar.EditField(), Qt::Key_Escape);
        QVERIFY(!bar.InEdit());
        QCOMPARE(bar.PathParts(), before);
        // Enter analyses what was typed.
        QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(empty, 12));
        bar.EditField()->setText(QString::fromStdString(other.Path()));
        QTest::keyClick(bar.EditField(), Qt::Key_Return);
        QVERIFY(!bar.InEdit());
        QVERIFY(w.WaitForScans());
        QCOMPARE(form.LastScanDir(), other.Path());
        QCOMPARE(std::string(form.RootNode()->Name()), other.Path());
        QVERIFY(form.Tree()->hasFocus() || !form.isActiveWindow());

        // A path outside the analysis, or the same folder with a forced rescan, starts a new one.
        TRootNode *root = form.RootNode();
        form.ProcessPath(tree / "b", false);
        QVERIFY(form.RootNode() != root);
        QVERIFY(w.WaitForScans());
        root = form.RootNode();
        form.ProcessPath(tree / "b", true);
        QVERIFY(form.RootNode() != root);
        QVERIFY(w.WaitForScans());

        // A relative path is taken from the folder the bar shows, with "..", "." and a trailing
        // separator resolved: one spelling per folder in the analysis and the recent folders.
        form.ProcessPath(tree / "a", false);
        QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(empty, 12));
        bar.EditField()->setText(QStringLiteral("../b/./"));
        QTest::keyClick(bar.EditField(), Qt::Key_Return);
        QVERIFY(w.WaitForScans());
        QCOMPARE(std::string(form.RootNode()->Name()), tree / "b");
        QVERIFY(!form.RootNode()->IsScanCanceled());
        for (const auto &[typed, base, resolved] : std::vector<std::tuple<QString, QString, QString>> {
                 {QStringLiteral(""), QStringLiteral("/x"), QString()},
                 {QStringLiteral("\n"), QStringLiteral("/x"), QString()},
                 {QStringLiteral("/usr//lib/"), QStringLiteral("/x"), QStringLiteral("/usr/lib")},
                 {QStringLiteral("/"), QStringLiteral("/x"), QStringLiteral("/")},
                 {QStringLiteral("/.."), QStringLiteral("/x"), QStringLiteral("/")},
                 {QStringLiteral("/../../usr"), QStringLiteral("/x"), QStringLiteral("/usr")},
                 {QStringLiteral("sub"), QStringLiteral("/x/y/"), QStringLiteral("/x/y/sub")},
                 {QStringLiteral(".."), QStringLiteral("/x/y/"), QStringLiteral("/x")},
                 {QStringLiteral("   "), QStringLiteral("/x"), QStringLiteral("/x/   ")},
                 {QStringLiteral("~"), QStringLiteral("/x"), QDir::homePath()},
                 {QStringLiteral("~/a"), QStringLiteral("/x"), QDir::homePath() + QStringLiteral("/a")},
                 {QStringLiteral("~a"), QStringLiteral("/x"), QStringLiteral("/x/~a")},
             })
            QCOMPARE(ResolveTypedPath(typed, base), resolved);

        // Names are bytes: every byte sequence comes back from its shown text unchanged, and a
        // folder whose name is not UTF-8 is found by its shown path.
        for (const std::string &name :
            {std::string("plain"), std::string("bad\xff\xfeutf"), std::string("\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"),
                std::string("\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80"), std::string("cut\xe2\x82"),
                std::string("\x1b[31m\n")}) {
            QCOMPARE(EncodeName(DecodeName(name)), name);
            tree.MakeDir(name);
            QVERIFY(DirectoryExists(EncodeName(DecodeName(tree / name))));
        }
    }

    // While a scan runs: segments, drop-downs and Home take the clicks; the window closes with
    // a drop-down still open and threads still stopping.
    void clicksDuringAScanAndClosingWithADropDown()
    {
        TempTree tree;
        for (int i = 0; i < 30; ++i)
            tree.MakeFile("d" + std::to_string(i) + "/f.bin", 10);
        auto w = std::make_unique<TWindowFixture>();
        TFormMain &form = *w->Form;
        TqvPathViewer &bar = *form.qvPathViewer1;
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.ProcessPath("/usr", false);
        QTest::qWait(20);
        QCOMPARE(bar.PathParts().size(), 3);
        TPopupForm *popup = OpenPopup(form, 2);
        QVERIFY(popup);
        QTest::keyClick(popup->ListBox(), Qt::Key_Escape);
        ClickSegment(bar, 1); // "/" while "/usr" is scanned: a new analysis waits for the old
        form.ActHomepage->trigger();
        QVERIFY(form.StartPageShown());
        form.ProcessPath(tree.Path(), false);
        const int segments = static_cast<int>(bar.PathParts().size());
        QVERIFY(OpenPopup(form, segments - 1));
        w.reset();
    }
};

QTEST_MAIN(FormNavigationTest)
#include "form_navigation_test.moc"
