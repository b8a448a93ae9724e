// The window's file commands on real scans of real folders.
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

#include "UiTestSupport.h"
#include "common/MessageBoxes.h"
#include "shell/ShellServices.h"
#include "shell/Terminal.h"
#include "ui/DeleteConfirmDialog.h"
#include "ui/ItemContextMenu.h"

namespace {

// Answers every question with `Answer` and records the texts.
class TRecordingBoxes final : public IMessageBoxes
{
public:
    bool Show(TMessageKind kind, const std::string &, const std::string &text) override
    {
        Asked.emplace_back(kind, text);
        return Answer;
    }
    bool Answer = false;
    std::vector<std::pair<TMessageKind, std::string>> Asked;
};

bool Confirm(TDeleteConfirmDialog &)
{
    return true;
}
bool Refuse(TDeleteConfirmDialog &)
{
    return false;
}

// What another user does while the confirmation waits (run as nobody when the tests run as
// root), and the question the dialog asked.
bool AsAnotherUser(const std::string &script)
{
    const std::string quoted = "'" + script + "'";
    const std::string command = ::geteuid() == 0 && ::access("/usr/sbin/runuser", X_OK) == 0
        ? "/usr/sbin/runuser -u nobody -- sh -c " + quoted
        : "sh -c " + quoted;
    return std::system(command.c_str()) == 0;
}
std::string GSwap;
QString GQuestion;
bool SwapThenConfirm(TDeleteConfirmDialog &dialog)
{
    GQuestion = dialog.Question();
    return AsAnotherUser(GSwap);
}
bool ChangeThenConfirm(TDeleteConfirmDialog &dialog)
{
    GQuestion = dialog.Question();
    return std::system(GSwap.c_str()) == 0;
}

// Records where terminals were asked for.
class TRecordingTerminal final : public ITerminalLauncher
{
public:
    bool OpenTerminal(const std::string &folder, std::string &error) override
    {
        Folders.push_back(folder);
        if (Fails)
            error = "no terminal here";
        return !Fails;
    }
    std::vector<std::string> Folders;
    bool Fails = false;
};

void SelectOnly(TFormMain &form, const TFileSystemNode *node)
{
    // The rows of the ancestors are expanded first, so that the node's row exists.
    std::vector<const TFileSystemNode *> chain;
    for (const TFileSystemNode *up = node->Parent(); up; up = up->Parent())
        chain.push_back(up);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        if (const QModelIndex row = form.Model()->FindCreatedRow(*it); row.isValid())
            form.Tree()->expand(row);
    const QModelIndex row = form.Model()->FindCreatedRow(node);
    QVERIFY(row.isValid());
    form.Tree()->selectionModel()->setCurrentIndex(
        row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace

class FormFileCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }
    void init()
    {
        FData = std::make_unique<TempTree>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(FData->Path()));
        FPreviousDesktop = InstallDesktopServices(&FDesktop);
        FPreviousBoxes = InstallMessageBoxes(&FBoxes);
        FDesktop = {};
        FBoxes.Asked.clear();
        FBoxes.Answer = false;
    }
    void cleanup()
    {
        TDeleteConfirmDialog::TestAnswer = nullptr;
        InstallDesktopServices(FPreviousDesktop);
        InstallMessageBoxes(FPreviousBoxes);
        FData.reset();
    }

