#pragma once
// node_data.h: what a row of the main window's tree stands for — an open PST file (`SessionNodeData`) or one of
// its folders (`FolderNodeData`) — with its tick, its container class (the folder kind; 0 for a file), its item
// count and the texts the row shows. A file row owns its session; a folder row borrows its folder from that
// session, which outlives it (the file row is its ancestor).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "export/export_settings.h"
#include "session/mapi_folder.h"

namespace mailferry {

class PSTSession;

// The container classes of the tree: the folder kinds, with 0 for a file's own row and 8 for "any class" in the
// selection operations.
enum ContainerClass : std::int32_t {
    kSessionContainer = 0,
    kStoreRootContainer = kStoreTopFolder,
    kCalendarContainer = kCalendarFolder,
    kContactsContainer = kContactsFolder,
    kMailContainer = kMailFolder,
    kAnyContainer = 8,
};

class ITreeNodeData {
public:
    virtual ~ITreeNodeData() = default;

    bool isSelected() const { return _isSelected; }
    void setSelected(bool isSelected) { _isSelected = isSelected; }
    virtual std::int32_t treeNodeContainerClass() const = 0;
    // Items in the folder; -1 for a file's row.
    virtual std::int64_t contentCount() const = 0;
    // The row's title, without the count that a folder row shows after it.
    virtual std::u16string title() const = 0;
    virtual std::u16string toolTip(bool hasChildren) const = 0;

private:
    bool _isSelected = true;
};

class SessionNodeData final : public ITreeNodeData {
public:
    explicit SessionNodeData(std::shared_ptr<PSTSession> session);
    ~SessionNodeData() override;

    PSTSession& session() const { return *_session; }
    const std::shared_ptr<PSTSession>& sharedSession() const { return _session; }

    std::int32_t treeNodeContainerClass() const override { return kSessionContainer; }
    std::int64_t contentCount() const override { return -1; }
    // The file name; for an ANSI file followed by the text encoding it is read with.
    std::u16string title() const override;
    std::u16string toolTip(bool hasChildren) const override;

private:
    std::shared_ptr<PSTSession> _session;  // never null
};

class FolderNodeData final : public ITreeNodeData, public IExportItemMAPIFolder {
public:
    explicit FolderNodeData(MAPIFolder& folder) : _folder(&folder) {}

    MAPIFolder* getFolder() override { return _folder; }
    const MAPIFolder& folder() const { return *_folder; }

    std::int32_t treeNodeContainerClass() const override { return _folder->defaultItemType(); }
    std::int64_t contentCount() const override { return _folder->contentCount(); }
    std::u16string title() const override { return _folder->folderName(); }
    std::u16string toolTip(bool hasChildren) const override;

private:
    MAPIFolder* _folder;  // owned by the session of the file row above; never null
};

// The base name of the image a row of this class shows ("SessionHome", "Store", "Calendar", "Contact", "Folder").
std::string_view IconNameForContainerClass(std::int32_t containerClass);

}  // namespace mailferry
