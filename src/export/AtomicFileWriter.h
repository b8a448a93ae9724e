#pragma once
// The writer lives with the common helpers, as the settings store uses it too.
#include "common/AtomicFileWriter.h"