    // Del moves the file to the Trash, the folder row takes the selection, the totals go
    // down; Ctrl+Z brings the file back and reads its folder again.
    void deleteToTrashAndUndo()
    {
        TempTree tree;
        tree.MakeFile("sub/a.bin", 3000000);
        tree.MakeFile("sub/b.bin", 2000000);
        tree.MakeFile("other.bin", 1000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        auto *sub = dynamic_cast<TDirNode *>(root->FindChildNode("sub"));
        form.Tree()->expand(form.Model()->FindCreatedRow(sub));
        SelectOnly(form, sub->FindChildNode("a.bin"));
        form.UpdateActions();
        QVERIFY(form.ActDelete->isEnabled());
        QVERIFY(!form.ActUndoTrash->isEnabled());
        TDeleteConfirmDialog::TestAnswer = Confirm;
        form.Tree()->setFocus();
        QTest::keyClick(form.Tree(), Qt::Key_Delete);
        QVERIFY(!Exists(tree / "sub/a.bin"));
        QVERIFY(Exists(*FData / "Trash/files/a.bin"));
        QCOMPARE(sub->GetSize(), 2000000);
        QCOMPARE(root->GetSize(), 3000000);
        QCOMPARE(root->FileCount(), 2);
        QCOMPARE(form.GetSelectedNode(), sub);
        form.UpdateActions();
        QVERIFY(form.ActUndoTrash->isEnabled());

        // A slow run shows the progress dialog, which takes the activation for a moment; the
        // window's shortcuts work once it is back.
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.Tree(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(Exists(tree / "sub/a.bin"));
        QVERIFY(w.WaitForScans());
        QCOMPARE(form.RootNode(), root);
        QCOMPARE(root->GetSize(), 6000000);
        QCOMPARE(root->FileCount(), 3);
        form.UpdateActions();
        QVERIFY(!form.ActUndoTrash->isEnabled());
    }

    void shiftDeleteRemovesAFolderForGood()
    {
        TempTree tree;
        tree.MakeFile("sub/deep/a.bin", 3000000);
        tree.MakeFile("other.bin", 1000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        SelectOnly(form, root->FindChildNode("sub"));
        TDeleteConfirmDialog::TestAnswer = Confirm;
        form.Tree()->setFocus();
        QTest::keyClick(form.Tree(), Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(!Exists(tree / "sub"));
        QVERIFY(!Exists(*FData / "Trash/files/sub"));
        QCOMPARE(root->FindChildNode("sub"), nullptr);
        QCOMPARE(root->GetSize(), 1000000);
        QCOMPARE(form.GetSelectedNode(), root);
    }

    void cancelledConfirmationLeavesEveryRow()
    {
        TempTree tree;
        tree.MakeFile("a.bin", 3000000);
        tree.MakeFile("b.bin", 1000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        const QModelIndex top = form.Model()->index(0, 0);
        const int rows = form.Model()->rowCount(top);
        SelectOnly(form, root->FindChildNode("a.bin"));
        TDeleteConfirmDialog::TestAnswer = Refuse;
        form.ActDeleteExecute();
        QCOMPARE(form.Model()->rowCount(top), rows);
        QVERIFY(Exists(tree / "a.bin"));
        QCOMPARE(root->GetSize(), 4000000);
    }

    void theTopRowIsNotDeleted()
    {
        TempTree tree;
        tree.MakeFile("a.bin", 3000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        SelectOnly(form, form.RootNode());
        TDeleteConfirmDialog::TestAnswer = Confirm;
        form.ActDeleteExecute();
        QVERIFY(Exists(tree / "a.bin"));
        QCOMPARE(FBoxes.Asked.size(), std::size_t(1));
        QCOMPARE(FBoxes.Asked[0].first, TMessageKind::Error);
    }

    // While a rescan fills a folder, nothing inside it (or holding it) may go; a folder
    // beside it may.
    void deletingNextToARunningRescan()
    {
        TempTree tree;
        for (int d = 0; d < 20; ++d)
            for (int i = 0; i < 400; ++i)
                tree.MakeFile("big/d" + std::to_string(d) + "/f" + std::to_string(i), 2000000);
        tree.MakeFile("side/x.bin", 3000000);
        tree.MakeFile("other.bin", 1000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        const std::int64_t bigSize = root->FindChildNode("big")->GetSize();
        SelectOnly(form, root->FindChildNode("big"));
        form.ActRefreshNodeExecute();
        QVERIFY(!form.ScanThreads().IsEmpty());
        TDeleteConfirmDialog::TestAnswer = Confirm;
        // The thread ends only through the event loop, so it still counts here.
        form.DeletePaths({tree / "big/d3/f7"}, true);
        form.DeletePaths({tree / "big"}, false);
        QVERIFY(Exists(tree / "big/d3/f7"));
        QCOMPARE(FBoxes.Asked.size(), std::size_t(2));
        form.DeletePaths({tree / "side"}, true);
        QVERIFY(!Exists(tree / "side"));
        QVERIFY(w.WaitForScans());
        QCOMPARE(root->FindChildNode("side"), nullptr);
        QCOMPARE(root->FindChildNode("big")->GetSize(), bigSize);
        QCOMPARE(root->GetSize(), bigSize + 1000000);
        QCOMPARE(root->FileCount(), 8001);
    }

    void enabledRules()
    {
        TempTree tree;
        tree.MakeFile("sub/a.bin", 3000000);
        tree.MakeFile("b.bin", 1000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.UpdateActions();
        QVERIFY(!form.ActDelete->isEnabled());
        QVERIFY(!form.ActShellOpenFile->isEnabled());
        QVERIFY(!form.ActOpenInExplorer->isEnabled());
        QVERIFY(!form.ActSaveScanResult->isEnabled());
        QVERIFY(form.Action1->isEnabled());
        QVERIFY(form.ActionHomepage->isEnabled());
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        struct TCase
        {
            const TFileSystemNode *Node;
            bool Open;
        };
        for (const TCase &c : {TCase {root->FindChildNode("b.bin"), true}, TCase {root->FindChildNode("sub"), false}}) {
            SelectOnly(form, c.Node);
            form.UpdateActions();
            QVERIFY(form.ActDelete->isEnabled());
            QCOMPARE(form.ActShellOpenFile->isEnabled(), c.Open);
            QVERIFY(form.ActOpenInExplorer->isEnabled());
            QVERIFY(form.ActSaveScanResult->isEnabled());
        }
        form.Tree()->selectionModel()->clearSelection();
        form.UpdateActions();
        QVERIFY(!form.ActDelete->isEnabled());
    }

    void openShowAndHomepageGoToTheDesktop()
    {
        TempTree tree;
        tree.MakeFile("sub/a.txt", 3000000);
        tree.MakeFile("driver.SYS", 1000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        TRootNode *root = form.RootNode();
        auto *sub = dynamic_cast<TDirNode *>(root->FindChildNode("sub"));
        form.Tree()->expand(form.Model()->FindCreatedRow(sub));
        SelectOnly(form, sub->FindChildNode("a.txt"));
        const QModelIndex fileRow = form.Model()->FindCreatedRow(sub->FindChildNode("a.txt"));
        form.Tree()->doItemsLayout();
        QVERIFY(form.Tree()->visualRect(fileRow).isValid());
        // An item view takes a double click only after the press that starts it.
        QTest::mousePress(form.Tree()->viewport(), Qt::LeftButton, {}, form.Tree()->visualRect(fileRow).center());
        QTest::mouseDClick(form.Tree()->viewport(), Qt::LeftButton, {}, form.Tree()->visualRect(fileRow).center());
        QCOMPARE(FDesktop.Opened, std::vector<std::string> {tree / "sub/a.txt"});

        form.ActOpenInExplorerExecute();
        QCOMPARE(FDesktop.Shown.back(), std::make_pair(tree / "sub/a.txt", true));
        SelectOnly(form, sub);
        form.ActOpenInExplorerExecute();
        QCOMPARE(FDesktop.Shown.back(), std::make_pair(tree / "sub", false));
        // Enter on a folder opens nothing.
        form.Tree()->setFocus();
        QTest::keyClick(form.Tree(), Qt::Key_Return);
        QCOMPARE(FDesktop.Opened.size(), std::size_t(1));

        // A system file asks first; No keeps it closed.
        SelectOnly(form, root->FindChildNode("driver.SYS"));
        form.ActShellOpenFileExecute();
        QCOMPARE(FBoxes.Asked.size(), std::size_t(1));
        QCOMPARE(FBoxes.Asked[0].first, TMessageKind::Warning);
        QVERIFY(FBoxes.Asked[0].second.find("driver.SYS") != std::string::npos);
        QCOMPARE(FDesktop.Opened.size(), std::size_t(1));

        form.ActionHomepageExecute();
        QCOMPARE(FDesktop.Urls, std::vector<std::string> {ProgramHomepageUrl()});
    }

    void groupRowShowsItsFolderInThePopup()
    {
        TempTree tree;
        tree.MakeFile("sub/s1", 100);
        tree.MakeFile("sub/s2", 200);
        tree.MakeFile("sub/big", 3000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        auto *sub = dynamic_cast<TDirNode *>(form.RootNode()->FindChildNode("sub"));
        QVERIFY(sub && sub->SmallFilesGroup());
        SelectOnly(form, sub->SmallFilesGroup());
        form.Tree()->doItemsLayout();
        const QPoint pos = form.Tree()->visualRect(form.Model()->FindCreatedRow(sub->SmallFilesGroup())).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, form.Tree()->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(form.Tree()->viewport(), &event);
        QMenu *popup = form.PopupTree();
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(popup->actions().front()->text(), QString::fromStdString(tree / "sub"));
        QVERIFY(!popup->actions().front()->isEnabled());
        QVERIFY(popup->actions().contains(form.ActOpenInExplorer));
        QVERIFY(popup->actions().contains(form.ActRefreshNode));
        popup->close();
    }

    void menusAndToolbarHoldTheCommands()
    {
        TWindowFixture w;
        TFormMain &form = *w.Form;
        QStringList texts;
        for (QAction *menu : form.menuBar()->actions())
            for (QAction *entry : menu->menu()->actions())
                texts << entry->text();
        for (const QAction *action : {form.ActDirSelect, form.ActionRemoveInvalidRecentItems, form.ActShellOpenFile,
                 form.ActDelete, form.ActionExitApplication, form.ActRefresh, form.ActRefreshNode, form.ActStopScan,
                 form.ActOpenInExplorer, form.ActSaveScanResult, form.Action1, form.ActionHomepage})
            QVERIFY2(texts.contains(action->text()), qPrintable(action->text()));
        QCOMPARE(form.ActDelete->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(form.ActOpenInExplorer->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    }

    // Another user swaps a folder of the analysis for a link to a folder only we can read, or
    // for a folder of theirs, while the confirmation waits: neither Delete nor Move to Trash
    // touches anything, the message says what changed, and the rows stay.
    void aSwapWhileTheConfirmationWaitsTouchesNothing()
    {
        for (const bool permanent : {true, false}) {
            for (const char *swap : {"mv dir dir.moved && ln -s SECRET dir", "mv dir dir.moved && mkdir dir"}) {
                TempTree tree;
                TempTree secret;
                tree.MakeFile("dir/victim.txt", 10);
                tree.MakeFile("other.bin", 1000);
                secret.MakeFile("victim.txt", 20);
                ::chmod(tree.Path().c_str(), 0777);
                ::chmod((tree / "dir").c_str(), 0777);
                ::chmod(secret.Path().c_str(), 0700);
                TWindowFixture w;
                TFormMain &form = *w.Form;
                form.ProcessPath(tree.Path(), false);
                QVERIFY(w.WaitForScans());
                TRootNode *root = form.RootNode();
                auto *dir = dynamic_cast<TDirNode *>(root->FindChildNode("dir"));
                SelectOnly(form, dir->FindChildNode("victim.txt"));
                GSwap = "cd " + tree.Path() + " && " + swap;
                if (const auto at = GSwap.find("SECRET"); at != std::string::npos)
                    GSwap.replace(at, 6, secret.Path());
                TDeleteConfirmDialog::TestAnswer = SwapThenConfirm;
                FBoxes.Asked.clear();
                form.UpdateActions();
                form.Tree()->setFocus();
                QTest::keyClick(form.Tree(), Qt::Key_Delete, permanent ? Qt::ShiftModifier : Qt::NoModifier);
                QVERIFY(Exists(secret / "victim.txt"));
                QVERIFY(Exists(tree / "dir.moved/victim.txt"));
                QVERIFY(!Exists(*FData / "Trash/files/victim.txt"));
                QCOMPARE(FBoxes.Asked.size(), std::size_t(1));
                QCOMPARE(FBoxes.Asked[0].first, TMessageKind::Error);
                QVERIFY2(
                    FBoxes.Asked[0].second.find(tree / "dir") != std::string::npos, FBoxes.Asked[0].second.c_str());
                QCOMPARE(dir->FindChildNode("victim.txt") != nullptr, true);
                QCOMPARE(root->GetSize(), 1010);
            }
        }
    }

    // The confirmation said "the file docs (10 Byte)"; on disk docs has become a folder
    // meanwhile: nothing of it goes.
    void aFileThatBecameAFolderIsLeftAlone()
    {
        TempTree tree;
        tree.MakeFile("docs", 10);
        tree.MakeFile("other.bin", 3000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        SelectOnly(form, form.RootNode()->FindChildNode("docs"));
        // An unlucky user's own change, made while the question waited.
        GSwap = "cd " + tree.Path() + " && rm docs && mkdir docs && touch docs/a docs/b";
        TDeleteConfirmDialog::TestAnswer = ChangeThenConfirm;
        form.Tree()->setFocus();
        QTest::keyClick(form.Tree(), Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(Exists(tree / "docs/a") && Exists(tree / "docs/b"));
        QCOMPARE(FBoxes.Asked.size(), std::size_t(1));
        QVERIFY2(FBoxes.Asked[0].second.find("folder") != std::string::npos, FBoxes.Asked[0].second.c_str());
    }

    // Undo after another user put a folder of theirs where the item came from: it stays in
    // the Trash, and the window says why.
    void undoRefusesAFolderThatChangedHands()
    {
        if (::geteuid() != 0 || ::access("/usr/sbin/runuser", X_OK) != 0)
            QSKIP("needs a second user (root and runuser)");
        TempTree tree;
        tree.MakeFile("dir/victim.txt", 10);
        tree.MakeFile("other.bin", 1000);
        ::chmod(tree.Path().c_str(), 0777);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        auto *dir = dynamic_cast<TDirNode *>(form.RootNode()->FindChildNode("dir"));
        SelectOnly(form, dir->FindChildNode("victim.txt"));
        TDeleteConfirmDialog::TestAnswer = Confirm;
        form.UpdateActions();
        form.Tree()->setFocus();
        QTest::keyClick(form.Tree(), Qt::Key_Delete);
        QVERIFY(Exists(*FData / "Trash/files/victim.txt"));
        QVERIFY(AsAnotherUser("cd " + tree.Path() + " && mv dir dir.moved && mkdir dir && chmod 777 dir"));
        FBoxes.Asked.clear();
        form.ActUndoTrashExecute();
        QVERIFY(Exists(*FData / "Trash/files/victim.txt"));
        QVERIFY(!Exists(tree / "dir/victim.txt"));
        QCOMPARE(FBoxes.Asked.size(), std::size_t(1));
        QCOMPARE(FBoxes.Asked[0].first, TMessageKind::Error);
    }

    // The context menu of a file shown inside a small-files group names its real size.
    void contextMenuDeleteOfAGroupMemberNamesItsSize()
    {
        TempTree tree;
        tree.MakeFile("sub/small.txt", 8);
        tree.MakeFile("sub/big.bin", 3000000);
        tree.MakeFile("sub/tiny", 3);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        auto *sub = dynamic_cast<TDirNode *>(form.RootNode()->FindChildNode("sub"));
        QVERIFY(sub && sub->SmallFilesGroup());
        GSwap = "true";
        TDeleteConfirmDialog::TestAnswer = SwapThenConfirm;
        form.DeletePaths({tree / "sub/small.txt"}, false);
        const QString expected = QString::fromStdString(FileSizeToStrTruncated(8));
        QVERIFY2(GQuestion.contains(expected), qPrintable(GQuestion + QStringLiteral(" / ") + expected));
        QVERIFY(!GQuestion.contains(QString::fromStdString(FileSizeToStrTruncated(0))));
        QVERIFY(!Exists(tree / "sub/small.txt"));
        QCOMPARE(sub->GetSize(), 3000003);
    }

    // Show in File Manager and Open Terminal Here say when nothing answers.
    void showInFileManagerAndTerminalSayWhenNothingAnswers()
    {
        TempTree tree;
        tree.MakeFile("sub/a.txt", 3000000);
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.ProcessPath(tree.Path(), false);
        QVERIFY(w.WaitForScans());
        auto *sub = dynamic_cast<TDirNode *>(form.RootNode()->FindChildNode("sub"));
        SelectOnly(form, sub);
        FDesktop.NoFileManager = true;
        form.ActOpenInExplorerExecute();
        QCOMPARE(FBoxes.Asked.size(), std::size_t(1));
        QCOMPARE(FBoxes.Asked[0].first, TMessageKind::Error);
        QVERIFY(FBoxes.Asked[0].second.find(tree / "sub") != std::string::npos);
        TItemContextMenu menu(tree / "sub/a.txt", {}, true);
        menu.ActShowInFileManager->trigger();
        QCOMPARE(FBoxes.Asked.size(), std::size_t(2));

        // The terminal opens in a folder, or in a file's folder.
        TRecordingTerminal terminal;
        ITerminalLauncher *previous = InstallTerminalLauncher(&terminal);
        menu.ActOpenTerminal->trigger();
        TItemContextMenu folderMenu(tree / "sub", {}, true);
        folderMenu.ActOpenTerminal->trigger();
        QCOMPARE(terminal.Folders, (std::vector<std::string> {tree / "sub", tree / "sub"}));
        QCOMPARE(FBoxes.Asked.size(), std::size_t(2));
        terminal.Fails = true;
        folderMenu.ActOpenTerminal->trigger();
        InstallTerminalLauncher(previous);
        QCOMPARE(FBoxes.Asked.size(), std::size_t(3));
        QVERIFY(FBoxes.Asked[2].second.find("no terminal here") != std::string::npos);
        TItemContextMenu missing(tree / "gone", {}, true);
        QVERIFY(!missing.ActOpenTerminal->isEnabled());
    }

    void invalidRecentItemsAreRemovedAfterAsking()
    {
        TempTree tree;
        tree.MakeDir("gone");
        tree.MakeDir("kept");
        TWindowFixture w;
        TFormMain &form = *w.Form;
        form.MRUDirList().AddDirectory(tree / "gone");
        form.MRUDirList().AddDirectory(tree / "kept");
        ::rmdir((tree / "gone").c_str());
        form.RefreshInvalidRecentItems();
        QVERIFY(form.ActionRemoveInvalidRecentItems->isEnabled());
        FBoxes.Answer = false;
        form.ActionRemoveInvalidRecentItemsExecute();
        QCOMPARE(FBoxes.Asked.back().first, TMessageKind::Confirmation);
        QVERIFY(FBoxes.Asked.back().second.find("\r\n" + tree / "gone") != std::string::npos);
        QVERIFY(FBoxes.Asked.back().second.find("kept") == std::string::npos);
        QCOMPARE(form.MRUDirList().IndexOf(tree / "gone") >= 0, true);
        FBoxes.Answer = true;
        form.ActionRemoveInvalidRecentItemsExecute();
        QCOMPARE(form.MRUDirList().IndexOf(tree / "gone"), -1);
        QVERIFY(form.MRUDirList().IndexOf(tree / "kept") >= 0);
        QVERIFY(!form.ActionRemoveInvalidRecentItems->isEnabled());
    }

private:
    std::unique_ptr<TempTree> FData;
    TRecordingDesktop FDesktop;
    TRecordingBoxes FBoxes;
    IDesktopServices *FPreviousDesktop = nullptr;
    IMessageBoxes *FPreviousBoxes = nullptr;
};

QTEST_MAIN(FormFileCommandsTest)
#include "form_file_commands_test.moc"
