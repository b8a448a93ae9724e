#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include <QObject>

#include "scan/ScanThread.h"

// Runs a scan thread's termination work on the user interface thread and waits for it.
// The receiver may go away at any time (the window closing): work that has not run by then is
// dropped and the waiting thread is released. The dispatcher itself must outlive every scan
// thread that was given it, so the program keeps one for its whole run (Instance).
class TQtUiDispatcher final : public IUiDispatcher
{
public:
    TQtUiDispatcher() = default;
    [[nodiscard]] static TQtUiDispatcher &Instance();

    // The object whose thread runs the work; null drops all further work.
    void SetReceiver(QObject *receiver);
    void RunOnUiThreadAndWait(const std::function<void()> &work) override;

private:
    std::mutex FLock;
    QObject *FReceiver = nullptr;
};
