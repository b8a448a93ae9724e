#pragma once

#include <QStyledItemDelegate>

#include "ui/model/FileTreeModel.h"

class QPainter;

// What the delegate asks for each cell: texts, text styles, icons and the percentage bar.
// Every call runs on the user interface thread; a null node is the placeholder row.
class IFileTreeCells
{
public:
    virtual ~IFileTreeCells() = default;
    [[nodiscard]] virtual QString GetText(const TFileSystemNode *node, int column, TTextType type) const = 0;
    // Text style of a cell: may change the font and its colour.
    virtual void PaintText(
        const TFileSystemNode *node, int column, TTextType type, bool selected, QFont &font, QColor &color) const = 0;
    // The percentage bar of a row into `rect` (the cell rectangle).
    virtual void PaintPercentBar(const TFileSystemNode *node, QPainter &painter, const QRect &rect, bool selected) = 0;
    // The icon of a cell and whether it is drawn faded; a null icon when there is none.
    virtual QIcon GetImage(const TFileSystemNode *node, int column, TImageKind kind, bool expanded, bool &ghosted) = 0;
};

// Draws every cell of the file tree itself, reading each row's node through the model's access.
class TFileTreeDelegate final : public QStyledItemDelegate
{
public:
    TFileTreeDelegate(IFileTreeCells &cells, TFileTreeModel &model, QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    IFileTreeCells &FCells;
    TFileTreeModel &FModel;
};
