#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

#include "common/MessageBoxes.h"
#include "common/TextUtils.h"
#include "paint/Skins.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "settings/VirtualTreeUtils.h"
#include "ui/FormMain.h"

// Preferences, window placement, column layout and sorting of the tree, recent folders.

void TFormMain::ApplySettings(const TSettings &settings)
{
    FTimerTreeRefresh.setInterval(std::clamp(settings.TreeViewRefreshRate(), 100, 10000));
    FOptions.FileSizeRounding = settings.FileSizeRounding();
    FFileSizeStrProc = FOptions.FileSizeRounding == rsBankers ? FileSizeToStrRounded : FileSizeToStrTruncated;
    TZuBarChartPainterClass painterClass
        = TZuBarChartPainterRegistry::GetInstance().FindClassByClassName(settings.BarChartPainterClass());
    FPercentBarPainter = painterClass ? painterClass->Create() : PainterClassOf<TDefaultBarChartPainter>()->Create();
    FPaintBackgroundShape = settings.PaintOptions().Contains(poPaintBackgroundShape);
    FOptions.GroupSmallFiles = settings.GroupSmallFiles();
    FOptions.GroupFileSize = settings.GroupFileSize();
    FOptions.MaxMruItems = settings.MaxMruItems();
    FMRUDirList.SetMaxItems(settings.MaxMruItems());
    FTree->viewport()->update();
    ApplyNavigationSettings();
}

namespace {

// The header of the tree as the layout texts see it.
class THeaderColumns final : public IColumnCollection
{
public:
    // `hiddenWidths` keeps the widths of hidden columns between uses: the header forgets them.
    THeaderColumns(QHeaderView &header, std::map<int, int> &hiddenWidths)
        : FHeader(header)
        , FHidden(hiddenWidths)
    { }
    [[nodiscard]] int Count() const override { return FHeader.count(); }
    [[nodiscard]] int Width(int column) const override
    {
        if (!FHeader.isSectionHidden(column))
            return FHeader.sectionSize(column);
        const auto it = FHidden.find(column);
        return it != FHidden.end() ? it->second : FHeader.defaultSectionSize();
    }
    void SetWidth(int column, int width) override
    {
        // The tree column always keeps a usable width: without it nothing of the tree shows.
        if (column == 0 && width <= 0)
            return;
        FHidden[column] = width;
        if (FHeader.sectionResizeMode(column) != QHeaderView::Stretch)
            FHeader.resizeSection(column, width);
    }
    [[nodiscard]] bool Visible(int column) const override { return !FHeader.isSectionHidden(column); }
    void SetVisible(int column, bool visible) override
    {
        // The window offers no way to show a column again; the tree column is never hidden.
        FHeader.setSectionHidden(column, column != 0 && !visible);
    }
    [[nodiscard]] int Position(int column) const override { return FHeader.visualIndex(column); }
    void SetPosition(int column, int position) override { FHeader.moveSection(FHeader.visualIndex(column), position); }

private:
    QHeaderView &FHeader;
    std::map<int, int> &FHidden;
};

// "%d,%d,%d,%d" or with ";": four integers, or false.
bool ParseRect(const std::string &text, QRect &rect)
{
    std::vector<std::string> parts;
    SplitText(text, ",;", parts);
    if (parts.size() != 4)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i)
        if (!TryStrToInt(parts[static_cast<std::size_t>(i)], v[i]))
            return false;
    rect = QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
    return true;
}

} // namespace

void TFormMain::StoreTreeViewState(TTreeViewState *state)
{
    if (!state)
        return;
    THeaderColumns columns(*FTree->header(), FHiddenColumnWidths);
    state->SetColumnWidths(ColumnWidthsToString(columns));
    state->SetColumnPositions(ColumnPositionsToString(columns));
    state->SetSortColumn(FModel->SortColumn());
    state->SetSortDirection(FModel->SortOrder() == Qt::AscendingOrder ? 0 : 1);
}

void TFormMain::ApplyTreeViewState(TTreeViewState *state)
{
    if (!state)
        return;
    THeaderColumns columns(*FTree->header(), FHiddenColumnWidths);
    StringToColumnWidths(state->ColumnWidths(), columns);
    StringToColumnPositions(state->ColumnPositions(), columns);
    const int column
        = state->SortColumn() >= 0 && state->SortColumn() < TFileTreeModel::ColumnCount ? state->SortColumn() : 1;
    const Qt::SortOrder order = state->SortDirection() == 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
    FModel->sort(column, order);
    FTree->header()->setSortIndicator(column, order);
    UpdateChangeColumn(); // shown only while comparing, whatever the stored state says
}

namespace {

bool CompositorPlacesWindows()
{
    return QGuiApplication::platformName() == QLatin1String("wayland");
}

} // namespace

void TFormMain::LoadFormSettings()
{
    try {
        const int state = FSettings.ReadScreenSettingInt("WindowState", 0);
        const QRect screen
            = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 800, 600);
        const QRect work
            = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : screen;
        QRect defaults;
        if (work.width() < 800) {
            defaults.setLeft(work.left());
            defaults.setRight(work.right());
        } else {
            defaults.setLeft((screen.width() - 800) / 2);
            defaults.setWidth(800);
        }
        if (work.height() < 600) {
            defaults.setTop(work.top());
            defaults.setBottom(work.bottom());
        } else {
            defaults.setTop((screen.height() - 600) / 2);
            defaults.setHeight(600);
        }
        // A Wayland compositor places windows itself; a position asked for is ignored at best, so
        // only the size is taken there.
        const auto place = [this](const QRect &r) {
            if (CompositorPlacesWindows())
                resize(r.size());
            else
                setGeometry(r);
        };
        if (state == 2) {
            place(defaults);
            setWindowState(Qt::WindowMaximized);
        } else {
            QRect bounds;
            if (!ParseRect(FSettings.ReadScreenSetting("Position", ""), bounds) || bounds.width() <= 0
                || bounds.height() <= 0)
                bounds = defaults;
            place(bounds);
        }
        FTreeViewStates.LoadFrom(FSettings);
        ApplyTreeViewState(FActiveTreeViewState);
        FMRUDirList.LoadStoredText(FSettings.ReadSettingStr("MRUDirList", ""));
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
}

void TFormMain::SaveFormSettings()
{
    // One replacement of the file for all keys instead of one per key. What was written
    // before a failing step is still stored.
    std::optional<TIniFile::TUpdate> batch;
    try {
        batch.emplace(FSettings.IniFile());
        const int state = isMaximized() ? 2 : (isMinimized() ? 1 : 0);
        FSettings.SaveScreenInt("WindowState", state);
        QRect r = geometry();
        // Under Wayland the window never learns where it is: keep the stored position (from an
        // X11 session) and store only the new size.
        if (QRect stored; CompositorPlacesWindows() && ParseRect(FSettings.ReadScreenSetting("Position", ""), stored))
            r.moveTopLeft(stored.topLeft());
        char text[64];
        std::snprintf(text, sizeof text, "%d,%d,%d,%d", r.left(), r.top(), r.right() + 1, r.bottom() + 1);
        FSettings.SaveScreenStr("Position", text);
        StoreTreeViewState(FActiveTreeViewState);
        StoreLargestFilesState();
        FTreeViewStates.SaveTo(FSettings);
        // The stored form keeps its enclosing quotes, so names with blanks come back whole.
        FSettings.SaveSettingStr("MRUDirList", FMRUDirList.StoredText());
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
    try {
        if (batch)
            batch->Commit();
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
}
