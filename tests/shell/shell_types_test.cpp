#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include <QSignalSpy>
#include <QTest>

#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "shell/ProgramLock.h"
#include "shell/SHChangeNotify.h"
#include "shell/ShellTypes.h"
#include "shell/SysImageList.h"

class ShellTypesTest : public QObject
{
    Q_OBJECT

private slots:
    void requestCacheAnswersPendingResolvedAndUnknown()
    {
        TSHGetFileInfoPropertiesList list;
        QCOMPARE(list.PopSysIconIndex("/a/b.txt"), -2);
        auto request = std::make_unique<TSHGetFileInfoProperties>("/a/b.txt");
        const std::int32_t id = request->UniqueID();
        list.Add(std::move(request));
        // A second ask before the icon arrives starts no new lookup.
        QCOMPARE(list.PopSysIconIndex("/a/b.txt"), -1);
        QCOMPARE(list.Count(), 1);
        list.LinkSysIconWithPath(id + 1 == 0 ? 1 : id + 1, 9); // another request's answer
        QCOMPARE(list.PopSysIconIndex("/a/b.txt"), -1);
        list.LinkSysIconWithPath(id, 7);
        QCOMPARE(list.PopSysIconIndex("/a/b.txt"), 7);
        QCOMPARE(list.PopSysIconIndex("/a/b.txt"), -2);
    }

    void outdatedRequestsAgeOut()
    {
        using namespace std::chrono;
        TSHGetFileInfoPropertiesList list;
        const auto now = TSHGetFileInfoProperties::TClock::now();
        auto old = std::make_unique<TSHGetFileInfoProperties>("/old");
        old->SetTimestamp(now - milliseconds(10500));
        auto fresh = std::make_unique<TSHGetFileInfoProperties>("/fresh");
        fresh->SetTimestamp(now - milliseconds(9000));
        list.Add(std::move(old));
        list.Add(std::move(fresh));
        QCOMPARE(list.RemoveOutdatedItems(now - milliseconds(10000)), 1);
        QCOMPARE(list.PopSysIconIndex("/old"), -2);
        QCOMPARE(list.PopSysIconIndex("/fresh"), -1);
    }

    void assignKeepsIdentityButNotTime()
    {
        TSHGetFileInfoProperties a("/x");
        a.SetSysIconIndex(3);
        a.SetTimestamp(TSHGetFileInfoProperties::TClock::time_point {});
        TSHGetFileInfoProperties b("/y");
        b.Assign(a);
        QCOMPARE(b.Path(), std::string("/x"));
        QCOMPARE(b.UniqueID(), a.UniqueID());
        QCOMPARE(b.SysIconIndex(), 3);
        QVERIFY(b.Timestamp() != a.Timestamp());
    }

