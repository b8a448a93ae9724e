#include "settings/MRUDirList.h"

#include <stdexcept>

#include <sys/stat.h>

#include "common/Drives.h"
#include "platform/Platform.h"

namespace {

bool IsBlankOrControl(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ';
}

std::string WithoutTrailingDelimiter(std::string_view path)
{
    std::string result(path);
    if (result.size() > 1 && result.back() == PathDelim)
        result.pop_back();
    return result;
}

std::string QuotedEntry(const std::string &entry)
{
    bool quote = false;
    for (const char c : entry)
        quote = quote || IsBlankOrControl(c) || c == ',' || c == '"';
    if (!quote)
        return entry;
    std::string result = "\"";
    for (const char c : entry) {
        if (c == '"')
            result += '"';
        result += c;
    }
    return result + "\"";
}

std::string JoinCommaText(const std::vector<std::string> &items)
{
    if (items.size() == 1 && items.front().empty())
        return "\"\"";
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += ',';
        text += QuotedEntry(items[i]);
    }
    return text;
}

} // namespace

const std::string &TMRUDirList::Get(int index) const
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("TMRUDirList: index " + std::to_string(index) + " out of range");
    return FItems[static_cast<std::size_t>(index)];
}

int TMRUDirList::IndexOf(std::string_view path) const
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (SamePath(FItems[i], path))
            return static_cast<int>(i);
    return -1;
}

void TMRUDirList::Add(std::string entry)
{
    FItems.push_back(std::move(entry));
    Changed();
}

void TMRUDirList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("TMRUDirList: index " + std::to_string(index) + " out of range");
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TMRUDirList::Clear()
{
    if (FItems.empty())
        return;
    FItems.clear();
    Changed();
}

std::string TMRUDirList::CommaText() const
{
    return JoinCommaText(FItems);
}

void TMRUDirList::SetCommaText(std::string_view text)
{
    TUpdate update(*this);
    Clear();
    std::size_t pos = 0;
    const auto skipBlanks = [&] {
        while (pos < text.size() && IsBlankOrControl(text[pos]) && text[pos] != '\0')
            ++pos;
    };
    skipBlanks();
    while (pos < text.size() && text[pos] != '\0') {
        std::string entry;
        if (text[pos] == '"') {
            ++pos;
            while (pos < text.size() && text[pos] != '\0') {
                if (text[pos] == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        entry += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                entry += text[pos++];
            }
        } else {
            const std::size_t start = pos;
            while (pos < text.size() && !IsBlankOrControl(text[pos]) && text[pos] != ',')
                ++pos;
            entry.assign(text.substr(start, pos - start));
        }
        Add(std::move(entry));
        skipBlanks();
        if (pos < text.size() && text[pos] == ',') {
            if (pos + 1 == text.size())
                Add(std::string());
            ++pos;
            skipBlanks();
        }
    }
}

void TMRUDirList::BeginUpdate()
{
    ++FUpdateCount;
}

void TMRUDirList::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0 && OnChange)
        OnChange();
}

void TMRUDirList::Changed()
{
    if (FUpdateCount == 0 && OnChange)
        OnChange();
}

void TMRUDirList::Trim()
{
    TUpdate update(*this);
    while (Count() > FMaxItems)
        Delete(0);
}

void TMRUDirList::SetMaxItems(int value)
{
    FMaxItems = value < 0 ? 0 : value;
    Trim();
}

void TMRUDirList::AddDirectory(std::string_view dirName)
{
    TUpdate update(*this);
    const std::string name = WithoutTrailingDelimiter(dirName);
    if (const int index = IndexOf(name); index >= 0)
        Delete(index);
    Add(name);
    Trim();
}

void TMRUDirList::RemoveDriveEntries()
{
    TUpdate update(*this);
    std::vector<std::string> drives;
    GetDrives(TDriveTypes::AllKnown(), drives);
    for (const std::string &drive : drives) {
        const std::string root = WithoutTrailingDelimiter(drive);
        for (int index = IndexOf(root); index >= 0; index = IndexOf(root))
            Delete(index);
    }
}

void TMRUDirList::RemoveInvalidDirectories()
{
    TUpdate update(*this);
    for (int i = Count() - 1; i >= 0; --i) {
        struct stat st
        { };
        const std::string &path = FItems[static_cast<std::size_t>(i)];
        if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            Delete(i);
    }
}

std::string TMRUDirList::StoredText() const
{
    std::vector<std::string> storable;
    for (const std::string &entry : FItems)
        if (entry.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos)
            storable.push_back(entry);
    return "'" + JoinCommaText(storable) + "'";
}

void TMRUDirList::LoadStoredText(std::string_view value)
{
    TUpdate update(*this);
    SetCommaText(value);
    RemoveDriveEntries();
}
