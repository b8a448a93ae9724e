#include "import/NcduJsonImport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <unordered_set>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <sys/stat.h>
#include <unistd.h>

#include "import/ImportInput.h"
#include "model/Paths.h"
#include "platform/DirLister.h"
#include "platform/UnixTime.h"

namespace {

constexpr std::int32_t ReadErrorCode = EIO; // the format records that reading failed, not why

// What the format's info object says about one entry. Reused from entry to entry.
struct TInfo
{
    std::string Name;
    bool HasName = false;
    std::int64_t ASize = 0;
    std::int64_t MTime = 0;
    bool HasMTime = false;
    std::uint32_t Mode = 0;
    bool HasMode = false;
    bool ReadError = false;
    bool NotReg = false;
    std::string Excluded;
    std::int64_t DSize = 0;
    bool HasDSize = false;
    std::int64_t Device = 0;
    bool HasDevice = false;
    std::int64_t Inode = 0;
    bool HasInode = false;
    bool HardLinked = false; // "hlnkc": ncdu's mark of a file with more than one link
    std::int64_t Links = 0;

    void Reset()
    {
        DSize = 0;
        HasDSize = false;
        Device = 0;
        HasDevice = false;
        Inode = 0;
        HasInode = false;
        HardLinked = false;
        Links = 0;
        Name.clear();
        HasName = false;
        ASize = 0;
        MTime = 0;
        HasMTime = false;
        Mode = 0;
        HasMode = false;
        ReadError = false;
        NotReg = false;
        Excluded.clear();
    }
};

enum class TKey { Other, Name, ASize, MTime, Mode, ReadError, NotReg, Excluded, DSize, Dev, Ino, HlnkC, NLink };

// Called for every key of millions of objects: decided by length first.
TKey KeyOf(std::string_view key)
{
    switch (key.size()) {
    case 3:
        return key == "dev" ? TKey::Dev : key == "ino" ? TKey::Ino : TKey::Other;
    case 4:
        return key == "name" ? TKey::Name : key == "mode" ? TKey::Mode : TKey::Other;
    case 5:
        return key == "asize" ? TKey::ASize
            : key == "dsize"  ? TKey::DSize
            : key == "mtime"  ? TKey::MTime
            : key == "hlnkc"  ? TKey::HlnkC
            : key == "nlink"  ? TKey::NLink
                              : TKey::Other;
    case 6:
        return key == "notreg" ? TKey::NotReg : TKey::Other;
    case 8:
        return key == "excluded" ? TKey::Excluded : TKey::Other;
    case 10:
        return key == "read_error" ? TKey::ReadError : TKey::Other;
    default:
        return TKey::Other;
    }
}

// The SAX handler: a small state machine over the format's nesting. Any return of false
// stops the parse; the message says why.
class THandler
{
public:
    explicit THandler(const TImportOptions &options)
        : FOptions(options)
    { }

    TImportResult Result;
    std::string Message;

    bool Null() { return Scalar(TValue::Other); }
    bool Bool(bool b)
    {
        FBool = b;
        return Scalar(TValue::Bool);
    }
    bool Int(int i) { return Integer(i); }
    bool Uint(unsigned u) { return Integer(u); }
    bool Int64(std::int64_t i) { return Integer(i); }
    bool Uint64(std::uint64_t u)
    {
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return Fail("number out of range");
        return Integer(static_cast<std::int64_t>(u));
    }
    bool Double(double d)
    {
        if (!(d >= -9.2e18 && d <= 9.2e18))
            return Fail("number out of range");
        return Integer(static_cast<std::int64_t>(d), true);
    }
    bool RawNumber(const char *, rapidjson::SizeType, bool) { return Fail("unexpected number"); }
    bool String(const char *s, rapidjson::SizeType length, bool)
    {
        FString = std::string_view(s, length);
        return Scalar(TValue::String);
    }
    bool Key(const char *s, rapidjson::SizeType length, bool)
    {
        if (FSkipDepth > 0)
            return true;
        if (FState == TState::Meta) {
            FMetaKey.assign(s, length);
            return true;
        }
        FKey = KeyOf(std::string_view(s, length));
        return true;
    }

