#pragma once
// The stream lives with the common helpers, as the settings store uses it too.
#include "common/FdStream.h"
