#include "ui/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

bool TQtMessageBoxes::Show(TMessageKind kind, const std::string &title, const std::string &text)
{
    bool answer = false;
    const auto show = [&] {
        const QString t = QString::fromStdString(title);
        const QString m = QString::fromStdString(text);
        switch (kind) {
        case TMessageKind::Error:
            QMessageBox::critical(QApplication::activeWindow(), t, m);
            break;
        case TMessageKind::Confirmation:
            answer = QMessageBox::question(QApplication::activeWindow(), t, m, QMessageBox::Yes | QMessageBox::No)
                == QMessageBox::Yes;
            break;
        case TMessageKind::Warning:
            answer = QMessageBox::warning(QApplication::activeWindow(), t, m, QMessageBox::Yes | QMessageBox::No)
                == QMessageBox::Yes;
            break;
        }
    };
    if (!qApp)
        return false;
    if (QThread::currentThread() == qApp->thread())
        show();
    else
        QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
    return answer;
}
