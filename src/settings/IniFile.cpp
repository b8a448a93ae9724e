#include "settings/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/AtomicFileWriter.h"
#include "common/FormatText.h"
#include "common/TextUtils.h"
#include "common/Translate.h"
#include "common/Utf8.h"

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

TIniFile::~TIniFile()
{
    UnlockFile();
}

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
            content.Text = std::move(text);
            Index(content);
        }
    }
    FContent = std::move(content);
    FStamp = stamp;
    FLoaded = true;
    return FContent;
}

void TIniFile::Index(TContent &content)
{
    content.Entries.clear();
    const std::string_view text = content.Text;
    std::size_t begin = 0;
    while (begin < text.size()) {
        // A run of blank lines is passed in one sweep over its bytes.
        std::size_t next = begin;
        while (next < text.size() && IsBlank(text[next]))
            ++next;
        if (next == text.size())
            break;
        if (const std::size_t lineBreak = text.rfind('\n', next);
            lineBreak != std::string_view::npos && lineBreak >= begin)
            begin = lineBreak + 1;
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view raw = text.substr(begin, end - begin);
        const TLine line = ParseLine(raw, begin == 0);
        if (line.Kind != TLineKind::Other) {
            TEntry entry;
            entry.IsSection = line.Kind == TLineKind::Section;
            entry.LineBegin = begin;
            entry.LineEnd = end;
            entry.NameBegin = static_cast<std::size_t>(line.Name.data() - text.data());
            entry.NameSize = line.Name.size();
            entry.ValueBegin = line.Value.empty() ? end : static_cast<std::size_t>(line.Value.data() - text.data());
            entry.ValueSize = line.Value.size();
            content.Entries.push_back(entry);
        }
        begin = end + 1;
    }
}

std::string_view TIniFile::NameOf(const TContent &content, const TEntry &entry)
{
    return std::string_view(content.Text).substr(entry.NameBegin, entry.NameSize);
}