    // Every request pushed is answered once, also when pushes race with the worker going idle.
    void iconThreadAnswersEveryRequest()
    {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<std::int32_t> answered;
        std::vector<std::int32_t> pushed;
        {
            TShellFileIconThread thread([&](std::int32_t id, std::int32_t index) {
                QVERIFY(index >= 0);
                std::scoped_lock guard(lock);
                answered.push_back(id);
                changed.notify_all();
            });
            for (int i = 0; i < 200; ++i) {
                auto request = std::make_unique<TSHGetFileInfoProperties>("/tmp/file" + std::to_string(i) + ".txt");
                pushed.push_back(request->UniqueID());
                thread.Push(std::move(request));
                if (i % 50 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            std::unique_lock guard(lock);
            QVERIFY(
                changed.wait_for(guard, std::chrono::seconds(10), [&] { return answered.size() == pushed.size(); }));
        }
        std::sort(answered.begin(), answered.end());
        std::sort(pushed.begin(), pushed.end());
        QCOMPARE(answered, pushed);
    }

    void fileIconsFollowTheNameOnly()
    {
        const int text = FileIconIndexOfName("notes.txt");
        QCOMPARE(FileIconIndexOfName("other.txt"), text);
        QVERIFY(FileIconIndexOfName("picture.png") != text);
        QCOMPARE(FileIconIndexOfName("no-such-type.zzqq"), UnknownFileIconIndex());
        // Names are bytes; invalid UTF-8 and new lines are fine.
        QVERIFY(FileIconIndexOfName("bad\xff\nname.txt") >= 0);
        QVERIFY(FolderIconIndex(true) != FolderIconIndex(false));
    }

    void folderListMatchesWithOrWithoutTrailingDelimiter()
    {
        TFakeDirLister lister;
        TFakeVolumes volumes;
        TFakeSystem system;
        volumes.AddMount("/", dtFixed);
        volumes.AddMount("/media/stick", dtRemovable);
        system.SetSpecialFolder(TSpecialFolder::Documents, "/home/u/Documents");
        TScopedPlatform platform({&lister, &volumes, &system});
        TShellFolderList folders;
        int populated = 0;
        folders.OnPopulate = [&] { ++populated; };
        folders.Initialize({"/", "/media/stick"}, {TSpecialFolder::Documents, TSpecialFolder::Music});
        QCOMPARE(populated, 1);
        QCOMPARE(folders.Count(), 3); // no music folder on this system
        QCOMPARE(folders.GetSysIconIndex("/media/stick"), folders.GetSysIconIndex("/media/stick/"));
        QCOMPARE(folders.GetSysIconIndex("/media/stick"), DriveIconIndex(dtRemovable));
        QVERIFY(folders.GetSysIconIndex("/home/u/Documents") >= 0);
        QCOMPARE(folders.GetSysIconIndex("/home/u"), -1);
    }

    void driveListGroupsTypes()
    {
        TFakeDirLister lister;
        TFakeVolumes volumes;
        TFakeSystem system;
        volumes.AddMount("/", dtFixed);
        volumes.AddMount("/net", dtRemote);
        volumes.AddMount("/cdrom", dtCDROM);
        volumes.AddMount("/proc", dtUnknown);
        TScopedPlatform platform({&lister, &volumes, &system});
        TShellDriveList drives;
        QCOMPARE(drives.RefreshDrives(), 3);
        QCOMPARE(drives.Items(drives.IndexOf("/net")).DriveType, dtFixed);
        QCOMPARE(drives.Items(drives.IndexOf("/cdrom")).DriveType, dtRemovable);
        QCOMPARE(drives.IndexOf("/proc"), -1);
    }

    void driveWatcherReportsAddedAndRemovedMountPoints()
    {
        TFakeDirLister lister;
        TFakeVolumes volumes;
        TFakeSystem system;
        volumes.AddMount("/", dtFixed);
        volumes.AddMount("/media/old", dtRemovable);
        TScopedPlatform platform({&lister, &volumes, &system});
        TSHChangeNotify watcher;
        std::vector<std::string> events;
        watcher.OnDriveAdd = [&](std::uint32_t flags, const std::string &path) {
            QCOMPARE(flags, TSHChangeNotify::SHCNE_DRIVEADD);
            events.push_back("+" + path);
        };
        watcher.OnDriveRemoved = [&](std::uint32_t flags, const std::string &path) {
            QCOMPARE(flags, TSHChangeNotify::SHCNE_DRIVEREMOVED);
            events.push_back("-" + path);
        };
        watcher.Execute();
        QVERIFY(watcher.Active());
        watcher.CheckChanges();
        QVERIFY(events.empty()); // nothing changed
        volumes.SetMounts({});
        volumes.AddMount("/", dtFixed);
        volumes.AddMount("/media/new", dtRemovable);
        volumes.AddMount("/sys", dtUnknown); // not a drive
        watcher.CheckChanges();
        QCOMPARE(events, (std::vector<std::string> {"-/media/old", "+/media/new"}));
        watcher.CheckChanges();
        QCOMPARE(events.size(), std::size_t {2}); // reported once
        watcher.Stop();
        QVERIFY(!watcher.Active());
    }

    void programLockNeverBlocksASecondInstance()
    {
        const std::string name = "Zumbrel.Mutex.test." + std::to_string(::getpid());
        TProgramLock first(name);
        QVERIFY(first.Owned());
        TProgramLock second(name); // a second instance starts all the same
        QVERIFY(!second.Owned());
        ::unlink(first.Path().c_str());
    }
};

QTEST_MAIN(ShellTypesTest)
#include "shell_types_test.moc"
