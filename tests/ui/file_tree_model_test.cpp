// The tree-grid adapter and the window's cell callbacks over real node trees.
#include <functional>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyleOptionViewItem>
#include <QTextDocument>
#include <QTreeView>

#include "UiTestSupport.h"
#include "common/Translate.h"
#include "platform/Platform.h"
#include "ui/model/FileTreeView.h"

namespace {

// Big enough that its scan is still running while the first refreshes come, small enough for
// the model tester, which checks the whole model after every change.
const std::string LiveFolder = "/usr/share/locale";

// Shows a tree's names, ordered by size.
struct TBySizeOwner final : IFileTreeOwner
{
    TFileSystemNode *Top = nullptr;
    TFileSystemNode *TopNode() const override { return Top; }
    TSortKey SortKey(const TFileSystemNode *n, int) const override { return {n ? n->GetSize() : 0, 0, {}}; }
    int CompareSortKeys(const TSortKey &a, const TSortKey &b, int) const override
    {
        return a.Number < b.Number ? -1 : (a.Number > b.Number ? 1 : 0);
    }
    QString GetText(const TFileSystemNode *n, int, TTextType) const override
    {
        return n ? QString::fromStdString(std::string(n->Name())) : QString();
    }
    bool GetCellIsEmpty(const TFileSystemNode *, int) const override { return false; }
    QString HeaderText(int) const override { return {}; }
};

TFileSystemNode *AddFile(TGroupNode &parent, std::string_view name, std::int64_t size, std::uint16_t attributes = 0)
{
    auto file = TFileNode::Create(name);
    file->SetSize(size);
    file->SetAttributes(attributes);
    TFileSystemNode *raw = file.get();
    parent.AddChildNode(std::move(file));
    parent.IncSize(size);
    parent.IncFileCount(1);
    return raw;
}

QStringList ChildNames(const TFileTreeModel &model, const QModelIndex &parent)
{
    QStringList names;
    for (int i = 0; i < model.rowCount(parent); ++i)
        names << model.index(i, 0, parent).data().toString();
    return names;
}

// The rows the view has laid out, top to bottom, must be the model's rows under open folders:
// a layout of only some folders that missed a change shows up here.
void CompareLaidOutRows(const QTreeView &view)
{
    const QAbstractItemModel &model = *view.model();
    QList<QModelIndex> expected;
    std::vector<QModelIndex> pending;
    for (int i = model.rowCount() - 1; i >= 0; --i)
        pending.push_back(model.index(i, 0));
    while (!pending.empty()) {
        const QModelIndex index = pending.back();
        pending.pop_back();
        expected.push_back(index);
        if (view.isExpanded(index))
            for (int i = model.rowCount(index) - 1; i >= 0; --i)
                pending.push_back(model.index(i, 0, index));
    }
    QList<QModelIndex> shown;
    for (QModelIndex index = model.index(0, 0); index.isValid(); index = view.indexBelow(index))
        shown.push_back(index);
    QCOMPARE(shown.size(), expected.size());
    for (qsizetype i = 0; i < shown.size(); ++i)
        QVERIFY2(shown[i] == expected[i], qPrintable(QStringLiteral("row %1 of %2 differs").arg(i).arg(shown.size())));
}

std::unique_ptr<TDirNode> MakeDir(std::string_view name)
{
    auto dir = std::make_unique<TDirNode>();
    dir->SetName(name);
    return dir;
}

} // namespace

class FileTreeModelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    // The adapter keeps Qt's model rules over a real analysis, while rows are rebuilt, sorted
    // and expanded.
    void adapterKeepsModelRulesOverARealScan()
    {
        TempTree tree;
        tree.MakeFile("a/one.bin", 5000);
        tree.MakeFile("a/two.bin", 7000);
        tree.MakeFile("a/b/three.bin", 100);
        tree.MakeFile("small.txt", 10);
        tree.MakeSymlink("link", "a");
        tree.MakeFile("bad\xff\nname", 42);
        TWindowFixture w;
        QAbstractItemModelTester tester(w.Form->Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        w.Form->ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        QTreeView *view = w.Form->Tree();
        view->expandAll();
        w.Form->RefreshTree();
        TFileTreeModel &model = *w.Form->Model();
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(model.NodeOf(top), w.Form->RootNode());
        // Biggest first: the folder a, then the small-files group and the rest.
        QCOMPARE(ChildNames(model, top).front(), QStringLiteral("a"));
        model.sort(0, Qt::AscendingOrder);
        model.sort(4, Qt::DescendingOrder);
        w.Form->RefreshTree();
    }

    // Rows are updated, expanded, painted and checked while scan threads fill and fold the
    // very nodes they show: the model announces every change (the tester checks the whole model
    // after each one), never resets while the top node stays, and the rows the user has open or
    // selected keep their indexes.
    void adapterDuringALiveScan()
    {
        TWindowFixture w;
        TFileTreeModel &model = *w.Form->Model();
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        w.Form->ProcessPath(LiveFolder, false);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QPersistentModelIndex kept;
        int rounds = 0;
        while (!w.Form->ScanThreads().IsEmpty() || rounds < 3) {
            const QModelIndex top = model.index(0, 0);
            for (int i = 0; i < std::min(model.rowCount(top), 8); ++i) {
                const QModelIndex child = model.index(i, 0, top);
                w.Form->Tree()->expand(child);
                for (int j = 0; j < std::min(model.rowCount(child), 8); ++j)
                    w.Form->Tree()->expand(model.index(j, 0, child));
            }
            if (!kept.isValid() && model.rowCount(top) > 0) {
                kept = model.index(0, 0, top);
                w.Form->Tree()->selectionModel()->setCurrentIndex(
                    kept, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
            w.Form->Tree()->viewport()->repaint();
            w.Form->RefreshTree();
            QCoreApplication::processEvents();
            CompareLaidOutRows(*w.Form->Tree());
            if (QTest::currentTestFailed())
                return;
            QTest::qWait(20);
            ++rounds;
        }
        QVERIFY(w.WaitForScans());
        w.Form->RefreshTree();
        CompareLaidOutRows(*w.Form->Tree());
        QCOMPARE(resets.count(), 0);
        QVERIFY(kept.isValid());
        QCOMPARE(w.Form->Tree()->currentIndex(), QModelIndex(kept));
        QVERIFY(model.rowCount(model.index(0, 0)) > 0);
        // Every row still holds a child of its parent's node, in the current sort order.
        std::vector<QModelIndex> pending {model.index(0, 0)};
        while (!pending.empty()) {
            const QModelIndex parent = pending.back();
            pending.pop_back();
            if (!model.ChildrenCreated(parent))
                continue;
            auto *group = dynamic_cast<TGroupNode *>(model.NodeOf(parent));
            if (!group)
                continue;
            QCOMPARE(model.rowCount(parent), group->InterlockedChildCount());
            for (int i = 0; i < model.rowCount(parent); ++i) {
                const QModelIndex child = model.index(i, 0, parent);
                QCOMPARE(model.NodeOf(child)->Parent(), group);
                if (i > 0)
                    QVERIFY(model.NodeOf(model.index(i - 1, 0, parent))->GetSize() >= model.NodeOf(child)->GetSize());
                pending.push_back(child);
            }
        }
    }

    void placeholderRowSpansAndReadsInGreyItalics()
    {
        TWindowFixture w;
        TFileTreeModel &model = *w.Form->Model();
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex top = model.index(0, 0);
        QVERIFY(model.IsPlaceholder(top));
        // Spread across the row from the first paint, not only after a first analysis.
        QVERIFY(w.Form->Tree()->isFirstColumnSpanned(0, QModelIndex()));
        QCOMPARE(top.data().toString(), QString::fromStdString(_("Please choose a folder")));
        QVERIFY(w.Form->GetCellIsEmpty(nullptr, 2));
        QVERIFY(!model.hasChildren(top));
        QFont font;
        QColor color(Qt::black);
        w.Form->PaintText(nullptr, 0, TTextType::Normal, false, font, color);
        QVERIFY(font.italic());
        QVERIFY(color != QColor(Qt::black));
    }

    // A name that looks like markup shows as the name in the status bar and in the tooltip.
    // ("<b>bold</b>" is the folder "b>" inside the folder "<b>bold<".)
    void markupInNamesStaysText()
    {
        TempTree tree;
        tree.MakeFile("<b>bold</b>/x.bin", 10);
        tree.MakeFile("<i>it<br>alic/x.bin", 10);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TFileTreeModel &model = *form.Model();
        QCOMPARE(model.rowCount(model.index(0, 0)), 2);
        auto *outer = dynamic_cast<TGroupNode *>(form.RootNode()->FindChildNode("<b>bold<"));
        QVERIFY(outer);
        const QModelIndex outerRow = model.FindCreatedRow(outer);
        QVERIFY(outerRow.isValid());
        form.Tree()->expand(outerRow);
        QCOMPARE(model.rowCount(outerRow), 1);
        const QModelIndex row = model.FindCreatedRow(outer->FindChildNode("b>"));
        QVERIFY(row.isValid());
        form.Tree()->selectionModel()->setCurrentIndex(
            row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(form.StatusText(0), QString::fromStdString(tree.Path()) + QStringLiteral("/<b>bold</b>"));
        const QList<QLabel *> panels = form.statusBar()->findChildren<QLabel *>();
        QVERIFY(!panels.isEmpty());
        for (const QLabel *label : panels)
            QCOMPARE(label->textFormat(), Qt::PlainText);
        // Tooltips rendered the way QToolTip renders them.
        const QModelIndex italic = model.FindCreatedRow(form.RootNode()->FindChildNode("<i>it<br>alic"));
        for (const QModelIndex &index : {outerRow, row, italic}) {
            QVERIFY(index.isValid());
            const QString tip = index.data(Qt::ToolTipRole).toString();
            QTextDocument document;
            if (Qt::mightBeRichText(tip))
                document.setHtml(tip);
            else
                document.setPlainText(tip);
            QCOMPARE(document.toPlainText(), index.data().toString());
        }
        QCOMPARE(italic.data().toString(), QStringLiteral("<i>it<br>alic"));
    }

    // Rows indented past their cell draw nothing outside it; the size hint holds the icon and the
    // whole name, so fitting a column to its contents shows them.
    void cellsStayInsideTheirRectangle()
    {
        TempTree tree;
        std::string deep;
        for (int i = 0; i < 30; ++i)
            deep += "level/";
        tree.MakeFile(deep + "leaf.bin", 10);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        form.Tree()->expandAll();
        QModelIndex index = form.Model()->index(0, 0);
        while (form.Model()->rowCount(index) > 0)
            index = form.Model()->index(0, 0, index);
        QAbstractItemDelegate *delegate = form.Tree()->itemDelegate();
        QStyleOptionViewItem option;
        option.initFrom(form.Tree());
        option.font = form.Tree()->font();
        option.widget = form.Tree();
        const auto paintedOutside = [&](const QRect &cell, const QModelIndex &at) {
            QImage image(400, 40, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            {
                QPainter painter(&image);
                option.rect = cell;
                delegate->paint(&painter, option, at);
            }
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qAlpha(image.pixel(x, y)) != 0 && !cell.contains(x, y))
                        return true;
            return false;
        };
        // Indented past the column's right edge: the rectangle has no width left.
        QVERIFY(!paintedOutside(QRect(300, 5, -120, 20), index));
        QVERIFY(!paintedOutside(QRect(40, 5, 12, 20), index));
        QVERIFY(!paintedOutside(QRect(40, 5, 12, 20), index.siblingAtColumn(1)));
        QVERIFY(!paintedOutside(QRect(40, 5, 30, 20), index.siblingAtColumn(3)));
        const QModelIndex named = index.parent();
        option.rect = QRect(0, 0, 100, 20);
        const int width = delegate->sizeHint(option, named).width();
        QVERIFY(width >= 16 + QFontMetrics(option.font).horizontalAdvance(QStringLiteral("level")));
    }

    // A folder whose name is not valid UTF-8 gets a folder icon like any other folder.
    void oddNamesGetFolderIcons()
    {
        TempTree tree;
        tree.MakeFile("good/x.bin", 10);
        tree.MakeFile("bad\xff\xfe/x.bin", 10);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        bool ghosted = false;
        const QIcon good = form.GetImage(form.RootNode()->FindChildNode("good"), 0, TImageKind::Normal, false, ghosted);
        const QIcon bad
            = form.GetImage(form.RootNode()->FindChildNode("bad\xff\xfe"), 0, TImageKind::Normal, false, ghosted);
        QVERIFY(!good.isNull());
        QVERIFY(!bad.isNull());
        QCOMPARE(bad.cacheKey(), good.cacheKey());
    }

    // The texts and colours of the cells for the nodes that need special care.
    void cellTextsAndColours()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        TRootDirNode root;
        root.SetName("/data");
        TDirNode *failed = root.AddChildDir("locked", 45000.5);
        failed->SetErrorCode(13);
        TFileSystemNode *link = AddFile(root, "link", 0, 0x0400);
        TFileSystemNode *packed = AddFile(root, "packed.z", 1234, 0x0800);
        TFileSystemNode *hidden = AddFile(root, ".hidden", 1, 0x0002);
        TDirNode *dated = root.AddChildDir("dated", 0);

        QCOMPARE(form.GetText(failed, 0, TTextType::Normal), QStringLiteral("locked"));
        QCOMPARE(form.GetText(failed, 1, TTextType::Normal), QStringLiteral("?"));
        QCOMPARE(form.GetText(failed, 2, TTextType::Normal), QStringLiteral("?"));
        QCOMPARE(
            form.GetText(failed, 0, TTextType::Static), QString::fromStdString(Platform().System->ErrorMessage(13)));
        for (int column = 0; column < TFileTreeModel::ColumnCount; ++column)
            QVERIFY(form.GetCellIsEmpty(failed, column));
        QVERIFY(!form.GetCellIsEmpty(packed, 1));
        QCOMPARE(form.GetText(link, 2, TTextType::Normal), QStringLiteral("<LINK>"));
        QCOMPARE(form.GetText(packed, 2, TTextType::Normal), QStringLiteral("1"));
        QCOMPARE(form.GetText(packed, 1, TTextType::Normal), QStringLiteral("1.20 KB"));
        QCOMPARE(form.GetText(packed, 3, TTextType::Normal), QStringLiteral(" "));
        QCOMPARE(form.GetText(dated, 4, TTextType::Normal), QStringLiteral("-"));
        QVERIFY(form.GetText(failed, 4, TTextType::Normal).contains(QLatin1Char(' ')));
        QVERIFY(form.GetText(packed, 0, TTextType::Static).isEmpty());

        const QColor highlight = form.Tree()->palette().color(QPalette::HighlightedText);
        struct
        {
            TFileSystemNode *Node;
            TTextType Type;
            bool Selected;
            QColor Expected;
            bool Italic;
        } cases[] = {
            {failed, TTextType::Static, false, QColor(255, 144, 144), true},
            {failed, TTextType::Static, true, highlight, true},
            {packed, TTextType::Normal, false, QColor(0, 0, 255), false},
            {packed, TTextType::Normal, true, QColor(1, 2, 3), false}, // unchanged when selected
            {hidden, TTextType::Normal, false, QColor(1, 2, 3), false},
            {&root, TTextType::Static, false, QColor(128, 128, 128), false},
        };
        for (const auto &c : cases) {
            QFont font;
            QColor color(1, 2, 3);
            form.PaintText(c.Node, 0, c.Type, c.Selected, font, color);
            QCOMPARE(color, c.Expected);
            QCOMPARE(font.italic(), c.Italic);
        }
        bool ghosted = false;
        form.GetImage(hidden, 0, TImageKind::Normal, false, ghosted);
        QVERIFY(ghosted);
        form.GetImage(packed, 0, TImageKind::Normal, false, ghosted);
        QVERIFY(!ghosted);
        QVERIFY(form.GetImage(link, 0, TImageKind::Overlay, false, ghosted).isNull());
        failed->SetScanCanceled(true);
        QVERIFY(!form.GetImage(failed, 0, TImageKind::Overlay, false, ghosted).isNull());
    }

    void percentTexts_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 1.0 << QStringLiteral("100%");
        QTest::newRow("none") << 0.0 << QStringLiteral("0%");
        QTest::newRow("tenth") << 0.123 << QStringLiteral("12.3%");
        QTest::newRow("tie to even down") << 0.1225 << QStringLiteral("12.2%");
        QTest::newRow("tie to even up") << 0.1235 << QStringLiteral("12.4%");
        QTest::newRow("over while scanning") << 1.5 << QStringLiteral("150%");
    }
    void percentTexts()
    {
        QFETCH(double, ratio);
        QFETCH(QString, text);
        QCOMPARE(TFormMain::PercentText(ratio), text);
    }

    // Header clicks flip the direction of the sort column or switch columns keeping the
    // direction; rows that compare equal keep their order whichever direction.
    void sortingByHeaderClicks()
    {
        TempTree tree;
        tree.MakeFile("b.bin", 3000000);
        tree.MakeFile("a.bin", 2000000);
        tree.MakeFile("c.bin", 2000000);
        tree.MakeFile("d.bin", 5000000);
        TWindowFixture w;
        w.Form->ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TFileTreeModel &model = *w.Form->Model();
        const QModelIndex top = model.index(0, 0);
        const QStringList bySize = ChildNames(model, top);
        QCOMPARE(bySize.front(), QStringLiteral("d.bin"));
        QCOMPARE(bySize.back().isEmpty(), false);
        const int equalA = bySize.indexOf(QStringLiteral("a.bin"));
        const int equalC = bySize.indexOf(QStringLiteral("c.bin"));
        QHeaderView *header = w.Form->Tree()->header();
        const auto click = [&](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
        };
        click(1);
        QCOMPARE(model.SortColumn(), 1);
        QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
        const QStringList ascending = ChildNames(model, model.index(0, 0));
        QCOMPARE(ascending.back(), QStringLiteral("d.bin"));
        QCOMPARE(
            ascending.indexOf(QStringLiteral("a.bin")) < ascending.indexOf(QStringLiteral("c.bin")), equalA < equalC);
        click(0);
        QCOMPARE(model.SortColumn(), 0);
        QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
        QCOMPARE(ChildNames(model, model.index(0, 0)),
            (QStringList {
                QStringLiteral("a.bin"), QStringLiteral("b.bin"), QStringLiteral("c.bin"), QStringLiteral("d.bin")}));
        // A rebuild keeps the chosen sort.
        w.Form->RefreshTree();
        QCOMPARE(ChildNames(model, model.index(0, 0)).front(), QStringLiteral("a.bin"));
    }

    // Rows of a small-files group that a scan thread folded away read as gone, never as freed
    // memory.
    void foldedGroupRowsGoStale()
    {
        TWindowFixture w;
        TRootDirNode root;
        root.SetName("/x");
        root.SetGroupFileSize(100);
        root.SetScanning(true);
        TFileGroupNode *group = root.GetSmallFilesGroup();
        AddFile(*group, "only", 5);
        AddFile(root, "big", 1000);
        TBySizeOwner owner;
        owner.Top = &root;
        TFileTreeModel model(owner);
        model.Rebuild();
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(model.rowCount(top), 2);
        QModelIndex groupRow;
        for (int i = 0; i < 2; ++i)
            if (model.NodeOf(model.index(i, 0, top)) == group)
                groupRow = model.index(i, 0, top);
        QVERIFY(groupRow.isValid());
        const QModelIndex fileRow = model.index(0, 0, groupRow);
        QCOMPARE(model.Access(fileRow).Node()->Name(), std::string_view("only"));
        const QPersistentModelIndex bigRow = model.index(groupRow.row() == 0 ? 1 : 0, 0, top);
        QCOMPARE(model.NodeOf(bigRow)->Name(), std::string_view("big"));
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString groupName = groupRow.data().toString();
        root.SetScanning(false); // folds the one-file group back and frees it
        QVERIFY(model.Access(groupRow).Stale());
        QVERIFY(model.Access(fileRow).Stale());
        // Until the refresh removes it, the row keeps its name and reads nothing else.
        QCOMPARE(groupRow.data().toString(), groupName);
        QVERIFY(!groupRow.siblingAtColumn(1).data().isValid());
        // The refresh removes the group's row and inserts the file's; the other row stays.
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QVERIFY(!model.Refresh(TFileTreeModel::TRefresh::Changed));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(inserted.count(), 1);
        QVERIFY(bigRow.isValid());
        QCOMPARE(model.NodeOf(bigRow)->Name(), std::string_view("big"));
        QCOMPARE(ChildNames(model, model.index(0, 0)), (QStringList {QStringLiteral("big"), QStringLiteral("only")}));
        for (int i = 0; i < 2; ++i)
            QVERIFY(!model.Access(model.index(i, 0, top)).Stale());
    }

    // The view lays out again only the open folders whose rows came or moved, and its rows
    // stay those of the model through insertions into open and closed folders, reorders at
    // several depths, folders opened while such a layout is pending, and a removal.
    void viewLaysOutChangedFoldersOnly()
    {
        TRootDirNode root;
        root.SetName("/x");
        root.SetScanning(true);
        std::vector<TDirNode *> dirs;
        for (const char *name : {"a", "b", "c"}) {
            auto dir = MakeDir(name);
            dirs.push_back(dir.get());
            dir->SetScanning(true);
            for (int i = 0; i < 3; ++i) {
                auto sub = MakeDir(std::string(name) + std::to_string(i));
                AddFile(*sub, "f", 10 + i);
                sub->IncSize(10 + i);
                sub->IncFileCount(1);
                dir->IncSize(10 + i);
                dir->IncFileCount(1);
                dir->AddChildNode(std::move(sub));
            }
            root.IncSize(dir->GetSize());
            root.AddChildNode(std::move(dir));
        }
        TBySizeOwner owner;
        owner.Top = &root;
        TFileTreeModel model(owner);
        model.Rebuild();
        TFileTreeView view;
        view.setModel(&model);
        view.resize(400, 300);
        view.show();
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QModelIndex top = model.index(0, 0);
        view.expand(top);
        for (int i = 0; i < model.rowCount(top); ++i) {
            const QModelIndex dir = model.index(i, 0, top);
            view.expand(dir);
            // The sub-folders of c and the last one of b stay closed.
            if (dir.data().toString() == QStringLiteral("c"))
                continue;
            const int open = model.rowCount(dir) - (dir.data().toString() == QStringLiteral("b") ? 1 : 0);
            for (int j = 0; j < open; ++j)
                view.expand(model.index(j, 0, dir));
        }
        QCoreApplication::processEvents();
        CompareLaidOutRows(view);
        const int full = view.FullLayoutCount();
        const auto step = [&](const std::function<void()> &change) {
            change();
            model.Refresh(TFileTreeModel::TRefresh::Changed);
            QCoreApplication::processEvents();
            CompareLaidOutRows(view);
        };
        const auto grow = [&](TDirNode &dir, std::string_view name, std::int64_t size) {
            AddFile(dir, name, size);
            for (TGroupNode *up = dir.Parent(); up; up = up->Parent()) {
                up->IncSize(size);
                up->IncFileCount(1);
            }
        };
        // New rows in an open folder, and a sub-folder growing past its siblings.
        step([&] { grow(*dirs[1], "new", 500); });
        QVERIFY(!QTest::currentTestFailed());
        auto *sub = static_cast<TDirNode *>(dirs[0]->GetUnlockedChildNode(0));
        step([&] { grow(*sub, "more", 1000); });
        QVERIFY(!QTest::currentTestFailed());
        // Closed folders first opened while a layout of some folders is pending: one inside
        // a folder laid out then, one elsewhere.
        const auto rowNamed = [&](const QString &name) {
            for (int i = 0; i < model.rowCount(top); ++i)
                if (model.index(i, 0, top).data().toString() == name)
                    return model.index(i, 0, top);
            return QModelIndex();
        };
        step([&] {
            grow(*dirs[2], "late", 5);
            model.Refresh(TFileTreeModel::TRefresh::Changed);
            view.expand(model.index(0, 0, rowNamed(QStringLiteral("c"))));
            const QModelIndex b = rowNamed(QStringLiteral("b"));
            for (int j = 0; j < model.rowCount(b); ++j)
                view.expand(model.index(j, 0, b));
        });
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(view.FullLayoutCount(), full);
        QVERIFY(view.PartialLayoutCount() > 0);
        // Folders done: the last reorders; then every row sorted again by a header click.
        step([&] {
            for (TDirNode *dir : dirs)
                dir->SetScanning(false);
            root.SetScanning(false);
        });
        QVERIFY(!QTest::currentTestFailed());
        model.sort(1, Qt::AscendingOrder);
        QCoreApplication::processEvents();
        CompareLaidOutRows(view);
        QVERIFY(!QTest::currentTestFailed());
        // A removal lays out every row.
        model.ForgetChildren(dirs[1]);
        dirs[1]->Clear();
        QCoreApplication::processEvents();
        CompareLaidOutRows(view);
        QVERIFY(view.FullLayoutCount() > full);
    }
};

QTEST_MAIN(FileTreeModelTest)
#include "file_tree_model_test.moc"
