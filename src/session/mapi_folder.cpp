#include "session/mapi_folder.h"

#include <array>
#include <utility>

#include "encoding/code_page_table.h"
#include "platform/platform_string.h"
#include "pstcore/ndb/exceptions.h"
#include "session/message.h"
#include "session/message_store.h"
#include "session/pst_session.h"

namespace mailferry {

std::int32_t FolderKindForContainerClass(std::u16string_view containerClass, std::int32_t startingKind) {
    static constexpr std::array<std::pair<std::u16string_view, std::int32_t>, 5> kKinds{{
        {u"IPF.Appointment", kCalendarFolder},
        {u"IPF.Contact", kContactsFolder},
        {u"IPF.Journal", kJournalFolder},
        {u"IPF.StickyNote", kNotesFolder},
        {u"IPF.Task", kTasksFolder},
    }};
    for (const auto& [name, kind] : kKinds)
        if (containerClass == name) return kind;
    return startingKind;
}

MAPIFolder::MAPIFolder(const pstcore::folder& folder, MessageStore& ownerStore, MAPIFolder* parentFolder,
                       std::optional<std::u16string> overrideName)
    : _folderP(std::make_unique<pstcore::folder>(folder)),
      _ownerStore(&ownerStore),
      _parentFolder(parentFolder),
      _hasOverrideName(overrideName.has_value()),
      _depth(parentFolder ? parentFolder->_depth + 1 : 0) {
    if (_depth > kMaxFolderDepth) throw pstcore::database_corrupt("folders nested too deep");
    _defaultItemType = _hasOverrideName ? kStoreTopFolder : kMailFolder;
    _contentCount = _folderP->get_item_count();
    _folderP->get_property_bag().set_text_encoding(SessionEncoding());
    if (const auto containerClass = _folderP->get_container_class())
        _defaultItemType = FolderKindForContainerClass(platform::stringWithWString(*containerClass), _defaultItemType);
    _folderName = _hasOverrideName ? std::move(*overrideName) : platform::stringWithWString(_folderP->get_name());
    _fullFolderPath = _parentFolder ? _parentFolder->fullFolderPath() + u"/" + _folderName : _ownerStore->storeName();
    ResetQuery();
}

MAPIFolder::~MAPIFolder() = default;

const TextEncodingItem* MAPIFolder::SessionEncoding() const {
    const PSTSession* session = _ownerStore->ownerSession();
    return session ? find_text_encoding(session->pstDefaultCodePage()) : nullptr;
}

std::vector<std::unique_ptr<MAPIFolder>>& MAPIFolder::GetFolders() {
    if (!_subFoldersArray) {
        _subFoldersArray.emplace();
        for (auto it = _folderP->subfolder_begin(), end = _folderP->subfolder_end(); it != end; ++it) {
            if (!_ownerStore->ClaimFolder((*it.base()).get_row_id())) continue;
            _subFoldersArray->push_back(std::make_unique<MAPIFolder>(*it, *_ownerStore, this, std::nullopt));
        }
    }
    return *_subFoldersArray;
}

std::unique_ptr<Message> MAPIFolder::QueryMessage() {
    if (_currentMsgItrP == _endMsgItrP) return nullptr;
    const pstcore::message_iterator row = _currentMsgItrP++;
    auto message = std::make_unique<pstcore::message>(*row);
    PSTSession* session = _ownerStore->ownerSession();
    if (!session) return std::make_unique<Message>(std::move(message), nullptr, time_zone::system());
    return std::make_unique<Message>(std::move(message), session->shared_from_this(), session->SystemTimeZone());
}

void MAPIFolder::ResetQuery() {
    _currentMsgItrP = _folderP->message_begin();
    _endMsgItrP = _folderP->message_end();
}

void MAPIFolder::InvalidateCodePage() {
    _folderP->get_property_bag().set_text_encoding(SessionEncoding());
    if (!_hasOverrideName) _folderName = platform::stringWithWString(_folderP->get_name());
    for (auto& subFolder : GetFolders()) subFolder->InvalidateCodePage();
}

}  // namespace mailferry
