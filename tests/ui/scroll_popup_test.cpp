// The scrolling drop-down and the entries of the path menus.
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include "UiTestSupport.h"
#include "model/TreeTypes.h"
#include "scan/DirScanner.h"
#include "ui/popups/PathMenu.h"
#include "ui/popups/ScrollPopupMenu.h"

namespace {

// A menu of `count` entries; `chosen` records which one ran.
TScrollPopupMenu *MakeMenu(QObject &owner, int count, int popupCount, QString *chosen)
{
    auto *menu = new TScrollPopupMenu(&owner);
    menu->SetPopupMode(pmCustom);
    menu->SetPopupCount(popupCount);
    for (int i = 0; i < count; ++i) {
        auto *item = new TPathMenuItem(QStringLiteral("entry %1").arg(i), "/e" + std::to_string(i), QIcon());
        QObject::connect(item, &QAction::triggered, item, [item, chosen] { *chosen = item->text(); });
        menu->AddItem(item);
    }
    QObject::connect(menu, &TScrollPopupMenu::Closed, menu, &TScrollPopupMenu::Release);
    return menu;
}

// Windows and menus go through deleteLater, which a test function (no event loop of its own)
// has to deliver itself; twice, since a closed window releases its menu in turn.
void Flush()
{
    for (int i = 0; i < 2; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QPoint RowCenter(QListWidget *list, int row)
{
    return list->visualItemRect(list->item(row)).center();
}

} // namespace

class ScrollPopupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void sizeAndScrolling()
    {
        QWidget owner;
        QString chosen;
        TScrollPopupMenu *menu = MakeMenu(owner, 30, 18, &chosen);
        menu->Popup(QPoint(10, 10));
        TPopupForm *form = menu->Form();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QListWidget *list = form->ListBox();
        const QFontMetrics fm(list->font());
        const int row = TPopupForm::RowHeight(fm);
        QCOMPARE(list->count(), 30);
        QCOMPARE(list->height(), 18 * row);
        QCOMPARE(form->height(), 18 * row + 4);
        const int widest = TPopupForm::EntryWidth(fm, QStringLiteral("entry 29"));
        QCOMPARE(list->width(), widest + form->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
        QVERIFY(list->verticalScrollBar()->maximum() > 0);
        // The list scrolls to rows below the fold.
        list->setCurrentRow(29);
        list->scrollToItem(list->item(29));
        QVERIFY(list->verticalScrollBar()->value() > 0);
        QVERIFY(list->viewport()->rect().intersects(list->visualItemRect(list->item(29))));
        form->close();

        TScrollPopupMenu *small = MakeMenu(owner, 5, 18, &chosen);
        small->Popup(QPoint(10, 10));
        QListWidget *smallList = small->Form()->ListBox();
        QCOMPARE(smallList->height(), 5 * row);
        QCOMPARE(smallList->width(), TPopupForm::EntryWidth(fm, QStringLiteral("entry 4")));
        QCOMPARE(smallList->verticalScrollBar()->maximum(), 0);
        small->Form()->close();
    }

    void choosingWithMouseAndKeys()
    {
        QWidget owner;
        QString chosen;
        // Hover highlights; a release on a row runs it and closes the window.
        TScrollPopupMenu *menu = MakeMenu(owner, 5, 18, &chosen);
        QSignalSpy closed(menu, &TScrollPopupMenu::Closed);
        menu->Popup(QPoint(10, 10));
        QPointer<TPopupForm> form = menu->Form();
        QListWidget *list = form->ListBox();
        // The release of the click that opened the list is no choice.
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(-5, -5));
        QVERIFY(form->isVisible());
        QTest::mouseMove(list->viewport(), RowCenter(list, 2));
        QMouseEvent move(QEvent::MouseMove, RowCenter(list, 2), list->viewport()->mapToGlobal(RowCenter(list, 2)),
            Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        QCOMPARE(list->currentRow(), 2);
        QVERIFY(list->item(2)->isSelected());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, RowCenter(list, 2));
        QCOMPARE(chosen, QStringLiteral("entry 2"));
        Flush();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form);

        // A release outside every row closes without running anything.
        chosen.clear();
        menu = MakeMenu(owner, 5, 18, &chosen);
        menu->Popup(QPoint(10, 10));
        form = menu->Form();
        list = form->ListBox();
        QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, RowCenter(list, 1));
        QMouseEvent away(QEvent::MouseMove, QPoint(-20, -20), list->viewport()->mapToGlobal(QPoint(-20, -20)),
            Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &away);
        QCOMPARE(list->currentRow(), -1);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
        QVERIFY(chosen.isEmpty());
        Flush();
        QVERIFY(!form);

        // Escape closes without running; Enter without a highlighted row too; Enter on a row runs it.
        for (const auto &[key, row, expected] :
            std::vector<std::tuple<Qt::Key, int, QString>> {{Qt::Key_Escape, 3, QString()},
                {Qt::Key_Return, -1, QString()}, {Qt::Key_Return, 3, QStringLiteral("entry 3")}}) {
            chosen.clear();
            menu = MakeMenu(owner, 5, 18, &chosen);
            menu->Popup(QPoint(10, 10));
            form = menu->Form();
            form->ListBox()->setCurrentRow(row);
            QTest::keyClick(form->ListBox(), key);
            QCOMPARE(chosen, expected);
            Flush();
            QVERIFY(!form);
        }
        // The menus released themselves once their windows went.
        Flush();
        QCOMPARE(owner.findChildren<TScrollPopupMenu *>().size(), 0);
    }

    void subFolderEntries()
    {
        TempTree tree;
        tree.MakeFile("small/a.bin", 1000);
        tree.MakeFile("big/b.bin", 900000);
        tree.MakeFile("middle/c.bin", 50000);
        tree.MakeFile("only-files/x.txt", 10);
        tree.MakeFile("top.bin", 5000000);
        tree.MakeSymlink("link-to-big", tree / "big");

        // From disk: folders only, no links, by name.
        std::vector<std::string> names;
        for (const TPathMenuEntry &e : DiskSubFolders(tree.Path()))
            names.push_back(e.Caption.toStdString());
        QCOMPARE(names, (std::vector<std::string> {"big", "middle", "only-files", "small"}));
        QCOMPARE(DiskSubFolders(tree.Path()).front().Path, tree / "big");
        QVERIFY(DiskSubFolders(tree / "only-files").empty());
        QVERIFY(DiskSubFolders(tree / "missing").empty());

        // From a finished analysis: largest first, as the tree shows them.
        TRootDirNode root;
        root.SetName(tree.Path());
        TDirScanner scanner(&root);
        scanner.StartScan(tree.Path(), {0, 0});
        names.clear();
        for (const TPathMenuEntry &e : NodeSubFolders(root, tree.Path()))
            names.push_back(e.Caption.toStdString());
        QCOMPARE(names, (std::vector<std::string> {"big", "middle", "small", "only-files"}));
        const auto *small = dynamic_cast<TDirNode *>(root.FindChildNode("small"));
        QVERIFY(small);
        QVERIFY(NodeSubFolders(*small, tree / "small").empty());
    }
};

QTEST_MAIN(ScrollPopupTest)
#include "scroll_popup_test.moc"
