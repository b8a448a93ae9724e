#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "model/TreeTypes.h"
#include "common/MessageBoxes.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "scan/QueueDispatcher.h"
#include "scan/ScanThread.h"

namespace {

// A fake file system whose listings block until the test opens the gate, so that threads
// can be held in the middle of a scan.
class ThreadListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FPrevious = InstallPlatform({&FLister, &FVolumes, &FSystem});
        FLister.OnList = [this](const std::string &path) {
            if (path.find("/slow") == std::string::npos)
                return;
            std::unique_lock lock(FGateLock);
            FGateChanged.wait(lock, [this] { return FGateOpen; });
        };
    }
    void TearDown() override
    {
        OpenGate();
        InstallPlatform(FPrevious);
    }
    void OpenGate()
    {
        std::scoped_lock lock(FGateLock);
        FGateOpen = true;
        FGateChanged.notify_all();
    }

    TFakeDirLister FLister;
    TFakeVolumes FVolumes;
    TFakeSystem FSystem;
    TPlatform FPrevious;
    std::mutex FGateLock;
    std::condition_variable FGateChanged;
    bool FGateOpen = false;
    TQueueDispatcher FDispatcher;
};

TEST_F(ThreadListTest, CapacityAndTerminationOnTheUiThread)
{
    for (int i = 0; i < 10; ++i)
        FLister.AddFile("/slow" + std::to_string(i) + "/f", 10);
    std::vector<std::unique_ptr<TRootDirNode>> roots;
    TDirScanThreadList list(9, FDispatcher);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetFirstThreadCurrentDir(), "");
    const auto uiThread = std::this_thread::get_id();
    std::atomic<int> finished {0};
    std::atomic<bool> handlersOnUi {true};
    std::atomic<bool> deregisteredFirst {true};
    for (int i = 0; i < 10; ++i) {
        roots.push_back(std::make_unique<TRootDirNode>());
        roots.back()->SetName("/slow" + std::to_string(i));
        TDirScanThread *t = list.Add(roots.back().get(), {});
        if (i == 9) {
            EXPECT_EQ(t, nullptr);
            EXPECT_TRUE(list.IsFull());
            continue;
        }
        ASSERT_NE(t, nullptr);
        t->SetOnTerminate([&, i](TDirScanThread &) {
            handlersOnUi = handlersOnUi && std::this_thread::get_id() == uiThread;
            deregisteredFirst = deregisteredFirst && list.Count() < 9 - finished;
            ++finished;
            (void)i;
        });
        t->Start();
    }
    OpenGate();
    FDispatcher.ProcessUntil([&] { return finished == 9; });
    EXPECT_TRUE(handlersOnUi);
    EXPECT_TRUE(deregisteredFirst);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(roots[0]->GetSize(), 10);
    // Room again after the threads ended.
    TDirScanThread *again = list.Add(roots[9].get(), {});
    ASSERT_NE(again, nullptr);
    std::atomic<bool> done {false};
    again->SetOnTerminate([&](TDirScanThread &) { done = true; });
    again->Start();
    FDispatcher.ProcessUntil([&] { return done.load(); });
    EXPECT_EQ(roots[9]->GetSize(), 10);
}

TEST_F(ThreadListTest, StopAllChildrenStopsOnlyThreadsBelowTheNode)
{
    FLister.AddFile("/r/slowA/f", 1);
    FLister.AddFile("/r/slowB/f", 1);
    FLister.AddFile("/q/slow/f", 1);
    TRootDirNode root;
    root.SetName("/r");
    TDirNode *a = root.AddChildDir("slowA");
    TDirNode *b = root.AddChildDir("slowB");
    TRootDirNode other;
    other.SetName("/q/slow");
    TDirScanThreadList list(9, FDispatcher);
    std::atomic<int> finished {0};
    for (TDirNode *node : {a, b, static_cast<TDirNode *>(&other)}) {
        TDirScanThread *t = list.Add(node, {});
        t->SetOnTerminate([&](TDirScanThread &) { ++finished; });
        t->Start();
    }
    while (!a->Scanning() || !b->Scanning() || !other.Scanning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        OpenGate();
    });
    // A thread whose root is the node itself goes on; those below it stop.
    EXPECT_EQ(list.StopAllChildren(&other), 0);
    EXPECT_EQ(list.StopAllChildren(&root), 2);
    opener.join();
    FDispatcher.ProcessUntil([&] { return finished == 3; });
    // The first stop waits for the gate, so the second thread may have finished meanwhile.
    EXPECT_TRUE(a->IsScanCanceled());
    EXPECT_TRUE(b->IsScanCanceled() || b->GetSize() == 1);
    EXPECT_FALSE(other.IsScanCanceled());
    EXPECT_EQ(other.GetSize(), 1);
}

