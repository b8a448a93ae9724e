#include "ui/startpage/DriveSpaceQuery.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/Platform.h"

// Shared by the query object and its workers; a worker that outlives the object (a hung
// statvfs at exit) keeps it alive and finds no owner to report to.
struct TDriveSpaceQuery::TState
{
    std::mutex Lock;
    std::condition_variable Done;
    TDriveSpaceQuery *Owner = nullptr; // cleared by the owner's destructor, under Lock
    std::set<std::string> InFlight;
    std::map<std::string, TAnswer> Fresh; // answers not yet collected by Ask
    std::map<std::string, std::chrono::steady_clock::time_point> AskedAt;
    IVolumes *Volumes = nullptr;
};

TDriveSpaceQuery::TDriveSpaceQuery(QObject *parent)
    : QObject(parent)
    , FState(std::make_shared<TState>())
{
    static const int registered = qRegisterMetaType<TDriveSpaceQuery::TAnswer>();
    (void)registered;
    FState->Owner = this;
    FState->Volumes = Platform().Volumes;
}

TDriveSpaceQuery::~TDriveSpaceQuery()
{
    std::scoped_lock guard(FState->Lock);
    FState->Owner = nullptr;
}

int TDriveSpaceQuery::Pending() const
{
    std::scoped_lock guard(FState->Lock);
    return static_cast<int>(FState->InFlight.size());
}

std::vector<TDriveSpaceQuery::TAnswer> TDriveSpaceQuery::Ask(
    const std::vector<std::string> &paths, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::unique_lock guard(FState->Lock);
    for (const std::string &path : paths) {
        FState->Fresh.erase(path);
        FState->AskedAt[path] = std::chrono::steady_clock::now();
        if (!FState->InFlight.insert(path).second)
            continue; // still hanging from an earlier question
        std::thread([state = FState, path] {
            TAnswer answer;
            answer.Path = path;
            answer.Error = state->Volumes->DiskFreeSpace(path, answer.Free, answer.Total);
            std::scoped_lock lock(state->Lock);
            state->InFlight.erase(path);
            const auto asked = state->AskedAt.find(path);
            if (asked == state->AskedAt.end() || std::chrono::steady_clock::now() - asked->second > Timeout)
                return;
            state->Fresh[path] = answer;
            state->Done.notify_all();
            if (state->Owner) {
                // Posting is safe from any thread; the owner cannot go away while we hold the lock.
                QMetaObject::invokeMethod(
                    state->Owner,
                    [owner = state->Owner, state, path] {
                        TAnswer a;
                        {
                            std::scoped_lock inner(state->Lock);
                            const auto found = state->Fresh.find(path);
                            if (found == state->Fresh.end())
                                return; // Ask collected it already
                            a = found->second;
                            state->Fresh.erase(found);
                        }
                        emit owner->Answered(a);
                    },
                    Qt::QueuedConnection);
            }
        }).detach();
    }
    const auto allAnswered = [&] {
        for (const std::string &path : paths)
            if (!FState->Fresh.count(path))
                return false;
        return true;
    };
    FState->Done.wait_until(guard, deadline, allAnswered);
    std::vector<TAnswer> answers;
    for (const std::string &path : paths) {
        const auto found = FState->Fresh.find(path);
        if (found != FState->Fresh.end()) {
            answers.push_back(found->second);
            FState->Fresh.erase(found);
        }
    }
    return answers;
}
