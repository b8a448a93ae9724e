#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/SizeText.h"
#include "settings/ZuIniFile.h"

// A failure of the settings store; the message is meant for the user.
class ESettingsError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum TZuPaintOption { poPaintBackgroundShape = 0 };

// A set of paint options (bit i = option i).
class TZuPaintOptions
{
public:
    constexpr TZuPaintOptions() = default;
    constexpr TZuPaintOptions(std::initializer_list<TZuPaintOption> options)
    {
        for (const TZuPaintOption option : options)
            FBits = static_cast<std::uint8_t>(FBits | Bit(option));
    }
    static constexpr TZuPaintOptions FromBits(std::uint8_t bits)
    {
        TZuPaintOptions options;
        options.FBits = static_cast<std::uint8_t>(bits & 1);
        return options;
    }
    [[nodiscard]] constexpr bool Contains(TZuPaintOption option) const { return (FBits & Bit(option)) != 0; }
    constexpr void Include(TZuPaintOption option) { FBits = static_cast<std::uint8_t>(FBits | Bit(option)); }
    constexpr void Exclude(TZuPaintOption option) { FBits = static_cast<std::uint8_t>(FBits & ~Bit(option)); }
    [[nodiscard]] constexpr std::uint8_t Bits() const { return FBits; }
    friend constexpr bool operator==(TZuPaintOptions, TZuPaintOptions) = default;

private:
    static constexpr std::uint8_t Bit(TZuPaintOption option) { return static_cast<std::uint8_t>(1u << option); }
    std::uint8_t FBits = 0;
};

class TSettings;
using TSettingsEvent = std::function<void(TSettings &)>;

enum class TSettingsAccess { ReadWrite, ReadOnly };

// The user's preferences and typed access to every key of the settings file
// (~/.config/Zumbrel/Zumbrel.ini, $XDG_CONFIG_HOME honoured).
//
// Preferences live in memory: Load reads them once at start, Save writes them once at exit,
// under the file's lock and on the file as it is then, only the keys whose values differ from
// what this object last read or wrote (two windows keep each other's changes). Values that
// could not be stored again (a language code with a NUL byte) are dropped at Load.
// The other keys go through to the file at once. Load and Save never throw: a failure is shown
// in an error box and the remaining steps are skipped.
//
// Threads: the user interface thread owns the object; scan threads may read GroupSmallFiles,
// GroupFileSize and MaxMruItems at any time (each value is read whole, a thread starting during
// Assign may see a mix of old and new values). Everything else is for the owning thread only.
class TSettings
{
public:
    static constexpr std::string_view SettingsSection = "Settings";
    static constexpr std::string_view DefaultBarChartPainterClass = "TDefaultBarChartPainter";
    static constexpr std::int64_t DefaultGroupFileSize = 1048576;
    static constexpr int DefaultTreeViewRefreshRate = 500;
    static constexpr std::uint16_t DefaultMaxMruItems = 20;

    // Opens the settings file `fileName` with every preference at its default; the language
    // default is the translation engine's current language. A ReadOnly object never changes the
    // file: its writes throw ESettingsError.
    explicit TSettings(std::string fileName, TSettingsAccess access = TSettingsAccess::ReadWrite);
    ~TSettings();
    TSettings(const TSettings &) = delete;
    TSettings &operator=(const TSettings &) = delete;

    // The process-wide settings, created on first use on DefaultFileName(true) (which may throw
    // ESettingsError). User interface thread.
    static TSettings &GetInstance();
    // Replaces the process-wide settings (null frees them); returns the previous ones.
    static std::unique_ptr<TSettings> InstallInstance(std::unique_ptr<TSettings> settings);
    static void FreeInstance() { InstallInstance(nullptr); }

    // "<application data folder>/Zumbrel/Zumbrel.ini". With `createDirectory` the folder is
    // created with its missing parents; ESettingsError "The application data directory '%s'
    // could not be created." when that fails.
    static std::string DefaultFileName(bool createDirectory);

    // The settings file read-only, for programs that must not change it (zumbrel-cli): no
    // folder is created. Empty `fileName`: DefaultFileName(false).
    static std::unique_ptr<TSettings> OpenReadOnly(std::string fileName = {});

    // A new object on the same file with every value copied by Assign. Owned by the caller.
    [[nodiscard]] std::unique_ptr<TSettings> GetClone() const;
    // Copies the preferences and ScanSettingsChanged; not the file.
    void Assign(const TSettings &source);

    [[nodiscard]] const std::string &GetFileName() const { return FIniFile.FileName(); }
    // True for an object opened with TSettingsAccess::ReadOnly: every write throws.
    [[nodiscard]] bool IsReadOnly() const { return FAccess == TSettingsAccess::ReadOnly; }
    [[nodiscard]] TZuIniFile &IniFile() { return FIniFile; }

    void Load();
    void Save();

