#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/LinuxDirLister.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/linux/LinuxVolumes.h"

const TPlatform &LinuxPlatform()
{
    static TLinuxDirLister lister;
    static TLinuxVolumes volumes;
    static TLinuxSystem system;
    static const TPlatform platform {&lister, &volumes, &system};
    return platform;
}