    bool StartObject()
    {
        if (FSkipDepth > 0 || IsValueOfKey()) {
            ++FSkipDepth;
            return true;
        }
        switch (FState) {
        case TState::Meta:
            if (FMetaSeen)
                return Fail("unexpected object");
            FMetaSeen = true;
            FInMeta = true;
            return true;
        case TState::Directory:
            // The info of the folder that the array stands for, or a file.
            FInfo.Reset();
            FInInfo = true;
            FKey = TKey::Other;
            FInfoIsDir = FDirs.back() == nullptr;
            return true;
        case TState::Start:
            return Fail("not an ncdu export: no array");
        default:
            return Fail("unexpected object");
        }
    }

    bool EndObject(rapidjson::SizeType)
    {
        if (FSkipDepth > 0) {
            if (--FSkipDepth == 0)
                FKey = TKey::Other;
            return true;
        }
        if (FInMeta) {
            FInMeta = false;
            FState = TState::Root;
            return true;
        }
        FInInfo = false;
        return FInfoIsDir ? OpenDirectory() : AddFile();
    }

    bool StartArray()
    {
        if (FSkipDepth > 0 || IsValueOfKey()) {
            ++FSkipDepth;
            return true;
        }
        switch (FState) {
        case TState::Start:
            FState = TState::Major;
            return true;
        case TState::Root:
            FState = TState::Directory;
            FDirs.push_back(nullptr);
            return true;
        case TState::Directory:
            if (FDirs.back() == nullptr)
                return Fail("a folder without its info object");
            FDirs.push_back(nullptr);
            return true;
        default:
            return Fail("unexpected array");
        }
    }

    bool EndArray(rapidjson::SizeType)
    {
        if (FSkipDepth > 0) {
            if (--FSkipDepth == 0)
                FKey = TKey::Other;
            return true;
        }
        switch (FState) {
        case TState::Directory:
            return CloseDirectory();
        case TState::AfterRoot:
            FState = TState::Done;
            return true;
        default:
            return Fail("the file ends before the folder tree");
        }
    }

private:
    enum class TState { Start, Major, Minor, Meta, Root, Directory, AfterRoot, Done };
    enum class TValue { Other, Bool, Number, String };

    bool Fail(const char *message)
    {
        Message = message;
        return false;
    }

    [[nodiscard]] bool WritesDiskSizes() const
    {
        return Result.ProgramName == "ncdu" || Result.ProgramName == "zumbrel";
    }

    // A key of the info object or of the metadata waits for its value.
    [[nodiscard]] bool IsValueOfKey() const { return FInInfo || FInMeta; }

    bool Integer(std::int64_t value, bool fromDouble = false)
    {
        FNumber = value;
        FDoubleSeen = fromDouble;
        return Scalar(TValue::Number);
    }

    bool Scalar(TValue type)
    {
        if (FSkipDepth > 0)
            return true;
        if (FInMeta) {
            if (FMetaKey == "progname" && type == TValue::String)
                Result.ProgramName.assign(FString);
            return true;
        }
        if (FInInfo)
            return InfoValue(type);
        switch (FState) {
        case TState::Major:
            if (type != TValue::Number || FDoubleSeen || FNumber != 1)
                return Fail("not an ncdu export of major version 1");
            FState = TState::Minor;
            return true;
        case TState::Minor:
            if (type != TValue::Number || FNumber < 0 || FNumber > 10000)
                return Fail("invalid minor version");
            FState = TState::Meta;
            return true;
        case TState::Start:
            return Fail("not an ncdu export: no array");
        default:
            return Fail("unexpected value");
        }
    }

