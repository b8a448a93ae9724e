#include "ui/DeleteCommand.h"

#include <QWidget>

#include "log/Logger.h"
#include "model/Paths.h"
#include "common/MessageBoxes.h"
#include "common/ShellTexts.h"
#include "common/Translate.h"
#include "ui/DeleteConfirmDialog.h"
#include "ui/FileOperationDialog.h"

std::vector<TDeleteEntry> TDeleteCommand::Targets(const std::vector<TDeleteEntry> &entries)
{
    std::vector<TDeleteEntry> expanded;
    for (const TDeleteEntry &entry : entries) {
        const auto *group = dynamic_cast<const TFileGroupNode *>(entry.Node);
        if (!group) {
            expanded.push_back(entry);
            continue;
        }
        // The group row is no file of its own: what it shows goes.
        std::scoped_lock guard(group->ChildLock());
        const std::int32_t count = group->InterlockedChildCount();
        for (std::int32_t i = 0; i < count; ++i) {
            TFileSystemNode *member = group->GetUnlockedChildNode(i);
            expanded.push_back({member->GetFullPathName(), member});
        }
    }
    return CollapseNestedEntries(expanded);
}

TDeleteCommand::TOutcome TDeleteCommand::Run(QWidget *owner, TRootNode *root, const std::vector<TDeleteEntry> &entries,
    bool permanent, TFileSizeStrProc sizeText, const TBusyTest &busy, const std::function<void()> &modelChanged,
    const std::function<void(const TFileSystemNode *)> &nodeLeaving)
{
    TOutcome outcome;
    const std::vector<TDeleteEntry> targets = Targets(entries);
    if (targets.empty())
        return outcome;
    if (busy) {
        for (const TDeleteEntry &target : targets) {
            if (busy(target)) {
                outcome.Busy = true;
                ErrorBox(_("A scan is still running in a folder you want to delete from. Stop the analysis or wait "
                           "until it has finished, then try again."));
                return outcome;
            }
        }
    }

    std::vector<TDeleteConfirmDialog::TItem> items;
    std::vector<std::string> paths;
    long long expected = 0;
    for (const TDeleteEntry &target : targets) {
        TDeleteConfirmDialog::TItem item;
        item.Path = target.Path;
        if (target.Node) {
            item.Size = target.Node->GetSize();
            item.Directory = target.Node->IsGroup();
            // Permanent deletion reports every file and folder, the Trash every top entry.
            expected += permanent ? target.Node->FileCount() + 1
                    + (target.Node->IsGroup() ? static_cast<TGroupNode *>(target.Node)->GetDirCount() : 0)
                                  : 1;
        } else {
            ++expected;
        }
        items.push_back(std::move(item));
        paths.push_back(target.Path);
    }
    if (!TDeleteConfirmDialog::Ask(items, permanent, sizeText, owner))
        return outcome;
    outcome.Confirmed = true;

    ProgramLogger().Debug(std::string(permanent ? "delete " : "trash ") + std::to_string(paths.size()) + " entries");
    TFileOperationDialog progress(
        QString::fromStdString(permanent ? _("Deleting") : _("Moving to Trash")), expected, owner);
    outcome.Result = progress.Run([&paths, permanent](const TFileOpProgress &report) {
        return permanent ? DeletePermanently(paths, report) : MoveToTrash(paths, report);
    });

    // What is gone leaves the model, also after a cancel or a failure: the tree must not
    // show files that no longer exist.
    for (const std::string &path : outcome.Result.Removed) {
        if (!root)
            continue;
        if (nodeLeaving)
            if (const TFileSystemNode *node = root->FindChildNodePath(path))
                nodeLeaving(node);
        if (RemoveNodeByPath(*root, path))
            outcome.RemovedFromModel.push_back(path);
    }
    if (modelChanged && !outcome.RemovedFromModel.empty())
        modelChanged();
    for (const std::string &path : outcome.Result.Partial) {
        const TFileSystemNode *node = nullptr;
        for (const TDeleteEntry &target : targets)
            if (target.Path == path)
                node = target.Node;
        // A folder partly emptied is read again; a file that stayed needs nothing.
        if (node && node->IsGroup())
            outcome.RescanFolders.push_back(path);
    }
    if (outcome.Result.Code != 0) {
        const std::string text = outcome.Result.FailureText();
        ProgramLogger().Error("delete failed: " + text);
        ErrorBox(text);
    }
    return outcome;
}
