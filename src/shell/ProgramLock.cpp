#include "shell/ProgramLock.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TProgramLock::TProgramLock(const std::string &name)
{
    const char *dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || !*dir)
        dir = std::getenv("TMPDIR");
    if (!dir || !*dir)
        dir = "/tmp";
    FPath = std::string(dir) + "/" + name;
    FHandle = ::open(FPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (FHandle >= 0)
        FOwned = ::flock(FHandle, LOCK_EX | LOCK_NB) == 0;
}

TProgramLock::~TProgramLock()
{
    if (FHandle >= 0) {
        if (FOwned)
            ::flock(FHandle, LOCK_UN);
        ::close(FHandle);
    }
}
