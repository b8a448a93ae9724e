#include "ui/LanguageSwitch.h"

#include <string>

#include <QApplication>
#include <QEvent>
#include <QLocale>
#include <QPointer>
#include <QWidget>

#include "common/SizeText.h"
#include "common/Translate.h"

void SwitchLanguage(std::string_view code)
{
    const std::string before = GetCurrentLanguage();
    UseLanguage(code);
    UseLanguageLocale();
    if (GetCurrentLanguage() != before)
        RetranslateAllWindows();
}

void UseLanguageLocale()
{
    const QLocale chosen(QString::fromStdString(GetCurrentLanguage()));
    // The system's locale carries the user's regional formats; the "C" locale has none.
    const QLocale locale = QLocale::system().language() == chosen.language() ? QLocale::system() : chosen;
    QLocale::setDefault(locale);
    SetDecimalSeparator(locale.decimalPoint().toStdString());
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
