#include "platform/Platform.h"

#include <stdexcept>

namespace {
TPlatform Installed;
}

const TPlatform &Platform()
{
    if (!Installed.Lister || !Installed.Volumes || !Installed.System)
        throw std::logic_error("no platform services installed");
    return Installed;
}

TPlatform InstallPlatform(const TPlatform &platform)
{
    TPlatform previous = Installed;
    Installed = platform;
    return previous;
}

bool SamePath(std::string_view a, std::string_view b)
{
    return a == b;
}

bool PathStartsWith(std::string_view path, std::string_view prefix)
{
    return path.substr(0, prefix.size()) == prefix;
}
