#pragma once

#include <functional>

#include <QAction>
#include <QFrame>
#include <QList>
#include <QPointer>

class QListWidget;
class TScrollPopupMenu;

enum TPopupMode { pmStandard, pmCustom };

// The scrolling list window of a TScrollPopupMenu: a borderless window showing the menu's
// entries as rows, PopupCount of them at a time. It closes when the user picks a row, presses
// Escape or clicks elsewhere, and destroys itself.
class TPopupForm final : public QFrame
{
    Q_OBJECT

public:
    TPopupForm(TScrollPopupMenu &menu, int popupCount);
    [[nodiscard]] QListWidget *ListBox() const { return FListBox; }
    // The row height every entry gets and the width of the widest entry.
    [[nodiscard]] static int RowHeight(const QFontMetrics &metrics);
    [[nodiscard]] static int EntryWidth(const QFontMetrics &metrics, const QString &caption);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Choose(int row);
    int RowAt(const QPoint &viewportPos) const;

    QListWidget *FListBox = nullptr;
    QPointer<TScrollPopupMenu> FPopupMenu;
    // A release that comes with the click that opened the window is not a choice.
    bool FArmed = false;
};

// A popup menu that shows its entries either as an ordinary menu or in a scrolling list
// window of PopupCount rows. It owns its actions.
class TScrollPopupMenu final : public QObject
{
    Q_OBJECT

public:
    explicit TScrollPopupMenu(QObject *owner = nullptr);
    ~TScrollPopupMenu() override;

    [[nodiscard]] TPopupMode PopupMode() const { return FPopupMode; }
    void SetPopupMode(TPopupMode mode) { FPopupMode = mode; }
    [[nodiscard]] int PopupCount() const { return FPopupCount; }
    void SetPopupCount(int count) { FPopupCount = count; }
    // The window the list belongs to (its parent for placement and stacking).
    void SetPopupForm(QWidget *form) { FPopupForm = form; }

    // Takes ownership.
    void AddItem(QAction *action);
    [[nodiscard]] const QList<QAction *> &Items() const { return FItems; }
    // Shows the entries at a screen point; does not wait.
    void Popup(const QPoint &screenPos);
    // Schedules the menu's own destruction after the current event.
    void Release();
    // The list window while it is shown.
    [[nodiscard]] TPopupForm *Form() const { return FForm; }

signals:
    // The list window (or the ordinary menu) went away.
    void Closed();

private:
    TPopupMode FPopupMode = pmStandard;
    int FPopupCount = 5;
    QPointer<QWidget> FPopupForm;
    QList<QAction *> FItems;
    QPointer<TPopupForm> FForm;
};
