#pragma once

// Lowers the calling thread's priority one step below normal (nice +1) and puts its disk
// access into the idle class, so that background work (scans, freeing trees) leaves the user
// interface and other programs first. Threads it starts inherit both. Failure changes nothing.
void LowerThreadPriority();

// The I/O scheduling class of the calling thread (0 none, 1 real time, 2 best effort, 3 idle),
// or -1 when it cannot be read.
int ThreadIoPriorityClass();
