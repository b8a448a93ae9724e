#pragma once

#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "log/Level.h"
#include "log/LogLog.h"

// Collects what the facility says on its internal channel while the object lives.
class TInternalChannelCapture
{
public:
    TInternalChannelCapture()
    {
        FPrevious = TLogLog::SetSink([this](const TLogLevel &level, std::string_view message) {
            std::scoped_lock guard(FLock);
            FLines.push_back(std::string(level.Name()) + ": " + std::string(message));
        });
    }
    ~TInternalChannelCapture()
    {
        TLogLog::SetSink(std::move(FPrevious));
        TLogLog::SetInternalDebugging(false);
    }
    TInternalChannelCapture(const TInternalChannelCapture &) = delete;
    TInternalChannelCapture &operator=(const TInternalChannelCapture &) = delete;

    [[nodiscard]] std::vector<std::string> Lines() const
    {
        std::scoped_lock guard(FLock);
        return FLines;
    }
    [[nodiscard]] std::string Text() const
    {
        std::string all;
        for (const std::string &line : Lines())
            all += line + "\n";
        return all;
    }

private:
    TLogLog::TSink FPrevious;
    mutable std::mutex FLock;
    std::vector<std::string> FLines;
};

inline std::string ReadWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWholeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}
