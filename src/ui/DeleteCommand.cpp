#include "ui/DeleteCommand.h"

#include <sys/stat.h>

#include <QWidget>

#include "common/MessageBoxes.h"
#include "common/ShellTexts.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "shell/NodeTarget.h"
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

std::vector<TFileTarget> TDeleteCommand::FileTargets(const std::vector<TDeleteEntry> &targets)
{
    std::vector<TFileTarget> fileTargets;
    fileTargets.reserve(targets.size());
    for (const TDeleteEntry &target : targets) {
        fileTargets.push_back(target.Node ? TargetOfNode(*target.Node) : TargetAsItIsNow(target.Path));
        fileTargets.back().Path = target.Path; // results name the entries as the caller does
    }
    return fileTargets;
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
    // What the user confirms, with the way there that the analysis recorded.
    const std::vector<TFileTarget> fileTargets = FileTargets(targets);
    long long expected = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const TDeleteEntry &target = targets[i];
        TDeleteConfirmDialog::TItem item;
        item.Path = target.Path;
        if (!target.Node) {
            // A path the analysis does not know: described as it is on disk now.
            struct stat st
            { };
            item.Directory = fileTargets[i].Kind == TEntryKind::Folder;
            if (!item.Directory && ::lstat(target.Path.c_str(), &st) == 0)
                item.Size = st.st_size;
        }
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
    }
    if (!TDeleteConfirmDialog::Ask(items, permanent, sizeText, owner))
        return outcome;
    outcome.Confirmed = true;

    // The disk may have changed while the question waited: then nothing is done.
    if (const std::vector<TFileOpFailure> changed = ChangedTargets(fileTargets); !changed.empty()) {
        TFileOpResult refused;
        for (const TFileOpFailure &failure : changed)
            refused.Failures.push_back(failure);
        const std::string text = refused.FailureText();
        ProgramLogger().Error("delete refused: " + text);
        ErrorBox(_("Nothing was deleted: what you confirmed has changed on disk.") + "\n\n" + text);
        return outcome;
    }

    ProgramLogger().Debug(
        std::string(permanent ? "delete " : "trash ") + std::to_string(fileTargets.size()) + " entries");
    TFileOperationDialog progress(
        QString::fromStdString(permanent ? _("Deleting") : _("Moving to Trash")), expected, owner);
    outcome.Result = progress.Run([&fileTargets, permanent](const TFileOpProgress &report) {
        return permanent ? DeletePermanently(fileTargets, report) : MoveToTrash(fileTargets, report);
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
