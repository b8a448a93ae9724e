#pragma once

#include <exception>
#include <string>

// Modal message boxes without owner window. The window installs an implementation that shows
// real dialogs; until then (and in headless programs) a line "<title>: <text>" goes to
// standard error and every question is answered No.

enum class TMessageKind { Error, Confirmation, Warning, Information };

class IMessageBoxes
{
public:
    virtual ~IMessageBoxes() = default;
    // Shows `text` under the (already translated) `title`: an error or an information with an
    // OK button, or a question with Yes and No. Returns true exactly when the user chose Yes.
    // Called from the user interface thread and from scan threads; an implementation that needs
    // the user interface thread must get there itself.
    virtual bool Show(TMessageKind kind, const std::string &title, const std::string &text) = 0;
};

// Installs the message boxes (not owned; null brings back the standard-error ones) and returns
// the previous ones (null for the standard-error ones). Meant for start-up, shut-down and tests.
IMessageBoxes *InstallMessageBoxes(IMessageBoxes *boxes);

// Title "Error", error icon, OK.
void ErrorBox(const std::string &text);
// ErrorBox with the exception's message.
void ExceptionBox(const std::exception &e);
// Title "Information", information icon, OK.
void InfoBox(const std::string &text);
// Title "Confirmation", question icon, Yes and No; true when the user chose Yes.
bool ConfirmBox(const std::string &text);
// Title "Warning", warning icon, Yes and No; true when the user chose Yes.
bool WarningBox(const std::string &text);
