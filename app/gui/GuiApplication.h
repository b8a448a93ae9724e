#pragma once

#include <QApplication>

// The application object: exceptions that escape an event handler are written to the log at
// error level and shown to nobody; activation changes are logged at debug level.
class TGuiApplication final : public QApplication
{
public:
    TGuiApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
