#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The recently analysed folders, the oldest first, the most recent last, at most MaxItems.
// Entries are paths without trailing delimiter ("/" stays "/"); they compare by the file
// system's path rule. User interface thread only.
//
// OnChange runs after every change outside a batch and at the end of every outermost batch,
// even one that changed nothing.
class TMRUDirList
{
public:
    static constexpr int DefaultMaxItems = 9;

    std::function<void()> OnChange;

    [[nodiscard]] int Count() const { return static_cast<int>(FItems.size()); }
    // Entry `index`; std::out_of_range outside 0 ... Count-1.
    [[nodiscard]] const std::string &Get(int index) const;
    [[nodiscard]] const std::vector<std::string> &Items() const { return FItems; }
    // Index of the first entry naming the same path, or -1.
    [[nodiscard]] int IndexOf(std::string_view path) const;
    void Add(std::string entry);
    void Delete(int index);
    void Clear();

    // Entries separated by ","; an entry with a blank, a control character, a comma or a double
    // quote is put in double quotes with its double quotes doubled. A single empty entry is "".
    [[nodiscard]] std::string CommaText() const;
    // Replaces the entries by those of a comma text, as one change.
    void SetCommaText(std::string_view text);

    void BeginUpdate();
    void EndUpdate();
    class TUpdate
    {
    public:
        explicit TUpdate(TMRUDirList &list)
            : FList(list)
        {
            FList.BeginUpdate();
        }
        ~TUpdate() { FList.EndUpdate(); }
        TUpdate(const TUpdate &) = delete;
        TUpdate &operator=(const TUpdate &) = delete;

    private:
        TMRUDirList &FList;
    };

    [[nodiscard]] int MaxItems() const { return FMaxItems; }
    // Stores the maximum (negative counts as 0) and drops the oldest entries beyond it at once.
    void SetMaxItems(int value);

    // Makes the folder the most recent entry (an equal entry moves), then trims.
    void AddDirectory(std::string_view dirName);
    // Removes every entry that is the mount point of a present volume.
    void RemoveDriveEntries();
    // Removes every entry that is not an existing directory (links followed).
    void RemoveInvalidDirectories();

    // The value stored in the settings file: "'" + comma text + "'". Entries holding a line break
    // or NUL cannot be kept in a line-based file and are left out.
    [[nodiscard]] std::string StoredText() const;
    // Loads a stored value (its enclosing quotes already removed by the INI reading) and removes
    // the drive entries, as one batch.
    void LoadStoredText(std::string_view value);

private:
    void Changed();
    void Trim();

    std::vector<std::string> FItems;
    int FMaxItems = DefaultMaxItems;
    int FUpdateCount = 0;
};
