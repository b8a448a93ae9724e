#include "ui/taskbar/TaskbarProgress.h"

#include <algorithm>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace {

const QString ObjectPath = QStringLiteral("/com/canonical/unity/launcherentry/zumbrel");
const QString Interface = QStringLiteral("com.canonical.Unity.LauncherEntry");

} // namespace

std::unique_ptr<TLauncherEntryTaskbar> TLauncherEntryTaskbar::Create(const QString &desktopId)
{
    if (!QDBusConnection::sessionBus().isConnected())
        return nullptr;
    return std::unique_ptr<TLauncherEntryTaskbar>(
        new TLauncherEntryTaskbar(QStringLiteral("application://") + desktopId));
}

TLauncherEntryTaskbar::TLauncherEntryTaskbar(QString appUri)
    : FAppUri(std::move(appUri))
{ }

void TLauncherEntryTaskbar::Send(bool visible, double progress)
{
    QDBusMessage message = QDBusMessage::createSignal(ObjectPath, Interface, QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress-visible"), visible);
    properties.insert(QStringLiteral("progress"), progress);
    message << FAppUri << properties;
    QDBusConnection::sessionBus().send(message);
}

void TLauncherEntryTaskbar::SetProgressState(TTaskbarState state)
{
    if (state == FState)
        return;
    FState = state;
    FProgress = 0.0;
    FLastPulse = std::chrono::steady_clock::now();
    Send(state != TTaskbarState::NoProgress, 0.0);
}

void TLauncherEntryTaskbar::SetProgressValue(double fraction)
{
    FProgress = std::clamp(fraction, 0.0, 1.0);
    if (FState == TTaskbarState::Normal)
        Send(true, FProgress);
}

void TLauncherEntryTaskbar::Pulse()
{
    if (FState != TTaskbarState::Indeterminate)
        return;
    // Twice a second is enough for a dock and keeps the bus quiet.
    const auto now = std::chrono::steady_clock::now();
    if (now - FLastPulse < std::chrono::milliseconds(500))
        return;
    FLastPulse = now;
    FProgress = FProgress >= 0.95 ? 0.0 : FProgress + 0.1;
    Send(true, FProgress);
}
