#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Platform.h"
#include "platform/System.h"

// System queries for tests: settable special folders, a counter that moves only when told,
// and the debug output captured line by line. Error messages are the real strerror_r texts.
// Any thread.
class TFakeSystem final : public ISystem
{
public:
    // A frequency of 0 means "no high-resolution counter".
    explicit TFakeSystem(std::int64_t counterFrequency = 1000000);

    void SetSpecialFolder(TSpecialFolder folder, const std::string &path);
    void SetCounterFrequency(std::int64_t frequency) { FFrequency.store(frequency); }
    void SetCounterValue(std::int64_t value) { FCounter.store(value); }
    void AdvanceCounter(std::int64_t ticks) { FCounter.fetch_add(ticks); }
    // Every DebugOutput text so far, in order, without line ends.
    [[nodiscard]] std::vector<std::string> DebugLines() const;
    void ClearDebugLines();

    std::string SpecialFolder(TSpecialFolder folder) override;
    std::string ErrorMessage(int code) override;
    std::int64_t CounterFrequency() override { return FFrequency.load(); }
    std::int64_t CounterValue() override { return FCounter.load(); }
    void DebugOutput(std::string_view text) override;
    bool IsWow64() override { return false; }

private:
    std::atomic<std::int64_t> FFrequency;
    std::atomic<std::int64_t> FCounter {0};
    mutable std::mutex FLock;
    std::map<TSpecialFolder, std::string> FFolders;
    std::vector<std::string> FDebugLines;
};

// Installs platform services for its lifetime and puts the previous ones back afterwards.
class TScopedPlatform
{
public:
    explicit TScopedPlatform(const TPlatform &platform)
        : FPrevious(InstallPlatform(platform))
    { }
    ~TScopedPlatform() { InstallPlatform(FPrevious); }
    TScopedPlatform(const TScopedPlatform &) = delete;
    TScopedPlatform &operator=(const TScopedPlatform &) = delete;

private:
    TPlatform FPrevious;
};
