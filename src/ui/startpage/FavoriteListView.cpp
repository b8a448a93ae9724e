#include "ui/startpage/FavoriteListView.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

#include <QAccessible>
#include <QContextMenuEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>

#include "common/Translate.h"
#include "paint/Canvas.h"
#include "paint/Color.h"
#include "paint/ZumbrelBarChartPainter.h"
#include "shell/SysImageList.h"
#include "ui/startpage/FavoriteListViewAccessible.h"

namespace {

constexpr int IconColumn = 64;
constexpr int TextGap = 3;

} // namespace

TFavoriteListView::TFavoriteListView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , FBackgroundPainter(TZumbrelBarChartPainter::CreateWithParams(RGBColor(199, 199, 199), RGBColor(247, 247, 247)))
    , FIconSource([](int index) { return TSysImageList::Instance().Icon(index); })
{
    InstallFavoriteListViewAccessibility();
    setObjectName(QStringLiteral("ListViewFavorites"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(TileHeight / 3);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAccessibleName(QString::fromStdString(_("Homepage")));
}

TFavoriteListView::~TFavoriteListView() = default;

void TFavoriteListView::BeginUpdate()
{
    ++FUpdateCount;
}

void TFavoriteListView::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        Relayout();
        viewport()->update();
        NotifyAccessibility();
    }
}

void TFavoriteListView::NotifyAccessibility()
{
    if (!QAccessible::isActive())
        return;
    QAccessibleTableModelChangeEvent reset(this, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&reset);
}

void TFavoriteListView::Clear()
{
    const bool hadSelection = FSelected >= 0;
    FItems.clear();
    FSelected = -1;
    FHot = -1;
    if (FUpdateCount == 0) {
        Relayout();
        viewport()->update();
        NotifyAccessibility();
    }
    if (hadSelection)
        emit SelectItem(-1, false);
}

int TFavoriteListView::AddItem(TFileListItem item)
{
    FItems.push_back(std::move(item));
    if (FUpdateCount == 0) {
        Relayout();
        viewport()->update();
        NotifyAccessibility();
    }
    return Count() - 1;
}

void TFavoriteListView::SetItemSizes(int index, QStringList subItems, std::int64_t totalSize, std::int64_t freeSize)
{
    if (index < 0 || index >= Count())
        return;
    TFileListItem &item = FItems[static_cast<std::size_t>(index)];
    item.SubItems = std::move(subItems);
    item.TotalSize = totalSize;
    item.FreeSize = freeSize;
    viewport()->update(ItemRect(index));
    if (QAccessible::isActive()) {
        QAccessibleEvent ev(this, QAccessible::DescriptionChanged);
        ev.setChild(index);
        QAccessible::updateAccessibility(&ev);
    }
}

QString TFavoriteListView::GroupName(int groupId) const
{
    switch (groupId) {
    case GroupDrives:
        return QString::fromStdString(_("Drives"));
    case GroupRemovables:
        return QString::fromStdString(_("Removable Media Devices"));
    case GroupNetwork:
        return QString::fromStdString(_("Network Locations"));
    case GroupRecent:
        return QString::fromStdString(_("Recent"));
    default:
        return {};
    }
}

void TFavoriteListView::SetGroupCount(int groupId, int count)
{
    if (groupId != GroupDrives && groupId != GroupRemovables && groupId != GroupRecent)
        return;
    FGroupCounts[groupId] = count;
    viewport()->update();
}

QString TFavoriteListView::GroupHeader(int groupId) const
{
    if (groupId < 0 || groupId >= GroupCount)
        return {};
    const int count = FGroupCounts[groupId];
    return count > 0 ? GroupName(groupId) + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')')
                     : GroupName(groupId);
}

void TFavoriteListView::Retranslate()
{
    setAccessibleName(QString::fromStdString(_("Homepage")));
    viewport()->update();
}

bool TFavoriteListView::GroupVisible(int groupId) const
{
    return std::any_of(FItems.begin(), FItems.end(), [&](const TFileListItem &i) { return i.GroupId == groupId; });
}

bool TFavoriteListView::GroupCollapsed(int groupId) const
{
    return groupId >= 0 && groupId < GroupCount && FCollapsed[groupId];
}

void TFavoriteListView::SetGroupCollapsed(int groupId, bool collapsed)
{
    if (groupId < 0 || groupId >= GroupCount)
        return;
    FCollapsed[groupId] = collapsed;
    Relayout();
    viewport()->update();
    NotifyAccessibility();
}

