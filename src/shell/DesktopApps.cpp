#include "shell/DesktopApps.h"

#include <memory>

// GIO's headers name struct members "signals", which Qt's keyword macro would replace.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <QFile>
#include <QMimeDatabase>

#include "common/Translate.h"

namespace {

struct TObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using TGObject = std::unique_ptr<T, TObjectUnref>;

struct TListFree
{
    void operator()(GList *list) const { g_list_free_full(list, g_object_unref); }
};
using TAppList = std::unique_ptr<GList, TListFree>;

struct TErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};

struct TCharFree
{
    void operator()(char *text) const { g_free(text); }
};

QString Utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString IconName(GAppInfo *info)
{
    GIcon *icon = g_app_info_get_icon(info); // owned by the info
    if (!icon)
        return {};
    if (G_IS_THEMED_ICON(icon)) {
        const gchar *const *names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        return names && names[0] ? Utf8(names[0]) : QString();
    }
    if (G_IS_FILE_ICON(icon)) {
        const std::unique_ptr<char, TCharFree> path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        return Utf8(path.get());
    }
    return {};
}

TDesktopApp FromAppInfo(GAppInfo *info)
{
    TDesktopApp app;
    app.Id = Utf8(g_app_info_get_id(info));
    app.Name = Utf8(g_app_info_get_name(info));
    app.Icon = IconName(info);
    app.Exec = Utf8(g_app_info_get_commandline(info));
    if (G_IS_DESKTOP_APP_INFO(info)) {
        GDesktopAppInfo *desktop = G_DESKTOP_APP_INFO(info);
        app.FilePath = Utf8(g_desktop_app_info_get_filename(desktop));
        app.Terminal = g_desktop_app_info_get_boolean(desktop, "Terminal");
    }
    return app;
}

} // namespace

std::vector<TDesktopApp> ApplicationsForMimeType(const QString &mimeType)
{
    const QByteArray type = mimeType.toUtf8();
    std::vector<TDesktopApp> apps;
    const auto add = [&apps](GAppInfo *info) {
        if (!info || !g_app_info_should_show(info))
            return;
        TDesktopApp app = FromAppInfo(info);
        for (const TDesktopApp &listed : apps)
            if (listed.Id == app.Id)
                return;
        apps.push_back(std::move(app));
    };
    const TGObject<GAppInfo> fallbackDefault(g_app_info_get_default_for_type(type.constData(), FALSE));
    add(fallbackDefault.get());
    const TAppList all(g_app_info_get_all_for_type(type.constData()));
    for (GList *item = all.get(); item; item = item->next)
        add(G_APP_INFO(item->data));
    return apps;
}

std::vector<TDesktopApp> ApplicationsForPath(const std::string &path)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    return ApplicationsForMimeType(QMimeDatabase().mimeTypeForFile(name).name());
}

bool LaunchApplication(const TDesktopApp &app, const std::string &path, std::string &error)
{
    const QByteArray id = app.Id.toUtf8();
    TGObject<GDesktopAppInfo> info(g_desktop_app_info_new(id.constData()));
    if (!info && !app.FilePath.isEmpty())
        info.reset(g_desktop_app_info_new_from_filename(QFile::encodeName(app.FilePath).constData()));
    if (!info) {
        error = _("The application could not be started:") + " " + app.Name.toStdString();
        return false;
    }
    const TGObject<GFile> file(g_file_new_for_path(path.c_str()));
    const std::unique_ptr<char, TCharFree> uri(g_file_get_uri(file.get()));
    GList uris {uri.get(), nullptr, nullptr};
    GError *failure = nullptr;
    if (g_app_info_launch_uris(G_APP_INFO(info.get()), &uris, nullptr, &failure))
        return true;
    const std::unique_ptr<GError, TErrorFree> owned(failure);
    error = _("The application could not be started:") + " " + (owned ? owned->message : app.Name.toStdString());
    return false;
}
