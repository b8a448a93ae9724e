// The taskbar progress through the launcher entry signal, received on a private session bus.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>

#include "ui/taskbar/TaskbarProgress.h"

class TLauncherListener : public QObject
{
    Q_OBJECT

public:
    QList<QVariantMap> Updates;
    QStringList Uris;

public slots:
    void Update(const QString &uri, const QVariantMap &properties)
    {
        Uris << uri;
        Updates << properties;
    }
};

class TaskbarProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void withoutSessionBusNothingIsShown()
    {
        if (!qEnvironmentVariableIsSet("ZUMBREL_EXPECT_NO_BUS"))
            QSKIP("runs in the entry without a session bus");
        QVERIFY(!TLauncherEntryTaskbar::Create());
    }

    void progressReachesTheDock()
    {
        if (qEnvironmentVariableIsSet("ZUMBREL_EXPECT_NO_BUS"))
            QSKIP("needs a session bus");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "run under dbus-run-session");
        TLauncherListener listener;
        QVERIFY(bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
            QStringLiteral("Update"), &listener, SLOT(Update(QString, QVariantMap))));
        auto taskbar = TLauncherEntryTaskbar::Create();
        QVERIFY(taskbar);
        taskbar->SetProgressState(TTaskbarState::Indeterminate);
        QTRY_COMPARE(listener.Updates.size(), 1);
        QCOMPARE(listener.Uris[0], QStringLiteral("application://" ZUMBREL_DESKTOP_ID ".desktop"));
        QCOMPARE(listener.Updates[0].value(QStringLiteral("progress-visible")).toBool(), true);
        // The same state again sends nothing; pulses are limited to two a second.
        taskbar->SetProgressState(TTaskbarState::Indeterminate);
        taskbar->Pulse();
        QTest::qWait(600);
        taskbar->Pulse();
        QTRY_COMPARE(listener.Updates.size(), 2);
        QVERIFY(listener.Updates[1].value(QStringLiteral("progress")).toDouble() > 0.0);
        taskbar->SetProgressState(TTaskbarState::NoProgress);
        QTRY_COMPARE(listener.Updates.size(), 3);
        QCOMPARE(listener.Updates[2].value(QStringLiteral("progress-visible")).toBool(), false);
    }
};

QTEST_GUILESS_MAIN(TaskbarProgressTest)
#include "taskbar_progress_test.moc"