void TFavoriteListView::SetPercentBarPainter(TZuBarChartPainter *painter)
{
    FPercentBarPainter = painter;
    viewport()->update();
}

void TFavoriteListView::SetPaintBackgroundShape(bool value)
{
    FPaintBackgroundShape = value;
    viewport()->update();
}

void TFavoriteListView::SetIconSource(std::function<QIcon(int)> source)
{
    FIconSource = std::move(source);
    viewport()->update();
}

void TFavoriteListView::Relayout()
{
    const int width = std::max(viewport()->width(), TileWidth + 2 * TileSpacing);
    const int header = fontMetrics().height() + 10;
    const int columns = std::max(1, (width - TileSpacing) / (TileWidth + TileSpacing));
    FItemRects.assign(FItems.size(), QRect());
    int y = TileSpacing;
    for (int g = 0; g < GroupCount; ++g) {
        FGroupRects[g] = QRect();
        std::vector<std::size_t> members;
        for (std::size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i].GroupId == g)
                members.push_back(i);
        if (members.empty())
            continue; // an empty group is not shown
        FGroupRects[g] = QRect(TileSpacing, y, width - 2 * TileSpacing, header);
        y += header + TileSpacing;
        if (FCollapsed[g])
            continue;
        for (std::size_t k = 0; k < members.size(); ++k) {
            const int column = static_cast<int>(k) % columns;
            const int row = static_cast<int>(k) / columns;
            FItemRects[members[k]] = QRect(TileSpacing + column * (TileWidth + TileSpacing),
                y + row * (TileHeight + TileSpacing), TileWidth, TileHeight);
        }
        const int rows = (static_cast<int>(members.size()) + columns - 1) / columns;
        y += rows * (TileHeight + TileSpacing) + TileSpacing;
    }
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, y - viewport()->height()));
}

QRect TFavoriteListView::ItemRect(int index) const
{
    if (index < 0 || index >= static_cast<int>(FItemRects.size())
        || FItemRects[static_cast<std::size_t>(index)].isNull())
        return {};
    return FItemRects[static_cast<std::size_t>(index)].translated(0, -verticalScrollBar()->value());
}

QRect TFavoriteListView::IconRect(int index) const
{
    const QRect r = ItemRect(index);
    return r.isNull() ? QRect() : QRect(r.left() + 4, r.top() + 4, IconColumn - 8, r.height() - 8);
}

QRect TFavoriteListView::LabelRect(int index) const
{
    const QRect r = ItemRect(index);
    return r.isNull() ? QRect()
                      : QRect(QPoint(r.left() + IconColumn, r.top() + 4), QPoint(r.right() - 4, r.bottom() - 4));
}

QRect TFavoriteListView::GroupRect(int groupId) const
{
    if (groupId < 0 || groupId >= GroupCount || FGroupRects[groupId].isNull())
        return {};
    return FGroupRects[groupId].translated(0, -verticalScrollBar()->value());
}

int TFavoriteListView::ItemAt(const QPoint &viewportPos) const
{
    for (int i = 0; i < Count(); ++i)
        if (IconRect(i).contains(viewportPos) || LabelRect(i).contains(viewportPos))
            return i;
    return -1;
}

int TFavoriteListView::GroupAt(const QPoint &viewportPos) const
{
    for (int g = 0; g < GroupCount; ++g)
        if (GroupRect(g).contains(viewportPos))
            return g;
    return -1;
}

QString TFavoriteListView::ItemDescription(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    QStringList parts;
    for (const QString &s : Item(index).SubItems)
        if (!s.isEmpty())
            parts << s;
    return parts.join(QStringLiteral(", "));
}

void TFavoriteListView::SetSelectedIndex(int index)
{
    if (index < -1 || index >= Count())
        index = -1;
    if (index == FSelected)
        return;
    const int old = FSelected;
    FSelected = index;
    viewport()->update();
    if (old >= 0)
        emit SelectItem(old, false);
    if (index >= 0) {
        EnsureVisible(index);
        emit SelectItem(index, true);
        if (QAccessible::isActive() && hasFocus()) {
            QAccessibleEvent ev(this, QAccessible::Focus);
            ev.setChild(index);
            QAccessible::updateAccessibility(&ev);
        }
    }
}

void TFavoriteListView::EnsureVisible(int index)
{
    const QRect r = ItemRect(index);
    if (r.isNull())
        return;
    QScrollBar *bar = verticalScrollBar();
    if (r.top() < 0)
        bar->setValue(bar->value() + r.top() - TileSpacing);
    else if (r.bottom() > viewport()->height())
        bar->setValue(bar->value() + r.bottom() - viewport()->height() + TileSpacing);
}

