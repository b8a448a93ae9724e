#include "ui/preferences/BarStyleComboBox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "log/Logger.h"
#include "paint/Canvas.h"
#include "paint/ZuBarChartPainterRegistry.h"

namespace {

TColor ToColor(const QColor &c)
{
    return RGBColor(c.red(), c.green(), c.blue());
}

} // namespace

void DrawBarStyleItem(QPainter &painter, const QRect &rect, const QString &text, bool selected, int margin,
    const QFont &font, const QPalette &palette)
{
    const TZuBarChartPainterClass painterClass
        = TZuBarChartPainterRegistry::GetInstance().FindClassByName(text.toStdString());
    if (!painterClass || rect.isEmpty())
        return;
    try {
        const std::unique_ptr<TZuBarChartPainter> barPainter = painterClass->Create();
        TCanvas canvas(painter);
        canvas.SetFont(font);
        const TRect item = ToTRect(rect);
        const TRect bar {item.Left + margin, item.Top + margin, item.Right - margin, item.Bottom - margin};
        canvas.SetBrushColor(ToColor(palette.color(selected ? QPalette::Highlight : QPalette::Base)));
        canvas.FillRect(item);
        if (selected)
            barPainter->DrawSelectedBar(canvas, bar, text, 1.0);
        else
            barPainter->DrawBar(canvas, bar, text, 1.0);
    } catch (const std::exception &e) {
        // A drawing fault must not take the dialog down; the entry stays empty.
        ZU_LOG_ERROR(std::string("bar style preview: ") + e.what());
    }
}

void TBarStyleItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    DrawBarStyleItem(
        *painter, option.rect, index.data(Qt::DisplayRole).toString(), selected, Margin, option.font, option.palette);
}

QSize TBarStyleItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), ItemHeight};
}

TBarStyleComboBox::TBarStyleComboBox(QWidget *parent)
    : QComboBox(parent)
{
    QFont small = font();
    small.setFamilies({QStringLiteral("Tahoma"), font().family()});
    small.setPixelSize(11);
    setFont(small);
    setMaxVisibleItems(10);
    setItemDelegate(new TBarStyleItemDelegate(this));
    // Uniform items let the list size itself from the delegate.
    view()->setFont(small);
}

QRect TBarStyleComboBox::EditItemRect() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int height = std::min(EditItemHeight, field.height());
    return {field.left(), field.top() + (field.height() - height) / 2, field.width(), height};
}

void TBarStyleComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear(); // the bar carries the text
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() >= 0)
        DrawBarStyleItem(painter, EditItemRect(), currentText(), hasFocus(), 0, font(), palette());
}
