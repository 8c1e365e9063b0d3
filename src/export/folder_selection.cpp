#include "export/folder_selection.h"

#include <filesystem>

#include "session/mapi_folder.h"

namespace mailferry {

bool IsTreeFolderKind(std::int32_t kind) {
    return kind != kJournalFolder && kind != kNotesFolder && kind != kTasksFolder;
}

void CollectTreeFolders(MAPIFolder& top, std::vector<MAPIFolder*>& folders) {
    if (!IsTreeFolderKind(top.defaultItemType())) return;
    folders.push_back(&top);
    // Recursion is bounded: folders deeper than kMaxFolderDepth are refused when they are made.
    for (auto& sub : top.GetFolders()) CollectTreeFolders(*sub, folders);
}

bool TakenForExport(const MAPIFolder& folder, bool ignoreEmptyFolders) {
    return !ignoreEmptyFolders || folder.contentCount() >= 1;
}

bool FolderPathSelects(std::u16string_view selected, std::u16string_view fullFolderPath) {
    if (!fullFolderPath.starts_with(selected)) return false;
    return fullFolderPath.size() == selected.size() || fullFolderPath[selected.size()] == u'/';
}

SelectedKinds KindsOf(const std::vector<MAPIFolder*>& folders) {
    SelectedKinds kinds;
    for (const MAPIFolder* folder : folders) {
        switch (folder->defaultItemType()) {
            case kStoreTopFolder:
            case kMailFolder:
                kinds.mails = true;
                break;
            case kContactsFolder:
                kinds.contacts = true;
                break;
            case kCalendarFolder:
                kinds.calendar = true;
                break;
            default:
                break;
        }
    }
    return kinds;
}

std::string PstFileKey(const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::weakly_canonical(path, ec);
    if (ec) full = std::filesystem::absolute(path, ec).lexically_normal();
    std::string key = full.string();
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

}  // namespace mailferry
