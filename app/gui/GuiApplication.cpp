#include "GuiApplication.h"

#include "log/Logger.h"

TGuiApplication::TGuiApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // Lets the desktop match the window to the installed desktop entry (icon, dock, progress).
    setDesktopFileName(QStringLiteral(ZUMBREL_DESKTOP_ID));
    connect(this, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            ZU_LOG_DEBUG("application becomes active");
        else if (state == Qt::ApplicationInactive)
            ZU_LOG_DEBUG("application becomes inactive");
    });
}

bool TGuiApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ProgramLogger().ErrorMsg(e.what(), &e);
    } catch (...) {
        ProgramLogger().ErrorMsg("unknown exception");
    }
    return false;
}
