#include "settings/TreeViewStates.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "settings/Settings.h"
#include "settings/VirtualTreeUtils.h"
#include "support/TempTree.h"

namespace {

// Columns that move like a header view: setting a position takes the column out of the
// display order and puts it back in at the new place.
class TColumns final : public IColumnCollection
{
public:
    explicit TColumns(std::vector<int> widths)
        : FWidths(std::move(widths))
        , FVisible(FWidths.size(), true)
    {
        for (int i = 0; i < Count(); ++i)
            FOrder.push_back(i);
    }
    int Count() const override { return static_cast<int>(FWidths.size()); }
    int Width(int column) const override { return FWidths.at(static_cast<std::size_t>(column)); }
    void SetWidth(int column, int width) override { FWidths.at(static_cast<std::size_t>(column)) = width; }
    bool Visible(int column) const override { return FVisible.at(static_cast<std::size_t>(column)); }
    void SetVisible(int column, bool visible) override { FVisible.at(static_cast<std::size_t>(column)) = visible; }
    int Position(int column) const override
    {
        return static_cast<int>(std::find(FOrder.begin(), FOrder.end(), column) - FOrder.begin());
    }
    void SetPosition(int column, int position) override
    {
        ASSERT_GE(position, 0);
        ASSERT_LT(position, Count());
        FOrder.erase(FOrder.begin() + Position(column));
        FOrder.insert(FOrder.begin() + position, column);
    }

private:
    std::vector<int> FWidths;
    std::vector<bool> FVisible;
    std::vector<int> FOrder; // column indexes in display order
};

TColumns InitialColumns()
{
    return TColumns({196, 90, 100, 285, 105});
}

TEST(ColumnLayoutTest, WidthTexts)
{
    TColumns columns = InitialColumns();
    EXPECT_EQ(ColumnWidthsToString(columns), "196,90,100,285,105");

    StringToColumnWidths("200,91,0,286,-105", columns);
    EXPECT_EQ(columns.Width(0), 200);
    EXPECT_FALSE(columns.Visible(2)) << "0 hides";
    EXPECT_FALSE(columns.Visible(4));
    EXPECT_EQ(columns.Width(4), 105);
    EXPECT_EQ(ColumnWidthsToString(columns), "200,91,0,286,-105") << "a hidden column stays negative";

    const struct
    {
        const char *text;
        const char *expected;
    } cases[] = {
        {"", "196,90,100,285,105"},
        {"50", "50,90,100,285,105"},
        {"50,x,,-7", "50,90,100,-7,105"},
        {"1,2,3,4,5,6,7", "1,2,3,4,5"},
        {"-2147483648,2147483647", "-2147483647,2147483647,100,285,105"},
        {"99999999999", "2147483647,90,100,285,105"},
    };
    for (const auto &c : cases) {
        TColumns fresh = InitialColumns();
        StringToColumnWidths(c.text, fresh);
        EXPECT_EQ(ColumnWidthsToString(fresh), c.expected) << c.text;
    }
}

TEST(ColumnLayoutTest, PositionTextsRestoreTheOrder)
{
    TColumns columns = InitialColumns();
    EXPECT_EQ(ColumnPositionsToString(columns), "0,1,2,3,4");
    columns.SetPosition(3, 0); // the user drags "Percent" to the far left
    EXPECT_EQ(ColumnPositionsToString(columns), "1,2,3,0,4");

    const char *orders[] = {"1,2,3,0,4", "4,3,2,1,0", "2,0,1,4,3", "0,1,2,3,4", "1,0,4,2,3"};
    for (const char *order : orders) {
        TColumns fresh = InitialColumns();
        fresh.SetPosition(4, 0); // whatever the grid shows before
        StringToColumnPositions(order, fresh);
        EXPECT_EQ(ColumnPositionsToString(fresh), order);
    }

    const struct
    {
        const char *text;
        const char *expected;
    } damaged[] = {
        {"", "0,1,2,3,4"},
        {"x,y", "0,1,2,3,4"},
        {"-3", "0,1,2,3,4"},
        {"1,0", "1,0,2,3,4"},
        {"99,0,1,2,3", "4,0,1,2,3"},
    };
    for (const auto &c : damaged) {
        TColumns fresh = InitialColumns();
        StringToColumnPositions(c.text, fresh);
        EXPECT_EQ(ColumnPositionsToString(fresh), c.expected) << c.text;
    }
}

TEST(TreeViewStateTest, KeySuffixes)
{
    const struct
    {
        const char *suffix;
        const char *key;
    } cases[] = {
        {"TreeView", "TreeView"},
        {"LargeFiles", "LargeFiles"},
        {"", ""},
        {"1st View", "_1st_View"},
        {"Gr\xC3\xB6\xC3\x9F"
         "e \xC3\x84rger \xC3\xBC\xC3\x9C\xC3\xA4\xC3\x96",
            "Groesse_Aerger_ueUeaeOe"},
        {"a=b;[c]", "a_b__c_"},
        {"\xFF", "_"},
    };
    for (const auto &c : cases) {
        TTreeViewState state;
        state.SetKeySuffix(c.suffix);
        EXPECT_EQ(state.Key(), c.key) << c.suffix;
    }
}

TEST(TreeViewStateTest, ZumbrelStatesAndTheirKeys)
{
    TZumbrelTreeviewStates states;
    ASSERT_EQ(states.Count(), 2);
    EXPECT_EQ(&states.GetItem(0), &states.DirScanView());
    EXPECT_EQ(&states.GetItem(1), &states.LargeFilesView());
    EXPECT_EQ(states.DirScanView().Caption(), "Folders && Files");
    EXPECT_EQ(states.LargeFilesView().Caption(), "Largest Files");
    EXPECT_EQ(states.DirScanView().ColWidthsKey(), "ColWidthsTreeView");
    EXPECT_EQ(states.LargeFilesView().SortDirectionKey(), "SortDirectionLargeFiles");
    EXPECT_EQ(states.DirScanView().SortColumn(), 0);
    EXPECT_THROW((void)states.GetItem(2), std::out_of_range);
}

TEST(TreeViewStateTest, StatesKeepWidthsPerScreenAndOrderOnce)
{
    TempTree tree;
    TRecordedBoxes boxes;
    std::string screen = "1920x1080";
    TSettings::SetScreenSectionSource([&screen] { return screen; });
    TSettings settings(tree / "Zumbrel.ini");

    TZumbrelTreeviewStates states;
    states.LoadFrom(settings); // nothing stored yet
    EXPECT_EQ(states.DirScanView().ColumnWidths(), "");
    EXPECT_EQ(states.DirScanView().SortColumn(), 1);
    EXPECT_EQ(states.DirScanView().SortDirection(), 1);

    states.DirScanView().SetColumnWidths("300,90,100,285,-105");
    states.DirScanView().SetColumnPositions("1,2,3,0,4");
    states.DirScanView().SetSortColumn(-1);
    states.DirScanView().SetSortDirection(0);
    states.SaveTo(settings);

    screen = "1024x768";
    TZumbrelTreeviewStates other;
    other.LoadFrom(settings);
    EXPECT_EQ(other.DirScanView().ColumnWidths(), "") << "widths belong to the other resolution";
    EXPECT_EQ(other.DirScanView().ColumnPositions(), "1,2,3,0,4");
    EXPECT_EQ(other.DirScanView().SortColumn(), -1);
    EXPECT_EQ(other.DirScanView().SortDirection(), 0);
    EXPECT_EQ(other.LargeFilesView().SortColumn(), 1);

    screen = "1920x1080";
    other.LoadFrom(settings);
    EXPECT_EQ(other.DirScanView().ColumnWidths(), "300,90,100,285,-105");
    EXPECT_EQ(settings.ReadStr("1920x1080", "ColWidthsTreeView", ""), "300,90,100,285,-105");
    EXPECT_EQ(settings.ReadSettingStr("ColPositionsLargeFiles", "missing"), "");
    TSettings::SetScreenSectionSource(nullptr);
}

} // namespace
