#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include <QDialog>
#include <QTimer>

#include "shell/FileOperations.h"

class QLabel;
class QProgressBar;
class QPushButton;

// Runs a file operation on a thread of its own and shows its progress, with Cancel, once it
// has taken longer than half a second. The operation reports every entry it removed; Cancel
// asks it to stop at the next one.
class TFileOperationDialog final : public QDialog
{
    Q_OBJECT

public:
    using TWork = std::function<TFileOpResult(const TFileOpProgress &progress)>;

    // `expected` is the number of entries the operation will likely report (0: unknown).
    TFileOperationDialog(const QString &title, long long expected, QWidget *parent = nullptr);
    ~TFileOperationDialog() override;

    // Runs `work` and returns its result once it has finished; the event loop keeps running
    // meanwhile. The dialog shows itself after `showDelayMs`.
    TFileOpResult Run(TWork work, int showDelayMs = 500);

    // Stops the operation at the next entry, as the Cancel button does.
    void Cancel();
    [[nodiscard]] long long Done() const { return FDone.load(); }
    [[nodiscard]] QPushButton *CancelButton() const { return FCancel; }

signals:
    // The dialog became visible (tests and screenshots hook in here).
    void ProgressShown();

protected:
    void reject() override { Cancel(); }

private:
    void UpdateView();

    long long FExpected;
    std::atomic<long long> FDone {0};
    std::atomic<bool> FCancelled {false};
    std::mutex FLock;
    std::string FCurrent; // guarded by FLock
    QTimer FUpdate;
    QLabel *FLabel = nullptr;
    QLabel *FPath = nullptr;
    QProgressBar *FBar = nullptr;
    QPushButton *FCancel = nullptr;
};
