// The start page on its own: group headers, drive percentages, the refill from drives,
// network locations and recent folders, sizes of a hanging drive, opening tiles, and what
// screen readers see.
#include <condition_variable>
#include <mutex>

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include "UiTestSupport.h"
#include "common/Translate.h"
#include "model/Paths.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "settings/MRUDirList.h"
#include "shell/NetworkResources.h"
#include "shell/ShellTypes.h"
#include "ui/startpage/FavoriteItems.h"
#include "ui/startpage/FavoriteListView.h"

namespace {

constexpr std::int64_t GB = 1000LL * 1000 * 1000;

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

// Volumes whose free space query for one path blocks until released, like a dead NFS mount.
class THangingVolumes final : public IVolumes
{
public:
    explicit THangingVolumes(IVolumes &inner, std::string hangingPath)
        : FInner(inner)
        , FHanging(std::move(hangingPath))
    { }
    std::vector<TMountEntry> Mounts() override { return FInner.Mounts(); }
    int DiskFreeSpace(const std::string &path, std::int64_t &freeForUser, std::int64_t &total) override
    {
        if (path == FHanging) {
            std::unique_lock lock(FLock);
            ++FCallsWaiting;
            FWake.wait_for(lock, std::chrono::seconds(30), [&] { return FReleased; });
        }
        return FInner.DiskFreeSpace(path, freeForUser, total);
    }
    int VolumeInformation(const std::string &path, TVolumeInfo &info) override
    {
        return FInner.VolumeInformation(path, info);
    }
    bool IsVolumeRoot(const std::string &path) override { return FInner.IsVolumeRoot(path); }
    void Release()
    {
        std::scoped_lock lock(FLock);
        FReleased = true;
        FWake.notify_all();
    }
    int CallsWaiting()
    {
        std::scoped_lock lock(FLock);
        return FCallsWaiting;
    }

private:
    IVolumes &FInner;
    std::string FHanging;
    std::mutex FLock;
    std::condition_variable FWake;
    bool FReleased = false;
    int FCallsWaiting = 0;
};

struct TFakeDrives
{
    TFakeVolumes Volumes;
    TFakeDirLister Lister;
    TFakeSystem System;

    TFakeDrives()
    {
        Volumes.AddMount("/", dtFixed);
        Volumes.AddMount("/media/stick", dtRemovable, "vfat", "/dev/sdb1");
        Volumes.AddMount("/media/dvd", dtCDROM, "iso9660", "/dev/sr0");
        Volumes.AddMount("/net/nas", dtRemote, "nfs4", "nas:/export");
        Volumes.SetDiskFreeSpace("/", 63 * GB, 100 * GB);
        Volumes.SetDiskFreeSpace("/media/stick", 1 * GB, 4 * GB);
        Volumes.SetDiskFreeSpace("/net/nas", 625 * GB / 10, 100 * GB);
        Volumes.SetError("/media/dvd", 123); // no disc
    }
    TPlatform Platform(IVolumes *volumes = nullptr) { return {&Lister, volumes ? volumes : &Volumes, &System}; }
};

} // namespace

class FavoriteListViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitUiTests(); }

    void groupHeaders()
    {
        TFavoriteListView view;
        const QString drives = Q(_("Drives"));
        QCOMPARE(view.GroupHeader(0), drives);
        view.SetGroupCount(0, 2);
        QCOMPARE(view.GroupHeader(0), drives + QStringLiteral(" (2)"));
        view.SetGroupCount(0, 0);
        QCOMPARE(view.GroupHeader(0), drives);
        view.SetGroupCount(1, 0);
        QCOMPARE(view.GroupHeader(1), Q(_("Removable Media Devices")));
        view.SetGroupCount(3, 3);
        QCOMPARE(view.GroupHeader(3), Q(_("Recent")) + QStringLiteral(" (3)"));
        // The network group keeps its bare name whatever it is told.
        view.SetGroupCount(2, 4);
        QCOMPARE(view.GroupHeader(2), Q(_("Network Locations")));
    }

    void usedPercentRoundsHalvesToEven()
    {
        QCOMPARE(TFavoriteListView::UsedPercent(100 * GB, 63 * GB), 37);
        QCOMPARE(TFavoriteListView::UsedPercent(100 * GB, 625 * GB / 10), 38); // 37.5
        QCOMPARE(TFavoriteListView::UsedPercent(1000, 975), 2); // 2.5
        QCOMPARE(TFavoriteListView::UsedPercent(1000, 985), 2); // 1.5
        QCOMPARE(TFavoriteListView::UsedFraction(100 * GB, 625 * GB / 10), 0.375);
        // A volume that reports no blocks at all is drawn empty rather than divided by zero.
        QCOMPARE(TFavoriteListView::UsedPercent(0, 0), 0);
        QCOMPARE(TFavoriteListView::UsedFraction(0, 0), 0.0);
    }

    void refillFromDrivesNetworkAndRecent()
    {
        TFakeDrives fake;
        TScopedPlatform platform(fake.Platform());
        TShellDriveList drives;
        drives.RefreshDrives();
        // A network file system is never asked for a label: a dead server would hang there.
        const auto asked = [&](const std::string &mount) {
            const auto list = fake.Volumes.VolumeInfoRequests();
            return std::any_of(list.begin(), list.end(), [&](const std::string &p) { return p.rfind(mount, 0) == 0; });
        };
        QVERIFY(!asked("/net/nas"));
        QVERIFY(asked("/media/stick"));
        TempTree tree;
        tree.MakeDir("old");
        tree.MakeDir("gone");
        tree.MakeDir("Pictures");
        TMRUDirList recent;
        recent.Add(tree / "old");
        recent.Add(tree / "gone");
        recent.Add(tree / "Pictures");
        std::filesystem::remove(tree / "gone");
        const std::vector<TNetworkResource> network {
            GvfsLocation("/run/user/1000/gvfs", "smb-share:server=nas,share=media")};

        TFavoriteListView view;
        TDriveSpaceQuery query;
        TFavoriteSources sources;
        sources.Drives = &drives;
        sources.Network = &network;
        sources.Recent = &recent;
        sources.SizeWait = std::chrono::seconds(10); // the fakes answer at once
        sources.DisplayNameOfPath = [&](const std::string &path) {
            return path == tree / "Pictures" ? std::string("Bilder") : std::string(LastPathComponent(path));
        };
        QVERIFY(FillFavoriteItems(view, sources, query));

        QCOMPARE(view.Count(), 8);
        const auto &root = view.Item(0);
        QCOMPARE(root.GroupId, 0);
        QCOMPARE(root.Path, std::string("/"));
        QCOMPARE(root.SubItems.value(0), QStringLiteral("37%"));
        QCOMPARE(root.SubItems.value(1), QString());
        QVERIFY(root.SubItems.value(2).contains(Q(FileSizeToStrTruncated(63 * GB))));
        // Removable media land in their own group; a drive without disc has no size.
        QCOMPARE(view.Item(1).GroupId, 1);
        QCOMPARE(view.Item(2).GroupId, 1);
        QCOMPARE(view.Item(2).FreeSize, -1);
        QVERIFY(view.Item(2).SubItems.isEmpty());
        // A network file system counts as a drive.
        QCOMPARE(view.Item(3).GroupId, 0);
        QCOMPARE(view.Item(3).SubItems.value(0), QStringLiteral("38%"));
        QCOMPARE(view.GroupHeader(0), Q(_("Drives")) + QStringLiteral(" (2)"));
        QCOMPARE(view.GroupHeader(1), Q(_("Removable Media Devices")) + QStringLiteral(" (2)"));
        // Network locations of the desktop.
        QCOMPARE(view.Item(4).GroupId, 2);
        QVERIFY(view.GroupVisible(2));
        QCOMPARE(view.Item(4).Path, std::string("/run/user/1000/gvfs/smb-share:server=nas,share=media"));
        // Recent folders, most recent first, the missing one still listed; the second line only
        // where the shown name differs from the folder's name.
        QCOMPARE(view.Item(5).Path, tree / "Pictures");
        QCOMPARE(view.Item(5).SubItems, QStringList {QStringLiteral("Bilder")});
        QCOMPARE(view.Item(6).Path, tree / "gone");
        QVERIFY(view.Item(6).SubItems.isEmpty());
        QCOMPARE(view.Item(7).Path, tree / "old");
        QCOMPARE(view.GroupHeader(3), Q(_("Recent")) + QStringLiteral(" (3)"));

        // Nothing missing, no network: the remove-invalid state is off and the group hidden.
        recent.Delete(recent.IndexOf(tree / "gone"));
        sources.Network = nullptr;
        QVERIFY(!FillFavoriteItems(view, sources, query));
        QVERIFY(!view.GroupVisible(2));
        QCOMPARE(view.GroupHeader(3), Q(_("Recent")) + QStringLiteral(" (2)"));
    }

    void hangingDriveDoesNotBlockTheRefill()
    {
        TFakeDrives fake;
        THangingVolumes hanging(fake.Volumes, "/net/nas");
        TScopedPlatform platform(fake.Platform(&hanging));
        TShellDriveList drives;
        drives.RefreshDrives();
        TFavoriteListView view;
        TDriveSpaceQuery query;
        TFavoriteSources sources;
        sources.Drives = &drives;
        sources.SizeWait = std::chrono::milliseconds(50);
        FillFavoriteItems(view, sources, query);
        connect(&query, &TDriveSpaceQuery::Answered, &view,
            [&](const TDriveSpaceQuery::TAnswer &answer) { ApplyDriveAnswer(view, answer, FileSizeToStrTruncated); });
        // The refill returned while the question still hangs: the drive shows its name only.
        QCOMPARE(view.Item(3).Path, std::string("/net/nas"));
        QVERIFY(view.Item(3).SubItems.isEmpty());
        QVERIFY(!view.Item(0).SubItems.isEmpty());
        // A second refill does not ask the hanging drive again.
        FillFavoriteItems(view, sources, query);
        QCOMPARE(hanging.CallsWaiting(), 1);
        QCOMPARE(query.Pending(), 1);
        // The answer comes after all: it is filled in.
        hanging.Release();
        QVERIFY(QTest::qWaitFor([&] { return !view.Item(3).SubItems.isEmpty(); }, 10000));
        QCOMPARE(view.Item(3).SubItems.value(0), QStringLiteral("38%"));
        QCOMPARE(query.Pending(), 0);
    }

    void openingTiles()
    {
        TFavoriteListView view;
        view.resize(700, 500);
        view.BeginUpdate();
        for (int i = 0; i < 3; ++i) {
            TFileListItem item;
            item.Caption = QStringLiteral("Folder %1").arg(i);
            item.Path = "/folder" + std::to_string(i);
            item.GroupId = TFavoriteListView::GroupRecent;
            view.AddItem(item);
        }
        view.EndUpdate();
        view.show();
        QSignalSpy opened(&view, &TFavoriteListView::ProcessPath);
        QSignalSpy selected(&view, &TFavoriteListView::SelectItem);
        QSignalSpy menu(&view, &TFavoriteListView::ItemContextMenu);
        QWidget *vp = view.viewport();

        // A real double click starts with a press, which selects.
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, view.IconRect(1).center());
        QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, view.IconRect(1).center());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].value<std::string>(), std::string("/folder1"));
        QCOMPARE(view.SelectedIndex(), 1);
        QVERIFY(!selected.isEmpty());
        QCOMPARE(selected.last()[1].toBool(), true);
        // The gap between two tiles is no tile, even with one selected.
        const QPoint gap(view.ItemRect(0).right() + TileGap(), view.ItemRect(0).center().y());
        QCOMPARE(view.ItemAt(gap), -1);
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, gap);
        view.SetSelectedIndex(1);
        QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, gap);
        QCOMPARE(opened.count(), 1);
        // Enter opens the selected tile; the keys move the selection.
        view.SetSelectedIndex(0);
        QTest::keyClick(&view, Qt::Key_Right);
        QCOMPARE(view.SelectedIndex(), 1);
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(opened.count(), 2);
        QCOMPARE(opened[1][0].value<std::string>(), std::string("/folder1"));
        // A right click asks the window for the commands of the tile's path.
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, view.LabelRect(2).center(), vp->mapToGlobal(view.LabelRect(2).center()));
        QApplication::sendEvent(vp, &event);
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu[0][0].value<std::string>(), std::string("/folder2"));
        // A collapsed group hides its tiles.
        view.SetGroupCollapsed(TFavoriteListView::GroupRecent, true);
        QVERIFY(view.ItemRect(0).isNull());
        QCOMPARE(view.ItemAt(view.IconRect(0).center()), -1);
    }

    void accessibleTiles()
    {
        QAccessible::setActive(true);
        TFavoriteListView view;
        view.resize(700, 400);
        TFileListItem drive;
        drive.Caption = QStringLiteral("System");
        drive.Path = "/";
        drive.TotalSize = 100 * GB;
        drive.FreeSize = 63 * GB;
        drive.SubItems = DriveSubItems(drive.TotalSize, drive.FreeSize, FileSizeToStrTruncated);
        view.AddItem(drive);
        TFileListItem folder;
        folder.Caption = QStringLiteral("/home/me/music");
        folder.Path = "/home/me/music";
        folder.GroupId = TFavoriteListView::GroupRecent;
        view.AddItem(folder);
        view.show();
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(&view);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->childCount(), 2);
        QAccessibleInterface *tile = list->child(0);
        QCOMPARE(tile->role(), QAccessible::ListItem);
        QCOMPARE(tile->text(QAccessible::Name), QStringLiteral("System"));
        QVERIFY(tile->text(QAccessible::Description).startsWith(QStringLiteral("37%, ")));
        QVERIFY(tile->text(QAccessible::Description).contains(Q(FileSizeToStrTruncated(100 * GB))));
        QCOMPARE(list->indexOfChild(tile), 0);
        QSignalSpy opened(&view, &TFavoriteListView::ProcessPath);
        list->child(1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(opened.wait(2000));
        QCOMPARE(opened[0][0].value<std::string>(), std::string("/home/me/music"));
        QVERIFY(list->child(1)->state().selected);
        QAccessible::setActive(false);
    }

private:
    static int TileGap() { return TFavoriteListView::TileSpacing / 2 + 1; }
};

QTEST_MAIN(FavoriteListViewTest)
#include "favorite_list_view_test.moc"
