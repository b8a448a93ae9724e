#include "ui/pathbar/PathViewerAccessible.h"

#include <map>

#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPointer>
#include <QWindow>

#include "ui/pathbar/PathViewer.h"

namespace {

// One element of the bar, looked up by its position in the layout whenever asked, so that a
// new path renames the buttons instead of leaving stale ones behind.
class TPathElementAccessible final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    TPathElementAccessible(TqvPathViewer *viewer, int position)
        : FViewer(viewer)
        , FPosition(position)
    { }

    [[nodiscard]] bool isValid() const override { return Element(nullptr); }
    [[nodiscard]] QObject *object() const override { return nullptr; }
    [[nodiscard]] QWindow *window() const override
    {
        return FViewer && FViewer->window() ? FViewer->window()->windowHandle() : nullptr;
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
        return FViewer ? QAccessible::queryAccessibleInterface(FViewer.data()) : nullptr;
    }
    [[nodiscard]] QAccessibleInterface *child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        TPathElement e;
        if (!Element(&e))
            return {};
        if (t == QAccessible::Name)
            return FViewer->ElementName(e);
        if (t == QAccessible::Description && e.Kind == TPathElement::Segment)
            return FViewer->GetPathPart(0, e.Index);
        return {};
    }
    void setText(QAccessible::Text, const QString &) override { }
    [[nodiscard]] QRect rect() const override
    {
        TPathElement e;
        if (!Element(&e))
            return {};
        const QRect local(QPoint(e.Left, 0), QPoint(e.Right - 1, FViewer->height() - 1));
        return QRect(FViewer->mapToGlobal(local.topLeft()), local.size());
    }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Button; }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !FViewer || !FViewer->isVisible() || FViewer->InEdit();
        s.hasPopup = Kind() != TPathElement::Segment;
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    [[nodiscard]] QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        TPathElement e;
        if (name != pressAction() || !Element(&e))
            return;
        // Later: a click navigates, which renews the bar and with it this interface.
        QPointer<TqvPathViewer> viewer = FViewer;
        QMetaObject::invokeMethod(
            FViewer.data(),
            [viewer, e] {
                if (viewer)
                    viewer->PressElement(e);
            },
            Qt::QueuedConnection);
    }
    [[nodiscard]] QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    bool Element(TPathElement *out) const
    {
        if (!FViewer)
            return false;
        const auto layout = FViewer->Layout();
        if (FPosition < 0 || FPosition >= static_cast<int>(layout.size()))
            return false;
        if (out)
            *out = layout[static_cast<std::size_t>(FPosition)];
        return true;
    }
    [[nodiscard]] TPathElement::TKind Kind() const
    {
        TPathElement e;
        return Element(&e) ? e.Kind : TPathElement::Segment;
    }

    QPointer<TqvPathViewer> FViewer;
    int FPosition;
};

class TPathViewerAccessible final : public QAccessibleWidget
{
public:
    explicit TPathViewerAccessible(TqvPathViewer *viewer)
        : QAccessibleWidget(viewer, QAccessible::ToolBar)
    { }
    ~TPathViewerAccessible() override
    {
        for (const auto &[position, id] : FChildren)
            QAccessible::deleteAccessibleInterface(id);
    }

    [[nodiscard]] int childCount() const override { return ElementCount() + (Viewer()->EditField() ? 1 : 0); }
    [[nodiscard]] QAccessibleInterface *child(int index) const override
    {
        const int elements = ElementCount();
        if (index >= 0 && index < elements) {
            const auto found = FChildren.find(index);
            if (found != FChildren.end())
                return QAccessible::accessibleInterface(found->second);
            auto *iface = new TPathElementAccessible(Viewer(), index);
            FChildren[index] = QAccessible::registerAccessibleInterface(iface);
            return iface;
        }
        if (index == elements && Viewer()->EditField())
            return QAccessible::queryAccessibleInterface(Viewer()->EditField());
        return nullptr;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (const auto &[position, id] : FChildren)
            if (QAccessible::accessibleInterface(id) == child)
                return position < ElementCount() ? position : -1;
        if (child && Viewer()->EditField() && child->object() == Viewer()->EditField())
            return ElementCount();
        return -1;
    }
    [[nodiscard]] QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface *c = child(i);
            if (c && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }
    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return Viewer()->Path();
        return QAccessibleWidget::text(t);
    }

private:
    [[nodiscard]] TqvPathViewer *Viewer() const { return static_cast<TqvPathViewer *>(widget()); }
    [[nodiscard]] int ElementCount() const
    {
        return Viewer()->InEdit() ? 0 : static_cast<int>(Viewer()->Layout().size());
    }

    mutable std::map<int, QAccessible::Id> FChildren;
};

QAccessibleInterface *PathViewerFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TqvPathViewer") && object && object->isWidgetType())
        return new TPathViewerAccessible(static_cast<TqvPathViewer *>(object));
    return nullptr;
}

} // namespace

void InstallPathViewerAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(PathViewerFactory);
        return true;
    }();
    (void)installed;
}
