// Open With through the desktop's application registry, in a private XDG tree: defaults,
// removed associations, the entries a desktop leaves out (Hidden, NoDisplay,
// OnlyShowIn/NotShowIn, a TryExec or Exec program that is missing) and the start of a console
// program in a terminal. The environment is set before GIO reads it for the first time.
#include <chrono>
#include <fstream>
#include <thread>

#include <sys/stat.h>

#include <QtTest>

#include "shell/DesktopApps.h"
#include "support/TempTree.h"

namespace {

void Write(const std::string &path, const std::string &text)
{
    std::ofstream(path) << text;
}

// An executable that appends its arguments, one a line, to `log`.
void WriteRecorder(const std::string &path, const std::string &log)
{
    Write(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + log + "'\n");
    ::chmod(path.c_str(), 0755);
}

std::string Entry(const std::string &name, const std::string &exec, const std::string &extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nMimeType=text/plain;\n" + extra;
}

QStringList Ids(const std::vector<TDesktopApp> &apps)
{
    QStringList ids;
    for (const TDesktopApp &app : apps)
        ids << app.Id;
    return ids;
}

// The lines of `path` once it holds at least `count` of them (a started program writes it).
QStringList WaitForLines(const std::string &path, int count)
{
    QStringList lines;
    for (int i = 0; i < 200; ++i) {
        QFile file(QString::fromStdString(path));
        if (file.open(QIODevice::ReadOnly))
            lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (lines.size() >= count)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return lines;
}

} // namespace

class TDesktopAppsTest : public QObject
{
    Q_OBJECT

    TempTree FXdg;

private slots:
    void initTestCase()
    {
        FXdg.MakeDir("data/applications");
        FXdg.MakeDir("home/applications");
        FXdg.MakeDir("config");
        FXdg.MakeDir("bin");
        const std::string log = FXdg / "launched";
        for (const char *program : {"viewer", "ed", "top-like"})
            WriteRecorder(FXdg / ("bin/" + std::string(program)), log);
        // Whatever terminal GIO looks for, the one found records how it was asked.
        for (const char *terminal : {"x-terminal-emulator", "xdg-terminal-exec", "gnome-terminal", "mate-terminal",
                 "xfce4-terminal", "tilix", "konsole", "nxterm", "color-xterm", "rxvt", "dtterm", "xterm"})
            WriteRecorder(FXdg / ("bin/" + std::string(terminal)), FXdg / "terminal");
        const std::string apps = FXdg / "data/applications/";
        Write(apps + "viewer.desktop", Entry("Viewer", "viewer --open %U", "Name[de]=Betrachter\nIcon=viewer\n"));
        Write(apps + "editor.desktop", Entry("Editor", "ed -n %f"));
        Write(apps + "gone.desktop", Entry("Gone", "viewer"));
        Write(apps + "nodisplay.desktop", Entry("NoDisplay", "viewer", "NoDisplay=true\n"));
        Write(apps + "hidden.desktop", Entry("Hidden", "viewer", "Hidden=true\n"));
        Write(apps + "kde-only.desktop", Entry("KDE only", "viewer", "OnlyShowIn=KDE;\n"));
        Write(apps + "not-here.desktop", Entry("Not here", "viewer", "NotShowIn=Testdesk;\n"));
        Write(apps + "uninstalled.desktop", Entry("Uninstalled", "viewer", "TryExec=no-such-program-here\n"));
        Write(apps + "missing-exec.desktop", Entry("Missing", "no-such-program-here %f"));
        Write(apps + "console.desktop", Entry("Console", "top-like %f", "Terminal=true\n"));
        // The user's own copy of an entry hides the system's.
        Write(FXdg / "home/applications/nodisplay.desktop", Entry("Mine", "viewer"));
        // The caches update-desktop-database writes, which GIO reads the types from.
        Write(apps + "mimeinfo.cache",
            "[MIME Cache]\ntext/plain=viewer.desktop;editor.desktop;gone.desktop;nodisplay.desktop;hidden.desktop;"
            "kde-only.desktop;not-here.desktop;uninstalled.desktop;missing-exec.desktop;console.desktop;\n");
        Write(FXdg / "home/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=nodisplay.desktop;\n");
        Write(FXdg / "config/mimeapps.list",
            "[Default Applications]\ntext/plain=editor.desktop\n[Removed Associations]\ntext/plain=gone.desktop;\n");
        qputenv("PATH", QByteArray::fromStdString(FXdg / "bin") + ":/usr/bin:/bin");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(FXdg / "home"));
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(FXdg / "data"));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(FXdg / "config"));
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(FXdg / "none"));
        qputenv("XDG_CURRENT_DESKTOP", "Testdesk");
        qputenv("LANGUAGE", "de");
        qputenv("LC_ALL", "de_DE.UTF-8");
    }

    void theRegistryListsWhatTheDesktopShows()
    {
        const auto apps = ApplicationsForMimeType(QStringLiteral("text/plain"));
        QStringList ids = Ids(apps);
        QVERIFY2(!ids.isEmpty(), "no application at all");
        QCOMPARE(ids.front(), QStringLiteral("editor.desktop")); // the default
        ids.sort();
        QCOMPARE(ids,
            (QStringList {QStringLiteral("console.desktop"), QStringLiteral("editor.desktop"),
                QStringLiteral("nodisplay.desktop"), QStringLiteral("viewer.desktop")}));
        for (const TDesktopApp &app : apps) {
            if (app.Id == QLatin1String("viewer.desktop")) {
                QCOMPARE(app.Name, QStringLiteral("Betrachter")); // LANGUAGE=de
                QCOMPARE(app.Icon, QStringLiteral("viewer"));
                QCOMPARE(app.FilePath, QString::fromStdString(FXdg / "data/applications/viewer.desktop"));
                QVERIFY(!app.Terminal);
            }
            if (app.Id == QLatin1String("nodisplay.desktop"))
                QCOMPARE(app.Name, QStringLiteral("Mine"));
            if (app.Id == QLatin1String("console.desktop"))
                QVERIFY(app.Terminal);
        }
        // A type nobody registered lists nothing.
        QVERIFY(ApplicationsForMimeType(QStringLiteral("application/x-zumbrel-nothing")).empty());
    }

    void launchingPassesTheFileAndUsesATerminalForConsolePrograms()
    {
        FXdg.MakeFile("a b.txt", 3);
        const std::string file = FXdg / "a b.txt";
        std::string error;
        TDesktopApp editor;
        editor.Id = QStringLiteral("editor.desktop");
        QVERIFY2(LaunchApplication(editor, file, error), error.c_str());
        QCOMPARE(
            WaitForLines(FXdg / "launched", 2), (QStringList {QStringLiteral("-n"), QString::fromStdString(file)}));

        TDesktopApp console;
        console.Id = QStringLiteral("console.desktop");
        QVERIFY2(LaunchApplication(console, file, error), error.c_str());
        const QStringList terminal = WaitForLines(FXdg / "terminal", 2);
        QVERIFY2(terminal.contains(QStringLiteral("top-like")), qPrintable(terminal.join(QLatin1Char(' '))));
        QVERIFY(terminal.contains(QString::fromStdString(file)));

        TDesktopApp gone;
        gone.Id = QStringLiteral("no-such-entry.desktop");
        gone.Name = QStringLiteral("Gone");
        QVERIFY(!LaunchApplication(gone, file, error));
        QVERIFY2(error.find("Gone") != std::string::npos, error.c_str());
    }
};

QTEST_GUILESS_MAIN(TDesktopAppsTest)
#include "desktop_apps_test.moc"
