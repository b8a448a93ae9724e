#include "ui/UiText.h"

#include <cmath>

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
    return QFileInfo(DecodeName(path)).isDir();
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
