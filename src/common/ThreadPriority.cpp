#include "common/ThreadPriority.h"

#include <cerrno>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// From linux/ioprio.h, which older kernel headers lack.
constexpr int IoprioWhoProcess = 1;
constexpr int IoprioClassIdle = 3;
constexpr int IoprioClassShift = 13;
} // namespace

void LowerThreadPriority()
{
    // On Linux the nice value belongs to the thread named by its id.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, current + 1);
    // Disk time only when nobody else wants it; threads started from here inherit both.
    ::syscall(SYS_ioprio_set, IoprioWhoProcess, static_cast<int>(tid), IoprioClassIdle << IoprioClassShift);
}

int ThreadIoPriorityClass()
{
    const auto tid = static_cast<int>(::syscall(SYS_gettid));
    const long value = ::syscall(SYS_ioprio_get, IoprioWhoProcess, tid);
    return value < 0 ? -1 : static_cast<int>(value >> IoprioClassShift);
}
