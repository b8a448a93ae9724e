#include "export/TreeTypesExport.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <string_view>
#include <vector>

#include "common/Translate.h"
#include "export/AtomicFileWriter.h"
#include "model/Paths.h"
#include "model/TreeTypes.h"

struct TTreeTypesExport::TFrame
{
    const TDirNode *Node;
    std::unique_lock<TNodeLock> Lock; // the node's child list, while it is walked
    std::vector<const TDirNode *> Dirs; // the subdirectories in the order of the export
    std::size_t Next = 0;
    std::size_t PathLength;
};

namespace {

[[nodiscard]] const TDirNode *AsDirNode(const TFileSystemNode *node)
{
    // Files are by far the most common children; IsGroup spares them the cast.
    return node && node->IsGroup() ? dynamic_cast<const TDirNode *>(node) : nullptr;
}

// ASCII letters folded, then the bytes: "apple" < "Banana" < "banana" < "cherry".
bool NameLess(std::string_view a, std::string_view b)
{
    const auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    const bool folded = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
        [&](char x, char y) { return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y)); });
    if (folded)
        return true;
    const bool reverse = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
        [&](char x, char y) { return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y)); });
    return !reverse && a < b;
}

// Sorts `dirs` stably by `order`, each value read once.
void SortDirs(std::vector<const TDirNode *> &dirs, const TExportOrder &order)
{
    if (order.Key == TExportOrder::Stored || dirs.size() < 2)
        return;
    struct TKeyed
    {
        const TDirNode *Dir;
        std::int64_t Number; // size or file count
        double Date;
    };
    std::vector<TKeyed> keyed;
    keyed.reserve(dirs.size());
    for (const TDirNode *dir : dirs) {
        const std::int64_t number = order.Key == TExportOrder::Size ? dir->GetSize()
            : order.Key == TExportOrder::Files                      ? dir->FileCount()
                                                                    : 0;
        keyed.push_back({dir, number, order.Key == TExportOrder::Date ? dir->Timestamp() : 0.0});
    }
    const auto less = [&](const TKeyed &a, const TKeyed &b) {
        if (order.Key == TExportOrder::Name)
            return order.Descending ? NameLess(b.Dir->Name(), a.Dir->Name()) : NameLess(a.Dir->Name(), b.Dir->Name());
        if (order.Key == TExportOrder::Date)
            return order.Descending ? b.Date < a.Date : a.Date < b.Date;
        return order.Descending ? b.Number < a.Number : a.Number < b.Number;
    };
    std::stable_sort(keyed.begin(), keyed.end(), less);
    for (std::size_t i = 0; i < keyed.size(); ++i)
        dirs[i] = keyed[i].Dir;
}

// Releases the locks of an interrupted walk innermost first, as a finished walk does.
template <class T> struct TPopAllOnExit
{
    std::vector<T> &Items;
    ~TPopAllOnExit()
    {
        while (!Items.empty())
            Items.pop_back();
    }
};

} // namespace

TTreeTypesExport::TTreeTypesExport(const TDirNode *ARootNode)
    : FRootNode(ARootNode)
{ }

TTreeTypesExport::~TTreeTypesExport()
{
    FRootNode = nullptr;
}

std::string TTreeTypesExport::FormatSize(std::int64_t ASize) const
{
    if (FFormatFileSizeProc)
        return FFormatFileSizeProc(ASize);
    return std::to_string(ASize);
}

void TTreeTypesExport::WriteText(std::ostream &AStream, std::string_view S)
{
    AStream.write(S.data(), static_cast<std::streamsize>(S.size()));
}

void TTreeTypesExport::SaveToFile(const std::string &FileName)
{
    TAtomicFileWriter writer(FileName);
    try {
        SaveToStream(writer.Stream());
    } catch (const std::ios_base::failure &) {
        writer.ThrowIfFailed(); // the system's reason, when the file itself failed
        throw;
    }
    writer.Commit();
}

void TTreeTypesExport::SaveToStream(std::ostream &AStream)
{
    FPath.clear();
    FLaterDirSibling.clear();
    WriteHeader(AStream);
    Walk(AStream);
    WriteFooter(AStream);
    AStream.flush();
    if (!AStream)
        throw std::ios_base::failure("The export could not be written");
}

void TTreeTypesExport::EnterDir(
    const TDirNode &node, bool laterDirSibling, std::vector<TFrame> &frames, std::ostream &AStream)
{
    FLaterDirSibling.push_back(laterDirSibling);
    WriteDirStart(AStream);
    WriteNode(node, AStream);
    if (!AStream)
        throw std::ios_base::failure("The export could not be written");
    if (!node.HasChildren()) {
        WriteDirEnd(AStream);
        FLaterDirSibling.pop_back();
        return;
    }
    WriteSubDirsStart(AStream);
    TFrame frame {&node, std::unique_lock(node.ChildLock()), {}, 0, FPath.size()};
    const std::int32_t count = node.InterlockedChildCount();
    for (std::int32_t i = 0; i < count; ++i)
        if (const TDirNode *dir = AsDirNode(node.GetUnlockedChildNode(i)))
            frame.Dirs.push_back(dir);
    SortDirs(frame.Dirs, FOrder);
    frames.push_back(std::move(frame));
}

