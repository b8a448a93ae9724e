#include "ui/popups/ScrollPopupMenu.h"

#include <algorithm>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

namespace {

constexpr int IconSize = 16;

} // namespace

int TPopupForm::RowHeight(const QFontMetrics &metrics)
{
    return std::max(metrics.height(), IconSize) + 6;
}

int TPopupForm::EntryWidth(const QFontMetrics &metrics, const QString &caption)
{
    // Icon column, caption and the margins a menu entry has.
    return 4 + IconSize + 8 + metrics.horizontalAdvance(caption) + 24;
}

TPopupForm::TPopupForm(TScrollPopupMenu &menu, int popupCount)
    : QFrame(menu.parent() && menu.parent()->isWidgetType() ? static_cast<QWidget *>(menu.parent()) : nullptr,
        Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , FPopupMenu(&menu)
{
    setObjectName(QStringLiteral("PopupForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    FListBox = new QListWidget(this);
    FListBox->setObjectName(QStringLiteral("PopupList"));
    FListBox->setFrameShape(QFrame::NoFrame);
    FListBox->setMouseTracking(true);
    FListBox->setIconSize(QSize(IconSize, IconSize));
    FListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FListBox->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    FListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    FListBox->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    QPalette pal = FListBox->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    FListBox->setPalette(pal);
    FListBox->viewport()->installEventFilter(this);
    FListBox->installEventFilter(this);

    const QFontMetrics metrics(FListBox->font());
    const int rowHeight = RowHeight(metrics);
    int width = 0;
    for (QAction *action : menu.Items()) {
        auto *row = new QListWidgetItem(action->icon(), action->text(), FListBox);
        row->setSizeHint(QSize(EntryWidth(metrics, action->text()), rowHeight));
        width = std::max(width, EntryWidth(metrics, action->text()));
    }
    const int count = static_cast<int>(menu.Items().size());
    if (count > popupCount)
        width += style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16;
    const int height = rowHeight * std::min(count, std::max(popupCount, 1));
    FListBox->setGeometry(2, 2, width, height);
    setFixedSize(width + 4, height + 4);
    FListBox->setCurrentRow(-1);
    FListBox->clearSelection();
}

void TPopupForm::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(QColor(192, 192, 192));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

int TPopupForm::RowAt(const QPoint &viewportPos) const
{
    const QListWidgetItem *item = FListBox->itemAt(viewportPos);
    return item ? FListBox->row(item) : -1;
}

void TPopupForm::Choose(int row)
{
    QPointer<TScrollPopupMenu> menu = FPopupMenu;
    QAction *action = nullptr;
    if (menu && row >= 0 && row < menu->Items().size())
        action = menu->Items().at(row);
    close();
    // Closing destroys the window later; the menu itself is released after its Closed.
    if (action)
        action->trigger();
}

bool TPopupForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FListBox->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
            const int row = FListBox->viewport()->rect().contains(pos) ? RowAt(pos) : -1;
            if (row >= 0)
                FArmed = true;
            FListBox->setCurrentRow(row);
            if (row < 0)
                FListBox->clearSelection();
            return true;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            FArmed = true;
            return true;
        case QEvent::MouseButtonRelease: {
            const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
            if (!FArmed)
                return true;
            const int row = FListBox->viewport()->rect().contains(pos) ? RowAt(pos) : -1;
            Choose(row >= 0 && FListBox->currentRow() == row ? row : -1);
            return true;
        }
        default:
            break;
        }
    } else if (watched == FListBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Escape) {
            Choose(-1);
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Choose(FListBox->selectedItems().isEmpty() ? -1 : FListBox->currentRow());
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

TScrollPopupMenu::TScrollPopupMenu(QObject *owner)
    : QObject(owner)
{ }

TScrollPopupMenu::~TScrollPopupMenu()
{
    if (FForm) {
        // A menu going away reports no Closed from its own destructor.
        FForm->disconnect(this);
        delete FForm.data();
    }
}

void TScrollPopupMenu::AddItem(QAction *action)
{
    action->setParent(this);
    FItems.append(action);
}

void TScrollPopupMenu::Popup(const QPoint &screenPos)
{
    if (FPopupMode == pmStandard) {
        auto *menu = new QMenu(FPopupForm);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addActions(FItems);
        connect(menu, &QObject::destroyed, this, &TScrollPopupMenu::Closed);
        menu->popup(screenPos);
        return;
    }
    auto *form = new TPopupForm(*this, FPopupCount);
    FForm = form;
    connect(form, &QObject::destroyed, this, &TScrollPopupMenu::Closed);
    // Kept on the screen: a list that starts near the right or bottom edge moves in.
    QPoint pos = screenPos;
    if (const QScreen *screen = QGuiApplication::screenAt(screenPos)) {
        const QRect area = screen->availableGeometry();
        pos.setX(std::max(area.left(), std::min(pos.x(), area.right() + 1 - form->width())));
        pos.setY(std::max(area.top(), std::min(pos.y(), area.bottom() + 1 - form->height())));
    }
    form->move(pos);
    form->show();
    // No row is highlighted until the pointer or a key picks one.
    form->ListBox()->setFocus(Qt::MouseFocusReason);
}

void TScrollPopupMenu::Release()
{
    deleteLater();
}
