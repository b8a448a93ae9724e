#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
struct libmnt_monitor;

// Reports drives coming and going: libmount's monitor of the kernel mount table is watched from
// the event loop of the thread that calls Execute (the user interface thread), and every
// change is compared with the drives seen before. A new mount point raises OnDriveAdd, a
// vanished one OnDriveRemoved, each with the mount point as path. No thread of its own.
class TSHChangeNotify
{
public:
    using TOneParmEvent = std::function<void(std::uint32_t flags, const std::string &path)>;
    static constexpr std::uint32_t SHCNE_DRIVEREMOVED = 0x80;
    static constexpr std::uint32_t SHCNE_DRIVEADD = 0x100;

    TSHChangeNotify();
    ~TSHChangeNotify();
    TSHChangeNotify(const TSHChangeNotify &) = delete;
    TSHChangeNotify &operator=(const TSHChangeNotify &) = delete;

    // Remembers the present drives and starts watching; a second call starts over. Throws
    // std::runtime_error "Could not register SHChangeNotify" when the monitor cannot start.
    void Execute();
    void Stop();
    [[nodiscard]] bool Active() const { return FMonitor != nullptr; }
    // Compares the mount table with the drives seen before and raises the events.
    void CheckChanges();

    TOneParmEvent OnDriveAdd;
    TOneParmEvent OnDriveRemoved;

private:
    static std::vector<std::string> CurrentDrives();
    void Drain();

    libmnt_monitor *FMonitor = nullptr;
    std::unique_ptr<QSocketNotifier> FNotifier;
    std::vector<std::string> FDrives;
};
