#pragma once
// mapi_folder.h: one folder as the front ends and the exporters see it — name, path, kind and item count,
// computed when the wrapper is made, the sub-folder wrappers (made on first use and kept), and a cursor over
// its messages. A wrapper is owned by its parent (or by the store, for the top folder); the store and parent
// pointers are not owning. A code-page change re-reads the names but keeps the paths made at creation.
// Not thread-safe.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pstcore/messaging/folder.h"

namespace mailferry {

class MessageStore;
class Message;

// Folder kinds held in defaultItemType.
enum FolderKind : std::int32_t {
    kStoreTopFolder = 1,
    kCalendarFolder = 2,
    kContactsFolder = 3,
    kJournalFolder = 4,
    kMailFolder = 5,
    kNotesFolder = 6,
    kTasksFolder = 7,
};

// Folders deeper than this below the store's top folder are refused: each wrapper keeps its whole path, and the
// tree is walked recursively, so a damaged file must not nest folders without end.
inline constexpr int kMaxFolderDepth = 200;

// The kind a container class names ("IPF.Appointment" 2, "IPF.Contact" 3, "IPF.Journal" 4, "IPF.StickyNote" 6,
// "IPF.Task" 7), compared whole and with case; any other class leaves `startingKind`.
std::int32_t FolderKindForContainerClass(std::u16string_view containerClass, std::int32_t startingKind);

class MAPIFolder {
public:
    // initWithFolder:OwnerStore:ParentFolder:OverrideName:. Looks up the contents table now; its errors, and a
    // name that cannot be decoded, propagate. `overrideName` marks the store's top folder. Throws
    // database_corrupt "folders nested too deep" more than kMaxFolderDepth levels below the top folder.
    MAPIFolder(const pstcore::folder& folder, MessageStore& ownerStore, MAPIFolder* parentFolder,
               std::optional<std::u16string> overrideName);
    ~MAPIFolder();
    MAPIFolder(const MAPIFolder&) = delete;
    MAPIFolder& operator=(const MAPIFolder&) = delete;

    // The sub-folder wrappers in hierarchy order (search folders left out), made on the first call. When making
    // one fails the error propagates and the wrappers made so far stay in the list.
    std::vector<std::unique_ptr<MAPIFolder>>& GetFolders();
    // The next message, or null after the last. The cursor moves before the message is read, so a row whose
    // message cannot be built throws once and the next call goes on with the row after it. Needs the session in
    // a std::shared_ptr.
    std::unique_ptr<Message> QueryMessage();
    // Back to before the first message.
    void ResetQuery();
    void InvalidateCodePage();

    const std::u16string& folderName() const { return _folderName; }
    const std::u16string& fullFolderPath() const { return _fullFolderPath; }
    std::int32_t defaultItemType() const { return _defaultItemType; }
    std::int64_t contentCount() const { return _contentCount; }
    MAPIFolder* parentFolder() const { return _parentFolder; }
    void SetParentFolder(MAPIFolder* parentFolder) { _parentFolder = parentFolder; }
    MessageStore* ownerStore() const { return _ownerStore; }
    void SetOwnerStore(MessageStore* ownerStore) { _ownerStore = ownerStore; }
    pstcore::folder& folder() { return *_folderP; }

private:
    const mailferry::TextEncodingItem* SessionEncoding() const;

    std::unique_ptr<pstcore::folder> _folderP;
    MessageStore* _ownerStore;  // owns this wrapper's ancestors; never null
    MAPIFolder* _parentFolder;  // owns this wrapper; null for the top folder
    bool _hasOverrideName = false;
    int _depth = 0;
    std::int32_t _defaultItemType = kMailFolder;
    std::int64_t _contentCount = 0;
    std::u16string _folderName;
    std::u16string _fullFolderPath;
    pstcore::message_iterator _currentMsgItrP;
    pstcore::message_iterator _endMsgItrP;
    std::optional<std::vector<std::unique_ptr<MAPIFolder>>> _subFoldersArray;
};

}  // namespace mailferry
