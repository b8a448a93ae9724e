#include "settings/TreeViewStates.h"

#include <stdexcept>

#include "common/TextUtils.h"
#include "common/Translate.h"
#include "settings/Settings.h"

std::string KeySuffixToKey(std::string_view suffix)
{
    return MakeIdentifier(suffix);
}

void TTreeViewState::SetKeySuffix(std::string_view suffix)
{
    FKey = KeySuffixToKey(suffix);
}

TTreeViewState &TTreeViewStateList::GetItem(int index) const
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("TTreeViewStateList: index " + std::to_string(index) + " out of range");
    return *FList[static_cast<std::size_t>(index)];
}

TTreeViewState &TTreeViewStateList::AddState(std::string caption, std::string_view keySuffix)
{
    auto state = std::make_unique<TTreeViewState>();
    state->SetCaption(std::move(caption));
    state->SetKeySuffix(keySuffix);
    FList.push_back(std::move(state));
    return *FList.back();
}

void TTreeViewStateList::LoadFrom(const TSettings &settings)
{
    for (const auto &state : FList) {
        state->SetColumnWidths(settings.ReadScreenSetting(state->ColWidthsKey(), ""));
        state->SetColumnPositions(settings.ReadSettingStr(state->ColPositionsKey(), ""));
        state->SetSortColumn(settings.ReadSettingInt(state->SortColumnKey(), 1));
        state->SetSortDirection(settings.ReadSettingInt(state->SortDirectionKey(), 1));
    }
}

void TTreeViewStateList::SaveTo(TSettings &settings) const
{
    for (const auto &state : FList) {
        settings.SaveScreenStr(state->ColWidthsKey(), state->ColumnWidths());
        settings.SaveSettingStr(state->ColPositionsKey(), state->ColumnPositions());
        settings.SaveSettingInt(state->SortColumnKey(), state->SortColumn());
        settings.SaveSettingInt(state->SortDirectionKey(), state->SortDirection());
    }
}

TZumbrelTreeviewStates::TZumbrelTreeviewStates()
    : FDirScanView(&AddState(_("Folders && Files"), "TreeView"))
    , FLargeFilesView(&AddState(_("Largest Files"), "LargeFiles"))
{ }
