#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "scan/ScanThread.h"

// A user interface thread for programs without a window: work posted by other threads runs
// when the owning thread calls ProcessUntil.
class TQueueDispatcher final : public IUiDispatcher
{
public:
    TQueueDispatcher() = default;
    // Waits until no other thread is inside RunOnUiThreadAndWait any more.
    ~TQueueDispatcher() override;
    TQueueDispatcher(const TQueueDispatcher &) = delete;
    TQueueDispatcher &operator=(const TQueueDispatcher &) = delete;

    void RunOnUiThreadAndWait(const std::function<void()> &work) override;
    // Runs posted work on the calling thread until `done` returns true (checked after each
    // piece of work and whenever Wake is called).
    void ProcessUntil(const std::function<bool()> &done);
    void Wake();

private:
    struct TItem
    {
        const std::function<void()> *Work;
        bool Done = false;
    };
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TItem *> FQueue;
    int FWaiters = 0;
};
