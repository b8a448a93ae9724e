#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/MessageBoxes.h"
#include "platform/Platform.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

inline std::string ReadWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteWholeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Records the message boxes shown while it lives instead of printing them.
class TRecordedBoxes final : public IMessageBoxes
{
public:
    TRecordedBoxes() { FPrevious = InstallMessageBoxes(this); }
    ~TRecordedBoxes() override { InstallMessageBoxes(FPrevious); }
    TRecordedBoxes(const TRecordedBoxes &) = delete;
    TRecordedBoxes &operator=(const TRecordedBoxes &) = delete;

    bool Show(TMessageKind, const std::string &title, const std::string &text) override
    {
        Titles.push_back(title);
        Texts.push_back(text);
        return false;
    }

    std::vector<std::string> Titles;
    std::vector<std::string> Texts;

private:
    IMessageBoxes *FPrevious = nullptr;
};

// Fake platform services installed while it lives.
class TFakePlatform
{
public:
    TFakePlatform() { FPrevious = InstallPlatform({&Lister, &Volumes, &System}); }
    ~TFakePlatform()
    {
        if (FPrevious.Lister)
            InstallPlatform(FPrevious);
    }
    TFakePlatform(const TFakePlatform &) = delete;
    TFakePlatform &operator=(const TFakePlatform &) = delete;

    TFakeDirLister Lister;
    TFakeVolumes Volumes;
    TFakeSystem System;

private:
    TPlatform FPrevious;
};
