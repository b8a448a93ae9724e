#include "shell/ShellServices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "common/Drives.h"
#include "common/FormatText.h"
#include "common/Translate.h"
#include "model/Paths.h"
#include "shell/SysImageList.h"

namespace {

QString ToQString(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Asks org.freedesktop.FileManager1 to show the items; false when no file manager answers.
bool CallFileManager(const QString &method, const QString &url)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnectionInterface *iface = bus.interface();
    if (!iface)
        return false;
    // Only call a name that runs or can be started: a call to nobody would wait for its timeout.
    const bool running = iface->isServiceRegistered(service).value();
    if (!running && !iface->activatableServiceNames().value().contains(service))
        return false;
    QDBusMessage call
        = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"), service, method);
    call << QStringList {url} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

class TDesktopServices final : public IDesktopServices
{
public:
    bool OpenPath(const std::string &path, std::string &error) override
    {
        struct stat st
        { };
        if (::stat(path.c_str(), &st) != 0) {
            error = std::strerror(errno);
            return false;
        }
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(path))))
            return true;
        error = _("No application is registered for this file type, or it could not be started.");
        return false;
    }

    bool OpenWith(const TDesktopApp &app, const std::string &path, std::string &error) override
    {
        return LaunchApplication(app, path, error);
    }

    bool ShowInFileManager(const std::string &path, bool selectItem) override
    {
        const QString url = QUrl::fromLocalFile(ToQString(path)).toString(QUrl::FullyEncoded);
        if (CallFileManager(selectItem ? QStringLiteral("ShowItems") : QStringLiteral("ShowFolders"), url))
            return true;
        // No file manager on the bus: the folder opens with the desktop's default application.
        const std::string folder = selectItem ? std::string(path.substr(0, path.rfind(PathDelim) + 1)) : path;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(folder)));
    }

    bool OpenUrl(const std::string &url) override
    {
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    }
};

IDesktopServices *GInstalled = nullptr;

} // namespace

IDesktopServices &DesktopServices()
{
    static TDesktopServices desktop;
    return GInstalled ? *GInstalled : desktop;
}

IDesktopServices *InstallDesktopServices(IDesktopServices *services)
{
    IDesktopServices *previous = GInstalled;
    GInstalled = services;
    return previous;
}

int OpenInFileManager(const std::string &path)
{
    struct stat st
    { };
    if (::stat(path.c_str(), &st) != 0)
        return 2;
    return DesktopServices().ShowInFileManager(path, !S_ISDIR(st.st_mode)) ? 33 : 31;
}

bool ShowInFileManager(const std::string &path, std::string &error)
{
    switch (OpenInFileManager(path)) {
    case 33:
        return true;
    case 2:
        error = FormatText(_("%s cannot be shown: %s"), {path, std::strerror(ENOENT)});
        return false;
    default:
        error = FormatText(_("No file manager could show %s: none answered, and no application is set to open "
                             "folders."),
            {path});
        return false;
    }
}

std::string DisplayNameOfPath(const std::string &path)
{
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    if (IsVolumeRoot(clean)) {
        const TVolumeInfo info = GetVolumeInfo(clean);
        if (!info.Name.empty())
            return info.Name;
    }
    return std::string(LastPathComponent(clean));
}

int DeleteFiles(const std::vector<std::string> &paths, bool allowUndo, bool &aborted, const TFileOpProgress &progress,
    TFileOpResult *details)
{
    TFileOpResult result = allowUndo ? MoveToTrash(paths, progress) : DeletePermanently(paths, progress);
    aborted = result.Aborted;
    const int code = result.Code;
    if (details)
        *details = std::move(result);
    return code;
}

std::string ProgramVersion()
{
    // Four numbers, like the version words of an executable.
    std::string version = ZUMBREL_VERSION;
    for (auto dots = std::count(version.begin(), version.end(), '.'); dots < 3; ++dots)
        version += ".0";
    return version;
}

std::string FileVersion(const std::string &fileName)
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    struct stat self
    {
    }, other {};
    buffer[n] = '\0';
    if (::stat(buffer, &self) != 0 || ::stat(fileName.c_str(), &other) != 0)
        return {};
    return self.st_dev == other.st_dev && self.st_ino == other.st_ino ? ProgramVersion() : std::string();
}

std::int32_t IconIndexOfPath(const std::string &path)
{
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    const std::string_view name = LastPathComponent(clean);
    if (name.empty())
        return -1;
    return FileIconIndexOfName(name);
}

std::string ProgramHomepageUrl()
{
    return ZUMBREL_HOMEPAGE_URL;
}
