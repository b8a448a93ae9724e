#pragma once

#include "platform/DirLister.h"
#include "platform/System.h"
#include "platform/Volumes.h"

// The platform services in use by this process. The program installs the Linux services
// at start-up; tests install fakes. Services are not owned.
struct TPlatform
{
    IDirLister *Lister = nullptr;
    IVolumes *Volumes = nullptr;
    ISystem *System = nullptr;
};

// The installed services. Throws std::logic_error when none were installed.
const TPlatform &Platform();
// Installs services (all three must be set) and returns the previous ones.
TPlatform InstallPlatform(const TPlatform &platform);

// Path comparison of the file system: exact bytes on Linux. Kept in one place so that a
// case-insensitive platform changes only this.
bool SamePath(std::string_view a, std::string_view b);
bool PathStartsWith(std::string_view path, std::string_view prefix);

inline constexpr char PathDelim = '/';
