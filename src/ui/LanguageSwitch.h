#pragma once

#include <string_view>

// Switching the language of the running program.
//
// Every window and widget that shows translated texts re-reads them when it receives
// QEvent::LanguageChange, in its changeEvent:
//
//     void TMyWidget::changeEvent(QEvent *event)
//     {
//         if (event->type() == QEvent::LanguageChange)
//             RetranslateUi(); // every caption again through _()
//         QWidget::changeEvent(event);
//     }
//
// Qt passes the event on from a window to all its children, so one handler per widget class
// is enough, whatever window the widget sits in. Texts composed from data (status texts,
// group headers) are best rebuilt there too, from the data they were made of.

// Makes `code` the language of the translation engine (UseLanguage) and of the formats of
// numbers and dates (UseLanguageLocale) and, when that changes the language in use, sends
// QEvent::LanguageChange to every window before it returns. User interface thread only.
void SwitchLanguage(std::string_view code);

// Makes the locale of the language in use the default QLocale and gives the size texts its
// decimal separator: a German window writes "1.234" and "56,3%" and German dates. The
// system's own locale (with the user's regional formats) when the language is the system's.
void UseLanguageLocale();

// Sends QEvent::LanguageChange to every top-level window (and through them to every widget),
// synchronously. User interface thread only.
void RetranslateAllWindows();
