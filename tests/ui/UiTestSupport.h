#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QTest>

#include "export/ExportRegistry.h"
#include "paint/RegisterPainters.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"
#include "shell/ShellServices.h"
#include "support/TempTree.h"
#include "ui/FormMain.h"

// The real platform, painters and formats, and settings in a file of a temporary folder.
inline void InitUiTests()
{
    InstallPlatform(LinuxPlatform());
    RegisterBarChartPainters();
    static const bool formats = [] {
        RegisterExportClasses();
        return true;
    }();
    (void)formats;
    TFormMain::InstallSettingsHooks();
}

// A window with its own settings file, closed and freed at the end of the test.
struct TWindowFixture
{
    TempTree Config;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TFormMain> Form;

    TWindowFixture()
        : Settings(std::make_unique<TSettings>(Config / "Zumbrel.ini"))
        , Form(std::make_unique<TFormMain>(*Settings))
    {
        Form->show();
    }
    ~TWindowFixture() { Form.reset(); }

    // Runs the event loop until no scan thread is left and no pending request waits.
    bool WaitForScans(int timeoutMs = 30000) const
    {
        return QTest::qWaitFor(
            [&] {
                return Form->ScanThreads().IsEmpty() && Form->WaitForScanDir().empty() && !Form->ScanTimersActive()
                    && Form->PendingRescanCount() == 0;
            },
            timeoutMs);
    }
};

inline bool Exists(const std::string &path)
{
    struct stat st
    { };
    return ::lstat(path.c_str(), &st) == 0;
}

// Records what the window asks of the desktop; starts nothing.
class TRecordingDesktop final : public IDesktopServices
{
public:
    bool OpenPath(const std::string &path, std::string &) override
    {
        Opened.push_back(path);
        return true;
    }
    bool OpenWith(const TDesktopApp &, const std::string &, std::string &) override { return true; }
    bool ShowInFileManager(const std::string &path, bool selectItem) override
    {
        Shown.emplace_back(path, selectItem);
        return !NoFileManager;
    }
    bool OpenUrl(const std::string &url) override
    {
        Urls.push_back(url);
        return true;
    }
    std::vector<std::string> Opened, Urls;
    std::vector<std::pair<std::string, bool>> Shown;
    bool NoFileManager = false; // as a desktop where no file manager answers
};