TEST_F(ThreadListTest, StopAndWaitForCallsNoHandlers)
{
    FLister.AddFile("/slow/a/f", 1);
    FLister.AddFile("/slow/b/f", 1);
    TRootDirNode root;
    root.SetName("/slow");
    TDirScanThreadList list(9, FDispatcher);
    std::atomic<int> handlers {0};
    TDirScanThread *t = list.Add(&root, {});
    t->SetOnTerminate([&](TDirScanThread &) { ++handlers; });
    t->Start();
    while (!root.Scanning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        OpenGate();
    });
    list.StopAndWaitFor();
    opener.join();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(handlers, 0);
    EXPECT_FALSE(root.Scanning());
}

TEST_F(ThreadListTest, AScanThatRaisesReportsOnceAndStillDeregisters)
{
    FLister.AddFile("/boom/f", 1);
    FLister.OnList = [](const std::string &path) {
        if (path == "/boom")
            throw std::runtime_error("listing exploded");
    };
    struct Boxes : IMessageBoxes
    {
        std::atomic<int> Shown {0};
        std::string Text;
        bool Show(TMessageKind kind, const std::string &, const std::string &text) override
        {
            EXPECT_EQ(kind, TMessageKind::Error);
            Text = text;
            ++Shown;
            return false;
        }
    } boxes;
    IMessageBoxes *previous = InstallMessageBoxes(&boxes);
    TRootDirNode root;
    root.SetName("/boom");
    TDirScanThreadList list(9, FDispatcher);
    std::atomic<bool> done {false};
    std::atomic<bool> failed {false};
    TDirScanThread *t = list.Add(&root, {});
    t->SetOnTerminate([&](TDirScanThread &thread) {
        failed = thread.Failed();
        done = true;
    });
    t->Start();
    FDispatcher.ProcessUntil([&] { return done.load(); });
    InstallMessageBoxes(previous);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_FALSE(root.Scanning());
    EXPECT_EQ(boxes.Shown, 1);
    EXPECT_EQ(boxes.Text, "listing exploded");
}

// A stop that comes right after Start, before the thread has reached its scan: once StopAll,
// StopAllChildren or StopAndWaitFor returns, the thread never touches its root again (it used
// to clear the root a moment later). The UI thread marks the root right after the stop.
TEST_F(ThreadListTest, NoStoppedThreadTouchesItsRootAfterTheStopReturned)
{
    FLister.AddFile("/r/sub/f", 1);
    TDirScanThreadList list(9, FDispatcher);
    TRootDirNode parent;
    parent.SetName("/");
    int touched = 0;
    std::atomic<int> finished {0};
    // Every round waits for its stops; sanitizer builds run fewer rounds (ZUMBREL_STOP_ROUNDS).
    const char *roundsText = std::getenv("ZUMBREL_STOP_ROUNDS");
    const int rounds = roundsText ? std::max(3, std::atoi(roundsText)) : 20000;
    for (int round = 0; round < rounds; ++round) {
        TRootDirNode root;
        root.SetName("/r");
        TDirNode *child = parent.AddChildDir("r");
        finished = 0;
        for (TDirNode *node : {static_cast<TDirNode *>(&root), child}) {
            TDirScanThread *t = list.Add(node, {});
            ASSERT_NE(t, nullptr);
            // A thread that left the list before StopAndWaitFor would still call its handler
            // later, so those rounds go without.
            if (round % 3 != 2)
                t->SetOnTerminate([&](TDirScanThread &) { ++finished; });
            t->Start();
        }
        // Each root belongs to this thread again once its stop returned.
        switch (round % 3) {
        case 0:
            list.StopAll();
            break;
        case 1:
            list.StopAllChildren(&parent);
            child->SetName("marked");
            list.StopAll();
            break;
        default:
            list.StopAndWaitFor();
            break;
        }
        root.SetName("/marked");
        child->SetName("marked");
        if (round % 3 != 2)
            FDispatcher.ProcessUntil([&] { return finished == 2; });
        while (!list.IsEmpty())
            std::this_thread::yield();
        touched += root.Name() != "/marked" || child->Name() != "marked";
        child->Delete();
    }
    EXPECT_EQ(touched, 0);
}

} // namespace

