#include "ui/startpage/FavoriteListViewAccessible.h"

#include <map>

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include "ui/startpage/FavoriteListView.h"

namespace {

// One tile, looked up by its index whenever asked: a refill renames tiles rather than
// leaving stale ones behind.
class TTileAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    TTileAccessible(TFavoriteListView *view, int index)
        : FView(view)
        , FIndex(index)
    { }

    [[nodiscard]] bool isValid() const override { return FView && FIndex < FView->Count(); }
    [[nodiscard]] QObject *object() const override { return nullptr; }
    [[nodiscard]] QWindow *window() const override
    {
        return FView && FView->window() ? FView->window()->windowHandle() : nullptr;
    }
    [[nodiscard]] QList<QPair<QAccessibleInterface *, QAccessible::Relation>> relations(
        QAccessible::Relation) const override
    {
        return {};
    }
    [[nodiscard]] QAccessibleInterface *focusChild() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface *parent() const override
    {
        return FView ? QAccessible::queryAccessibleInterface(FView.data()) : nullptr;
    }
    [[nodiscard]] QAccessibleInterface *child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return FView->Item(FIndex).Caption;
        if (t == QAccessible::Description)
            return FView->ItemDescription(FIndex);
        return {};
    }
    void setText(QAccessible::Text, const QString &) override { }
    [[nodiscard]] QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = FView->ItemRect(FIndex);
        return QRect(FView->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::ListItem; }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.selectable = true;
        s.focusable = true;
        s.selected = FView->SelectedIndex() == FIndex;
        s.focused = s.selected && FView->hasFocus();
        s.invisible = FView->ItemRect(FIndex).isNull() || !FView->isVisible();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    [[nodiscard]] QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString &name) override
    {
        if (!isValid())
            return;
        QPointer<TFavoriteListView> view = FView;
        const int index = FIndex;
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
    [[nodiscard]] QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<TFavoriteListView> FView;
    int FIndex;
};

class TFavoriteListViewAccessible final : public QAccessibleWidget
{
public:
    explicit TFavoriteListViewAccessible(TFavoriteListView *view)
        : QAccessibleWidget(view, QAccessible::List)
    { }
    ~TFavoriteListViewAccessible() override
    {
        for (const auto &[index, id] : FChildren)
            QAccessible::deleteAccessibleInterface(id);
    }

    [[nodiscard]] int childCount() const override { return View()->Count(); }
    [[nodiscard]] QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= View()->Count())
            return nullptr;
        const auto found = FChildren.find(index);
        if (found != FChildren.end())
            return QAccessible::accessibleInterface(found->second);
        auto *iface = new TTileAccessible(View(), index);
        FChildren[index] = QAccessible::registerAccessibleInterface(iface);
        return iface;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (const auto &[index, id] : FChildren)
            if (QAccessible::accessibleInterface(id) == child)
                return index < View()->Count() ? index : -1;
        return -1;
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

    mutable std::map<int, QAccessible::Id> FChildren;
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