std::ptrdiff_t TIniFile::FindKey(const TContent &content, std::string_view section, std::string_view ident)
{
    bool inSection = false;
    for (std::size_t i = 0; i < content.Entries.size(); ++i) {
        const TEntry &entry = content.Entries[i];
        if (entry.IsSection)
            inSection = SameName(NameOf(content, entry), section);
        else if (inSection && SameName(NameOf(content, entry), ident))
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

void TIniFile::Splice(TContent &content, std::size_t begin, std::size_t end, std::string_view text)
{
    content.Text.replace(begin, end - begin, text);
    Index(content);
}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident, std::string_view defaultValue) const
{
    if (section.empty() || ident.empty())
        return std::string(defaultValue);
    const TContent &content = Current();
    const auto index = FindKey(content, section, ident);
    if (index < 0)
        return std::string(defaultValue);
    const TEntry &entry = content.Entries[static_cast<std::size_t>(index)];
    std::string_view value = std::string_view(content.Text).substr(entry.ValueBegin, entry.ValueSize);
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

    const TWriteGuard guard(*this);
    TContent &content = Editable();
    const std::string_view text = content.Text;
    const auto index = FindKey(content, trimmedSection, trimmedIdent);
    if (index >= 0) {
        const TEntry &entry = content.Entries[static_cast<std::size_t>(index)];
        // Keep the key as it was spelled, replace everything after its "=".
        // A byte order mark in front of a first-line key stays there, as it is no blank.
        const std::string_view line = text.substr(entry.LineBegin, entry.LineEnd - entry.LineBegin);
        const std::string replaced = std::string(TrimBlanks(line.substr(0, line.find('=')))) + "=" + std::string(value);
        Splice(content, entry.LineBegin, entry.LineEnd, replaced);
    } else {
        const std::string entryLine = std::string(trimmedIdent) + "=" + std::string(value);
        // Append to the first section of that name, after its last non-blank line.
        std::ptrdiff_t sectionEntry = -1;
        for (std::size_t i = 0; i < content.Entries.size() && sectionEntry < 0; ++i)
            if (content.Entries[i].IsSection && SameName(NameOf(content, content.Entries[i]), trimmedSection))
                sectionEntry = static_cast<std::ptrdiff_t>(i);
        if (sectionEntry >= 0) {
            const auto s = static_cast<std::size_t>(sectionEntry);
            std::size_t regionEnd = text.size();
            for (std::size_t i = s + 1; i < content.Entries.size(); ++i)
                if (content.Entries[i].IsSection) {
                    regionEnd = content.Entries[i].LineBegin;
                    break;
                }
            // The end of the last non-blank line of the section (its header at least).
            std::size_t lastEnd = content.Entries[s].LineEnd;
            for (std::size_t begin = lastEnd + 1; begin < regionEnd;) {
                std::size_t end = text.find('\n', begin);
                if (end == std::string_view::npos || end > regionEnd)
                    end = std::min(regionEnd, text.size());
                if (!TrimBlanks(text.substr(begin, end - begin)).empty())
                    lastEnd = end;
                begin = end + 1;
            }
            if (lastEnd >= text.size())
                Splice(content, text.size(), text.size(), "\n" + entryLine + "\n");
            else
                Splice(content, lastEnd + 1, lastEnd + 1, entryLine + "\n");
        } else {
            std::string tail;
            if (!text.empty() && text.back() != '\n')
                tail += '\n';
            // A blank line before the new section, unless the file ends with one.
            const std::string_view body = text.substr(0, text.size() - (text.empty() || text.back() != '\n' ? 0 : 1));
            const auto lastBreak = body.rfind('\n');
            const std::string_view lastLine = lastBreak == std::string_view::npos ? body : body.substr(lastBreak + 1);
            if (!text.empty() && !TrimBlanks(lastLine).empty())
                tail += '\n';
            tail += "[" + std::string(trimmedSection) + "]\n" + entryLine + "\n";
            Splice(content, text.size(), text.size(), tail);
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
    for (const TEntry &entry : content.Entries)
        if (entry.IsSection && SameName(NameOf(content, entry), section))
            return true;
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
    for (const TEntry &entry : content.Entries) {
        if (!entry.IsSection)
            continue;
        const std::string_view name = NameOf(content, entry);
        bool known = false;
        for (const std::string &seen : result)
            known = known || SameName(seen, name);
        if (!known)
            result.emplace_back(name);
    }
    return result;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const
{
    std::vector<std::string> result;
    const TContent &content = Current();
    bool inSection = false;
    for (const TEntry &entry : content.Entries) {
        const std::string_view name = NameOf(content, entry);
        if (entry.IsSection) {
            inSection = SameName(name, section);
        } else if (inSection && !name.empty()) {
            bool known = false;
            for (const std::string &seen : result)
                known = known || SameName(seen, name);
            if (!known)
                result.emplace_back(name);
        }
    }
    return result;
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident)
{
    const TWriteGuard guard(*this);
    if (FindKey(Current(), section, ident) < 0)
        return;
    TContent &content = Editable();
    for (auto index = FindKey(content, section, ident); index >= 0; index = FindKey(content, section, ident)) {
        const TEntry &entry = content.Entries[static_cast<std::size_t>(index)];
        Splice(content, entry.LineBegin, std::min(entry.LineEnd + 1, content.Text.size()), "");
    }
    Store();
}

void TIniFile::EraseSection(std::string_view section)
{
    const TWriteGuard guard(*this);
    if (!SectionExists(section))
        return;
    TContent &content = Editable();
    // Every block of that section, from its header to the next header of another name.
    std::string kept;
    std::size_t copied = 0;
    bool inSection = false;
    for (const TEntry &entry : content.Entries) {
        if (!entry.IsSection)
            continue;
        const bool match = SameName(NameOf(content, entry), section);
        if (match && !inSection)
            kept.append(content.Text, copied, entry.LineBegin - copied);
        else if (!match && inSection)
            copied = entry.LineBegin;
        if (match != inSection)
            inSection = match;
    }
    if (!inSection)
        kept.append(content.Text, copied, std::string::npos);
    content.Text = std::move(kept);
    Index(content);
    Store();
}

void TIniFile::BeginUpdate()
{
    if (FUpdateCount++ == 0 && FLockFd < 0)
        LockFile();
}

void TIniFile::EndUpdate()
{
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount > 0)
        return;
    if (!FDirty) {
        UnlockFile();
        return;
    }
    FDirty = false;
    try {
        Store();
    } catch (...) {
        FLoaded = false; // the file still holds the old text; read it again
        UnlockFile();
        throw;
    }
    UnlockFile();
}

void TIniFile::CancelUpdate() noexcept
{
    FUpdateCount = 0;
    if (FDirty) {
        FDirty = false;
        FLoaded = false;
    }
    UnlockFile();
}

void TIniFile::LockFile() noexcept
{
    // The lock is on the folder that holds the file: the file itself is replaced by every
    // write (a lock on it would be a lock on the old one), and a lock file beside it would be
    // one more file in the user's folder. Without the folder the writes fail anyway.
    const std::size_t slash = FFileName.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : FFileName.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return;
        }
    }
    FLockFd = fd;
}

void TIniFile::UnlockFile() noexcept
{
    if (FLockFd >= 0) {
        ::close(FLockFd); // closing releases the flock
        FLockFd = -1;
    }
}

void TIniFile::Store()
{
    if (FUpdateCount > 0) {
        FDirty = true;
        return;
    }

    // The same rules as every file the program writes: links followed only where it is safe,
    // hard links, ownership and read-only files respected, nothing half-written left behind.
    try {
        TAtomicFileWriter writer(FFileName, 0600);
        writer.Stream().write(FContent.Text.data(), static_cast<std::streamsize>(FContent.Text.size()));
        writer.Commit();
    } catch (const EFileWriteError &e) {
        FLoaded = false;
        WriteError(e.Reason());
    }

    // Our own text is what the file holds now: take its new stamp without parsing it again.
    FLoaded = false;
    struct stat st
    { };
    if (::stat(FFileName.c_str(), &st) == 0) {
        FStamp = StampOf(st);
        FContent.Unreadable = false;
        FLoaded = true;
    }
}
