#include "ui/startpage/FavoriteListViewAccessible.h"

#include <QAccessibleWidget>
#include <QPointer>

#include "ui/AccessibleParts.h"
#include "ui/startpage/FavoriteListView.h"

namespace {

// One tile, looked up by its index whenever asked: a refill renames tiles rather than
// leaving stale ones behind.
class TTileAccessible final : public TAccessiblePart<TFavoriteListView>
{
public:
    using TAccessiblePart::TAccessiblePart;

    [[nodiscard]] bool isValid() const override { return FOwner && FPosition < FOwner->Count(); }
    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return FOwner->Item(FPosition).Caption;
        if (t == QAccessible::Description)
            return FOwner->ItemDescription(FPosition);
        return {};
    }
    [[nodiscard]] QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = FOwner->ItemRect(FPosition);
        return QRect(FOwner->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::ListItem; }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.selectable = true;
        s.focusable = true;
        s.selected = FOwner->SelectedIndex() == FPosition;
        s.focused = s.selected && FOwner->hasFocus();
        s.invisible = FOwner->ItemRect(FPosition).isNull() || !FOwner->isVisible();
        return s;
    }
    [[nodiscard]] QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString &name) override
    {
        if (!isValid())
            return;
        QPointer<TFavoriteListView> view = FOwner;
        const int index = FPosition;
        if (name == setFocusAction()) {
            view->setFocus();
            view->SetSelectedIndex(index);
        } else if (name == pressAction()) {
            // Opening hides the page and may refill it, renewing this interface: run it later.
            QMetaObject::invokeMethod(
                view.data(),
                [view, index] {
                    if (view) {
                        view->SetSelectedIndex(index);
                        view->OpenItem(index);
                    }
                },
                Qt::QueuedConnection);
        }
    }
};

class TFavoriteListViewAccessible final : public QAccessibleWidget
{
public:
    explicit TFavoriteListViewAccessible(TFavoriteListView *view)
        : QAccessibleWidget(view, QAccessible::List)
    { }

    [[nodiscard]] int childCount() const override { return View()->Count(); }
    [[nodiscard]] QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= View()->Count())
            return nullptr;
        return FParts.Get(index, [this, index] { return new TTileAccessible(View(), index); });
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *child) const override
    {
        return FParts.PositionOf(child, View()->Count());
    }
    [[nodiscard]] QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint local = View()->viewport()->mapFromGlobal(QPoint(x, y));
        const int index = View()->ItemAt(local);
        return index >= 0 ? child(index) : nullptr;
    }
    [[nodiscard]] QAccessibleInterface *focusChild() const override
    {
        return View()->hasFocus() && View()->SelectedIndex() >= 0 ? child(View()->SelectedIndex()) : nullptr;
    }

private:
    [[nodiscard]] TFavoriteListView *View() const { return static_cast<TFavoriteListView *>(widget()); }

    mutable TAccessiblePartCache FParts;
};

QAccessibleInterface *FavoriteListViewFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TFavoriteListView") && object && object->isWidgetType())
        return new TFavoriteListViewAccessible(static_cast<TFavoriteListView *>(object));
    return nullptr;
}

} // namespace

void InstallFavoriteListViewAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(FavoriteListViewFactory);
        return true;
    }();
    (void)installed;
}
