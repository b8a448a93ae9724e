#pragma once

#include "platform/Platform.h"

// The Linux services of this process, created on first use and living until exit.
const TPlatform &LinuxPlatform();
