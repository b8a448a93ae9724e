// Feeds arbitrary bytes to the INI store as its file, reads every section and key, then writes
// and erases entries and checks that nothing else of the file changed meaning.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include <unistd.h>

#include "settings/IniFile.h"

namespace {

namespace fs = std::filesystem;

// Memory-backed when possible: every write of the store flushes the file to the disk.
const std::string &FilePath()
{
    static const std::string path = [] {
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        const fs::path dir = base / ("zumbrel-fuzz-ini-" + std::to_string(::getpid()));
        fs::create_directories(dir); // run-fuzzers.sh removes it afterwards
        return (dir / "Zumbrel.ini").string();
    }();
    return path;
}

using TValues = std::map<std::pair<std::string, std::string>, std::string>;

bool SameAscii(const std::string &a, const char *b)
{
    std::string lower;
    for (const char c : a)
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower == b;
}

// What every section and key reads as, by the first spelling of each.
TValues ReadAll(const TIniFile &ini, bool skipFuzzSection)
{
    TValues values;
    for (const std::string &section : ini.ReadSections()) {
        if (skipFuzzSection && SameAscii(section, "fuzz"))
            continue;
        for (const std::string &key : ini.ReadSection(section)) {
            values[{section, key}] = ini.ReadString(section, key, "\x01missing");
            (void)ini.ReadInteger(section, key, 7);
            (void)ini.ReadBool(section, key, true);
        }
    }
    return values;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string &path = FilePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    TIniFile ini(path);
    const TValues before = ReadAll(ini, true);
    for (const auto &[name, value] : before)
        Check(value.size() <= TIniFile::MaxValueLength * 4);

    // A write changes its own key and nothing else.
    ini.WriteString("Fuzz", "Key", "a value");
    Check(ini.ReadString("Fuzz", "Key", "") == "a value");
    Check(ReadAll(ini, true) == before);

    // A batch of writes and a delete, then the section goes away as a whole.
    {
        TIniFile::TUpdate update(ini);
        ini.WriteInteger("Fuzz", "Number", -12345);
        ini.WriteBool("Fuzz", "Flag", true);
        ini.DeleteKey("Fuzz", "Key");
        update.Commit();
    }
    Check(ini.ReadInteger("Fuzz", "Number", 0) == -12345);
    Check(ini.ReadBool("Fuzz", "Flag", false));
    Check(!ini.ValueExists("Fuzz", "Key"));
    ini.EraseSection("Fuzz");
    Check(!ini.SectionExists("Fuzz"));
    Check(ReadAll(ini, true) == before);

    // A fresh object reads what the file now holds the same way.
    TIniFile again(path);
    Check(ReadAll(again, true) == before);
    return 0;
}