void TTreeTypesExport::LeaveDir(std::vector<TFrame> &frames, std::ostream &AStream)
{
    frames.pop_back();
    FPath.resize(frames.empty() ? 0 : frames.back().PathLength);
    WriteSubDirsEnd(AStream);
    WriteDirEnd(AStream);
    FLaterDirSibling.pop_back();
}

void TTreeTypesExport::Walk(std::ostream &AStream)
{
    if (!FRootNode)
        return;
    std::vector<TFrame> frames;
    TPopAllOnExit<TFrame> unwind {frames};
    FPath = FRootNode->GetFullPathName();
    EnterDir(*FRootNode, false, frames, AStream);
    while (!frames.empty()) {
        TFrame &top = frames.back();
        if (top.Next == top.Dirs.size()) {
            LeaveDir(frames, AStream);
            continue;
        }
        const TDirNode *child = top.Dirs[top.Next++];
        // The text tree draws its branches from "is there a later directory among my siblings".
        const bool later = top.Next < top.Dirs.size();
        FPath.resize(top.PathLength);
        // Below "all fixed drives" every drive root is a full path of its own.
        if (top.Node->FileType() == fstComputer) {
            FPath.assign(child->Name());
        } else {
            if (FPath.empty() || FPath.back() != PathDelim)
                FPath += PathDelim;
            FPath.append(child->Name());
        }
        EnterDir(*child, later, frames, AStream);
    }
}

// Colours --------------------------------------------------------------------------------

namespace {

std::mutex ColorResolverLock;
TExportColorResolver ColorResolver; // guarded by ColorResolverLock

// The classic desktop scheme, for exports made without a window (the command line).
std::uint32_t ClassicSystemColor(std::uint32_t index)
{
    auto rgb = [](std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | (g << 8) | (b << 16); };
    switch (index) {
    case 2: // active caption
        return rgb(153, 180, 209);
    case 5: // window
        return rgb(255, 255, 255);
    case 9: // caption text
        return rgb(0, 0, 0);
    case 10: // active border
        return rgb(180, 180, 180);
    case 13: // highlight
        return rgb(0, 120, 215);
    case 14: // highlight text
        return rgb(255, 255, 255);
    default: // window text and everything else
        return rgb(0, 0, 0);
    }
}

} // namespace

void SetExportColorResolver(TExportColorResolver resolver)
{
    std::scoped_lock guard(ColorResolverLock);
    ColorResolver = std::move(resolver);
}

std::uint32_t ResolveExportColor(std::uint32_t AColor)
{
    if ((AColor & 0xFF000000u) != 0xFF000000u)
        return AColor & 0xFFFFFFu;
    TExportColorResolver resolver;
    {
        std::scoped_lock guard(ColorResolverLock);
        resolver = ColorResolver;
    }
    const std::uint32_t value = resolver ? resolver(AColor) : ClassicSystemColor(AColor & 0xFFu);
    return value & 0xFFFFFFu;
}

std::string ColorToHtml(std::uint32_t AColor)
{
    const std::uint32_t rgb = ResolveExportColor(AColor);
    std::array<char, 8> text {};
    std::snprintf(text.data(), text.size(), "#%02X%02X%02X", rgb & 0xFFu, (rgb >> 8) & 0xFFu, (rgb >> 16) & 0xFFu);
    return text.data();
}

// Version and maker texts -------------------------------------------------------------------

std::string VersionTextOf(std::string_view version)
{
    std::array<long, 4> parts {};
    std::size_t count = 0;
    const char *p = version.data();
    const char *end = version.data() + version.size();
    while (p < end && count < parts.size()) {
        const auto [next, ec] = std::from_chars(p, end, parts[count]);
        if (ec != std::errc() || parts[count] < 0)
            return {};
        ++count;
        p = next;
        if (p < end && *p == '.')
            ++p;
        else
            break;
    }
    if (count < 2 || p != end)
        return {};
    std::string text = _("Version") + " " + std::to_string(parts[0]) + "." + std::to_string(parts[1]);
    if (count >= 3 && parts[2] != 0)
        text += "." + std::to_string(parts[2]);
    return text;
}

std::string VersionText()
{
#ifdef ZUMBREL_VERSION
    return VersionTextOf(ZUMBREL_VERSION);
#else
    return {};
#endif
}

std::string GeneratedByText()
{
    return "generated by Zumbrel " + VersionText();
}

std::string HomepageUrl()
{
#ifdef ZUMBREL_HOMEPAGE_URL
    return ZUMBREL_HOMEPAGE_URL;
#else
    return "https://zumbrel.example.org";
#endif
}