    bool InfoValue(TValue type)
    {
        const TKey key = FKey;
        FKey = TKey::Other;
        switch (key) {
        case TKey::Other:
            return true;
        case TKey::Name:
            if (type != TValue::String)
                return Fail("\"name\" is not a string");
            FInfo.Name.assign(FString);
            FInfo.HasName = true;
            return true;
        case TKey::ASize:
            if (type != TValue::Number || FNumber < 0)
                return Fail("\"asize\" is not a size");
            FInfo.ASize = FNumber;
            return true;
        case TKey::DSize:
            if (type != TValue::Number || FNumber < 0)
                return Fail("\"dsize\" is not a size");
            FInfo.DSize = FNumber;
            FInfo.HasDSize = true;
            return true;
        case TKey::Dev:
        case TKey::Ino:
        case TKey::NLink:
            if (type != TValue::Number || FNumber < 0)
                return Fail("\"dev\", \"ino\" or \"nlink\" is not a number");
            if (key == TKey::Dev) {
                FInfo.Device = FNumber;
                FInfo.HasDevice = true;
            } else if (key == TKey::Ino) {
                FInfo.Inode = FNumber;
                FInfo.HasInode = true;
            } else {
                FInfo.Links = FNumber;
            }
            return true;
        case TKey::HlnkC:
            if (type != TValue::Bool)
                return Fail("a flag is not true or false");
            FInfo.HardLinked = FBool;
            return true;
        case TKey::MTime:
            if (type != TValue::Number)
                return Fail("\"mtime\" is not a number");
            FInfo.MTime = FNumber;
            FInfo.HasMTime = true;
            return true;
        case TKey::Mode:
            if (type != TValue::Number || FNumber < 0 || FNumber > 0xFFFFFF)
                return Fail("\"mode\" is not a file mode");
            FInfo.Mode = static_cast<std::uint32_t>(FNumber);
            FInfo.HasMode = true;
            return true;
        case TKey::ReadError:
        case TKey::NotReg:
            if (type != TValue::Bool)
                return Fail("a flag is not true or false");
            (key == TKey::ReadError ? FInfo.ReadError : FInfo.NotReg) = FBool;
            return true;
        case TKey::Excluded:
            // Old exports wrote true; newer ones name the reason.
            if (type == TValue::String)
                FInfo.Excluded.assign(FString.empty() ? std::string_view("pattern") : FString);
            else if (type == TValue::Bool)
                FInfo.Excluded = FBool ? "pattern" : "";
            else
                return Fail("\"excluded\" is not a reason");
            return true;
        }
        return true;
    }

    bool CheckName(bool root)
    {
        if (!FInfo.HasName)
            return Fail("an entry without a name");
        const std::string &n = FInfo.Name;
        if (n.empty())
            return Fail("an empty name");
        if (n.find('\0') != std::string::npos)
            return Fail("a name with a NUL byte");
        if (!root && (n.find(PathDelim) != std::string::npos || n == "." || n == ".."))
            return Fail("a name that is not a single path component");
        if (!root && n.size() > 65535)
            return Fail("a name longer than 65535 bytes");
        return true;
    }

    [[nodiscard]] std::uint16_t Attributes(bool directory) const
    {
        std::uint16_t attributes = directory ? FileAttr::Directory : 0;
        if (FInfo.Name.front() == '.')
            attributes |= FileAttr::Hidden;
        if (FInfo.HasMode && (FInfo.Mode & 0222) == 0)
            attributes |= FileAttr::ReadOnly;
        const bool link = FInfo.HasMode ? S_ISLNK(FInfo.Mode) : FInfo.NotReg;
        if (link && !directory)
            attributes |= FileAttr::ReparsePoint;
        // As the scanner marks them: FIFOs, sockets and devices are "system" files.
        if (FInfo.HasMode && !directory
            && (S_ISFIFO(FInfo.Mode) || S_ISSOCK(FInfo.Mode) || S_ISCHR(FInfo.Mode) || S_ISBLK(FInfo.Mode)))
            attributes |= FileAttr::System;
        return attributes;
    }

