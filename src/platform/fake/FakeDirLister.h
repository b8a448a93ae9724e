#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/DirLister.h"

// An in-memory file system for tests: folders and entries in insertion order, and errors
// that opening or listing a folder reports. Paths are absolute, delimited by '/'.
class TFakeDirLister final : public IDirLister
{
public:
    TFakeDirLister();
    ~TFakeDirLister() override;

    // Creates the folder and its missing parents.
    void AddDir(const std::string &path, double timestamp = 0, std::uint16_t extraAttributes = 0);
    void AddFile(const std::string &path, std::int64_t size, double timestamp = 0, std::uint16_t attributes = 0);
    // Opening the folder fails with `err` (it still shows up in its parent's listing).
    void SetOpenError(const std::string &path, int err);
    // Listing the folder fails with `err` after the entries added so far.
    void SetListError(const std::string &path, int err);
    // Called with the folder's path whenever a folder is listed (under no lock of ours).
    std::function<void(const std::string &)> OnList;
    // Called with the folder's path whenever a folder is opened (also when opening fails).
    std::function<void(const std::string &)> OnOpen;

    std::unique_ptr<IDirHandle> Open(const std::string &path, int &err) override;

    struct TNode;

private:
    TNode *Find(const std::string &path);
    TNode *Ensure(const std::string &path);
    std::unique_ptr<TNode> FRoot;
};
