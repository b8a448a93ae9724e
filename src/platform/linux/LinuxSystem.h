#pragma once

#include "platform/System.h"

class TLinuxSystem final : public ISystem
{
public:
    std::string SpecialFolder(TSpecialFolder folder) override;
    std::string ErrorMessage(int code) override;
    std::int64_t CounterFrequency() override;
    std::int64_t CounterValue() override;
    void DebugOutput(std::string_view text) override;
    bool IsWow64() override { return false; }
};

// The folder an XDG user directory key ("DESKTOP", "DOCUMENTS", ...) names in the given
// user-dirs.dirs text, with $HOME expanded; empty when the key is missing.
std::string ParseUserDir(const std::string &userDirsText, const std::string &key, const std::string &home);
