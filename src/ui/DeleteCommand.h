#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/SizeText.h"
#include "model/DeleteNodes.h"
#include "shell/FileOperations.h"

class QWidget;

// Deleting selected entries of an analysis, from the selection to the updated model: nested
// entries collapse to their top entries, the user confirms, the files go (to the Trash or
// for good) on a worker thread with a progress dialog, and the entries that are gone leave
// the model with their ancestors' totals. User interface thread.
class TDeleteCommand
{
public:
    struct TOutcome
    {
        bool Confirmed = false;
        // Refused because a scan thread works in an affected folder.
        bool Busy = false;
        TFileOpResult Result;
        // Entries taken out of the model.
        std::vector<std::string> RemovedFromModel;
        // Folders whose contents are only partly gone: the model no longer knows them.
        std::vector<std::string> RescanFolders;
    };

    // Tells whether a scan thread works in or below the entry (or in a folder that holds
    // it); such a delete is refused. The entry's node may be null (a path the model does not
    // know yet), so the path counts too.
    using TBusyTest = std::function<bool(const TDeleteEntry &entry)>;

    // `entries` in selection order; a small-files group stands for its member files. `root`
    // is the analysis (may be null when the paths are not part of one). `modelChanged` runs
    // right after nodes left the model, before any event is handled: views that hold nodes
    // must let go of the freed ones there. `nodeLeaving` runs for each node right before it
    // leaves the model and is freed: views drop the rows that show it.
    static TOutcome Run(QWidget *owner, TRootNode *root, const std::vector<TDeleteEntry> &entries, bool permanent,
        TFileSizeStrProc sizeText, const TBusyTest &busy = {}, const std::function<void()> &modelChanged = {},
        const std::function<void(const TFileSystemNode *)> &nodeLeaving = {});

    // The entries the command acts on: group rows replaced by their members, then collapsed.
    [[nodiscard]] static std::vector<TDeleteEntry> Targets(const std::vector<TDeleteEntry> &entries);
    // What the file system part acts on for those entries: the way from the analysis root with
    // the identities the scan recorded and the kind the user is shown (entries without a node
    // as they are on disk now).
    [[nodiscard]] static std::vector<TFileTarget> FileTargets(const std::vector<TDeleteEntry> &targets);
};
