#include "session/message_store.h"

#include "session/mapi_folder.h"

namespace mailferry {

MessageStore::MessageStore(pstcore::folder rootFolder)
    : _rootFolderP(std::make_unique<pstcore::folder>(std::move(rootFolder))) {}

MessageStore::~MessageStore() = default;

MAPIFolder& MessageStore::GetSubTreeFolder() {
    if (!_rootMAPIFolder) {
        ClaimFolder(_rootFolderP->get_id());
        _rootMAPIFolder = std::make_unique<MAPIFolder>(*_rootFolderP, *this, nullptr, _storeName);
    }
    return *_rootMAPIFolder;
}

void MessageStore::InvalidateCodePage() {
    GetSubTreeFolder().InvalidateCodePage();
}

}  // namespace mailferry