    // Keys of the section "Settings".
    [[nodiscard]] int ReadSettingInt(std::string_view key, int defaultValue) const;
    [[nodiscard]] std::string ReadSettingStr(std::string_view key, std::string_view defaultValue) const;
    void SaveSettingInt(std::string_view key, int value);
    void SaveSettingStr(std::string_view key, std::string_view value);
    // Keys of the current screen section (see ScreenSection). Without a screen the reads give
    // the default and the writes do nothing.
    [[nodiscard]] std::string ReadScreenSetting(std::string_view key, std::string_view defaultValue) const;
    [[nodiscard]] int ReadScreenSettingInt(std::string_view key, int defaultValue) const;
    void SaveScreenStr(std::string_view key, std::string_view value);
    void SaveScreenInt(std::string_view key, int value);
    // Any section.
    [[nodiscard]] std::string ReadStr(
        std::string_view section, std::string_view key, std::string_view defaultValue) const;
    void SaveStr(std::string_view section, std::string_view key, std::string_view value);

    // Preferences.
    [[nodiscard]] std::int64_t GroupFileSize() const { return FGroupFileSize.load(std::memory_order_relaxed); }
    void SetGroupFileSize(std::int64_t value);
    [[nodiscard]] bool GroupSmallFiles() const { return FGroupSmallFiles.load(std::memory_order_relaxed); }
    void SetGroupSmallFiles(bool value);
    [[nodiscard]] std::uint16_t MaxMruItems() const { return FMaxMruItems.load(std::memory_order_relaxed); }
    void SetMaxMruItems(std::uint16_t value);
    [[nodiscard]] int TreeViewRefreshRate() const { return FTreeViewRefreshRate.load(std::memory_order_relaxed); }
    // Clamped to 100 ... 10000 milliseconds.
    void SetTreeViewRefreshRate(int value);
    [[nodiscard]] TRoundingStyle FileSizeRounding() const { return FFileSizeRounding.load(std::memory_order_relaxed); }
    // Values outside rsNone ... rsTruncate are ignored.
    void SetFileSizeRounding(TRoundingStyle value);
    [[nodiscard]] const std::string &LanguageCode() const { return FLanguageCode; }
    void SetLanguageCode(std::string value) { FLanguageCode = std::move(value); }
    [[nodiscard]] TZuPaintOptions PaintOptions() const
    {
        return TZuPaintOptions::FromBits(FPaintOptions.load(std::memory_order_relaxed));
    }
    void SetPaintOptions(TZuPaintOptions value) { FPaintOptions.store(value.Bits(), std::memory_order_relaxed); }
    void SetPaintOption(TZuPaintOption option, bool includeOption);
    // The class name of the bar painter ("TDefaultBarChartPainter").
    [[nodiscard]] const std::string &BarChartPainterClass() const { return FBarChartPainterClass; }
    void SetBarChartPainterClass(std::string value) { FBarChartPainterClass = std::move(value); }
    // Set by changes that take effect with the next analysis; cleared by whoever announces it.
    [[nodiscard]] bool ScanSettingsChanged() const { return FScanSettingsChanged.load(std::memory_order_relaxed); }
    void SetScanSettingsChanged(bool value) { FScanSettingsChanged.store(value, std::memory_order_relaxed); }

    // The screen section: "<width>x<height>" of the primary screen, asked anew at every call
    // from the installed source; empty when none is installed or it reports no screen.
    static void SetScreenSectionSource(std::function<std::string()> source);
    [[nodiscard]] static std::string ScreenSection();
    [[nodiscard]] static std::string ScreenSectionName(int width, int height);

    // Resolves a stored painter class name to the name of a registered class (case as the
    // registry spells it), or empty when none has it. Installed by the program that has the
    // painter registry; without one only TDefaultBarChartPainter is known.
    static void SetPainterClassResolver(std::function<std::string(std::string_view)> resolver);

private:
    void CheckWritable() const;
    // The text each preference is stored as, in the order Save writes them.
    [[nodiscard]] std::vector<std::pair<std::string_view, std::string>> PreferenceTexts() const;

    TZuIniFile FIniFile;
    TSettingsAccess FAccess;
    std::atomic<std::int64_t> FGroupFileSize {DefaultGroupFileSize};
    std::string FLanguageCode;
    std::atomic<bool> FScanSettingsChanged {false};
    std::atomic<int> FTreeViewRefreshRate {DefaultTreeViewRefreshRate};
    std::atomic<bool> FGroupSmallFiles {true};
    std::atomic<std::uint8_t> FPaintOptions {TZuPaintOptions {poPaintBackgroundShape}.Bits()};
    std::atomic<TRoundingStyle> FFileSizeRounding {rsTruncate};
    std::string FBarChartPainterClass {DefaultBarChartPainterClass};
    std::atomic<std::uint16_t> FMaxMruItems {DefaultMaxMruItems};
    // The preferences' texts as the file held them at Load or the last Save (a missing key: the
    // default): Save writes only the keys whose text differs or that the file lacks, so that
    // another window's changes to the others survive.
    std::map<std::string, std::string, std::less<>> FStoredTexts;
};
