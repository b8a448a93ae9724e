#include "ui/UiText.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include <QFile>
#include <QFileInfo>

QString Tr(const std::string &translated)
{
    return QString::fromStdString(translated);
}

QString DecodeName(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string EncodeName(const QString &text)
{
    const QByteArray bytes = QFile::encodeName(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool DirectoryExists(const std::string &path)
{
    // Not through QString: bytes that are not valid in the locale's encoding would not survive.
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(std::filesystem::path(path), error);
}

std::string AbsolutePath(const std::string &path)
{
    if (path.empty() || path.front() == '/')
        return path;
    std::error_code error;
    const std::filesystem::path base = std::filesystem::current_path(error);
    if (error)
        return path; // no working directory (deleted): the path names nothing either way
    std::string result = (base / std::filesystem::path(path)).lexically_normal().native();
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

QDateTime FromDateTimeValue(double value)
{
    const double days = std::floor(value);
    const auto ms = static_cast<qint64>(std::llround((value - days) * 86400000.0));
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
    return QDateTime(date, QTime(0, 0)).addMSecs(ms);
}

QIcon ThemeIcon(std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (QIcon::hasThemeIcon(QString::fromLatin1(name)))
            return QIcon::fromTheme(QString::fromLatin1(name));
    return {};
}

QString PlainToolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

QString PlainWindowTitle(const QString &text)
{
    QString title = text;
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return title;
}
