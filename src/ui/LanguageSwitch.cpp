#include "ui/LanguageSwitch.h"

#include <string>

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include "common/Translate.h"

void SwitchLanguage(std::string_view code)
{
    const std::string before = GetCurrentLanguage();
    UseLanguage(code);
    if (GetCurrentLanguage() != before)
        RetranslateAllWindows();
}

void RetranslateAllWindows()
{
    // Windows owned by another window (dialogs) get the event through their owner; sending it
    // to them as well would translate them twice. A handler may close windows: keep guards.
    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (!window->parentWidget() && window->windowType() != Qt::Desktop)
            windows.append(window);
    for (const QPointer<QWidget> &window : windows) {
        if (!window)
            continue;
        QEvent event(QEvent::LanguageChange);
        QCoreApplication::sendEvent(window, &event);
    }
}
