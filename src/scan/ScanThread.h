#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/DirScanner.h"

class TDirNode;
class TDirScanThread;

// Runs work on the user interface thread and waits until it has run. The window implements
// it with a blocking queued call, the headless program with its own loop.
class IUiDispatcher
{
public:
    virtual ~IUiDispatcher() = default;
    virtual void RunOnUiThreadAndWait(const std::function<void()> &work) = 0;
};

using TScanThreadEvent = std::function<void(TDirScanThread &thread)>;

// One background scan of one directory node. Created suspended by TDirScanThreadList::Add,
// started by the caller, freed by itself once its termination handler has run.
class TDirScanThread
{
public:
    ~TDirScanThread();
    TDirScanThread(const TDirScanThread &) = delete;
    TDirScanThread &operator=(const TDirScanThread &) = delete;

    [[nodiscard]] TDirScanner &DirScanner() { return *FDirScanner; }
    [[nodiscard]] std::string CurrentDir() const { return FDirScanner->CurrentDir(); }

    // Runs on the user interface thread after the thread has left its list; set it before
    // Start. The thread waits for it.
    void SetOnTerminate(TScanThreadEvent handler);
    void Start();
    // Asks the thread to end and waits, polling every 10 ms, until its scanner has left its
    // enumeration, or, for a started thread that has not begun its scan, until it has passed
    // that point. Does not wait for the thread itself.
    void StopScanning();

    // True once the scan ended by an exception (shown and logged).
    [[nodiscard]] bool Failed() const { return FFailed.load(); }

    // Called on a thread that is not the scan thread when the body raises (message box + log).
    static void ReportException(const std::exception &e);

private:
    friend class TDirScanThreadList;
    struct TListState;
    TDirScanThread(TDirNode *rootNode, const TDirScanOptions &options, std::shared_ptr<TListState> owner,
        IUiDispatcher &dispatcher, const TPlatform &platform);
    void Execute();
    void EndScanPending();

    std::shared_ptr<TListState> FOwner; // shared so a finishing thread never reaches a freed list
    std::unique_ptr<TDirScanner> FDirScanner;
    TDirScanOptions FOptions;
    IUiDispatcher &FDispatcher;
    TScanThreadEvent FOnTerminate; // guarded by the owner's lock once started
    std::atomic<bool> FTerminated {false};
    std::atomic<bool> FScanPending {false}; // from Start until the scan has returned or was skipped
    std::atomic<bool> FFailed {false};
};

// The bounded registry of running scan threads. Every operation holds the list's lock.
class TDirScanThreadList
{
public:
    TDirScanThreadList(std::int32_t maxThreads, IUiDispatcher &dispatcher);
    // Its scans list through `platform`'s services instead of the installed ones.
    TDirScanThreadList(std::int32_t maxThreads, IUiDispatcher &dispatcher, const TPlatform &platform);
    // Stops every thread (without waiting for them to end) and forgets them.
    ~TDirScanThreadList();
    TDirScanThreadList(const TDirScanThreadList &) = delete;
    TDirScanThreadList &operator=(const TDirScanThreadList &) = delete;

    // A new suspended thread scanning `node` with `options`, or null when the list is full.
    TDirScanThread *Add(TDirNode *node, const TDirScanOptions &options);
    void Remove(TDirScanThread *thread);
    [[nodiscard]] bool IsEmpty() const;
    [[nodiscard]] bool IsFull() const;
    [[nodiscard]] std::int32_t Count() const;
    [[nodiscard]] std::int32_t MaxThreads() const { return FMaxThreads; }
    void StopAll();
    // Stops the threads whose root lies strictly below `node`; returns how many.
    std::int32_t StopAllChildren(TDirNode *node);
    // Clears every termination handler, stops every thread, then waits (50 ms polls)
    // until all have left the list.
    void StopAndWaitFor();
    [[nodiscard]] std::string GetFirstThreadCurrentDir() const;

private:
    std::shared_ptr<TDirScanThread::TListState> FState;
    std::int32_t FMaxThreads;
    IUiDispatcher &FDispatcher;
    TPlatform FPlatform; // empty: the installed services
};
