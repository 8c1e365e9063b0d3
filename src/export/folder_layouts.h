#pragma once
// folder_layouts.h: where a PST folder's output goes below an output folder B, rebuilding the PST's folder tree
// as each target expects it. All three start from R = B/<PST file name>, with " (n)" when the run chose a
// collision number for the file; the chain is the folder's ancestors from the store's top folder down to the
// folder, each by its safe name. Folders and empty files are made on the way (an existing file keeps its
// content); when B does not exist nothing is made and the files later opened there fail.
//
//   Plain:        R/Top/Inbox/Projects                          (the folder's own folder)
//   Apple:        R/Top.mbox/mbox, R/Top/Inbox.mbox/mbox, R/Top/Inbox/Projects.mbox  (the last one returned)
//   Thunderbird:  files R, R.sbd/Top, R.sbd/Top.sbd/Inbox, R.sbd/Top.sbd/Inbox.sbd/Projects; returns the folder
//                 R.sbd/Top.sbd/Inbox.sbd that holds the folder's own mailbox file

#include <cstdint>
#include <string>
#include <vector>

namespace mailferry {

class MAPIFolder;
namespace platform {
class file_system;
}

// The safe names of the folder's chain, as UTF-8 path components.
std::vector<std::string> FolderChain(const MAPIFolder& folder);

// R for the folder's PST file.
std::string PstOutputRoot(const std::string& base, const MAPIFolder& folder, std::int32_t pstSuffix);

std::string PlainLayout(platform::file_system& files, const std::string& base, const MAPIFolder& folder,
                        std::int32_t pstSuffix);
std::string AppleMailboxLayout(platform::file_system& files, const std::string& base, const MAPIFolder& folder,
                               std::int32_t pstSuffix);
std::string ThunderbirdLayout(platform::file_system& files, const std::string& base, const MAPIFolder& folder,
                              std::int32_t pstSuffix);

// Opens and closes the file, so that it exists; its content stays.
void CreateEmptyFile(platform::file_system& files, const std::string& path);

}  // namespace mailferry
