#pragma once

#include <chrono>
#include <memory>

#include <QString>

enum class TTaskbarState { NoProgress, Indeterminate, Normal };

// The progress shown on the program's button in the desktop's task bar or dock.
class ITaskbarList
{
public:
    virtual ~ITaskbarList() = default;
    virtual void SetProgressState(TTaskbarState state) = 0;
    // 0.0 to 1.0; shown in the Normal state.
    virtual void SetProgressValue(double fraction) = 0;
    // Called regularly while the state is Indeterminate: moves the shown progress on.
    virtual void Pulse() = 0;
};

// The launcher entry signal that docks and task bars of Linux desktops listen to
// (com.canonical.Unity.LauncherEntry on the session bus). Desktops without a listener just
// ignore it. An indeterminate state has no form of its own there, so it runs round.
class TLauncherEntryTaskbar final : public ITaskbarList
{
public:
    // Null when there is no session bus: then no progress is shown anywhere.
    [[nodiscard]] static std::unique_ptr<TLauncherEntryTaskbar> Create(
        const QString &desktopId = QStringLiteral(ZUMBREL_DESKTOP_ID ".desktop"));

    void SetProgressState(TTaskbarState state) override;
    void SetProgressValue(double fraction) override;
    void Pulse() override;
    [[nodiscard]] TTaskbarState State() const { return FState; }

private:
    explicit TLauncherEntryTaskbar(QString appUri);
    void Send(bool visible, double progress);

    QString FAppUri;
    TTaskbarState FState = TTaskbarState::NoProgress;
    double FProgress = 0.0;
    std::chrono::steady_clock::time_point FLastPulse {};
};
