#include "shell/SHChangeNotify.h"

#include <algorithm>
#include <stdexcept>

#include <libmount.h>

#include <QSocketNotifier>

#include "common/Drives.h"

TSHChangeNotify::TSHChangeNotify() = default;

TSHChangeNotify::~TSHChangeNotify()
{
    Stop();
}

std::vector<std::string> TSHChangeNotify::CurrentDrives()
{
    std::vector<std::string> drives;
    GetDrives(TDriveTypes::AllKnown(), drives);
    return drives;
}

void TSHChangeNotify::Execute()
{
    Stop();
    FDrives = CurrentDrives();
    libmnt_monitor *monitor = mnt_new_monitor();
    if (!monitor)
        throw std::runtime_error("Could not register SHChangeNotify");
    const int fd = mnt_monitor_enable_kernel(monitor, 1) == 0 ? mnt_monitor_get_fd(monitor) : -1;
    if (fd < 0) {
        mnt_unref_monitor(monitor);
        throw std::runtime_error("Could not register SHChangeNotify");
    }
    FMonitor = monitor;
    FNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] {
        Drain();
        CheckChanges();
    });
}

void TSHChangeNotify::Stop()
{
    FNotifier.reset();
    if (FMonitor) {
        mnt_unref_monitor(FMonitor);
        FMonitor = nullptr;
    }
}

void TSHChangeNotify::Drain()
{
    if (!FMonitor)
        return;
    mnt_monitor_event_cleanup(FMonitor);
}

void TSHChangeNotify::CheckChanges()
{
    std::vector<std::string> now = CurrentDrives();
    const std::vector<std::string> before = std::move(FDrives);
    FDrives = now;
    for (const std::string &path : before)
        if (std::find(now.begin(), now.end(), path) == now.end() && OnDriveRemoved)
            OnDriveRemoved(SHCNE_DRIVEREMOVED, path);
    for (const std::string &path : now)
        if (std::find(before.begin(), before.end(), path) == before.end() && OnDriveAdd)
            OnDriveAdd(SHCNE_DRIVEADD, path);
}