void TFavoriteListView::OpenItem(int index)
{
    if (index < 0 || index >= Count())
        return;
    // A copy: opening a folder makes it the most recent one, which refills this list while
    // the receivers still hold the path.
    const std::string path = Item(index).Path;
    emit ProcessPath(path);
}

double TFavoriteListView::UsedFraction(std::int64_t total, std::int64_t free)
{
    if (total <= 0 || free < 0)
        return 0.0;
    return std::clamp(static_cast<double>(total - free) / static_cast<double>(total), 0.0, 1.0);
}

int TFavoriteListView::UsedPercent(std::int64_t total, std::int64_t free)
{
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const int percent = static_cast<int>(std::nearbyint(UsedFraction(total, free) * 100.0));
    std::fesetround(mode);
    return percent;
}

// ---------------------------------------------------------------- input

void TFavoriteListView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int group = GroupAt(pos);
        if (group >= 0) {
            SetGroupCollapsed(group, !FCollapsed[group]);
            return;
        }
    }
    const int index = ItemAt(pos);
    if (index >= 0 || event->button() == Qt::LeftButton)
        SetSelectedIndex(index);
    QAbstractScrollArea::mousePressEvent(event);
}

void TFavoriteListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Only a hit on a tile's icon or text opens it; a double click on the gap between tiles
    // does nothing, whatever is selected.
    const int index = ItemAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index >= 0 && index == FSelected)
        OpenItem(FSelected);
}

void TFavoriteListView::mouseMoveEvent(QMouseEvent *event)
{
    const int hot = ItemAt(event->position().toPoint());
    if (hot != FHot) {
        FHot = hot;
        viewport()->update();
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void TFavoriteListView::leaveEvent(QEvent *event)
{
    FHot = -1;
    viewport()->update();
    QAbstractScrollArea::leaveEvent(event);
}

void TFavoriteListView::keyPressEvent(QKeyEvent *event)
{
    const int columns = std::max(1, (viewport()->width() - TileSpacing) / (TileWidth + TileSpacing));
    // Keys move in the order of the tiles; Up and Down jump a row within the tile order.
    std::vector<int> visible;
    for (int i = 0; i < Count(); ++i)
        if (!ItemRect(i).isNull())
            visible.push_back(i);
    const auto at = std::find(visible.begin(), visible.end(), FSelected);
    const int pos = at == visible.end() ? -1 : static_cast<int>(at - visible.begin());
    int target = pos;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (FSelected >= 0)
            OpenItem(FSelected);
        return;
    case Qt::Key_Left:
        target = pos - 1;
        break;
    case Qt::Key_Right:
        target = pos + 1;
        break;
    case Qt::Key_Up:
        target = pos - columns;
        break;
    case Qt::Key_Down:
        target = pos < 0 ? 0 : pos + columns;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = static_cast<int>(visible.size()) - 1;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (visible.empty())
        return;
    target = std::clamp(target, 0, static_cast<int>(visible.size()) - 1);
    SetSelectedIndex(visible[static_cast<std::size_t>(target)]);
}

void TFavoriteListView::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Mouse) {
        const int index = ItemAt(event->pos());
        if (index >= 0)
            SetSelectedIndex(index);
    }
    if (FSelected < 0)
        return;
    const QPoint global = event->reason() == QContextMenuEvent::Mouse
        ? event->globalPos()
        : viewport()->mapToGlobal(ItemRect(FSelected).center());
    const std::string path = Item(FSelected).Path; // the receiver may refill the list
    emit ItemContextMenu(path, global);
}

void TFavoriteListView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void TFavoriteListView::scrollContentsBy(int, int)
{
    viewport()->update();
}

// ---------------------------------------------------------------- drawing

void TFavoriteListView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    for (int g = 0; g < GroupCount; ++g) {
        const QRect r = GroupRect(g);
        if (r.isNull() || !r.intersects(dirty))
            continue;
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(palette().color(QPalette::Link));
        // A chevron that shows whether the group is open.
        const QString mark = FCollapsed[g] ? QStringLiteral("\u25B8 ") : QStringLiteral("\u25BE ");
        const QString text = mark + GroupHeader(g);
        painter.drawText(r.adjusted(2, 0, 0, -2), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        const int textRight = r.left() + 2 + QFontMetrics(bold).horizontalAdvance(text) + 8;
        painter.setPen(palette().color(QPalette::Mid));
        if (textRight < r.right())
            painter.drawLine(textRight, r.center().y(), r.right(), r.center().y());
    }
    painter.setFont(font());
    for (int i = 0; i < Count(); ++i) {
        const QRect r = ItemRect(i);
        if (!r.isNull() && r.intersects(dirty))
            DrawItem(painter, i);
    }
}

