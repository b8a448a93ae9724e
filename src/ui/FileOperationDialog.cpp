#include "ui/FileOperationDialog.h"

#include <algorithm>
#include <exception>
#include <thread>

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Translate.h"

TFileOperationDialog::TFileOperationDialog(const QString &title, long long expected, QWidget *parent)
    : QDialog(parent)
    , FExpected(expected)
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("FileOperationDialog"));
    setWindowModality(Qt::WindowModal);
    FLabel = new QLabel(this);
    FPath = new QLabel(this);
    FPath->setMinimumWidth(420);
    FPath->setTextFormat(Qt::PlainText);
    FBar = new QProgressBar(this);
    FCancel = new QPushButton(QString::fromStdString(_("Cancel")), this);
    connect(FCancel, &QPushButton::clicked, this, &TFileOperationDialog::Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FLabel);
    layout->addWidget(FPath);
    layout->addWidget(FBar);
    layout->addWidget(FCancel, 0, Qt::AlignRight);
    FUpdate.setInterval(100);
    connect(&FUpdate, &QTimer::timeout, this, &TFileOperationDialog::UpdateView);
    UpdateView();
}

TFileOperationDialog::~TFileOperationDialog() = default;

void TFileOperationDialog::Cancel()
{
    FCancelled = true;
    FCancel->setEnabled(false);
    FLabel->setText(QString::fromStdString(_("Cancelling...")));
}

void TFileOperationDialog::UpdateView()
{
    std::string current;
    {
        std::scoped_lock guard(FLock);
        current = FCurrent;
    }
    const long long done = FDone.load();
    if (!FCancelled)
        FLabel->setText(QString::fromStdString(_("Entries done:")) + QLatin1Char(' ') + QString::number(done)
            + (FExpected > 0 ? QStringLiteral(" / ") + QString::number(FExpected) : QString()));
    const QString path = QFile::decodeName(QByteArray::fromStdString(current));
    FPath->setText(FPath->fontMetrics().elidedText(path, Qt::ElideMiddle, FPath->width()));
    if (FExpected > 0) {
        FBar->setRange(0, 1000);
        FBar->setValue(static_cast<int>(std::min<long long>(1000, done * 1000 / FExpected)));
    } else {
        FBar->setRange(0, 0); // busy
    }
}

TFileOpResult TFileOperationDialog::Run(TWork work, int showDelayMs)
{
    QEventLoop loop;
    TFileOpResult result;
    std::exception_ptr failure;
    std::atomic<bool> finished {false};
    const TFileOpProgress progress = [this](const std::string &path) {
        {
            std::scoped_lock guard(FLock);
            FCurrent = path;
        }
        ++FDone;
        return !FCancelled.load();
    };
    QTimer show;
    show.setSingleShot(true);
    connect(&show, &QTimer::timeout, this, [this, &finished] {
        if (finished)
            return;
        UpdateView();
        FUpdate.start();
        QDialog::show();
        emit ProgressShown();
    });
    show.start(showDelayMs);
    std::thread worker([&] {
        try {
            result = work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        finished = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Only user input may wait: the operation's end always quits the loop.
    if (!finished)
        loop.exec();
    worker.join();
    FUpdate.stop();
    hide();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}
