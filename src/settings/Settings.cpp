#include "settings/Settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "common/FileQueries.h"
#include "common/FormatText.h"
#include "common/MessageBoxes.h"
#include "common/Translate.h"

namespace {

constexpr std::array<std::string_view, 1> PaintOptionNames = {"poPaintBackgroundShape"};

struct THooks
{
    std::mutex Lock;
    std::function<std::string()> ScreenSource;
    std::function<std::string(std::string_view)> PainterResolver;
};

THooks &Hooks()
{
    static THooks hooks;
    return hooks;
}

std::unique_ptr<TSettings> &InstanceSlot()
{
    static std::unique_ptr<TSettings> instance;
    return instance;
}

bool SameAsciiText(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

std::string ResolvePainterClass(std::string_view name)
{
    std::function<std::string(std::string_view)> resolver;
    {
        std::scoped_lock guard(Hooks().Lock);
        resolver = Hooks().PainterResolver;
    }
    std::string resolved;
    if (resolver)
        resolved = resolver(name);
    else if (SameAsciiText(name, TSettings::DefaultBarChartPainterClass))
        resolved = TSettings::DefaultBarChartPainterClass;
    return resolved.empty() ? std::string(TSettings::DefaultBarChartPainterClass) : resolved;
}

} // namespace

TSettings::TSettings(std::string fileName, TSettingsAccess access)
    : FIniFile(std::move(fileName))
    , FAccess(access)
    , FLanguageCode(GetCurrentLanguage())
{ }

TSettings::~TSettings() = default;

TSettings &TSettings::GetInstance()
{
    std::unique_ptr<TSettings> &slot = InstanceSlot();
    if (!slot)
        slot = std::make_unique<TSettings>(DefaultFileName(true));
    return *slot;
}

std::unique_ptr<TSettings> TSettings::InstallInstance(std::unique_ptr<TSettings> settings)
{
    std::unique_ptr<TSettings> previous = std::move(InstanceSlot());
    InstanceSlot() = std::move(settings);
    return previous;
}

std::string TSettings::DefaultFileName(bool createDirectory)
{
    std::string dir = AppDataFolder();
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    dir += "Zumbrel/";
    if (createDirectory) {
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        if (!std::filesystem::is_directory(dir, error))
            throw ESettingsError(FormatText(_("The application data directory '%s' could not be created."), {dir}));
    }
    return dir + "Zumbrel.ini";
}

std::unique_ptr<TSettings> TSettings::OpenReadOnly(std::string fileName)
{
    if (fileName.empty())
        fileName = DefaultFileName(false);
    return std::make_unique<TSettings>(std::move(fileName), TSettingsAccess::ReadOnly);
}

std::unique_ptr<TSettings> TSettings::GetClone() const
{
    auto clone = std::make_unique<TSettings>(GetFileName(), FAccess);
    clone->Assign(*this);
    return clone;
}

void TSettings::Assign(const TSettings &source)
{
    if (&source == this)
        return;
    FFileSizeRounding.store(source.FileSizeRounding(), std::memory_order_relaxed);
    FGroupFileSize.store(source.GroupFileSize(), std::memory_order_relaxed);
    FGroupSmallFiles.store(source.GroupSmallFiles(), std::memory_order_relaxed);
    FMaxMruItems.store(source.MaxMruItems(), std::memory_order_relaxed);
    FLanguageCode = source.FLanguageCode;
    FPaintOptions.store(source.PaintOptions().Bits(), std::memory_order_relaxed);
    FTreeViewRefreshRate.store(source.TreeViewRefreshRate(), std::memory_order_relaxed);
    FBarChartPainterClass = source.FBarChartPainterClass;
    FScanSettingsChanged.store(source.ScanSettingsChanged(), std::memory_order_relaxed);
}

void TSettings::Load()
{
    // Each key stands on its own: a damaged value keeps that key at its default and is reported,
    // and never takes the keys after it (the language, say) down with it.
    std::string problems;
    const auto step = [&problems](const auto &read) {
        try {
            read();
        } catch (const std::exception &e) {
            problems += problems.empty() ? "" : "\n";
            problems += e.what();
        }
    };
    step([this] { FGroupSmallFiles = FIniFile.ReadBool(SettingsSection, "GroupSmallFiles", GroupSmallFiles()); });
    step([this] { FGroupFileSize = FIniFile.ReadInt64(SettingsSection, "GroupFileSize", GroupFileSize()); });
    step([this] {
        const int maxMruItems = FIniFile.ReadInteger(SettingsSection, "MaxMruItems", MaxMruItems());
        if (maxMruItems < 0 || maxMruItems > 65535)
            throw ESettingsError(FormatText(_("The value %s of the setting %s is out of range (%s to %s)."),
                {std::to_string(maxMruItems), "MaxMruItems", "0", "65535"}));
        FMaxMruItems = static_cast<std::uint16_t>(maxMruItems);
    });
    step([this] {
        std::string code = FIniFile.ReadString(SettingsSection, "Language", FLanguageCode);
        // Anything but a plain code ("pt_BR", "sr@latin", "de_AT.UTF-8") would fail every save.
        if (code.size() <= 64 && std::all_of(code.begin(), code.end(), [](unsigned char c) {
                return std::isalnum(c) || c == '_' || c == '-' || c == '.' || c == '@';
            }))
            FLanguageCode = std::move(code);
    });
    step([this] {
        const std::string paintOptions = FIniFile.ReadString(SettingsSection, "PaintOptions", "");
        if (!paintOptions.empty())
            FPaintOptions = static_cast<std::uint8_t>(TextToSet(paintOptions, PaintOptionNames));
    });
    step([this] {
        // Only the low byte counts; a byte that names no style keeps the current one instead of
        // making every size text fail later.
        const int rounding = FIniFile.ReadInteger(SettingsSection, "FileSizeRounding", FileSizeRounding()) & 0xFF;
        if (rounding >= rsNone && rounding <= rsTruncate)
            FFileSizeRounding = static_cast<TRoundingStyle>(rounding);
    });
    step([this] {
        FBarChartPainterClass = ResolvePainterClass(FIniFile.ReadString(SettingsSection, "BarChartPainterClass", ""));
    });
    FStoredTexts.clear();
    for (const auto &[key, text] : PreferenceTexts()) {
        // A missing key stands for the value this object has now, its default.
        FStoredTexts.emplace(std::string(key), FIniFile.ReadString(SettingsSection, key, text));
    }
    if (!problems.empty())
        ErrorBox(problems);
}

std::vector<std::pair<std::string_view, std::string>> TSettings::PreferenceTexts() const
{
    return {
        {"GroupSmallFiles", GroupSmallFiles() ? "1" : "0"},
        {"GroupFileSize", std::to_string(GroupFileSize())},
        {"Language", FLanguageCode},
        {"TreeViewRefreshRate", std::to_string(TreeViewRefreshRate())},
        {"PaintOptions", SetToText(PaintOptions().Bits(), PaintOptionNames)},
        {"FileSizeRounding", std::to_string(static_cast<int>(FileSizeRounding()))},
        {"BarChartPainterClass", FBarChartPainterClass},
        {"MaxMruItems", std::to_string(MaxMruItems())},
    };
}

void TSettings::Save()
{
    try {
        CheckWritable();
        // One replacement of the file for the changed keys, under its lock and starting from the
        // file as it is now; a key that cannot be stored does not keep the others from it.
        TIniFile::TUpdate update(FIniFile);
        std::string failure;
        std::vector<std::pair<std::string, std::string>> written;
        for (auto &[key, text] : PreferenceTexts()) {
            // Unchanged here and present in the file: the file's value may be another window's.
            const auto stored = FStoredTexts.find(key);
            if (stored != FStoredTexts.end() && stored->second == text && FIniFile.ValueExists(SettingsSection, key))
                continue;
            try {
                FIniFile.WriteString(SettingsSection, key, text);
                written.emplace_back(std::string(key), std::move(text));
            } catch (const std::exception &e) {
                failure += failure.empty() ? "" : "\n";
                failure += e.what();
            }
        }
        update.Commit();
        for (auto &[key, text] : written)
            FStoredTexts[key] = std::move(text);
        if (!failure.empty())
            ErrorBox(failure);
    } catch (const std::exception &e) {
        ErrorBox(e.what());
    }
}

void TSettings::CheckWritable() const
{
    if (FAccess == TSettingsAccess::ReadOnly)
        throw ESettingsError(FormatText(_("The settings file %s is open for reading only."), {GetFileName()}));
}

int TSettings::ReadSettingInt(std::string_view key, int defaultValue) const
{
    return FIniFile.ReadInteger(SettingsSection, key, defaultValue);
}

std::string TSettings::ReadSettingStr(std::string_view key, std::string_view defaultValue) const
{
    return FIniFile.ReadString(SettingsSection, key, defaultValue);
}

void TSettings::SaveSettingInt(std::string_view key, int value)
{
    CheckWritable();
    FIniFile.WriteInteger(SettingsSection, key, value);
}

void TSettings::SaveSettingStr(std::string_view key, std::string_view value)
{
    CheckWritable();
    FIniFile.WriteString(SettingsSection, key, value);
}

std::string TSettings::ReadScreenSetting(std::string_view key, std::string_view defaultValue) const
{
    const std::string section = ScreenSection();
    return section.empty() ? std::string(defaultValue) : FIniFile.ReadString(section, key, defaultValue);
}

int TSettings::ReadScreenSettingInt(std::string_view key, int defaultValue) const
{
    const std::string section = ScreenSection();
    return section.empty() ? defaultValue : FIniFile.ReadInteger(section, key, defaultValue);
}

void TSettings::SaveScreenStr(std::string_view key, std::string_view value)
{
    CheckWritable();
    if (const std::string section = ScreenSection(); !section.empty())
        FIniFile.WriteString(section, key, value);
}

void TSettings::SaveScreenInt(std::string_view key, int value)
{
    SaveScreenStr(key, std::to_string(value));
}

std::string TSettings::ReadStr(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    return FIniFile.ReadString(section, key, defaultValue);
}

void TSettings::SaveStr(std::string_view section, std::string_view key, std::string_view value)
{
    CheckWritable();
    FIniFile.WriteString(section, key, value);
}

void TSettings::SetGroupFileSize(std::int64_t value)
{
    if (value == GroupFileSize())
        return;
    FGroupFileSize = value;
    FScanSettingsChanged = true;
}

void TSettings::SetGroupSmallFiles(bool value)
{
    if (value == GroupSmallFiles())
        return;
    FGroupSmallFiles = value;
    FScanSettingsChanged = true;
}

void TSettings::SetMaxMruItems(std::uint16_t value)
{
    const std::uint16_t old = MaxMruItems();
    if (value == old)
        return;
    if (value > old)
        FScanSettingsChanged = true;
    FMaxMruItems = value;
}

void TSettings::SetTreeViewRefreshRate(int value)
{
    FTreeViewRefreshRate = std::clamp(value, 100, 10000);
}

void TSettings::SetFileSizeRounding(TRoundingStyle value)
{
    if (value >= rsNone && value <= rsTruncate)
        FFileSizeRounding = value;
}

void TSettings::SetPaintOption(TZuPaintOption option, bool includeOption)
{
    TZuPaintOptions options = PaintOptions();
    if (includeOption)
        options.Include(option);
    else
        options.Exclude(option);
    SetPaintOptions(options);
}

void TSettings::SetScreenSectionSource(std::function<std::string()> source)
{
    std::scoped_lock guard(Hooks().Lock);
    Hooks().ScreenSource = std::move(source);
}

std::string TSettings::ScreenSection()
{
    std::function<std::string()> source;
    {
        std::scoped_lock guard(Hooks().Lock);
        source = Hooks().ScreenSource;
    }
    return source ? source() : std::string();
}

std::string TSettings::ScreenSectionName(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

void TSettings::SetPainterClassResolver(std::function<std::string(std::string_view)> resolver)
{
    std::scoped_lock guard(Hooks().Lock);
    Hooks().PainterResolver = std::move(resolver);
}
