#include "ui/FileTreeDelegate.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>
#include <QTreeView>

TFileTreeDelegate::TFileTreeDelegate(IFileTreeCells &cells, TFileTreeModel &model, QObject *parent)
    : QStyledItemDelegate(parent)
    , FCells(cells)
    , FModel(model)
{ }

void TFileTreeDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const TFileTreeModel::TAccess access = FModel.Access(index);
    const bool placeholder = FModel.IsPlaceholder(index);
    const TFileSystemNode *node = access.Node();
    if (!placeholder && !node)
        return; // the node went away; the next refresh drops the row
    const bool selected = option.state & QStyle::State_Selected;
    const int column = index.column();
    QRect rect = option.rect.adjusted(2, 0, -2, 0);
    painter->save();

    if (column == 3) {
        FCells.PaintPercentBar(node, *painter, option.rect, selected);
        painter->restore();
        return;
    }
    bool ghosted = false;
    const bool expanded = widget && static_cast<const QTreeView *>(widget)->isExpanded(index.siblingAtColumn(0));
    if (column == 0 && node) {
        const QIcon icon
            = FCells.GetImage(node, 0, selected ? TImageKind::Selected : TImageKind::Normal, expanded, ghosted);
        const QRect iconRect(rect.left(), rect.top() + (rect.height() - 16) / 2, 16, 16);
        if (!icon.isNull()) {
            painter->setOpacity(ghosted ? 0.5 : 1.0);
            icon.paint(painter, iconRect);
            painter->setOpacity(1.0);
        }
        bool unused = false;
        const QIcon overlay = FCells.GetImage(node, 0, TImageKind::Overlay, expanded, unused);
        if (!overlay.isNull())
            overlay.paint(painter, iconRect);
        rect.setLeft(iconRect.right() + 5);
    }
    if (column == 1 && node) {
        bool unused = false;
        const QIcon state = FCells.GetImage(node, 1, TImageKind::State, expanded, unused);
        if (!state.isNull()) {
            state.paint(painter, QRect(rect.left(), rect.top() + (rect.height() - 16) / 2, 16, 16));
            rect.setLeft(rect.left() + 18);
        }
    }

    QFont font = option.font;
    QColor color = option.palette.color(QPalette::Text);
    if (selected)
        color = option.palette.color(QPalette::HighlightedText);
    FCells.PaintText(node, column, TTextType::Normal, selected, font, color);
    const QString text = FCells.GetText(node, column, TTextType::Normal);
    painter->setFont(font);
    painter->setPen(color);
    const Qt::Alignment align = TFileTreeModel::ColumnAlignment(column);
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width());
    painter->drawText(rect, static_cast<int>(align | Qt::TextSingleLine), shown);

    if (column == 0 && node) {
        const QString statics = FCells.GetText(node, 0, TTextType::Static);
        if (!statics.isEmpty()) {
            QRect staticRect = rect;
            staticRect.setLeft(rect.left() + QFontMetrics(font).horizontalAdvance(shown) + 8);
            QFont staticFont = option.font;
            QColor staticColor = option.palette.color(QPalette::Text);
            FCells.PaintText(node, 0, TTextType::Static, selected, staticFont, staticColor);
            painter->setFont(staticFont);
            painter->setPen(staticColor);
            painter->drawText(staticRect, static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine),
                QFontMetrics(staticFont).elidedText(statics, Qt::ElideRight, staticRect.width()));
        }
    }
    painter->restore();
}

QSize TFileTreeDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), 20));
    return size;
}
