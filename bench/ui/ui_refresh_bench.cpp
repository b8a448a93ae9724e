// Measures the window while a scan fills the tree: the refresh tick (the model's refresh and
// what it leaves to the event loop: the view's layout and the paint), the scan's duration in
// the window against `zumbrel-cli scan` of the same folder, and how fast Stop is answered.
// Usage: ui_refresh_bench FOLDER [EXPAND_LEVELS [no-grouping [ROUNDS [STOP_ROWS]]]]
// Every tick first opens up to 20 rows per level, so the rows shown grow with the levels;
// without grouping every file of an open folder is a row of its own. The window refreshes
// only from this program's ticks, one every 500 ms (the default refresh rate). Rounds run the
// window and the command line program in turn; the command line program is looked for next to
// this one. The Stop run stops the scan at the first tick that shows STOP_ROWS rows.
// Runs on any Qt platform (QT_QPA_PLATFORM=offscreen for none); ZUMBREL_BENCH_TICKS=1 prints
// every tick with the rows shown and the layouts it caused.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include "export/ExportRegistry.h"
#include "paint/RegisterPainters.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"
#include "ui/FormMain.h"
#include "ui/model/FileTreeView.h"

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

// Rows laid out under open folders, from the scroll range (rows have one height).
int ShownRows(QTreeView &view)
{
    QCoreApplication::processEvents(); // the pending layout
    const QScrollBar *bar = view.verticalScrollBar();
    const int units = bar->maximum() + bar->pageStep();
    if (view.verticalScrollMode() == QAbstractItemView::ScrollPerItem)
        return units;
    const int height = view.visualRect(view.model()->index(0, 0)).height();
    return height > 0 ? units / height : 0;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Max(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

struct TWindowRun
{
    std::vector<double> TickMs; // ticks while scanning with at least `rows` rows shown
    std::vector<double> AllTickMs; // every tick while scanning
    double ScanSeconds = 0;
    int MostRows = 0;
    int FullLayouts = 0;
    int PartialLayouts = 0;
    // Stop run: rows shown when stopped, ms until the scan threads ended and until the window
    // showed the stopped analysis (actions updated, the event queue painted).
    int StopRows = -1;
    double StopThreadsMs = -1;
    double StopShownMs = -1;
};

TWindowRun RunWindow(QApplication &app, TSettings &settings, const char *folder, int levels, int manyRows, bool stop)
{
    TWindowRun run;
    TFormMain form(settings);
    form.resize(1000, 800);
    form.show();
    auto *view = dynamic_cast<TFileTreeView *>(form.Tree());
    QElapsedTimer wall;
    wall.start();
    form.ProcessPath(folder, false);
    // The end of the scan, to a few milliseconds.
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (run.ScanSeconds == 0 && form.ScanThreads().IsEmpty()) {
            run.ScanSeconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
            watch.stop();
        }
    });
    watch.start();
    QTimer tick;
    tick.setInterval(500);
    int afterScan = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const bool scanning = !form.ScanThreads().IsEmpty();
        if (scanning) {
            ExpandLevels(form, form.Model()->index(0, 0), levels);
            const int rows = ShownRows(*form.Tree());
            run.MostRows = std::max(run.MostRows, rows);
            if (stop && rows >= manyRows) {
                run.StopRows = rows;
                QElapsedTimer stopTimer;
                stopTimer.start();
                form.ActStopScan->trigger();
                while (!form.ScanThreads().IsEmpty() || form.ActStopScan->isEnabled()) {
                    if (run.StopThreadsMs < 0 && form.ScanThreads().IsEmpty())
                        run.StopThreadsMs = static_cast<double>(stopTimer.nsecsElapsed()) / 1e6;
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                }
                if (run.StopThreadsMs < 0)
                    run.StopThreadsMs = static_cast<double>(stopTimer.nsecsElapsed()) / 1e6;
                QCoreApplication::processEvents();
                run.StopShownMs = static_cast<double>(stopTimer.nsecsElapsed()) / 1e6;
                app.quit();
                return;
            }
            const int fullBefore = view ? view->FullLayoutCount() : 0;
            const int partialBefore = view ? view->PartialLayoutCount() : 0;
            QElapsedTimer timer;
            timer.start();
            form.RefreshTree();
            const double refreshMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            QCoreApplication::processEvents();
            const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            if (std::getenv("ZUMBREL_BENCH_TICKS") && view)
                std::printf(
                    "tick: %d rows, refresh %.1f ms, tick %.1f ms, layouts +%d full (last %.1f ms) +%d partial\n", rows,
                    refreshMs, ms, view->FullLayoutCount() - fullBefore, view->FullLayoutMs(),
                    view->PartialLayoutCount() - partialBefore);
            run.AllTickMs.push_back(ms);
            if (rows >= manyRows)
                run.TickMs.push_back(ms);
        } else if (++afterScan >= 2) {
            app.quit();
        }
    });
    tick.start();
    app.exec();
    if (view) {
        run.FullLayouts = view->FullLayoutCount();
        run.PartialLayouts = view->PartialLayoutCount();
    }
    return run;
}

