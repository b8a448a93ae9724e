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
// True for a directory (or a link to one); the bytes of `path` are used as they are.
// A path typed by the user as an absolute path: "~" is the home folder, a relative path is taken
// from `base`, "." and ".." and doubled or trailing separators are resolved; empty when nothing
// was typed.
QString ResolveTypedPath(const QString &text, const QString &base);
[[nodiscard]] bool DirectoryExists(const std::string &path);
// `path` made absolute against the working directory, lexically (".." and "." folded without
// resolving links), without a trailing "/"; an absolute or empty path comes back unchanged.
[[nodiscard]] std::string AbsolutePath(const std::string &path);
// Days since 1899-12-30 (local time) as a date-time.
QDateTime FromDateTimeValue(double value);
// The first icon of the theme that exists among `names`, or a null icon.
QIcon ThemeIcon(std::initializer_list<const char *> names);

// Names and paths never pass for markup. Qt shows a tooltip as rich text when it looks like
// markup: this one is markup that shows `text` literally, whatever it holds.
QString PlainToolTip(const QString &text);
// A window title shows "[*]" as the modified-state mark; doubled it shows literally.
QString PlainWindowTitle(const QString &text);
