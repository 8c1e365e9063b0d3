#pragma once
// folder_selection.h: which folders of an opened PST file a conversion can take and which it takes — the rules
// behind the main window's folder tree, shared with the command line. The tree holds the store's top folder and
// every folder below it except journal, notes and tasks folders (left out with their sub-folders); with the
// ignore-empty-folders switch a folder without items is not exported, though its sub-folders may be.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_settings.h"
#include "export/targets.h"

namespace mailferry {

class MAPIFolder;

// False for the kinds the tree leaves out (journal, notes, tasks).
bool IsTreeFolderKind(std::int32_t kind);

// `top` and the folders below it that the tree holds, depth first in tree order. Errors reading a folder list
// propagate (the file then counts as not loaded).
void CollectTreeFolders(MAPIFolder& top, std::vector<MAPIFolder*>& folders);

// Whether a tree folder is exported: always, or with the switch only when it holds items.
bool TakenForExport(const MAPIFolder& folder, bool ignoreEmptyFolders);

// True when `fullFolderPath` is `selected` or lies below it ("Store/Inbox" selects "Store/Inbox/Projects").
bool FolderPathSelects(std::u16string_view selected, std::u16string_view fullFolderPath);

// The kinds of items the folders hold: mail for the store's top folder and mail folders.
SelectedKinds KindsOf(const std::vector<MAPIFolder*>& folders);

// A key under which the same file named twice (paths differing only in letter case) meets itself.
std::string PstFileKey(const std::string& path);

// A selected folder of a front end that holds the folder itself.
class FolderExportItem final : public IExportItemMAPIFolder {
public:
    explicit FolderExportItem(MAPIFolder& folder) : _folder(&folder) {}
    MAPIFolder* getFolder() override { return _folder; }

private:
    MAPIFolder* _folder;  // owned by its session, which outlives the run
};

}  // namespace mailferry
