#pragma once

#include "common/MessageBoxes.h"

// Message boxes as dialogs. Calls from other threads are carried to the user interface thread
// and wait for the answer there.
class TQtMessageBoxes final : public IMessageBoxes
{
public:
    bool Show(TMessageKind kind, const std::string &title, const std::string &text) override;
};
