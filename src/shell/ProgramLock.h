#pragma once

#include <string>

// The lock file that tells other programs that Zumbrel runs: "Zumbrel.Mutex" in the user's
// runtime folder (or the temporary folder), held with flock for the whole run. A second
// instance starts normally; it simply does not get the lock.
class TProgramLock
{
public:
    explicit TProgramLock(const std::string &name = "Zumbrel.Mutex");
    ~TProgramLock();
    TProgramLock(const TProgramLock &) = delete;
    TProgramLock &operator=(const TProgramLock &) = delete;

    [[nodiscard]] const std::string &Path() const { return FPath; }
    // True when this process holds the lock.
    [[nodiscard]] bool Owned() const { return FOwned; }

private:
    std::string FPath;
    int FHandle = -1;
    bool FOwned = false;
};