    [[nodiscard]] double Timestamp() const { return FInfo.HasMTime ? UnixSecondsToLocalDateTime(FInfo.MTime) : 0; }

    bool OpenDirectory()
    {
        const bool root = FDirs.size() == 1;
        if (!CheckName(root))
            return false;
        TDirNode *node = nullptr;
        if (root) {
            Result.Root = std::make_unique<TRootDirNode>();
            Result.Root->SetGroupFileSize(FOptions.GroupFileSize);
            std::string path = ExcludeTrailingPathDelimiter(FInfo.Name);
            Result.Root->SetName(path.empty() ? FInfo.Name : path);
            Result.Root->SetTimestamp(Timestamp());
            node = Result.Root.get();
        } else {
            TDirNode *parent = FDirs[FDirs.size() - 2];
            parent->SetEmpty(false);
            node = parent->AddChildDir(FInfo.Name, Timestamp(), Attributes(true));
            if (!CheckUnique(FDirs.size() - 2, node->Name()))
                return false;
        }
        node->SetScanning(true);
        if (FInfo.ReadError)
            node->SetErrorCode(ReadErrorCode);
        if (FInfo.HasDSize) {
            node->SetOwnDiskSize(FInfo.DSize);
            node->SetDiskSize(node->OwnDiskSize());
        }
        // A folder without "dev" is on its parent's device.
        FDevices.push_back(FInfo.HasDevice ? FInfo.Device : (FDevices.empty() ? 0 : FDevices.back()));
        FDirs.back() = node;
        return Counted();
    }

    bool Counted()
    {
        ++Result.Entries;
        if ((Result.Entries & 4095) == 0 && FOptions.ShouldStop && FOptions.ShouldStop())
            return Fail("stopped");
        return true;
    }

    // A second entry of the same name in one folder is refused: the tree would hold two
    // nodes for one path, and a comparison would find the path both changed and removed.
    // The names of the open folders' entries so far; the set of a folder goes when it closes.
    bool CheckUnique(std::size_t level, std::string_view name)
    {
        if (FNames.size() <= level)
            FNames.resize(level + 1);
        if (!FNames[level].insert(name).second) {
            Message = "the name \"" + std::string(name) + "\" appears twice in one folder";
            return false;
        }
        return true;
    }

    bool CloseDirectory()
    {
        TDirNode *node = FDirs.back();
        if (!node)
            return Fail("a folder without its info object");
        node->SetScanning(false); // folds a small-files group of one file back
        // A scan knows each listing's length and reserves exactly; here the lists grew step
        // by step, and the tree is not shared yet, so the steps can go.
        node->CompactChildrenUnshared();
        if (TFileGroupNode *group = node->SmallFilesGroup())
            group->CompactChildrenUnshared();
        if (FNames.size() >= FDirs.size())
            FNames[FDirs.size() - 1].clear();
        FDirs.pop_back();
        if (!FDevices.empty())
            FDevices.pop_back();
        if (FDirs.empty()) {
            FState = TState::AfterRoot;
            return true;
        }
        TDirNode *parent = FDirs.back();
        parent->IncSize(node->GetSize());
        parent->IncDiskSize(node->GetDiskSize());
        parent->IncFileCount(node->FileCount());
        return true;
    }

