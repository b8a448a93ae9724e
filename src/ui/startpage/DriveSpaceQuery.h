#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QObject>

// Free and total bytes of drives, asked off the user interface thread: a dead network mount
// whose statvfs never returns must not freeze the window. Every path is asked on a worker
// thread of its own; Ask waits a short moment so that quick answers are drawn with the first
// paint, later ones arrive through Answered. A path whose question still hangs is not asked
// again until it returns; answers later than Timeout after the question are dropped.
class TDriveSpaceQuery final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds Timeout {10000};

    struct TAnswer
    {
        std::string Path;
        int Error = 0; // 0 or an errno
        std::int64_t Free = -1;
        std::int64_t Total = -1;
    };

    explicit TDriveSpaceQuery(QObject *parent = nullptr);
    ~TDriveSpaceQuery() override;

    // The answers that came within `wait`; the others follow through Answered.
    std::vector<TAnswer> Ask(const std::vector<std::string> &paths, std::chrono::milliseconds wait);
    // Questions still under way (hanging ones included).
    [[nodiscard]] int Pending() const;

signals:
    void Answered(const TDriveSpaceQuery::TAnswer &answer);

private:
    struct TState;
    std::shared_ptr<TState> FState;
};

Q_DECLARE_METATYPE(TDriveSpaceQuery::TAnswer)
