#pragma once
// mbox_split.h: when an MBOX file of the separate-files target is split, and what its parts are called. The
// decision is made before a message is appended, from the file's length and 1.4 times the message's stored size,
// so no message is rendered twice. Pure functions; the exporter does the renaming and opening.
//
//   MboxNeedsSplit(500000, 400000, 1);        // true: 500,000 + 560,000 > 1,048,576
//   MboxPartPath("out/Inbox.mbox", 0);        // "out/Inbox_Part_0.mbox"

#include <cstdint>
#include <string>
#include <string_view>

namespace mailferry {

// True when a file of `fileLength` bytes is to be split before a message of `messageSize` stored bytes is
// appended: the limit is `maxMboxSizeInMB` mebibytes (no splitting below 1). A file that holds nothing yet is
// never split, so no empty part is left behind by a message larger than the limit.
bool MboxNeedsSplit(std::uint64_t fileLength, std::uint64_t messageSize, std::int64_t maxMboxSizeInMB);

// The path of part `part` of the MBOX file at `mboxPath` (which ends in ".mbox"): the path without those five
// characters, "_Part_", the number and ".mbox".
std::string MboxPartPath(std::string_view mboxPath, int part);

}  // namespace mailferry
