// zumbrel: the window of the disk space analyzer.
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <QFile>
#include <QLocale>

#include "GuiApplication.h"
#include "export/ExportRegistry.h"
#include "log/Configurator.h"
#include "log/Logger.h"
#include "model/common/MessageBoxes.h"
#include "model/common/SizeText.h"
#include "model/common/Translate.h"
#include "paint/RegisterPainters.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/Settings.h"
#include "shell/ProgramLock.h"
#include "ui/FormMain.h"
#include "ui/QtMessageBoxes.h"

namespace {

std::string ExecutableDir(const char *argv0)
{
    std::string path = QFile::encodeName(QString::fromLocal8Bit(argv0)).toStdString();
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0)
        path.assign(buffer, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

int main(int argc, char **argv)
{
    InstallPlatform(LinuxPlatform());
    ConfigureProgramLogging(ExecutableDir(argv[0]));
    RegisterBarChartPainters();
    RegisterExportClasses();
    const TProgramLock programLock;

    TGuiApplication app(argc, argv);
    InitTranslation();
    TFormMain::InstallSettingsHooks();
    SetDecimalSeparator(QLocale::system().decimalPoint().toStdString());
    TQtMessageBoxes boxes;
    InstallMessageBoxes(&boxes);

    int result = 0;
    {
        std::unique_ptr<TSettings> owned;
        TSettings *settings = nullptr;
        try {
            settings = &TSettings::GetInstance();
        } catch (const std::exception &e) {
            // Without a writable configuration folder the window still works; nothing is kept.
            ExceptionBox(e);
            owned = std::make_unique<TSettings>(std::string(), TSettingsAccess::ReadOnly);
            settings = owned.get();
        }
        TFormMain form(*settings);
        form.show();
        ZU_LOG_DEBUG("show main form");
        std::vector<std::string> args;
        std::string commandLine = argv[0];
        for (int i = 1; i < argc; ++i) {
            args.emplace_back(argv[i]);
            commandLine += " " + args.back();
        }
        form.ProcessCommandLine(args, commandLine);
        result = app.exec();
    }
    TSettings::FreeInstance();
    InstallMessageBoxes(nullptr);
    return result;
}
