#include "shell/SysImageList.h"

#include <QFile>
#include <QMimeDatabase>
#include <QMimeType>

TSysImageList &TSysImageList::Instance()
{
    static TSysImageList instance;
    return instance;
}

int TSysImageList::IndexOfNames(const QStringList &names)
{
    const QString key = names.join(QLatin1Char('|'));
    std::scoped_lock guard(FLock);
    if (auto it = FIndexOfKey.find(key); it != FIndexOfKey.end())
        return it->second;
    const int index = static_cast<int>(FNames.size());
    FNames.push_back(names);
    FIndexOfKey.emplace(key, index);
    return index;
}

int TSysImageList::Count() const
{
    std::scoped_lock guard(FLock);
    return static_cast<int>(FNames.size());
}

QIcon TSysImageList::Icon(int index)
{
    QStringList names;
    {
        std::scoped_lock guard(FLock);
        if (index < 0 || index >= static_cast<int>(FNames.size()))
            return {};
        if (index < static_cast<int>(FIcons.size()) && !FIcons[static_cast<std::size_t>(index)].isNull())
            return FIcons[static_cast<std::size_t>(index)];
        names = FNames[static_cast<std::size_t>(index)];
    }
    QIcon icon;
    for (const QString &name : names) {
        if (QIcon::hasThemeIcon(name)) {
            icon = QIcon::fromTheme(name);
            break;
        }
    }
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    std::scoped_lock guard(FLock);
    if (FIcons.size() <= static_cast<std::size_t>(index))
        FIcons.resize(static_cast<std::size_t>(index) + 1);
    FIcons[static_cast<std::size_t>(index)] = icon;
    return icon;
}

void TSysImageList::EnsureIconTheme()
{
    if (QIcon::hasThemeIcon(QStringLiteral("folder")))
        return;
    // Platforms without a desktop theme (offscreen, minimal) search no icon folders at all;
    // the freedesktop base directories hold the installed themes.
    QStringList paths = QIcon::themeSearchPaths();
    const QString home = QString::fromLocal8Bit(qgetenv("HOME"));
    QString dataHome = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (dataHome.isEmpty() && !home.isEmpty())
        dataHome = home + QStringLiteral("/.local/share");
    QString dataDirs = QString::fromLocal8Bit(qgetenv("XDG_DATA_DIRS"));
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList bases {dataHome};
    bases += dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &base : bases)
        if (!base.isEmpty() && !paths.contains(base + QStringLiteral("/icons")))
            paths << base + QStringLiteral("/icons");
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::hasThemeIcon(QStringLiteral("folder")))
        return;
    for (const char *theme : {"Adwaita", "breeze", "oxygen", "Tango", "hicolor"}) {
        QIcon::setThemeName(QString::fromLatin1(theme));
        if (QIcon::hasThemeIcon(QStringLiteral("folder")))
            return;
    }
}

int FileIconIndexOfName(std::string_view fileName)
{
    static const QMimeDatabase database;
    const QString name = QFile::decodeName(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
    const QList<QMimeType> types = database.mimeTypesForFileName(name);
    if (types.isEmpty())
        return UnknownFileIconIndex();
    const QMimeType &type = types.front();
    return TSysImageList::Instance().IndexOfNames(
        {type.iconName(), type.genericIconName(), QStringLiteral("text-x-generic")});
}

int UnknownFileIconIndex()
{
    static const int index
        = TSysImageList::Instance().IndexOfNames({QStringLiteral("text-x-generic"), QStringLiteral("unknown")});
    return index;
}

int FolderIconIndex(bool open)
{
    static const int closedIndex = TSysImageList::Instance().IndexOfNames({QStringLiteral("folder")});
    static const int openIndex
        = TSysImageList::Instance().IndexOfNames({QStringLiteral("folder-open"), QStringLiteral("folder")});
    return open ? openIndex : closedIndex;
}