    bool AddFile()
    {
        if (!CheckName(false))
            return false;
        TDirNode *node = FDirs.back();
        node->SetEmpty(false);
        if (!Counted())
            return false;
        const std::string &excluded = FInfo.Excluded;
        if (excluded == "otherfs" || excluded == "othfs" || excluded == "kernfs") {
            // A mount point: shown as a folder that was never entered, as a scan shows it.
            const TDirNode *dir = node->AddChildDir(FInfo.Name, Timestamp(), Attributes(true) | FileAttr::ReparsePoint);
            return CheckUnique(FDirs.size() - 1, dir->Name());
        }
        auto file = TFileNode::Create(FInfo.Name);
        if (!CheckUnique(FDirs.size() - 1, file->Name()))
            return false;
        file->SetTimestamp(Timestamp());
        file->SetAttributes(Attributes(false));
        if (!excluded.empty()) {
            // Left out by a pattern when the analysis was made: a row without a size.
            file->SetAttributeBits(NodeAttr::Excluded, true);
            node->IncFileCount(1);
            node->AddChildNode(std::move(file));
            return true;
        }
        const std::int64_t size = FInfo.ASize;
        file->SetSize(size);
        // ncdu and we leave out a "dsize" of 0; gdu writes none at all, and there the logical
        // size rounded up stands in for it.
        if (FInfo.HasDSize || WritesDiskSizes())
            file->SetDiskSize(FInfo.DSize);
        if (IsSparseAllocation(size, file->GetDiskSize()))
            file->SetAttributeBits(NodeAttr::Sparse, true);
        if ((FInfo.HardLinked || FInfo.Links > 1) && FInfo.HasInode) {
            const std::uint64_t device
                = static_cast<std::uint64_t>(FInfo.HasDevice ? FInfo.Device : (FDevices.empty() ? 0 : FDevices.back()));
            const auto inode = static_cast<std::uint64_t>(FInfo.Inode);
            file->SetHardLinkInfo(
                {device, inode, static_cast<std::uint32_t>(std::clamp<std::int64_t>(FInfo.Links, 2, UINT32_MAX))});
            // The first name in the file carries the sizes; the others are shown, not counted.
            if (!FLinks.insert({device, inode}).second)
                file->SetAttributeBits(NodeAttr::HardLink, true);
        }
        const std::int64_t counted = file->CountedSize(skLogical);
        const std::int64_t countedDisk = file->CountedSize(skDisk);
        node->IncSize(counted);
        node->IncDiskSize(countedDisk);
        node->IncFileCount(1);
        if (size < FOptions.GroupFileSize) {
            TFileGroupNode *group = node->GetSmallFilesGroup();
            group->AddChildNode(std::move(file));
            group->IncFileCount(1);
            group->IncSize(counted);
            group->IncDiskSize(countedDisk);
        } else {
            node->AddChildNode(std::move(file));
        }
        return true;
    }

    const TImportOptions &FOptions;
    TState FState = TState::Start;
    std::vector<TDirNode *> FDirs; // the open folders; null until the folder's info is read
    // Per open folder, its entries' names (viewing the nodes' own copies).
    std::vector<std::unordered_set<std::string_view>> FNames;
    std::vector<std::int64_t> FDevices; // the device of each open folder
    struct TLinkHash
    {
        std::size_t operator()(const std::pair<std::uint64_t, std::uint64_t> &k) const noexcept
        {
            return k.second * 0x9E3779B97F4A7C15ull ^ k.first;
        }
    };
    std::unordered_set<std::pair<std::uint64_t, std::uint64_t>, TLinkHash> FLinks; // inodes counted once
    TInfo FInfo;
    bool FInInfo = false;
    bool FInfoIsDir = false;
    bool FInMeta = false;
    bool FMetaSeen = false;
    std::string FMetaKey;
    TKey FKey = TKey::Other;
    int FSkipDepth = 0;
    // The last scalar value.
    bool FBool = false;
    std::int64_t FNumber = 0;
    bool FDoubleSeen = false;
    std::string_view FString;

public:
    [[nodiscard]] bool Complete() const { return FState == TState::Done; }
};

struct TFileCloser
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::string OutOfMemoryText(std::int64_t entries)
{
    return "not enough memory to hold the analysis (" + std::to_string(entries) + " entries read)";
}

template <class TStream>
TImportResult Parse(TStream &input, const TImportOptions &options, std::uint64_t totalBytes, std::uint64_t base)
{
    THandler handler(options);
    std::uint64_t offset = 0;
    std::string message;
    try {
        TBoundedStringStream<TStream> stream(input, MaxImportedStringBytes);
        rapidjson::Reader reader;
        // Iterative: any nesting depth without growing the call stack.
        const rapidjson::ParseResult ok = reader.Parse<rapidjson::kParseIterativeFlag>(stream, handler);
        if (ok && handler.Complete())
            return std::move(handler.Result);
        offset = base + (ok ? stream.Tell() : reader.GetErrorOffset());
        if (stream.Over())
            message = "a name or text longer than " + std::to_string(MaxImportedStringBytes) + " bytes";
        else if (!handler.Message.empty())
            message = handler.Message;
        else if (offset >= totalBytes)
            message = "the file ends too early (cut off?)";
        else
            message = rapidjson::GetParseError_En(reader.GetParseErrorCode());
    } catch (const std::bad_alloc &) {
        // The half-built tree is freed first (without allocating), so that the message fits.
        const std::int64_t entries = handler.Result.Entries;
        handler.Result.Root.reset();
        throw EImportError(OutOfMemoryText(entries), 0, false);
    }
    // The half-built tree goes with the handler; nothing of it is returned.
    throw EImportError(message, offset);
}

// The first bytes of the input, for DescribeForeignContent and the byte order mark.
constexpr std::size_t HeadBytes = 16;

} // namespace

