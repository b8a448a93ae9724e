#pragma once

#include <string>
#include <string_view>

#include <QDateTime>
#include <QIcon>
#include <QString>

// Conversions the window's parts share: names are bytes in the file system's encoding, texts
// are translated where they are written, as _("..."), so that the message extraction finds them.

// A translated text as a QString.
QString Tr(const std::string &translated);
// A file name or path (any bytes) as shown; bytes that are not valid in the locale's encoding
// survive the way back through EncodeName.
QString DecodeName(std::string_view bytes);
std::string EncodeName(const QString &text);
[[nodiscard]] bool DirectoryExists(const std::string &path);
// Days since 1899-12-30 (local time) as a date-time.
QDateTime FromDateTimeValue(double value);
// The first icon of the theme that exists among `names`, or a null icon.
QIcon ThemeIcon(std::initializer_list<const char *> names);
