// The window on a Wayland compositor: it starts, shows the start page, analyses a folder, keeps
// the stored size without asking for a position, and closes. wayland-session.sh runs it under a
// headless weston; on any other platform it skips.
#include <memory>

#include <QGuiApplication>
#include <QtTest>

#include "UiTestSupport.h"
#include "support/TempTree.h"

class WaylandStartTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("wayland"))
            QSKIP("not running on a Wayland compositor (wayland-session.sh starts one)");
        InitUiTests();
    }

    void startsAnalysesAndCloses()
    {
        TempTree tree;
        tree.MakeFile("a/one.bin", 2000000);
        tree.MakeFile("b/two.bin", 3000000);
        TempTree config;
        auto settings = std::make_unique<TSettings>(config / "Zumbrel.ini");
        // A position from an X11 session; the compositor places the window itself.
        settings->SaveScreenStr("Position", "40,50,740,550");
        auto form = std::make_unique<TFormMain>(*settings);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(form->StartPageShown());
        QCOMPARE(form->size(), QSize(700, 500));

        form->ProcessCommandLine({tree.Path()});
        QVERIFY(QTest::qWaitFor(
            [&] {
                return form->ScanThreads().IsEmpty() && form->WaitForScanDir().empty() && !form->ScanTimersActive()
                    && form->PendingRescanCount() == 0;
            },
            30000));
        QVERIFY(!form->StartPageShown());
        QCOMPARE(form->RootNode()->GetSize(), 5000000);
        QCOMPARE(form->RootNode()->FileCount(), 2);

        QVERIFY(form->close());
        form.reset();
        // The stored position stays for the next X11 session; the size is the window's.
        QCOMPARE(QString::fromStdString(settings->ReadScreenSetting("Position", "")), QStringLiteral("40,50,740,550"));
    }
};

QTEST_MAIN(WaylandStartTest)
#include "wayland_start_test.moc"
