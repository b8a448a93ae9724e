#include "settings/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/common/TextUtils.h"
#include "model/common/Translate.h"
#include "model/common/Utf8.h"
#include "settings/FormatText.h"

namespace {

enum class TLineKind { Other, Section, Key };

struct TLine
{
    TLineKind Kind = TLineKind::Other;
    std::string_view Name;
    std::string_view Value;
};

bool IsBlank(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= ' ';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

TLine ParseLine(std::string_view text, bool firstLine)
{
    if (firstLine && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    text = TrimBlanks(text);
    TLine line;
    if (!text.empty() && text.front() == '[') {
        text.remove_prefix(1);
        line.Kind = TLineKind::Section;
        line.Name = TrimBlanks(text.substr(0, text.find(']')));
        return line;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return line;
    line.Kind = TLineKind::Key;
    line.Name = TrimBlanks(text.substr(0, equals));
    line.Value = TrimBlanks(text.substr(equals + 1));
    return line;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Cuts after `limit` characters, a character being one UTF-8 sequence or one stray byte, so a
// cut never splits a character.
std::string_view CutCharacters(std::string_view text, std::size_t limit)
{
    std::size_t pos = 0, count = 0;
    while (pos < text.size() && count < limit) {
        char32_t codePoint = 0;
        pos += std::max<std::size_t>(1, DecodeUtf8(text.substr(pos), codePoint));
        ++count;
    }
    return text.substr(0, pos);
}

std::string SystemMessage(int code)
{
    char buffer[256] = {};
    return strerror_r(code, buffer, sizeof buffer);
}

class TFd
{
public:
    explicit TFd(int fd)
        : FFd(fd)
    { }
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    [[nodiscard]] int Get() const { return FFd; }
    // Closes now and reports the result (a late write error shows up here).
    int Close()
    {
        const int result = ::close(FFd);
        FFd = -1;
        return result;
    }

private:
    int FFd;
};

// Removes the temporary file unless it was renamed into place.
class TTempFileGuard
{
public:
    explicit TTempFileGuard(std::string path)
        : FPath(std::move(path))
    { }
    ~TTempFileGuard()
    {
        if (!FPath.empty())
            ::unlink(FPath.c_str());
    }
    TTempFileGuard(const TTempFileGuard &) = delete;
    TTempFileGuard &operator=(const TTempFileGuard &) = delete;
    void Release() { FPath.clear(); }

private:
    std::string FPath;
};

bool ValidText(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

} // namespace

TIniFile::TStamp TIniFile::StampOf(const struct stat &st)
{
    TStamp stamp;
    stamp.Exists = true;
    stamp.Device = st.st_dev;
    stamp.Inode = st.st_ino;
    stamp.Size = st.st_size;
    stamp.ModifiedNs = std::int64_t {st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

TIniFile::TIniFile(std::string fileName)
    : FFileName(std::move(fileName))
{ }

TIniFile::~TIniFile() = default;

const TIniFile::TContent &TIniFile::Current() const
{
    // Pending writes of a batch are the truth until they are stored.
    if (FUpdateCount > 0 && FDirty)
        return FContent;

    struct stat st
    { };
    const bool present = ::stat(FFileName.c_str(), &st) == 0;
    const int statError = present ? 0 : errno;
    const TStamp stamp = present ? StampOf(st) : TStamp {};
    if (FLoaded && stamp == FStamp)
        return FContent;

    TContent content;
    if (!present) {
        if (statError != ENOENT && statError != ENOTDIR) {
            content.Unreadable = true;
            content.Error = SystemMessage(statError);
        }
    } else if (!S_ISREG(st.st_mode)) {
        content.Unreadable = true;
        content.Error = SystemMessage(EISDIR);
    } else if (st.st_size > MaxFileSize) {
        content.Unreadable = true;
        content.Error = SystemMessage(EFBIG);
    } else {
        TFd fd(::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC));
        std::string text;
        int error = fd.Get() < 0 ? errno : 0;
        if (!error) {
            char buffer[65536];
            for (;;) {
                const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    error = errno;
                    break;
                }
                if (n == 0)
                    break;
                if (static_cast<std::int64_t>(text.size()) + n > MaxFileSize) {
                    error = EFBIG;
                    break;
                }
                text.append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (error) {
            content.Unreadable = true;
            content.Error = SystemMessage(error);
        } else {
            std::size_t start = 0;
            while (start < text.size()) {
                auto end = text.find('\n', start);
                if (end == std::string::npos)
                    end = text.size();
                content.Lines.emplace_back(text, start, end - start);
                start = end + 1;
            }
        }
    }
    FContent = std::move(content);
    FStamp = stamp;
    FLoaded = true;
    return FContent;
}

std::ptrdiff_t TIniFile::FindKey(const TContent &content, std::string_view section, std::string_view ident) const
{
    bool inSection = false;
    for (std::size_t i = 0; i < content.Lines.size(); ++i) {
        const TLine line = ParseLine(content.Lines[i], i == 0);
        if (line.Kind == TLineKind::Section)
            inSection = SameName(line.Name, section);
        else if (inSection && line.Kind == TLineKind::Key && SameName(line.Name, ident))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident, std::string_view defaultValue) const
{
    if (section.empty() || ident.empty())
        return std::string(defaultValue);
    const TContent &content = Current();
    const auto index = FindKey(content, section, ident);
    if (index < 0)
        return std::string(defaultValue);
    std::string_view value = ParseLine(content.Lines[static_cast<std::size_t>(index)], index == 0).Value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(CutCharacters(value, MaxValueLength));
}

TIniFile::TContent &TIniFile::Editable()
{
    const TContent &content = Current();
    if (content.Unreadable)
        WriteError(content.Error);
    return FContent;
}

void TIniFile::WriteError(const std::string &reason) const
{
    throw EIniFileError(FormatText(_("Unable to write to %s"), {FFileName}) + ": " + reason);
}

void TIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value)
{
    const std::string_view trimmedSection = TrimBlanks(section);
    const std::string_view trimmedIdent = TrimBlanks(ident);
    if (trimmedSection.empty() || trimmedIdent.empty() || !ValidText(section) || !ValidText(ident) || !ValidText(value)
        || ident.find('=') != std::string_view::npos || section.find(']') != std::string_view::npos)
        WriteError(_("The section, key or value cannot be stored in an INI file."));

    TContent &content = Editable();
    const auto index = FindKey(content, trimmedSection, trimmedIdent);
    if (index >= 0) {
        std::string &line = content.Lines[static_cast<std::size_t>(index)];
        // Keep the key as it was spelled, replace everything after its "=".
        // A byte order mark in front of a first-line key stays there, as it is no blank.
        line = std::string(TrimBlanks(line.substr(0, line.find('=')))) + "=" + std::string(value);
    } else {
        // Append to the first section of that name, after its last non-blank line.
        std::ptrdiff_t sectionLine = -1, insertAt = -1;
        for (std::size_t i = 0; i < content.Lines.size(); ++i) {
            const TLine line = ParseLine(content.Lines[i], i == 0);
            if (line.Kind == TLineKind::Section) {
                if (sectionLine >= 0)
                    break;
                if (SameName(line.Name, trimmedSection)) {
                    sectionLine = static_cast<std::ptrdiff_t>(i);
                    insertAt = sectionLine + 1;
                }
            } else if (sectionLine >= 0 && !TrimBlanks(content.Lines[i]).empty()) {
                insertAt = static_cast<std::ptrdiff_t>(i) + 1;
            }
        }
        std::string entry = std::string(trimmedIdent) + "=" + std::string(value);
        if (sectionLine >= 0) {
            content.Lines.insert(content.Lines.begin() + insertAt, std::move(entry));
        } else {
            if (!content.Lines.empty() && !TrimBlanks(content.Lines.back()).empty())
                content.Lines.emplace_back();
            content.Lines.push_back("[" + std::string(trimmedSection) + "]");
            content.Lines.push_back(std::move(entry));
        }
    }
    Store();
}

int TIniFile::ReadInteger(std::string_view section, std::string_view ident, int defaultValue) const
{
    const std::string text = ReadString(section, ident, "");
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string_view digits = std::string_view(text).substr(2);
        if (digits.size() > 8)
            return defaultValue;
        std::uint32_t value = 0;
        for (const char c : digits) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return defaultValue;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        return static_cast<int>(value);
    }
    int value = defaultValue;
    return TryStrToInt(text, value) ? value : defaultValue;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view ident, int value)
{
    WriteString(section, ident, std::to_string(value));
}

bool TIniFile::ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const
{
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteBool(std::string_view section, std::string_view ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

bool TIniFile::SectionExists(std::string_view section) const
{
    const TContent &content = Current();
    for (std::size_t i = 0; i < content.Lines.size(); ++i) {
        const TLine line = ParseLine(content.Lines[i], i == 0);
        if (line.Kind == TLineKind::Section && SameName(line.Name, section))
            return true;
    }
    return false;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) const
{
    return FindKey(Current(), section, ident) >= 0;
}

std::vector<std::string> TIniFile::ReadSections() const
{
    std::vector<std::string> result;
    const TContent &content = Current();
    for (std::size_t i = 0; i < content.Lines.size(); ++i) {
        const TLine line = ParseLine(content.Lines[i], i == 0);
        if (line.Kind != TLineKind::Section)
            continue;
        bool known = false;
        for (const std::string &name : result)
            known = known || SameName(name, line.Name);
        if (!known)
            result.emplace_back(line.Name);
    }
    return result;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const
{
    std::vector<std::string> result;
    const TContent &content = Current();
    bool inSection = false;
    for (std::size_t i = 0; i < content.Lines.size(); ++i) {
        const TLine line = ParseLine(content.Lines[i], i == 0);
        if (line.Kind == TLineKind::Section) {
            inSection = SameName(line.Name, section);
        } else if (inSection && line.Kind == TLineKind::Key && !line.Name.empty()) {
            bool known = false;
            for (const std::string &name : result)
                known = known || SameName(name, line.Name);
            if (!known)
                result.emplace_back(line.Name);
        }
    }
    return result;
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident)
{
    if (FindKey(Current(), section, ident) < 0)
        return;
    TContent &content = Editable();
    for (auto index = FindKey(content, section, ident); index >= 0; index = FindKey(content, section, ident))
        content.Lines.erase(content.Lines.begin() + index);
    Store();
}

void TIniFile::EraseSection(std::string_view section)
{
    if (!SectionExists(section))
        return;
    TContent &content = Editable();
    std::vector<std::string> kept;
    bool inSection = false;
    for (std::size_t i = 0; i < content.Lines.size(); ++i) {
        const TLine line = ParseLine(content.Lines[i], i == 0);
        if (line.Kind == TLineKind::Section)
            inSection = SameName(line.Name, section);
        if (!inSection)
            kept.push_back(std::move(content.Lines[i]));
    }
    content.Lines = std::move(kept);
    Store();
}

void TIniFile::BeginUpdate()
{
    ++FUpdateCount;
}

void TIniFile::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount > 0 || !FDirty)
        return;
    FDirty = false;
    try {
        Store();
    } catch (...) {
        FLoaded = false; // the file still holds the old text; read it again
        throw;
    }
}

void TIniFile::CancelUpdate() noexcept
{
    FUpdateCount = 0;
    if (FDirty) {
        FDirty = false;
        FLoaded = false;
    }
}

void TIniFile::Store()
{
    if (FUpdateCount > 0) {
        FDirty = true;
        return;
    }

    // A settings file that is a link (dotfile managers do that) is replaced at its target.
    std::string target = FFileName;
    struct stat st
    { };
    if (::lstat(FFileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char *resolved = ::realpath(FFileName.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : slash == 0 ? "/" : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = dir + (dir.back() == '/' ? "" : "/") + "." + base + ".XXXXXX";

    const auto fail = [this](int code) {
        FLoaded = false;
        WriteError(SystemMessage(code));
    };

    TFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.Get() < 0)
        fail(errno);
    TTempFileGuard guard(temp);

    ::mode_t mode = 0600;
    if (::stat(target.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    if (::fchmod(fd.Get(), mode) != 0)
        fail(errno);

    std::string text;
    for (const std::string &line : FContent.Lines) {
        text += line;
        text += '\n';
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd.Get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(errno);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.Get()) != 0)
        fail(errno);
    if (fd.Close() != 0)
        fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        fail(errno);
    guard.Release();

    // Make the rename itself durable; a failure here loses nothing that was there before.
    TFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.Get() >= 0)
        ::fsync(dirFd.Get());

    // Our own text is what the file holds now: take its new stamp without parsing it again.
    FLoaded = false;
    if (::stat(FFileName.c_str(), &st) == 0) {
        FStamp = StampOf(st);
        FContent.Unreadable = false;
        FLoaded = true;
    }
}
