#pragma once

// Lowers the calling thread's priority one step below normal (nice +1), so that background
// work (scans, freeing trees) leaves the user interface first. Failure changes nothing.
void LowerThreadPriority();
