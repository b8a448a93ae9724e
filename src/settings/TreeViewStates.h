#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TSettings;

// One arrangement of a tree view in text form (see VirtualTreeUtils.h for the texts).
class TTreeViewState
{
public:
    [[nodiscard]] const std::string &Caption() const { return FCaption; }
    void SetCaption(std::string value) { FCaption = std::move(value); }
    [[nodiscard]] const std::string &ColumnWidths() const { return FColumnWidths; }
    void SetColumnWidths(std::string value) { FColumnWidths = std::move(value); }
    [[nodiscard]] const std::string &ColumnPositions() const { return FColumnPositions; }
    void SetColumnPositions(std::string value) { FColumnPositions = std::move(value); }
    // The grid's sort column; -1 (no sort column) passes through.
    [[nodiscard]] int SortColumn() const { return FSortColumn; }
    void SetSortColumn(int value) { FSortColumn = value; }
    // 0 ascending, 1 descending.
    [[nodiscard]] int SortDirection() const { return FSortDirection; }
    void SetSortDirection(int value) { FSortDirection = value; }

    // Stores the suffix as a part of INI keys: see KeySuffixToKey.
    void SetKeySuffix(std::string_view suffix);
    [[nodiscard]] const std::string &Key() const { return FKey; }

    // Settings keys of this state.
    [[nodiscard]] std::string ColWidthsKey() const { return "ColWidths" + FKey; }
    [[nodiscard]] std::string ColPositionsKey() const { return "ColPositions" + FKey; }
    [[nodiscard]] std::string SortColumnKey() const { return "SortColumn" + FKey; }
    [[nodiscard]] std::string SortDirectionKey() const { return "SortDirection" + FKey; }

private:
    std::string FCaption;
    std::string FColumnWidths;
    std::string FColumnPositions;
    std::string FKey;
    int FSortDirection = 0;
    int FSortColumn = 0;
};

// A text usable inside an INI key: empty stays empty, a leading digit gets "_" in front,
// A-Z, a-z, 0-9 and "_" stay, German umlauts and ß are spelled out (ä -> ae), every other
// character becomes "_". "TreeView" stays "TreeView".
[[nodiscard]] std::string KeySuffixToKey(std::string_view suffix);

// Owns its states in the order they were added.
class TTreeViewStateList
{
public:
    virtual ~TTreeViewStateList() = default;

    [[nodiscard]] int Count() const { return static_cast<int>(FList.size()); }
    // std::out_of_range outside 0 ... Count-1.
    [[nodiscard]] TTreeViewState &GetItem(int index) const;
    // Appends a new state with this caption and key suffix.
    TTreeViewState &AddState(std::string caption, std::string_view keySuffix);

    // Every state from the settings file: widths from the screen section, positions and sort
    // from "Settings" (empty texts, sort column 1 and direction 1 when missing).
    void LoadFrom(const TSettings &settings);
    // Every state into the settings file, the same keys. Throws when a write fails.
    void SaveTo(TSettings &settings) const;

private:
    std::vector<std::unique_ptr<TTreeViewState>> FList;
};

// The main window's two views: "Folders & Files" (key TreeView) and "Largest Files" (key
// LargeFiles), captions translated when the list is created.
class TZumbrelTreeviewStates : public TTreeViewStateList
{
public:
    TZumbrelTreeviewStates();

    [[nodiscard]] TTreeViewState &DirScanView() const { return *FDirScanView; }
    [[nodiscard]] TTreeViewState &LargeFilesView() const { return *FLargeFilesView; }

private:
    TTreeViewState *FDirScanView; // owned by the list
    TTreeViewState *FLargeFilesView; // owned by the list
};
