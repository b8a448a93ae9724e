#include "shell/DesktopApps.h"

#include <set>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QUrl>

namespace {

// Key/value pairs of one group of a desktop-entry style file ("[Group]", "Key=Value").
std::vector<std::pair<QString, QString>> ReadGroup(const QString &filePath, const QString &group)
{
    std::vector<std::pair<QString, QString>> pairs;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return pairs;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const auto eq = line.indexOf(QLatin1Char('='));
        if (inGroup && eq > 0)
            pairs.emplace_back(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return pairs;
}

// The escapes of string values: \s \n \t \r \\.
QString Unescape(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        default:
            out += next;
        }
    }
    return out;
}

QStringList SplitList(const QString &value)
{
    QStringList list = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString &item : list)
        item = item.trimmed();
    list.removeAll(QString());
    return list;
}

QStringList ApplicationDirs()
{
    QStringList dirs;
    const QString home = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    dirs << home + QStringLiteral("/applications");
    const QString data = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (const QString &dir : data.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << dir + QStringLiteral("/applications");
    return dirs;
}

QStringList MimeAppsLists()
{
    QStringList files;
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
    files << config + QStringLiteral("/mimeapps.list");
    const QString configDirs = qEnvironmentVariable("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    for (const QString &dir : configDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        files << dir + QStringLiteral("/mimeapps.list");
    for (const QString &dir : ApplicationDirs())
        files << dir + QStringLiteral("/mimeapps.list");
    return files;
}

// The file of a desktop id: "a-b.desktop" may also live as applications/a/b.desktop.
QString FindDesktopFile(const QString &id)
{
    for (const QString &dir : ApplicationDirs()) {
        QString candidate = dir + QLatin1Char('/') + id;
        if (QFileInfo::exists(candidate))
            return candidate;
        QString nested = id;
        for (qsizetype pos = nested.indexOf(QLatin1Char('-')); pos >= 0; pos = nested.indexOf(QLatin1Char('-'), pos)) {
            nested[pos] = QLatin1Char('/');
            candidate = dir + QLatin1Char('/') + nested;
            if (QFileInfo::exists(candidate))
                return candidate;
        }
    }
    return {};
}

} // namespace

bool ReadDesktopEntry(const QString &filePath, TDesktopApp &app)
{
    const auto pairs = ReadGroup(filePath, QStringLiteral("Desktop Entry"));
    if (pairs.empty())
        return false;
    const QLocale locale;
    const QString lang = locale.name(); // de_DE
    const QString shortLang = lang.section(QLatin1Char('_'), 0, 0);
    QString name, nameShort, nameLong, type;
    bool hidden = false;
    for (const auto &[key, value] : pairs) {
        if (key == QLatin1String("Name"))
            name = Unescape(value);
        else if (key == QStringLiteral("Name[%1]").arg(lang))
            nameLong = Unescape(value);
        else if (key == QStringLiteral("Name[%1]").arg(shortLang))
            nameShort = Unescape(value);
        else if (key == QLatin1String("Exec"))
            app.Exec = value;
        else if (key == QLatin1String("Icon"))
            app.Icon = Unescape(value);
        else if (key == QLatin1String("Type"))
            type = value;
        else if (key == QLatin1String("Terminal"))
            app.Terminal = value == QLatin1String("true");
        else if ((key == QLatin1String("Hidden") || key == QLatin1String("NoDisplay"))
            && value == QLatin1String("true"))
            hidden = true;
    }
    app.Name = !nameLong.isEmpty() ? nameLong : !nameShort.isEmpty() ? nameShort : name;
    app.FilePath = filePath;
    if (app.Id.isEmpty())
        app.Id = QFileInfo(filePath).fileName();
    return !hidden && type == QLatin1String("Application") && !app.Exec.isEmpty() && !app.Name.isEmpty();
}

std::vector<TDesktopApp> ApplicationsForMimeType(const QString &mimeType)
{
    QStringList types {mimeType};
    const QMimeType mime = QMimeDatabase().mimeTypeForName(mimeType);
    if (mime.isValid()) {
        types = QStringList {mime.name()} + mime.aliases();
        types += mime.allAncestors();
    }
    QStringList ids;
    std::set<QString> removed;
    const auto take = [&](const QString &id) {
        if (!ids.contains(id) && !removed.count(id))
            ids << id;
    };
    for (const QString &type : types) {
        // Defaults first, then the added associations, then the caches.
        for (const QString &group : {QStringLiteral("Default Applications"), QStringLiteral("Added Associations"),
                 QStringLiteral("Removed Associations")}) {
            for (const QString &list : MimeAppsLists()) {
                for (const auto &[key, value] : ReadGroup(list, group)) {
                    if (key != type)
                        continue;
                    for (const QString &id : SplitList(value)) {
                        if (group == QLatin1String("Removed Associations"))
                            removed.insert(id);
                        else
                            take(id);
                    }
                }
            }
        }
        for (const QString &dir : ApplicationDirs())
            for (const auto &[key, value] :
                ReadGroup(dir + QStringLiteral("/mimeinfo.cache"), QStringLiteral("MIME Cache")))
                if (key == type)
                    for (const QString &id : SplitList(value))
                        take(id);
    }
    std::vector<TDesktopApp> apps;
    for (const QString &id : ids) {
        if (removed.count(id))
            continue;
        const QString file = FindDesktopFile(id);
        TDesktopApp app;
        app.Id = id;
        if (!file.isEmpty() && ReadDesktopEntry(file, app))
            apps.push_back(std::move(app));
    }
    return apps;
}

std::vector<TDesktopApp> ApplicationsForPath(const std::string &path)
{
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    return ApplicationsForMimeType(QMimeDatabase().mimeTypeForFile(name).name());
}

QStringList ExpandExecLine(const TDesktopApp &app, const std::string &path)
{
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    const QString url = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    // Split into arguments: double quotes group, a backslash inside quotes escapes " ` $ \.
    QStringList args;
    QString current;
    bool quoted = false, any = false;
    const QString exec = Unescape(app.Exec);
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else if (c == QLatin1Char('\\') && i + 1 < exec.size())
                current += exec[++i];
            else
                current += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c.isSpace()) {
            if (any || !current.isEmpty())
                args << current;
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (quoted)
        return {};
    if (any || !current.isEmpty())
        args << current;

    QStringList out;
    bool fileGiven = false;
    for (const QString &arg : std::as_const(args)) {
        if (arg == QLatin1String("%f") || arg == QLatin1String("%F")) {
            out << file;
            fileGiven = true;
        } else if (arg == QLatin1String("%u") || arg == QLatin1String("%U")) {
            out << url;
            fileGiven = true;
        } else if (arg == QLatin1String("%i")) {
            if (!app.Icon.isEmpty())
                out << QStringLiteral("--icon") << app.Icon;
        } else {
            QString expanded;
            for (qsizetype i = 0; i < arg.size(); ++i) {
                if (arg[i] != QLatin1Char('%') || i + 1 == arg.size()) {
                    expanded += arg[i];
                    continue;
                }
                const QChar code = arg[++i];
                if (code == QLatin1Char('%'))
                    expanded += QLatin1Char('%');
                else if (code == QLatin1Char('c'))
                    expanded += app.Name;
                else if (code == QLatin1Char('k'))
                    expanded += app.FilePath;
                else if (code == QLatin1Char('f') || code == QLatin1Char('F')) {
                    expanded += file;
                    fileGiven = true;
                } else if (code == QLatin1Char('u') || code == QLatin1Char('U')) {
                    expanded += url;
                    fileGiven = true;
                }
                // deprecated codes (%d %D %n %N %v %m) are dropped
            }
            if (!expanded.isEmpty())
                out << expanded;
        }
    }
    if (out.isEmpty())
        return {};
    if (!fileGiven)
        out << file;
    return out;
}
