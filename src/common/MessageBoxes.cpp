#include "common/MessageBoxes.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include <unistd.h>

#include "common/Translate.h"

namespace {

class THeadlessMessageBoxes final : public IMessageBoxes
{
public:
    bool Show(TMessageKind, const std::string &title, const std::string &text) override
    {
        std::string line = title + ": " + text;
        if (line.back() != '\n')
            line += '\n';
        // One write per message so that messages of several threads never interleave.
        std::scoped_lock guard(FLock);
        std::fflush(stderr);
        (void)!::write(STDERR_FILENO, line.data(), line.size());
        return false;
    }

private:
    std::mutex FLock;
};

THeadlessMessageBoxes Headless;
std::atomic<IMessageBoxes *> Installed {nullptr};

bool Show(TMessageKind kind, const std::string &title, const std::string &text)
{
    IMessageBoxes *boxes = Installed.load(std::memory_order_acquire);
    return (boxes ? *boxes : static_cast<IMessageBoxes &>(Headless)).Show(kind, title, text);
}

} // namespace

IMessageBoxes *InstallMessageBoxes(IMessageBoxes *boxes)
{
    return Installed.exchange(boxes, std::memory_order_acq_rel);
}

void ErrorBox(const std::string &text)
{
    Show(TMessageKind::Error, std::string(_("Error")), text);
}

void ExceptionBox(const std::exception &e)
{
    ErrorBox(e.what());
}

void InfoBox(const std::string &text)
{
    Show(TMessageKind::Information, std::string(_("Information")), text);
}

bool ConfirmBox(const std::string &text)
{
    return Show(TMessageKind::Confirmation, std::string(_("Confirmation")), text);
}

bool WarningBox(const std::string &text)
{
    return Show(TMessageKind::Warning, std::string(_("Warning")), text);
}
