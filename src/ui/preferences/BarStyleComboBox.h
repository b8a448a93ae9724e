#pragma once

#include <QComboBox>
#include <QStyledItemDelegate>

class QPainter;
struct TRect;

// Draws one entry of the bar style list: the entry's text names a registered bar painter
// (its display name), which draws a full bar (ratio 1.0) with that text. A selected entry is
// filled with the highlight colour and drawn with DrawSelectedBar, any other with the window
// colour and DrawBar. An entry that names no painter is not drawn. The painter is made for
// this one drawing.
//
// `rect` is the item rectangle; the bar takes it shrunk by `margin` pixels on every side.
void DrawBarStyleItem(QPainter &painter, const QRect &rect, const QString &text, bool selected, int margin,
    const QFont &font, const QPalette &palette);

// The open list's entries: 22 pixels high, the bar 3 pixels inside.
class TBarStyleItemDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int ItemHeight = 22;
    static constexpr int Margin = 3;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The drop-down list of bar styles, every entry drawn by its own painter (see
// DrawBarStyleItem): in the edit part the whole 16-pixel item is the bar, shown selected while
// the list has the focus; ten entries are visible when it is open.
class TBarStyleComboBox final : public QComboBox
{
    Q_OBJECT

public:
    static constexpr int EditItemHeight = 16;

    explicit TBarStyleComboBox(QWidget *parent = nullptr);
    // The rectangle of the edit part's item, in widget coordinates.
    [[nodiscard]] QRect EditItemRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
