#include "ui/QtUiDispatcher.h"

#include <future>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

namespace {

// Carries one piece of work; whether it runs or is dropped with its receiver, the waiting
// thread is released when the event goes away.
class TWorkEvent final : public QEvent
{
public:
    static QEvent::Type EventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    TWorkEvent(const std::function<void()> &work, std::promise<void> &done)
        : QEvent(EventType())
        , FWork(work)
        , FDone(done)
    { }
    ~TWorkEvent() override { FDone.set_value(); }
    void Run() const { FWork(); }

private:
    const std::function<void()> &FWork;
    std::promise<void> &FDone;
};

class TWorkFilter final : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != TWorkEvent::EventType())
            return false;
        static_cast<TWorkEvent *>(event)->Run();
        return true;
    }
};

} // namespace

TQtUiDispatcher &TQtUiDispatcher::Instance()
{
    static TQtUiDispatcher instance;
    return instance;
}

void TQtUiDispatcher::SetReceiver(QObject *receiver)
{
    std::scoped_lock guard(FLock);
    if (receiver && receiver != FReceiver) {
        auto *filter = new TWorkFilter; // owned by the receiver from the next line on
        filter->setParent(receiver);
        receiver->installEventFilter(filter);
    }
    FReceiver = receiver;
}

void TQtUiDispatcher::RunOnUiThreadAndWait(const std::function<void()> &work)
{
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    {
        std::scoped_lock guard(FLock);
        if (!FReceiver)
            return;
        if (FReceiver->thread() == QThread::currentThread()) {
            work();
            return;
        }
        QCoreApplication::postEvent(FReceiver, new TWorkEvent(work, done));
    }
    finished.wait();
}
