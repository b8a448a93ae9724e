#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractScrollArea>
#include <QIcon>
#include <QStringList>

class TZuBarChartPainter;
class TZumbrelBarChartPainter;

// One tile of the start page.
struct TFileListItem
{
    QString Caption;
    int ImageIndex = -1; // system image list index
    int GroupId = 0;
    // Shown lines below the caption: for drives the percent text, an empty entry and the
    // free space text; for recent folders the display name when it differs.
    QStringList SubItems;
    std::string Path; // raw bytes
    std::int64_t TotalSize = 0;
    std::int64_t FreeSize = -1; // -1: not known
};

// The start page: drives, removable media, network locations and recent folders as tiles in
// collapsible groups. It draws every tile itself; the usage bar of a drive tile comes from the
// bar painter in use over a grey track. Opening a tile (double click on its icon or text, or
// Enter) reports its path.
class TFavoriteListView final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum TGroup { GroupDrives = 0, GroupRemovables = 1, GroupNetwork = 2, GroupRecent = 3, GroupCount = 4 };
    static constexpr int TileWidth = 300;
    static constexpr int TileHeight = 76;
    static constexpr int TileSpacing = 6;
    static constexpr int IconSize = 48;

    explicit TFavoriteListView(QWidget *parent = nullptr);
    ~TFavoriteListView() override;

    // Changes inside one bracket lay out and repaint once, at its end.
    void BeginUpdate();
    void EndUpdate();
    void Clear();
    int AddItem(TFileListItem item);
    [[nodiscard]] int Count() const { return static_cast<int>(FItems.size()); }
    [[nodiscard]] const TFileListItem &Item(int index) const { return FItems.at(static_cast<std::size_t>(index)); }
    [[nodiscard]] const std::vector<TFileListItem> &Items() const { return FItems; }
    // Replaces the sub items and sizes of an existing tile and repaints it.
    void SetItemSizes(int index, QStringList subItems, std::int64_t totalSize, std::int64_t freeSize);

    // Header of group 0, 1 or 3: its name, with " (count)" when count is above 0.
    void SetGroupCount(int groupId, int count);
    [[nodiscard]] QString GroupHeader(int groupId) const;
    [[nodiscard]] bool GroupVisible(int groupId) const;
    [[nodiscard]] bool GroupCollapsed(int groupId) const;
    void SetGroupCollapsed(int groupId, bool collapsed);

    // Not owned; null draws no bar.
    void SetPercentBarPainter(TZuBarChartPainter *painter);
    void SetPaintBackgroundShape(bool value);
    [[nodiscard]] bool PaintBackgroundShape() const { return FPaintBackgroundShape; }
    // How image indices become icons; the system image list unless set.
    void SetIconSource(std::function<QIcon(int)> source);
    // Texts that follow the language (group names); call after a language switch.
    void Retranslate();

    [[nodiscard]] int SelectedIndex() const { return FSelected; }
    void SetSelectedIndex(int index);
    // Bounds of a tile, its icon and its text area in viewport coordinates; empty when the
    // tile is hidden (its group collapsed).
    [[nodiscard]] QRect ItemRect(int index) const;
    [[nodiscard]] QRect IconRect(int index) const;
    [[nodiscard]] QRect LabelRect(int index) const;
    // The header of a group in viewport coordinates; empty when the group is not shown.
    [[nodiscard]] QRect GroupRect(int groupId) const;
    // The tile whose icon or text area holds the point, or -1 (margins and gaps are no hit).
    [[nodiscard]] int ItemAt(const QPoint &viewportPos) const;
    // The caption and the other texts of a tile, as a screen reader tells them.
    [[nodiscard]] QString ItemDescription(int index) const;
    // Opens the tile: reports its path.
    void OpenItem(int index);
    void EnsureVisible(int index);

    // The usage fraction and percent text of a drive: percent rounded to nearest with halves
    // to even; a total of 0 gives 0.
    [[nodiscard]] static double UsedFraction(std::int64_t total, std::int64_t free);
    [[nodiscard]] static int UsedPercent(std::int64_t total, std::int64_t free);

signals:
    void ProcessPath(const std::string &path);
    void SelectItem(int index, bool selected);
    // A right click on a tile: the commands for its path belong to the window.
    void ItemContextMenu(const std::string &path, const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void Relayout();
    void DrawItem(QPainter &painter, int index);
    void DrawText(QPainter &painter, const QRect &r, const QString &text, const QColor &color) const;
    void DrawDriveBar(QPainter &painter, const QRect &r, const TFileListItem &item);
    [[nodiscard]] QString GroupName(int groupId) const;
    [[nodiscard]] int GroupAt(const QPoint &viewportPos) const;
    void NotifyAccessibility();

    std::vector<TFileListItem> FItems;
    std::vector<QRect> FItemRects; // content coordinates
    QRect FGroupRects[GroupCount];
    bool FCollapsed[GroupCount] = {false, false, false, false};
    int FGroupCounts[GroupCount] = {0, 0, 0, 0};
    int FUpdateCount = 0;
    int FSelected = -1;
    int FHot = -1;
    TZuBarChartPainter *FPercentBarPainter = nullptr;
    std::unique_ptr<TZumbrelBarChartPainter> FBackgroundPainter;
    bool FPaintBackgroundShape = true;
    std::function<QIcon(int)> FIconSource;
};
