#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QTest>

#include "export/ExportRegistry.h"
#include "paint/RegisterPainters.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"
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
