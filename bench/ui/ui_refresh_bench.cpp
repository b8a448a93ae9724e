// Measures the window's tree refresh while a scan fills the tree, and the scan's duration in
// the window. Usage: ui_refresh_bench FOLDER [EXPAND_LEVELS [no-grouping]]
// Every refresh expands up to 20 rows per level first, so the rebuilt rows grow with the levels;
// without grouping every file of an expanded folder is a row of its own.
// Runs on any Qt platform (QT_QPA_PLATFORM=offscreen for none). Compare the scan time with
// `zumbrel-cli scan FOLDER`.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include "export/ExportRegistry.h"
#include "model/common/Profiler.h"
#include "paint/RegisterPainters.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"
#include "ui/FormMain.h"

namespace {

void ExpandLevels(TFormMain &form, const QModelIndex &index, int levels)
{
    if (levels <= 0)
        return;
    form.Tree()->expand(index);
    const int rows = form.Model()->rowCount(index);
    for (int i = 0; i < std::min(rows, 20); ++i)
        ExpandLevels(form, form.Model()->index(i, 0, index), levels - 1);
}

// Rows the view shows when scrolled through: every row under expanded parents.
int VisibleRows(const QTreeView &view)
{
    int count = 0;
    for (QModelIndex index = view.model()->index(0, 0); index.isValid(); index = view.indexBelow(index))
        ++count;
    return count;
}

struct TStats
{
    std::vector<double> Ms;
    void Print(const char *what) const
    {
        if (Ms.empty())
            return;
        std::vector<double> sorted = Ms;
        std::sort(sorted.begin(), sorted.end());
        double sum = 0;
        for (double v : Ms)
            sum += v;
        std::printf("%s: %zu refreshes, median %.1f ms, mean %.1f ms, max %.1f ms\n", what, Ms.size(),
            sorted[sorted.size() / 2], sum / static_cast<double>(Ms.size()), sorted.back());
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_refresh_bench FOLDER [EXPAND_LEVELS]\n");
        return 2;
    }
    InstallPlatform(LinuxPlatform());
    RegisterBarChartPainters();
    RegisterExportClasses();
    QApplication app(argc, argv);
    TFormMain::InstallSettingsHooks();
    QTemporaryDir config;
    TSettings settings((config.path() + QStringLiteral("/Zumbrel.ini")).toStdString());
    const int levels = argc > 2 ? std::atoi(argv[2]) : 3;
    if (argc > 3 && std::string(argv[3]) == "no-grouping") {
        settings.SetGroupSmallFiles(false);
        settings.Save();
    }
    TStats during;
    TStats after;
    TStats duringTick;
    TStats afterTick;
    TStats duringLayout;
    TStats afterLayout;
    int rowsDuring = 0;
    double scanSeconds = 0;
    {
        TFormMain form(settings);
        form.resize(1000, 800);
        form.show();
        QElapsedTimer wall;
        wall.start();
        form.ProcessPath(argv[1], false);
        QTimer probe;
        probe.setInterval(500);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            ExpandLevels(form, form.Model()->index(0, 0), levels);
            QCoreApplication::processEvents();
            const bool scanning = !form.ScanThreads().IsEmpty();
            ProfStartTimer(250);
            form.RefreshTree();
            (scanning ? during : after).Ms.push_back(ProfStopSeconds(250) * 1000.0);
            // The view lays its rows out again after rows were inserted or moved; forced here, so
            // the figure holds that work whether it was pending or not (an upper bound).
            form.Tree()->doItemsLayout();
            (scanning ? duringLayout : afterLayout).Ms.push_back(ProfStopSeconds(250) * 1000.0);
            // What the refresh leaves to the event loop (the view's layout, the paint) is part of
            // the tick the user waits for.
            QCoreApplication::processEvents();
            (scanning ? duringTick : afterTick).Ms.push_back(ProfStopSeconds(250) * 1000.0);
            if (scanning)
                rowsDuring = std::max(rowsDuring, VisibleRows(*form.Tree()));
            if (form.ScanThreads().IsEmpty() && after.Ms.size() >= 5) {
                std::printf("status panel: %s\n", form.StatusText(1).toStdString().c_str());
                std::printf("root: %lld bytes, %d files\n", static_cast<long long>(form.RootNode()->GetSize()),
                    form.RootNode()->FileCount());
                app.quit(); // closes the window too
            }
        });
        probe.start();
        app.exec();
        scanSeconds = static_cast<double>(wall.elapsed()) / 1000.0;
    }
    during.Print("refresh while scanning");
    duringLayout.Print("refresh and a forced layout of the rows while scanning");
    duringTick.Print("refresh, layout and event processing (painting) while scanning");
    after.Print("refresh after the scan");
    afterLayout.Print("refresh and a forced layout of the rows after the scan");
    afterTick.Print("refresh, layout and event processing (painting) after the scan");
    std::printf("most rows shown while scanning: %d\n", rowsDuring);
    std::printf("wall time until five refreshes after the scan: %.2f s\n", scanSeconds);
    return 0;
}
