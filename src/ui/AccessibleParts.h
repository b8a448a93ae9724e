#pragma once

#include <functional>
#include <map>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QPointer>
#include <QWidget>
#include <QWindow>

// What screen readers need from a part that a custom-drawn control paints itself (a tile, a
// path segment): the part has no object of its own, is looked up by its position whenever
// asked, and has no children. Subclasses give name, rect, role, state and actions.
template <class TOwner> class TAccessiblePart : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    TAccessiblePart(TOwner *owner, int position)
        : FOwner(owner)
        , FPosition(position)
    { }

    [[nodiscard]] QObject *object() const override { return nullptr; }
    [[nodiscard]] QWindow *window() const override
    {
        return FOwner && FOwner->window() ? FOwner->window()->windowHandle() : nullptr;
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
        return FOwner ? QAccessible::queryAccessibleInterface(FOwner.data()) : nullptr;
    }
    [[nodiscard]] QAccessibleInterface *child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    void setText(QAccessible::Text, const QString &) override { }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    [[nodiscard]] QStringList keyBindingsForAction(const QString &) const override { return {}; }

protected:
    QPointer<TOwner> FOwner;
    int FPosition;
};

// The interfaces of a control's parts, made on first request and registered with Qt, which
// hands out ids that stay valid while the control lives; unregistered with the control.
class TAccessiblePartCache
{
public:
    TAccessiblePartCache() = default;
    ~TAccessiblePartCache()
    {
        for (const auto &[position, id] : FIds)
            QAccessible::deleteAccessibleInterface(id);
    }
    TAccessiblePartCache(const TAccessiblePartCache &) = delete;
    TAccessiblePartCache &operator=(const TAccessiblePartCache &) = delete;

    QAccessibleInterface *Get(int position, const std::function<QAccessibleInterface *()> &make)
    {
        const auto found = FIds.find(position);
        if (found != FIds.end())
            return QAccessible::accessibleInterface(found->second);
        QAccessibleInterface *iface = make();
        FIds[position] = QAccessible::registerAccessibleInterface(iface);
        return iface;
    }
    // The position of a part made here, or -1 (also for positions at or past `count`, which
    // the control no longer has).
    [[nodiscard]] int PositionOf(const QAccessibleInterface *iface, int count) const
    {
        for (const auto &[position, id] : FIds)
            if (QAccessible::accessibleInterface(id) == iface)
                return position < count ? position : -1;
        return -1;
    }

private:
    std::map<int, QAccessible::Id> FIds;
};