namespace {

// Each scan lists through the services its creator handed over, never through the installed
// ones: two lists of threads scan the same paths on two fake file systems at the same time.
TEST(ScanPlatform, EachScanListsThroughTheServicesItWasGiven)
{
    struct TWorld
    {
        TFakeDirLister Lister;
        TFakeVolumes Volumes;
        TFakeSystem System;
        TPlatform Services() { return {&Lister, &Volumes, &System}; }
    };
    TWorld installed, first, second;
    installed.Lister.AddDir("/data"); // empty: a scan that used it would find nothing
    first.Lister.AddFile("/data/a/one", 100);
    first.Volumes.AddMount("/data", dtFixed);
    first.Volumes.SetDiskFreeSpace("/data", 1111, 5000);
    second.Lister.AddFile("/data/b/two", 20);
    second.Lister.AddFile("/data/b/three", 3);
    second.Volumes.SetDiskFreeSpace("/data", 2222, 5000);
    second.Lister.SetOpenError("/data/b", EACCES);
    const TScopedPlatform scoped(installed.Services());

    TQueueDispatcher dispatcher;
    std::atomic<int> finished {0};
    std::vector<std::unique_ptr<TDirScanThreadList>> lists;
    std::vector<std::unique_ptr<TRootDirNode>> roots;
    for (TWorld *world : {&first, &second}) {
        lists.push_back(std::make_unique<TDirScanThreadList>(2, dispatcher, world->Services()));
        roots.push_back(std::make_unique<TRootDirNode>(world->Services()));
        roots.back()->SetFullPathName("/data");
        TDirScanThread *thread = lists.back()->Add(roots.back().get(), {});
        ASSERT_NE(thread, nullptr);
        thread->SetOnTerminate([&](TDirScanThread &) { ++finished; });
        thread->Start();
    }
    dispatcher.ProcessUntil([&] { return finished == 2; });

    EXPECT_EQ(roots[0]->GetSize(), 100);
    EXPECT_EQ(roots[0]->FreeDiskSize(), 1111);
    EXPECT_EQ(roots[0]->FileType(), fstDrive) << "the mount point is known to its own volumes only";
    EXPECT_EQ(roots[1]->GetSize(), 0);
    EXPECT_EQ(roots[1]->FreeDiskSize(), 2222);
    EXPECT_EQ(roots[1]->FileType(), fstDirectory);
    const auto *failed = static_cast<const TDirNode *>(roots[1]->FindChildNode("b"));
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->ErrorCode(), EACCES);
    // The failure went to the debug output of the scan's own services.
    EXPECT_FALSE(second.System.DebugLines().empty());
    EXPECT_TRUE(installed.System.DebugLines().empty());
    EXPECT_TRUE(first.System.DebugLines().empty());

    // The drives of a fixed-drives tree come from its own volumes and ask them, too.
    first.Volumes.AddMount("/mnt/disk", dtFixed);
    first.Volumes.SetDiskFreeSpace("/mnt/disk", 7, 9);
    const TFixedDrivesNode drives(first.Services());
    ASSERT_EQ(drives.InterlockedChildCount(), 2);
    const auto *disk = static_cast<const TRootDirNode *>(drives.FindChildNode("/mnt/disk"));
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->Services().Volumes, &first.Volumes);
}

} // namespace
