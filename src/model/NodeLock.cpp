#include "model/NodeLock.h"

#include <sys/syscall.h>
#include <unistd.h>

std::uint32_t TNodeLock::ThreadId()
{
    // The kernel's thread ids are below /proc/sys/kernel/pid_max, at most 2^22.
    thread_local const std::uint32_t id = static_cast<std::uint32_t>(::syscall(SYS_gettid)) & OwnerMask;
    return id;
}
