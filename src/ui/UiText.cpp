#include "ui/UiText.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString Tr(const std::string &translated)
{
    return QString::fromStdString(translated);
}

// Names are bytes; Qt's own conversion turns every byte that is not UTF-8 into U+FFFD and the
// folder can no longer be found. Such a byte becomes the lone surrogate U+DC80..U+DCFF instead
// (as Python's "surrogateescape" does), which valid UTF-8 never yields, so the way back is exact.
QString DecodeName(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = byte(i);
        if (c < 0x80) {
            out += QLatin1Char(static_cast<char>(c));
            ++i;
            continue;
        }
        const std::size_t len = c >= 0xC2 && c <= 0xDF ? 2
            : c >= 0xE0 && c <= 0xEF                   ? 3
            : c >= 0xF0 && c <= 0xF4                   ? 4
                                                       : 0;
        char32_t cp = len == 2 ? c & 0x1Fu : len == 3 ? c & 0x0Fu : c & 0x07u;
        bool valid = len > 0 && i + len <= bytes.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            cp = (cp << 6) | (byte(i + k) & 0x3Fu);
        }
        valid = valid
            && (len == 2 || (len == 3 && cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF))
                || (len == 4 && cp >= 0x10000 && cp <= 0x10FFFF));
        if (!valid) {
            out += QChar(static_cast<char16_t>(0xDC00 + c));
            ++i;
            continue;
        }
        if (cp > 0xFFFF) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return out;
}

std::string EncodeName(const QString &text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(u, text[i + 1].unicode());
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00);
            continue;
        } else if (QChar::isSurrogate(u)) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
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

QString ResolveTypedPath(const QString &text, const QString &base)
{
    QString typed = text;
    typed.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    if (typed.isEmpty())
        return {};
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    else if (QDir::isRelativePath(typed))
        typed = base + QLatin1Char('/') + typed;
    // One spelling per folder: the recent folders and the segments must not get "a/./b/" next
    // to "a/b". ".." goes up by name, as a shell's cd does.
    QString clean = QDir::cleanPath(typed);
    // Above the root is the root; Qt keeps the "..".
    while (clean == QLatin1String("/..") || clean.startsWith(QLatin1String("/../")))
        clean = clean.size() == 3 ? QStringLiteral("/") : clean.mid(3);
    return clean;
}
