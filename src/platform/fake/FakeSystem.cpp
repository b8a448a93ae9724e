#include "platform/fake/FakeSystem.h"

#include <cstring>

TFakeSystem::TFakeSystem(std::int64_t counterFrequency)
    : FFrequency(counterFrequency)
{ }

void TFakeSystem::SetSpecialFolder(TSpecialFolder folder, const std::string &path)
{
    std::scoped_lock guard(FLock);
    FFolders[folder] = path;
}

std::vector<std::string> TFakeSystem::DebugLines() const
{
    std::scoped_lock guard(FLock);
    return FDebugLines;
}

void TFakeSystem::ClearDebugLines()
{
    std::scoped_lock guard(FLock);
    FDebugLines.clear();
}

std::string TFakeSystem::SpecialFolder(TSpecialFolder folder)
{
    std::scoped_lock guard(FLock);
    const auto it = FFolders.find(folder);
    return it == FFolders.end() ? std::string() : it->second;
}

std::string TFakeSystem::ErrorMessage(int code)
{
    char buffer[256];
    const char *text = ::strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : "Unknown error " + std::to_string(code);
}

void TFakeSystem::DebugOutput(std::string_view text)
{
    while (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    std::scoped_lock guard(FLock);
    FDebugLines.emplace_back(text);
}
