#pragma once
// message_store.h: the store of a session — its top folder (the root folder's first normal sub-folder), the
// store name and the wrapper of the top folder, made on first use. Owned by its PSTSession; the session
// pointer is not owning and outlives the store (a store without a session attaches no code page). Not
// thread-safe.

#include <memory>
#include <string>
#include <unordered_set>

#include "pstcore/messaging/folder.h"

namespace mailferry {

class PSTSession;
class MAPIFolder;

class MessageStore {
public:
    // initWithFolder: takes the top folder.
    explicit MessageStore(pstcore::folder rootFolder);
    ~MessageStore();
    MessageStore(const MessageStore&) = delete;
    MessageStore& operator=(const MessageStore&) = delete;

    // The top folder's wrapper, made on the first call and named after the store (kind 1 unless its container
    // class names another). Errors while making it propagate and a later call tries again.
    MAPIFolder& GetSubTreeFolder();
    void InvalidateCodePage();

    const std::u16string& storeName() const { return _storeName; }
    void SetStoreName(std::u16string storeName) { _storeName = std::move(storeName); }
    PSTSession* ownerSession() const { return _ownerSession; }
    void SetOwnerSession(PSTSession* ownerSession) { _ownerSession = ownerSession; }
    const pstcore::folder& rootFolder() const { return *_rootFolderP; }

    // Records that a wrapper is being made for this folder node; false when one already exists in the tree.
    // A damaged hierarchy table can list a folder as its own descendant, or one folder many times; each
    // folder is shown once, which bounds the tree by the folders in the file.
    bool ClaimFolder(pstcore::node_id folder) { return _wrappedFolders.insert(folder).second; }

private:
    std::unique_ptr<pstcore::folder> _rootFolderP;
    std::u16string _storeName;
    PSTSession* _ownerSession = nullptr;  // the session that owns this store; set right after construction
    std::unique_ptr<MAPIFolder> _rootMAPIFolder;
    std::unordered_set<pstcore::node_id> _wrappedFolders;
};

}  // namespace mailferry
