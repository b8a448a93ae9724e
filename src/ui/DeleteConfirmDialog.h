#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QDialog>

#include "common/SizeText.h"

class QPushButton;

// Asks before files go: names the one entry, or the count and total size of several (their
// paths listed below), and says whether they go to the Trash or for good.
class TDeleteConfirmDialog final : public QDialog
{
    Q_OBJECT

public:
    struct TItem
    {
        std::string Path;
        std::int64_t Size = 0;
        bool Directory = false;
    };

    TDeleteConfirmDialog(
        const std::vector<TItem> &items, bool permanent, TFileSizeStrProc sizeText, QWidget *parent = nullptr);

    // The question text (for tests and the screen reader).
    [[nodiscard]] QString Question() const { return FQuestion; }
    [[nodiscard]] QPushButton *AcceptButton() const { return FAccept; }
    [[nodiscard]] QPushButton *CancelButton() const { return FCancel; }

    // Hook for tests: when set, Ask answers through it instead of showing the dialog.
    using TAnswer = bool (*)(TDeleteConfirmDialog &dialog);
    static TAnswer TestAnswer;

    // Shows the dialog modally; true when the user confirmed.
    static bool Ask(const std::vector<TItem> &items, bool permanent, TFileSizeStrProc sizeText, QWidget *parent);

private:
    QString FQuestion;
    QPushButton *FAccept = nullptr;
    QPushButton *FCancel = nullptr;
};