EImportError::EImportError(const std::string &message, std::uint64_t offset, bool hasOffset)
    : std::runtime_error(
        hasOffset ? "damaged analysis file at byte " + std::to_string(offset) + ": " + message : message)
    , FOffset(offset)
    , FHasOffset(hasOffset)
{ }

TImportResult ImportNcduJsonFile(const std::string &fileName, const TImportOptions &options)
{
    std::string error;
    const int fd = OpenAnalysisFile(fileName, error);
    if (fd < 0)
        throw EImportError(error, 0, false);
    std::unique_ptr<std::FILE, TFileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        throw EImportError(std::strerror(errno), 0, false);
    }
    struct stat st
    { };
    if (::fstat(fileno(file.get()), &st) != 0)
        throw EImportError(std::strerror(errno), 0, false);
    char head[HeadBytes];
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (const std::string foreign = DescribeForeignContent({head, got}); !foreign.empty())
        throw EImportError(foreign, 0, false);
    const std::size_t bom = Utf8BomLength({head, got});
    if (std::fseek(file.get(), static_cast<long>(bom), SEEK_SET) != 0)
        throw EImportError(std::strerror(errno), 0, false);
    std::vector<char> buffer(256 * 1024);
    rapidjson::FileReadStream stream(file.get(), buffer.data(), buffer.size());
    try {
        return Parse(stream, options, static_cast<std::uint64_t>(st.st_size), bom);
    } catch (const EImportError &) {
        // A read error looks like the end of the file to the parser; say what it really was.
        if (std::ferror(file.get()))
            throw EImportError(std::strerror(EIO), 0, false);
        throw;
    }
}

TImportResult ImportNcduJsonText(std::string_view text, const TImportOptions &options)
{
    if (const std::string foreign = DescribeForeignContent(text.substr(0, HeadBytes)); !foreign.empty())
        throw EImportError(foreign, 0, false);
    const std::size_t bom = Utf8BomLength(text);
    rapidjson::MemoryStream stream(text.data() + bom, text.size() - bom);
    return Parse(stream, options, text.size(), bom);
}

bool LooksLikeJsonExport(const std::string &fileName)
{
    std::string error;
    const int fd = OpenAnalysisFile(fileName, error);
    if (fd < 0)
        return false;
    std::unique_ptr<std::FILE, TFileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        return false;
    }
    char head[3];
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (std::fseek(file.get(), static_cast<long>(Utf8BomLength({head, got})), SEEK_SET) != 0)
        return false;
    for (int c = std::fgetc(file.get()); c != EOF; c = std::fgetc(file.get())) {
        if (c == '[')
            return true;
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return false;
}
