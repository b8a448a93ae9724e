#include "scan/ScanThread.h"

#include <algorithm>
#include <chrono>

#include "common/MessageBoxes.h"
#include "common/ThreadPriority.h"
#include "log/Logger.h"
#include "model/TreeTypes.h"

struct TDirScanThread::TListState
{
    mutable std::mutex Lock;
    std::vector<TDirScanThread *> Threads;
};

TDirScanThread::TDirScanThread(TDirNode *rootNode, const TDirScanOptions &options, std::shared_ptr<TListState> owner,
    IUiDispatcher &dispatcher, const TPlatform &platform)
    : FOwner(std::move(owner))
    , FDirScanner(std::make_unique<TDirScanner>(rootNode, platform))
    , FOptions(options)
    , FDispatcher(dispatcher)
{ }

TDirScanThread::~TDirScanThread() = default;

void TDirScanThread::SetOnTerminate(TScanThreadEvent handler)
{
    std::scoped_lock guard(FOwner->Lock);
    FOnTerminate = std::move(handler);
}

void TDirScanThread::Start()
{
    // Set before the thread exists: a stop that comes before its scan begins waits too.
    FScanPending.store(true, std::memory_order_release);
    try {
        std::thread([this] { Execute(); }).detach();
    } catch (...) {
        FScanPending.store(false, std::memory_order_release);
        throw;
    }
}

void TDirScanThread::StopScanning()
{
    FTerminated.store(true, std::memory_order_release);
    FDirScanner->StopScan();
    // A started thread that has not reached its scan yet would still clear its root, so the
    // wait lasts until the thread is past its scan (woken at once, not polled).
    FScanPending.wait(true, std::memory_order_acquire);
    while (FDirScanner->Scanning())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void TDirScanThread::EndScanPending()
{
    FScanPending.store(false, std::memory_order_release);
    FScanPending.notify_all();
}

void TDirScanThread::ReportException(const std::exception &e)
{
    ExceptionBox(e);
    ProgramLogger().ErrorMsg(e.what(), &e);
}

void TDirScanThread::Execute()
{
    LowerThreadPriority();
    // A stop that came before the start is not lost: the scan is skipped, and the scanner
    // never forgets a stop request either.
    if (!FTerminated.load(std::memory_order_acquire)) {
        try {
            const std::string path = FDirScanner->RootNode()->GetFullPathName();
            FDirScanner->StartScan(path, FOptions);
        } catch (const std::exception &e) {
            FFailed = true;
            EndScanPending(); // the box may wait for the user
            ReportException(e);
        }
    }
    EndScanPending();
    TScanThreadEvent handler;
    {
        std::scoped_lock guard(FOwner->Lock);
        auto &threads = FOwner->Threads;
        if (auto it = std::find(threads.begin(), threads.end(), this); it != threads.end())
            threads.erase(it);
        handler = FOnTerminate;
    }
    if (handler) {
        try {
            FDispatcher.RunOnUiThreadAndWait([this, &handler] { handler(*this); });
        } catch (const std::exception &e) {
            ProgramLogger().ErrorMsg(e.what(), &e);
        }
    }
    delete this; // the thread owns itself once started
}

TDirScanThreadList::TDirScanThreadList(std::int32_t maxThreads, IUiDispatcher &dispatcher)
    : FState(std::make_shared<TDirScanThread::TListState>())
    , FMaxThreads(maxThreads)
    , FDispatcher(dispatcher)
{ }

TDirScanThreadList::TDirScanThreadList(std::int32_t maxThreads, IUiDispatcher &dispatcher, const TPlatform &platform)
    : FState(std::make_shared<TDirScanThread::TListState>())
    , FMaxThreads(maxThreads)
    , FDispatcher(dispatcher)
    , FPlatform(platform)
{ }

TDirScanThreadList::~TDirScanThreadList()
{
    std::scoped_lock guard(FState->Lock);
    for (TDirScanThread *thread : FState->Threads) {
        thread->FOnTerminate = nullptr;
        thread->StopScanning();
    }
    FState->Threads.clear();
}

TDirScanThread *TDirScanThreadList::Add(TDirNode *node, const TDirScanOptions &options)
{
    std::scoped_lock guard(FState->Lock);
    if (static_cast<std::int32_t>(FState->Threads.size()) >= FMaxThreads)
        return nullptr;
    // Owned by itself from Start on; until then the list holds the only reference.
    auto *thread = new TDirScanThread(node, options, FState, FDispatcher, FPlatform);
    FState->Threads.push_back(thread);
    return thread;
}

void TDirScanThreadList::Remove(TDirScanThread *thread)
{
    std::scoped_lock guard(FState->Lock);
    auto &threads = FState->Threads;
    if (auto it = std::find(threads.begin(), threads.end(), thread); it != threads.end())
        threads.erase(it);
}

bool TDirScanThreadList::IsEmpty() const
{
    std::scoped_lock guard(FState->Lock);
    return FState->Threads.empty();
}

bool TDirScanThreadList::IsFull() const
{
    std::scoped_lock guard(FState->Lock);
    return static_cast<std::int32_t>(FState->Threads.size()) >= FMaxThreads;
}

std::int32_t TDirScanThreadList::Count() const
{
    std::scoped_lock guard(FState->Lock);
    return static_cast<std::int32_t>(FState->Threads.size());
}

void TDirScanThreadList::StopAll()
{
    std::scoped_lock guard(FState->Lock);
    for (TDirScanThread *thread : FState->Threads)
        thread->StopScanning();
}

std::int32_t TDirScanThreadList::StopAllChildren(TDirNode *node)
{
    std::scoped_lock guard(FState->Lock);
    std::int32_t stopped = 0;
    for (TDirScanThread *thread : FState->Threads) {
        for (TGroupNode *up = thread->DirScanner().RootNode()->Parent(); up; up = up->Parent()) {
            if (up == node) {
                thread->StopScanning();
                ++stopped;
                break;
            }
        }
    }
    return stopped;
}

void TDirScanThreadList::StopAndWaitFor()
{
    {
        std::scoped_lock guard(FState->Lock);
        for (TDirScanThread *thread : FState->Threads) {
            thread->FOnTerminate = nullptr;
            thread->StopScanning();
        }
    }
    while (!IsEmpty())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

std::string TDirScanThreadList::GetFirstThreadCurrentDir() const
{
    std::scoped_lock guard(FState->Lock);
    return FState->Threads.empty() ? std::string() : FState->Threads.front()->CurrentDir();
}
