#pragma once
// export_fixtures.h: stores for the converter's tests — folders whose names try to leave or collapse the output
// folder (".." and the like), names with "/" and ":", long and surrogate-pair names, sibling folders of one name,
// damaged messages among good ones, and a node B-tree whose last page breaks while the folders still read.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "store_builder.h"

namespace pstwrite {

struct plain_mail {
    std::u16string subject;
    bool read = true;
    std::u16string body = u"Hello.";
    std::uint32_t stored_size = 0;  // PidTagMessageSize when not 0
    int minute = 0;                 // sent on 2024-03-04 09:00 plus this many minutes
};

// A mail with sender, recipient, dates and a plain body.
message_builder& add_plain_mail(folder_builder& folder, const plain_mail& mail);
// A mail whose property context is damaged: reading it fails.
message_builder& add_damaged_mail(folder_builder& folder);

// Under `parent`: folders named "..", ".", "", "a/b: c", a 70-character name, a name ending in a surrogate pair
// across the cut, a name with control characters, and two sibling folders "Twin"; each holds one mail.
void add_hostile_folders(folder_builder& parent);

// The store `pstwrite fixture hostile-names` writes: the hostile folders, with damaged mails among good ones in
// the folder "Mixed".
std::vector<std::byte> hostile_names_store(format f);

// Mail in a nested tree (Inbox/Clients/North, Archive/2023/Q1 ... Q4 and more), `messages` in all, a quarter unread,
// with subjects that repeat: the converter's layouts at depth.
std::vector<std::byte> nested_store(format f, std::uint32_t messages);

// Contacts and appointments for the contact and calendar exporters, under a top folder called `name`: "Contacts"
// (names that repeat, one with "/" and ":", a damaged contact) with a sub-folder "Friends"; "Calendar" with "Plan"
// (a body and a file attachment: it needs a reference mail), "Weekly sync" (every Tuesday from 2024-03-05 09:00
// UTC, six times, the second moved to 11:00), "Quiet" (nothing to refer to), a damaged appointment and "Garbled"
// (a recurrence blob of garbage). Times are UTC.
std::vector<std::byte> pim_store(format f, const std::u16string& name);

// A store of `messages` mails in one folder whose last node B-tree leaf page (holding only mail nodes) has a
// wrong signature: the folders read, the last mails do not.
std::vector<std::byte> broken_index_store(format f, std::uint32_t messages);

}  // namespace pstwrite
