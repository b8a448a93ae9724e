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
        case TMessageKind::Information:
            QMessageBox::information(QApplication::activeWindow(), t, m);
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
    if (QThread::currentThread() == qApp->thread()) {
        show();
    } else if (kind == TMessageKind::Error || kind == TMessageKind::Information) {
        // An error has no answer to wait for. Waiting would deadlock a scan thread that reports
        // while the window waits for it to end (closing, stopping).
        QMetaObject::invokeMethod(
            qApp,
            [kind, title, text] {
                TQtMessageBoxes boxes;
                boxes.Show(kind, title, text);
            },
            Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
    }
    return answer;
}
