#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include <QIcon>
#include <QStringList>

// The program's system image list: an index names one icon, given by freedesktop icon theme
// names (the first one the theme has wins). Indices are added on first use and stay valid for
// the whole run. Index lookups may come from any thread; icons are made on the user interface
// thread only (Icon).
class TSysImageList
{
public:
    [[nodiscard]] static TSysImageList &Instance();

    // The index of the icon named by `names`, added when new.
    int IndexOfNames(const QStringList &names);
    [[nodiscard]] int Count() const;
    // The icon of `index`; a null icon for an index that does not exist. UI thread only.
    [[nodiscard]] QIcon Icon(int index);

    // Chooses the icon theme when the desktop names none that exists (bare X servers).
    static void EnsureIconTheme();

private:
    mutable std::mutex FLock;
    std::vector<QStringList> FNames;
    std::map<QString, int> FIndexOfKey;
    std::vector<QIcon> FIcons; // UI thread only
};

// The icon of a file of this name, from its MIME type guessed by the name alone (the disk is
// never touched). Any thread.
int FileIconIndexOfName(std::string_view fileName);
// The icon of a file whose type is unknown.
int UnknownFileIconIndex();
// The generic closed and open folder icons.
int FolderIconIndex(bool open);
