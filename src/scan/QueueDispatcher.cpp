#include "scan/QueueDispatcher.h"

#include <chrono>

void TQueueDispatcher::RunOnUiThreadAndWait(const std::function<void()> &work)
{
    TItem item {&work};
    std::unique_lock lock(FLock);
    ++FWaiters;
    FQueue.push_back(&item);
    FChanged.notify_all();
    FChanged.wait(lock, [&] { return item.Done; });
    --FWaiters;
    FChanged.notify_all();
}

TQueueDispatcher::~TQueueDispatcher()
{
    // A thread whose work has run may not have left the wait yet.
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FWaiters == 0 && FQueue.empty(); });
}

void TQueueDispatcher::Wake()
{
    std::scoped_lock lock(FLock);
    FChanged.notify_all();
}

void TQueueDispatcher::ProcessUntil(const std::function<bool()> &done)
{
    std::unique_lock lock(FLock);
    for (;;) {
        while (!FQueue.empty()) {
            TItem *item = FQueue.front();
            FQueue.pop_front();
            lock.unlock();
            try {
                (*item->Work)();
            } catch (...) {
                lock.lock();
                item->Done = true;
                FChanged.notify_all();
                throw;
            }
            lock.lock();
            item->Done = true;
            FChanged.notify_all();
        }
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished && FQueue.empty())
            return;
        if (FQueue.empty())
            FChanged.wait_for(lock, std::chrono::milliseconds(50));
    }
}
