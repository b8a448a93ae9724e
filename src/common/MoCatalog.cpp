#include "common/MoCatalog.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include <iconv.h>

namespace {

constexpr std::uint32_t Magic = 0x950412de;
constexpr std::uint32_t SwappedMagic = 0xde120495;

std::uint32_t Swap(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

class TReader
{
public:
    TReader(std::string_view bytes, const std::string &name)
        : FBytes(bytes)
        , FName(name)
    {
        if (bytes.size() < 20)
            Fail("too short for a message catalog");
        const std::uint32_t magic = RawWord(0);
        if (magic == SwappedMagic)
            FSwap = true;
        else if (magic != Magic)
            Fail("not a GNU message catalog");
        // Revisions 0.x and 1.x share the tables read here; a new major number may not.
        if ((Word(4) >> 16) > 1)
            Fail("unknown catalog revision");
    }

    [[nodiscard]] std::uint32_t Word(std::size_t offset) const
    {
        const std::uint32_t v = RawWord(offset);
        return FSwap ? Swap(v) : v;
    }

    // Text i of the table at `table`: length and offset words, then the bytes and a NUL.
    [[nodiscard]] std::string_view Text(std::uint32_t table, std::uint32_t index) const
    {
        const std::uint64_t entry = std::uint64_t(table) + std::uint64_t(index) * 8;
        if (entry + 8 > FBytes.size())
            Fail("a string table lies outside the file");
        const std::uint32_t length = Word(static_cast<std::size_t>(entry));
        const std::uint32_t offset = Word(static_cast<std::size_t>(entry) + 4);
        if (std::uint64_t(offset) + length + 1 > FBytes.size() || FBytes[offset + length] != '\0')
            Fail("a text lies outside the file");
        return FBytes.substr(offset, length);
    }

    [[noreturn]] void Fail(const char *what) const { throw ECatalogError(FName + ": " + what); }

private:
    [[nodiscard]] std::uint32_t RawWord(std::size_t offset) const
    {
        if (offset + 4 > FBytes.size())
            Fail("a table lies outside the file");
        std::uint32_t v = 0;
        std::memcpy(&v, FBytes.data() + offset, 4);
        return v;
    }

    std::string_view FBytes;
    const std::string &FName;
    bool FSwap = false;
};

// The charset named by the catalog header's Content-Type line; empty when none.
std::string HeaderCharset(std::string_view header)
{
    const auto at = header.find("charset=");
    if (at == std::string_view::npos)
        return {};
    std::string_view rest = header.substr(at + 8);
    rest = rest.substr(0, rest.find_first_of(" ;\n\r\t"));
    return std::string(rest);
}

bool IsUtf8Name(std::string charset)
{
    for (char &c : charset)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return charset.empty() || charset == "UTF-8" || charset == "UTF8" || charset == "ASCII" || charset == "US-ASCII"
        || charset == "CHARSET"; // msgfmt's template placeholder: nothing but ASCII was written
}

class TConverter
{
public:
    TConverter(const std::string &charset, const TReader &reader)
        : FReader(reader)
    {
        FHandle = ::iconv_open("UTF-8", charset.c_str());
        if (FHandle == reinterpret_cast<iconv_t>(-1))
            reader.Fail("the catalog's character set is not known");
    }
    ~TConverter() { ::iconv_close(FHandle); }
    TConverter(const TConverter &) = delete;
    TConverter &operator=(const TConverter &) = delete;

    [[nodiscard]] std::string Convert(std::string_view text) const
    {
        std::string in(text);
        std::string out(text.size() * 4 + 16, '\0');
        char *inPtr = in.data();
        std::size_t inLeft = in.size();
        char *outPtr = out.data();
        std::size_t outLeft = out.size();
        ::iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
        if (::iconv(FHandle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            FReader.Fail("a text does not fit the catalog's character set");
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    const TReader &FReader;
    iconv_t FHandle;
};

} // namespace

TMoCatalog TMoCatalog::LoadFromFile(const std::string &fileName)
{
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        throw ECatalogError(fileName + ": " + std::strerror(errno));
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad())
        throw ECatalogError(fileName + ": the file could not be read");
    const std::string bytes = std::move(content).str();
    return Parse(bytes, fileName);
}

TMoCatalog TMoCatalog::Parse(std::string_view bytes, const std::string &name)
{
    const TReader reader(bytes, name);
    const std::uint32_t count = reader.Word(8);
    const std::uint32_t originals = reader.Word(12);
    const std::uint32_t translations = reader.Word(16);

    std::unique_ptr<TConverter> converter;
    TMoCatalog catalog;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view id = reader.Text(originals, i);
        std::string_view text = reader.Text(translations, i);
        if (id.empty()) {
            if (const std::string charset = HeaderCharset(text); !IsUtf8Name(charset))
                converter = std::make_unique<TConverter>(charset, reader);
            catalog.FHeader = converter ? converter->Convert(text) : std::string(text);
            continue;
        }
        const auto convert
            = [&converter](std::string_view part) { return converter ? converter->Convert(part) : std::string(part); };
        // Plural entries: "singular\0plural" and "form0\0form1...".
        const std::size_t nul = id.find('\0');
        const std::string_view singular = id.substr(0, nul);
        if (nul != std::string_view::npos) {
            std::vector<std::string> forms;
            for (std::string_view rest = text;;) {
                const std::size_t end = rest.find('\0');
                forms.push_back(convert(rest.substr(0, end)));
                if (end == std::string_view::npos)
                    break;
                rest.remove_prefix(end + 1);
            }
            catalog.FPlurals.insert_or_assign(std::string(singular), std::move(forms));
        }
        text = text.substr(0, text.find('\0'));
        if (text.empty())
            continue;
        catalog.FEntries.insert_or_assign(std::string(singular), convert(text));
    }
    catalog.FPluralRule = TPluralRule::FromHeader(catalog.FHeader, catalog.FPluralRuleError);
    return catalog;
}

const std::string *TMoCatalog::Find(std::string_view msgid) const
{
    const auto it = FEntries.find(msgid);
    return it == FEntries.end() ? nullptr : &it->second;
}

const std::string *TMoCatalog::FindPlural(std::string_view singular, std::uint64_t n) const
{
    const auto it = FPlurals.find(singular);
    if (it == FPlurals.end())
        return nullptr;
    const unsigned form = FPluralRule.FormFor(n);
    if (form >= it->second.size() || it->second[form].empty())
        return nullptr;
    return &it->second[form];
}