void TFavoriteListView::DrawText(QPainter &painter, const QRect &r, const QString &text, const QColor &color) const
{
    // A path too long for the tile loses its middle.
    painter.setPen(color);
    painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(0, r.width())));
}

void TFavoriteListView::DrawDriveBar(QPainter &painter, const QRect &r, const TFileListItem &item)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    // Composed off screen and copied in one step.
    QImage bar(r.size(), QImage::Format_ARGB32_Premultiplied);
    bar.fill(Qt::transparent);
    {
        QPainter imagePainter(&bar);
        TCanvas canvas(imagePainter);
        canvas.SetFont(font());
        const TRect whole {0, 0, r.width(), r.height()};
        FBackgroundPainter->DrawBar(canvas, whole, QString(), 1.0);
        if (FPercentBarPainter)
            FPercentBarPainter->DrawBar(
                canvas, whole, item.SubItems.value(0), UsedFraction(item.TotalSize, item.FreeSize));
    }
    painter.drawImage(r.topLeft(), bar);
}

void TFavoriteListView::DrawItem(QPainter &painter, int index)
{
    const TFileListItem &item = Item(index);
    const QRect bounds = ItemRect(index);
    const bool selected = index == FSelected;
    const bool hot = index == FHot;
    if (selected || hot) {
        QStyleOptionViewItem option;
        option.initFrom(viewport());
        option.rect = bounds;
        option.state = QStyle::State_Enabled;
        if (selected)
            option.state |= QStyle::State_Selected;
        if (hot)
            option.state |= QStyle::State_MouseOver;
        if (hasFocus())
            option.state |= QStyle::State_Active | QStyle::State_HasFocus;
        option.showDecorationSelected = true;
        option.viewItemPosition = QStyleOptionViewItem::OnlyOne;
        style()->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, &painter, viewport());
    }
    const QRect iconRect = IconRect(index);
    if (FIconSource) {
        const QIcon icon = FIconSource(item.ImageIndex);
        if (!icon.isNull())
            icon.paint(&painter,
                QRect(iconRect.left() + (iconRect.width() - IconSize) / 2,
                    iconRect.top() + (iconRect.height() - IconSize) / 2, IconSize, IconSize));
    }
    const QColor text = palette().color(selected ? QPalette::HighlightedText : QPalette::WindowText);
    const QColor grey = selected ? text : palette().color(QPalette::PlaceholderText);
    const QRect area(QPoint(iconRect.right() + 1, bounds.top()), bounds.bottomRight());
    const int left = area.left();
    const int right = area.right() + 1;
    const int mid = area.top() + area.height() / 2;
    const int hc = fontMetrics().height();
    const bool drive = item.GroupId == GroupDrives && !item.SubItems.isEmpty();
    const bool recent = item.GroupId == GroupRecent && !item.SubItems.isEmpty();
    if (drive) {
        const int hf = hc;
        const int hb = std::max(hc, 16);
        const int t = mid - (hc + TextGap + hf + TextGap + hb) / 2;
        DrawText(painter, QRect(QPoint(left, t), QPoint(right - 4, t + hc - 1)), item.Caption, text);
        const QRect barRect(QPoint(left, t + hc + TextGap), QPoint(right - 6, t + hc + TextGap + hb - 1));
        DrawDriveBar(painter, barRect, item);
        const int fb = barRect.bottom() + 1 + TextGap;
        DrawText(painter, QRect(QPoint(left, fb), QPoint(right - 4, fb + hf - 1)), item.SubItems.value(2), grey);
    } else if (recent) {
        const int hs = hc;
        const int t = mid - (hc + hs + TextGap) / 2;
        DrawText(painter, QRect(QPoint(left, t), QPoint(right - 4, t + hc - 1)), item.Caption, text);
        DrawText(painter, QRect(QPoint(left, t + hc + TextGap), QPoint(right - 4, t + hc + TextGap + hs - 1)),
            item.SubItems.value(0), grey);
    } else {
        DrawText(
            painter, QRect(QPoint(left, mid - hc / 2), QPoint(right - 4, mid - hc / 2 + hc - 1)), item.Caption, text);
    }
}
