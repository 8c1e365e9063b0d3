#include "export/folder_layouts.h"

#include <algorithm>
#include <filesystem>

#include "export/output_naming.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "session/mapi_folder.h"
#include "session/message_store.h"
#include "session/pst_session.h"

namespace mailferry {

std::vector<std::string> FolderChain(const MAPIFolder& folder) {
    std::vector<std::string> chain;
    // Finite: a folder is refused when it lies deeper than kMaxFolderDepth below the top folder.
    for (const MAPIFolder* at = &folder; at != nullptr; at = at->parentFolder())
        chain.push_back(platform::path_of_text(SafeName(at->folderName())));
    std::reverse(chain.begin(), chain.end());
    return chain;
}

std::string PstOutputRoot(const std::string& base, const MAPIFolder& folder, std::int32_t pstSuffix) {
    const PSTSession* session = folder.ownerStore() ? folder.ownerStore()->ownerSession() : nullptr;
    if (!session) return base;
    const std::string fileName = std::filesystem::path(session->pstFilePath()).filename().string();
    return WithSuffix(JoinPath(base, fileName), pstSuffix);
}

std::string PlainLayout(platform::file_system& files, const std::string& base, const MAPIFolder& folder,
                        std::int32_t pstSuffix) {
    std::string path = PstOutputRoot(base, folder, pstSuffix);
    (void)files.create_directory(path);
    for (const std::string& name : FolderChain(folder)) {
        path = JoinPath(path, name);
        (void)files.create_directory(path);
    }
    return path;
}

std::string AppleMailboxLayout(platform::file_system& files, const std::string& base, const MAPIFolder& folder,
                               std::int32_t pstSuffix) {
    std::string parent = PstOutputRoot(base, folder, pstSuffix);
    (void)files.create_directory(parent);
    const std::vector<std::string> chain = FolderChain(folder);
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        const std::string children = JoinPath(parent, chain[i]);
        (void)files.create_directory(children);
        const std::string mailbox = children + ".mbox";
        if (!files.exists(mailbox)) {
            (void)files.create_directory(mailbox);
            CreateEmptyFile(files, JoinPath(mailbox, "mbox"));
        }
        parent = children;
    }
    const std::string mailbox = JoinPath(parent, chain.back()) + ".mbox";
    if (!files.exists(mailbox)) (void)files.create_directory(mailbox);
    return mailbox;
}

std::string ThunderbirdLayout(platform::file_system& files, const std::string& base, const MAPIFolder& folder,
                              std::int32_t pstSuffix) {
    const std::string root = PstOutputRoot(base, folder, pstSuffix);
    CreateEmptyFile(files, root);
    std::string parent = root + ".sbd";
    (void)files.create_directory(parent);
    const std::vector<std::string> chain = FolderChain(folder);
    for (std::size_t i = 0; i < chain.size(); ++i) {
        CreateEmptyFile(files, JoinPath(parent, chain[i]));
        if (i + 1 == chain.size()) break;
        parent = JoinPath(parent, chain[i]) + ".sbd";
        (void)files.create_directory(parent);
    }
    return parent;
}

void CreateEmptyFile(platform::file_system& files, const std::string& path) {
    std::error_code error;
    (void)files.open_append(path, error);
}

}  // namespace mailferry