double RunCli(const QString &cli, const char *folder, bool grouping)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    QStringList args {QStringLiteral("scan"), QString::fromLocal8Bit(folder)};
    if (!grouping)
        args.push_back(QStringLiteral("--no-grouping"));
    QElapsedTimer timer;
    timer.start();
    process.start(cli, args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return -1;
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_refresh_bench FOLDER [EXPAND_LEVELS [no-grouping [ROUNDS [STOP_ROWS]]]]\n");
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
    const bool grouping = !(argc > 3 && std::string(argv[3]) == "no-grouping");
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    const int manyRows = argc > 5 ? std::atoi(argv[5]) : 200000;
    settings.SetGroupSmallFiles(grouping);
    // The ticks of this program are the window's refreshes.
    settings.SetTreeViewRefreshRate(10000);
    settings.Save();
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/zumbrel-cli");
    const bool haveCli = QFileInfo(cli).isExecutable();

    std::vector<double> ticks;
    std::vector<double> allTicks;
    std::vector<double> windowSeconds;
    std::vector<double> cliSeconds;
    int mostRows = 0;
    int fullLayouts = 0;
    int partialLayouts = 0;
    for (int round = 0; round < rounds; ++round) {
        // Alternating which goes first spreads the machine's drift over both.
        if (haveCli && round % 2 == 1)
            cliSeconds.push_back(RunCli(cli, argv[1], grouping));
        const TWindowRun run = RunWindow(app, settings, argv[1], levels, manyRows, false);
        ticks.insert(ticks.end(), run.TickMs.begin(), run.TickMs.end());
        allTicks.insert(allTicks.end(), run.AllTickMs.begin(), run.AllTickMs.end());
        windowSeconds.push_back(run.ScanSeconds);
        mostRows = std::max(mostRows, run.MostRows);
        fullLayouts += run.FullLayouts;
        partialLayouts += run.PartialLayouts;
        if (haveCli && round % 2 == 0)
            cliSeconds.push_back(RunCli(cli, argv[1], grouping));
    }
    const TWindowRun stopRun = RunWindow(app, settings, argv[1], levels, manyRows, true);

    const double window = Median(windowSeconds);
    const double line = Median(cliSeconds);
    std::printf("| %s, %d levels open, %s, %d rounds | |\n|---|---|\n", argv[1], levels,
        grouping ? "grouping" : "no grouping", rounds);
    std::printf("| refresh tick while scanning, >= %d rows shown: median / max | %.1f / %.1f ms (%zu ticks) |\n",
        manyRows, Median(ticks), Max(ticks), ticks.size());
    std::printf("| refresh tick while scanning, any rows: median / max | %.1f / %.1f ms (%zu ticks) |\n",
        Median(allTicks), Max(allTicks), allTicks.size());
    std::printf("| most rows shown | %d |\n", mostRows);
    std::printf("| layouts of every row / of some folders | %d / %d |\n", fullLayouts, partialLayouts);
    std::printf("| scan in the window (median) | %.2f s |\n", window);
    if (haveCli)
        std::printf("| zumbrel-cli scan (median) | %.2f s |\n| ratio | %.2f |\n", line, line > 0 ? window / line : 0);
    else
        std::printf("| zumbrel-cli scan | not found next to this program |\n");
    if (stopRun.StopRows >= 0)
        std::printf("| Stop with %d rows shown: scan threads ended / window shows it | %.1f / %.1f ms |\n",
            stopRun.StopRows, stopRun.StopThreadsMs, stopRun.StopShownMs);
    else
        std::printf("| Stop | the scan ended before %d rows were shown |\n", manyRows);
    return 0;
}
