// The "Largest Files" view of the main window on real scans.
#include <cstdio>
#include <fstream>

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>

#include "UiTestSupport.h"
#include "shell/ShellServices.h"
#include "ui/DeleteConfirmDialog.h"
#include "ui/ItemContextMenu.h"
#include "ui/LargestFilesView.h"

namespace {

int Confirmations = 0;
bool Confirm(TDeleteConfirmDialog &)
{
    ++Confirmations;
    return true;
}

int RowOf(TFormMain &form, const std::string &path)
{
    const TLargestFilesModel *model = form.LargestFilesView()->Model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->File(row).Path() == path)
            return row;
    return -1;
}

void SelectRows(TFormMain &form, std::initializer_list<int> rows)
{
    TLargestFilesView *view = form.LargestFilesView();
    view->selectionModel()->clearSelection();
    for (const int row : rows)
        view->selectionModel()->setCurrentIndex(
            view->Model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Opens the context menu of a row as a right click does and returns it.
TItemContextMenu *ContextMenuOf(TFormMain &form, int row)
{
    TLargestFilesView *view = form.LargestFilesView();
    view->doItemsLayout();
    const QPoint pos = view->visualRect(view->Model()->index(row, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view->viewport(), &event);
    return form.findChild<TItemContextMenu *>();
}

} // namespace

class LargestFilesViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void showsTheLargestFilesOfTheShownFolder()
    {
        TempTree tree;
        tree.MakeFile("a/big.iso", 9000000);
        tree.MakeFile("a/small1", 10); // inside a small-files group
        tree.MakeFile("a/small2", 20);
        tree.MakeFile("b/deep/er/medium.bin", 4000000);
        tree.MakeFile("top.txt", 2000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        QVERIFY(!form.ShowsLargestFiles());
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        form.ActLargestFiles->trigger();
        QVERIFY(form.ShowsLargestFiles());
        QVERIFY(form.LargestFilesView()->isVisible());
        QVERIFY(!form.Tree()->isVisible());
        TLargestFilesModel *model = form.LargestFilesView()->Model();
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(model->File(0).Path(), tree / "a/big.iso");
        QCOMPARE(model->File(1).Path(), tree / "b/deep/er/medium.bin");
        QCOMPARE(model->File(2).Path(), tree / "top.txt");
        QCOMPARE(model->File(4).Path(), tree / "a/small1");
        QCOMPARE(model->data(model->index(1, TLargestFilesModel::ColFolder), Qt::DisplayRole).toString(),
            QString::fromStdString(tree / "b/deep/er"));
        QCOMPARE(model->Ratio(0), 9000000.0 / 15000030.0);
        // Sorting by name puts the names in order.
        form.LargestFilesView()->header()->setSortIndicator(TLargestFilesModel::ColName, Qt::AscendingOrder);
        QCOMPARE(model->File(0).Name, std::string("big.iso"));
        QCOMPARE(model->File(4).Name, std::string("top.txt"));
        // Back to the tree, which is shown again.
        form.ActLargestFiles->trigger();
        QVERIFY(!form.ShowsLargestFiles());
        QVERIFY(form.Tree()->isVisible());
    }

    void fillsDuringAScan()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ShowLargestFiles(true);
        form.ProcessCommandLine({"/usr"});
        // The list fills while the scan runs, with every refresh of the tree.
        QVERIFY(QTest::qWaitFor([&] { return form.LargestFilesView()->Model()->rowCount() > 0; }, 20000));
        form.ActStopScan->trigger();
        QVERIFY(w.WaitForScans());
        form.ShowLargestFiles(false);
    }

    // The rows act on the tree's own nodes: Del and Shift+Del (several rows, a member of a
    // small-files group), Enter, the file manager and the context menu; the list and the tree
    // lose the file and the totals go down.
    void fileCommandsOnRows()
    {
        TempTree data;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.Path()));
        TRecordingDesktop desktop;
        IDesktopServices *previousDesktop = InstallDesktopServices(&desktop);
        TempTree tree;
        tree.MakeFile("a/big.iso", 9000000);
        tree.MakeFile("a/small1", 10);
        tree.MakeFile("a/small2", 20);
        tree.MakeFile("b/medium.bin", 4000000);
        tree.MakeFile("b/other.bin", 3000000);
        tree.MakeFile("top.txt", 2000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        auto *a = dynamic_cast<TDirNode *>(root->FindChildNode("a"));
        auto *b = dynamic_cast<TDirNode *>(root->FindChildNode("b"));
        QVERIFY(a && a->SmallFilesGroup() && b);
        form.ShowLargestFiles(true);
        TLargestFilesView *view = form.LargestFilesView();
        QCOMPARE(view->Model()->rowCount(), 6);
        // Opening the tree's node of the row: Enter and the file manager.
        SelectRows(form, {RowOf(form, tree / "top.txt")});
        QCOMPARE(form.GetSelectedNode(), root->FindChildNode("top.txt"));
        form.UpdateActions();
        QVERIFY(form.ActShellOpenFile->isEnabled());
        QVERIFY(form.ActOpenInExplorer->isEnabled());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(desktop.Opened, std::vector<std::string> {tree / "top.txt"});
        form.ActOpenInExplorer->trigger();
        QCOMPARE(desktop.Shown.back(), std::make_pair(tree / "top.txt", true));

        // Del on two rows of different folders: both go to the Trash.
        TDeleteConfirmDialog::TestAnswer = Confirm;
        Confirmations = 0;
        SelectRows(form, {RowOf(form, tree / "a/big.iso"), RowOf(form, tree / "b/other.bin")});
        form.UpdateActions();
        QVERIFY(form.ActDelete->isEnabled());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(Confirmations, 1);
        QVERIFY(!Exists(tree / "a/big.iso"));
        QVERIFY(!Exists(tree / "b/other.bin"));
        QVERIFY(Exists(data / "Trash/files/big.iso"));
        QVERIFY(Exists(data / "Trash/files/other.bin"));
        QCOMPARE(a->FindChildNode("big.iso"), nullptr);
        QCOMPARE(b->FindChildNode("other.bin"), nullptr);
        QCOMPARE(a->GetSize(), 30);
        QCOMPARE(root->GetSize(), 6000030);
        QCOMPARE(root->FileCount(), 4);
        QCOMPARE(view->Model()->rowCount(), 4);
        QCOMPARE(RowOf(form, tree / "a/big.iso"), -1);
        // The first deleted row's place keeps the selection.
        QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
        QVERIFY(QTest::qWaitForWindowActive(&form));

        // Shift+Del on a member of a small-files group removes it for good.
        SelectRows(form, {RowOf(form, tree / "a/small2")});
        QCOMPARE(form.GetSelectedNode()->Parent(), a->SmallFilesGroup());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(!Exists(tree / "a/small2"));
        QVERIFY(!Exists(data / "Trash/files/small2"));
        QCOMPARE(a->GetSize(), 10);
        QCOMPARE(root->GetSize(), 6000010);
        QCOMPARE(RowOf(form, tree / "a/small2"), -1);

        // The context menu of a row offers the path's commands; its Move to Trash deletes.
        const int row = RowOf(form, tree / "b/medium.bin");
        TItemContextMenu *menu = ContextMenuOf(form, row);
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->Path(), tree / "b/medium.bin");
        QVERIFY(menu->ActOpen->isEnabled());
        QVERIFY(menu->ActMoveToTrash->isEnabled());
        QVERIFY(menu->ActDeletePermanently->isEnabled());
        menu->ActMoveToTrash->trigger();
        menu->close();
        QTRY_VERIFY(!Exists(tree / "b/medium.bin"));
        QVERIFY(Exists(data / "Trash/files/medium.bin"));
        QCOMPARE(b->GetSize(), 0);
        QCOMPARE(root->GetSize(), 2000010);
        QCOMPARE(RowOf(form, tree / "b/medium.bin"), -1);
        QCOMPARE(view->Model()->rowCount(), 2);

        TDeleteConfirmDialog::TestAnswer = nullptr;
        InstallDesktopServices(previousDesktop);
    }

    // Refresh on a folder and on a folder inside it, from rows of the list and of the tree: the
    // outer folder's rescan frees the inner folder's node at once, and reads it again itself.
    void refreshOfAFolderAndOfAFolderInsideIt()
    {
        TempTree tree;
        tree.MakeFile("a/big.iso", 9000000);
        tree.MakeFile("a/b/medium.bin", 4000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        form.ShowLargestFiles(true);
        SelectRows(form, {RowOf(form, tree / "a/big.iso"), RowOf(form, tree / "a/b/medium.bin")});
        tree.MakeFile("a/b/new.bin", 2000000);
        form.ActRefreshNodeExecute();
        QVERIFY(w.WaitForScans());
        QCOMPARE(root->GetSize(), 15000000);
        QVERIFY(RowOf(form, tree / "a/b/new.bin") >= 0);

        form.ShowLargestFiles(false);
        auto *a = dynamic_cast<TDirNode *>(root->FindChildNode("a"));
        QVERIFY(a);
        const QModelIndex rowA = form.Model()->FindCreatedRow(a);
        QVERIFY(rowA.isValid());
        form.Tree()->expand(rowA);
        const QModelIndex rowB = form.Model()->FindCreatedRow(a->FindChildNode("b"));
        QVERIFY(rowB.isValid());
        QItemSelectionModel *selection = form.Tree()->selectionModel();
        selection->clearSelection();
        selection->select(rowA, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection->select(rowB, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        tree.MakeFile("a/b/more.bin", 1000000);
        form.ActRefreshNodeExecute();
        QVERIFY(w.WaitForScans());
        QCOMPARE(root->GetSize(), 16000000);
        QCOMPARE(root->FileCount(), 4);
    }

    // A hidden list keeps its rows while the tree changes: shown again, its current row is
    // the same file as before, found by its path, not by the address of its node, which a
    // rescan freed and may have given to another file.
    void currentRowFollowsItsFileAcrossARescan()
    {
        TempTree tree;
        tree.MakeFile("a/keep.bin", 9000000);
        tree.MakeFile("a/gone.bin", 5000000);
        tree.MakeFile("b/other.bin", 4000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessCommandLine({tree.Path()});
        QVERIFY(w.WaitForScans());
        form.ShowLargestFiles(true);
        SelectRows(form, {RowOf(form, tree / "a/keep.bin")});
        form.ShowLargestFiles(false);
        QVERIFY(std::remove((tree / "a/gone.bin").c_str()) == 0);
        tree.MakeFile("a/fake.bin", 5000000);
        form.ScanSubDirNode(dynamic_cast<TDirNode *>(form.RootNode()->FindChildNode("a")));
        QVERIFY(w.WaitForScans());
        form.ShowLargestFiles(true);
        const QModelIndex current = form.LargestFilesView()->currentIndex();
        QVERIFY(current.isValid());
        const std::string path = form.LargestFilesView()->Model()->File(current.row()).Path();
        QVERIFY2(path == tree / "a/keep.bin", path.c_str());
    }

    // An opened analysis of a folder this machine lacks: no command touches the disk, in the
    // list as in the tree.
    void noFileCommandsForAFolderOfAnotherMachine()
    {
        TempTree files;
        const std::string json = files / "elsewhere.json";
        std::ofstream(json) << "[1,2,{\"progname\":\"ncdu\"},[{\"name\":\"/no/such/folder/here\"},"
                               "{\"name\":\"big.bin\",\"asize\":3000000},{\"name\":\"small.bin\",\"asize\":2000000}]]";
        TDeleteConfirmDialog::TestAnswer = Confirm;
        Confirmations = 0;
        TWindowFixture w;
        TFormMain &form = *w.Form;
        QVERIFY(form.OpenAnalysisFile(json));
        for (const bool list : {true, false}) {
            form.ShowLargestFiles(list);
            if (list) {
                QCOMPARE(form.LargestFilesView()->Model()->rowCount(), 2);
                SelectRows(form, {0});
            } else {
                form.Tree()->selectionModel()->setCurrentIndex(
                    form.Model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
            QVERIFY(form.GetSelectedNode());
            form.UpdateActions();
            QVERIFY(!form.ActDelete->isEnabled());
            QVERIFY(!form.ActShellOpenFile->isEnabled());
            QVERIFY(!form.ActOpenInExplorer->isEnabled());
            form.ActDeleteExecute();
            QCOMPARE(Confirmations, 0);
        }
        form.ShowLargestFiles(true);
        TItemContextMenu *menu = ContextMenuOf(form, 0);
        QVERIFY(menu);
        QVERIFY(!menu->ActMoveToTrash->isEnabled());
        QVERIFY(!menu->ActDeletePermanently->isEnabled());
        menu->close();
        TDeleteConfirmDialog::TestAnswer = nullptr;
    }

    void layoutPersistsInItsOwnKeys()
    {
        TempTree config;
        const std::string file = config / "Zumbrel.ini";
        {
            TSettings settings(file);
            TFormMain form(settings);
            QHeaderView *header = form.LargestFilesView()->header();
            header->moveSection(header->visualIndex(TLargestFilesModel::ColDate), 0);
            header->resizeSection(TLargestFilesModel::ColFolder, 321);
            header->setSortIndicator(TLargestFilesModel::ColDate, Qt::AscendingOrder);
        }
        TSettings settings(file);
        QCOMPARE(
            QString::fromStdString(settings.ReadSettingStr("ColPositionsLargeFiles", "")), QStringLiteral("1,2,3,4,0"));
        QCOMPARE(settings.ReadSettingInt("SortColumnLargeFiles", -1), int(TLargestFilesModel::ColDate));
        QCOMPARE(settings.ReadSettingInt("SortDirectionLargeFiles", -1), 0);
        TFormMain form(settings);
        QHeaderView *header = form.LargestFilesView()->header();
        QCOMPARE(header->visualIndex(TLargestFilesModel::ColDate), 0);
        QCOMPARE(header->sectionSize(TLargestFilesModel::ColFolder), 321);
        QCOMPARE(form.LargestFilesView()->Model()->SortColumn(), int(TLargestFilesModel::ColDate));
        QCOMPARE(form.LargestFilesView()->Model()->SortOrder(), Qt::AscendingOrder);
        // The folder tree keeps its own keys.
        QCOMPARE(form.Model()->SortColumn() == TLargestFilesModel::ColDate
                && form.Model()->SortOrder() == Qt::AscendingOrder,
            false);
    }
};

QTEST_MAIN(LargestFilesViewTest)
#include "largest_files_view_test.moc"
