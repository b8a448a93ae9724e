#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class TGroupNode;

// True when a progress line belongs on standard error: it is a terminal and --quiet was not
// given.
[[nodiscard]] bool ProgressWanted(bool quiet);

// One line on standard error while a scan runs: entries and bytes so far, entries per second
// and the folder being read, shortened to the terminal's width. It appears once the scan has
// run half a second and is redrawn in place at most ten times a second, from a thread of its
// own that reads the live totals of the tree the way the window does. Stop (or the
// destructor) ends the thread and erases the line, so that results start on a clean line.
class TScanProgressLine
{
public:
    // `currentDir` and `directories` are read from the progress thread and must stay valid
    // until Stop returns.
    TScanProgressLine(
        const TGroupNode &root, std::function<std::string()> currentDir, const std::atomic<std::int64_t> &directories);
    ~TScanProgressLine();
    TScanProgressLine(const TScanProgressLine &) = delete;
    TScanProgressLine &operator=(const TScanProgressLine &) = delete;

    void Stop();

private:
    void Run();
    void Draw(double seconds);

    const TGroupNode &FRoot;
    std::function<std::string()> FCurrentDir;
    const std::atomic<std::int64_t> &FDirectories;
    std::mutex FLock;
    std::condition_variable FWake;
    bool FStopping = false; // guarded by FLock
    bool FShown = false; // progress thread only, until joined
    std::thread FThread;
};
