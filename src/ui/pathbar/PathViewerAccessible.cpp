#include "ui/pathbar/PathViewerAccessible.h"

#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPointer>

#include "ui/AccessibleParts.h"
#include "ui/pathbar/PathViewer.h"

namespace {

// One element of the bar, looked up by its position in the layout whenever asked, so that a
// new path renames the buttons instead of leaving stale ones behind.
class TPathElementAccessible final : public TAccessiblePart<TqvPathViewer>
{
public:
    using TAccessiblePart::TAccessiblePart;

    [[nodiscard]] bool isValid() const override { return Element(nullptr); }
    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        TPathElement e;
        if (!Element(&e))
            return {};
        if (t == QAccessible::Name)
            return FOwner->ElementName(e);
        if (t == QAccessible::Description && e.Kind == TPathElement::Segment)
            return FOwner->GetPathPart(0, e.Index);
        return {};
    }
    [[nodiscard]] QRect rect() const override
    {
        TPathElement e;
        if (!Element(&e))
            return {};
        const QRect local(QPoint(e.Left, 0), QPoint(e.Right - 1, FOwner->height() - 1));
        return QRect(FOwner->mapToGlobal(local.topLeft()), local.size());
    }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Button; }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !FOwner || !FOwner->isVisible() || FOwner->InEdit();
        s.hasPopup = Kind() != TPathElement::Segment;
        return s;
    }
    [[nodiscard]] QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        TPathElement e;
        if (name != pressAction() || !Element(&e))
            return;
        // Later: a click navigates, which renews the bar and with it this interface.
        QPointer<TqvPathViewer> viewer = FOwner;
        QMetaObject::invokeMethod(
            FOwner.data(),
            [viewer, e] {
                if (viewer)
                    viewer->PressElement(e);
            },
            Qt::QueuedConnection);
    }

private:
    bool Element(TPathElement *out) const
    {
        if (!FOwner)
            return false;
        const auto layout = FOwner->Layout();
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
};

class TPathViewerAccessible final : public QAccessibleWidget
{
public:
    explicit TPathViewerAccessible(TqvPathViewer *viewer)
        : QAccessibleWidget(viewer, QAccessible::ToolBar)
    { }

    [[nodiscard]] int childCount() const override { return ElementCount() + (Viewer()->EditField() ? 1 : 0); }
    [[nodiscard]] QAccessibleInterface *child(int index) const override
    {
        const int elements = ElementCount();
        if (index >= 0 && index < elements)
            return FParts.Get(index, [this, index] { return new TPathElementAccessible(Viewer(), index); });
        if (index == elements && Viewer()->EditField())
            return QAccessible::queryAccessibleInterface(Viewer()->EditField());
        return nullptr;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface *child) const override
    {
        const int position = FParts.PositionOf(child, ElementCount());
        if (position >= 0)
            return position;
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

    mutable TAccessiblePartCache FParts;
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
